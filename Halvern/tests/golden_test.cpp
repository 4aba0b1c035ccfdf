// Golden data: the tracker on the first frames of a real video, fed the ground-truth boxes
// (with some detections left out, as a detector misses them), compared frame by frame with the
// tracks recorded in data/pets09_s3mf1_tracks.txt. Guards against silent changes of behaviour.
//
// Sequence: PETS 2009 S3-MF1, camera View_001, with A. Milan's ground truth; see SOURCE.txt
// beside the video. To record the expected tracks again after an intended change, run the test
// with HALVERN_WRITE_GOLDEN set to the output file.
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/videoio.hpp>

#include <Halvern/controller.h>

#include "scene.h"

namespace {

constexpr int kFrames = 40;

// Ground-truth boxes by frame and id, rounded and cut to the frame as a detector reports them.
std::map<int, std::map<int, cv::Rect>> ground_truth(const std::string& path,
                                                     const cv::Size& frame) {
  std::map<int, std::map<int, cv::Rect>> boxes;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    double v[6];
    char comma;
    for (double& x : v) fields >> x >> comma;
    if (!fields || v[0] > kFrames) continue;
    const cv::Rect box(cvRound(v[2]), cvRound(v[3]), cvRound(v[4]), cvRound(v[5]));
    boxes[static_cast<int>(v[0])][static_cast<int>(v[1])] = box & cv::Rect(cv::Point(), frame);
  }
  return boxes;
}

// The detector misses each person now and then.
bool missed(int frame, int id) { return (frame + 3 * id) % 7 == 0; }

std::string line_of(int frame, const Tracker::TrackObject& t) {
  std::ostringstream out;
  out << frame << ' ' << t.id << ' ' << t.age << ' ' << t.rect.x << ' ' << t.rect.y << ' '
      << t.rect.width << ' ' << t.rect.height << ' ' << t.status;
  return out.str();
}

// The tracks after every frame, one line each.
std::vector<std::string> run_sequence(const std::string& dir) {
  cv::VideoCapture video(dir + "/video.mp4");
  if (!video.isOpened()) throw std::runtime_error("cannot read " + dir + "/video.mp4");
  const cv::Size size(static_cast<int>(video.get(cv::CAP_PROP_FRAME_WIDTH)),
                      static_cast<int>(video.get(cv::CAP_PROP_FRAME_HEIGHT)));
  auto truth = ground_truth(dir + "/gt/gt.txt", size);

  Controller controller(30);
  std::vector<std::string> lines;
  std::map<int, bool> seeded;
  cv::Mat frame;
  for (int f = 1; f <= kFrames && video.read(frame); ++f) {
    const Tracker::FrameData data = halvern_test::frame_data(frame);
    std::vector<Tracker::TrackObject> detections, fresh;
    for (const auto& [id, box] : truth[f]) {
      Tracker::TrackObject d = halvern_test::detection(id, box, size);
      if (!seeded[id])
        fresh.push_back(d);
      else if (!missed(f, id))
        detections.push_back(d);
    }
    if (f == 1) {
      controller.init(data, fresh);
    } else {
      const size_t given = detections.size();
      controller.update(data, detections);
      for (size_t i = given; i < detections.size(); ++i) lines.push_back(line_of(f, detections[i]));
      controller.add(data, fresh);
    }
    for (const auto& d : fresh) seeded[d.id] = true;
  }
  return lines;
}

TEST(GoldenData, TracksOfAPedestrianSequence) {
  const std::string dir = HALVERN_TEST_DATA;
  if (!std::ifstream(dir + "/video.mp4")) GTEST_SKIP() << "no test video at " << dir;
  set_config(Tracker::Config{});
  const std::vector<std::string> got = run_sequence(dir);

  if (const char* out = std::getenv("HALVERN_WRITE_GOLDEN")) {
    std::ofstream file(out);
    file << "# Tracks of libHalvern on frames 2-" << kFrames
         << " of the PETS 2009 S3-MF1 sequence, camera View_001,\n"
            "# fed the ground-truth boxes of A. Milan's annotation (see golden_test.cpp).\n"
            "# Data: PETS 2009 data set, (c) University of Reading, PETS 2009 workshop,\n"
            "# cs.binghamton.edu/~mrldata/pets2009; annotation from\n"
            "# github.com/antonmil/dctracking.\n"
            "# frame id age x y width height status\n";
    for (const std::string& line : got) file << line << '\n';
    GTEST_SKIP() << "wrote " << got.size() << " lines to " << out;
  }

  std::ifstream file(std::string(HALVERN_TEST_DIR) + "/data/pets09_s3mf1_tracks.txt");
  ASSERT_TRUE(file) << "expected tracks missing";
  std::map<int, std::vector<std::string>> expected, actual;
  for (std::string line; std::getline(file, line);)
    if (!line.empty() && line[0] != '#') expected[std::stoi(line)].push_back(line);
  for (const std::string& line : got) actual[std::stoi(line)].push_back(line);
  ASSERT_FALSE(expected.empty());
  for (int f = 2; f <= kFrames; ++f) EXPECT_EQ(actual[f], expected[f]) << "frame " << f;
}

}  // namespace
