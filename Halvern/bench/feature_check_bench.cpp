// Cost of one feature check of a track on a real frame: ORB on the 512 x 512 canvas, the
// two-nearest-neighbour ratio match against the reference, and the background test; and the
// parts alone. Frames: the PETS 2009 S3-MF1 sequence (see SOURCE.txt beside the video).
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include <benchmark/benchmark.h>
#include <opencv2/videoio.hpp>

#include <Halvern/helper.h>

namespace dev = halvern::device;

namespace {

constexpr int kReferenceFrame = 45;  // the track's reference
constexpr int kCheckFrame = 50;      // the frame being checked
constexpr int kPerson = 2;           // ground-truth id of the pedestrian followed

std::string data_dir() {
  const char* env = std::getenv("HALVERN_BENCH_DATA");
  return env ? env : HALVERN_BENCH_DATA;
}

// Frames are numbered from 1, as in the ground truth.
std::map<int, cv::Mat> read_frames(const std::string& video, std::initializer_list<int> wanted) {
  cv::VideoCapture cap(video);
  if (!cap.isOpened()) throw std::runtime_error("cannot open " + video);
  std::map<int, cv::Mat> frames;
  cv::Mat f;
  for (int n = 1; cap.read(f); ++n)
    for (int w : wanted)
      if (n == w) frames[n] = f.clone();
  if (frames.size() != wanted.size()) throw std::runtime_error("video too short: " + video);
  return frames;
}

cv::Rect person_box(const std::string& gt, int frame, int id) {
  std::ifstream in(gt);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    double v[6];
    char comma;
    for (int i = 0; i < 6; ++i) fields >> v[i] >> comma;
    if (fields && static_cast<int>(v[0]) == frame && static_cast<int>(v[1]) == id)
      return {cvRound(v[2]), cvRound(v[3]), cvRound(v[4]), cvRound(v[5])};
  }
  throw std::runtime_error("no box in " + gt);
}

// A track's reference state and the region it is checked on.
struct Scene {
  cv::Mat reference_frame, frame;
  cv::Rect reference_box, box;
  cv::Ptr<dev::OrbDetector> orb = dev::OrbDetector::create();
  cv::Ptr<dev::HammingMatcher> matcher = dev::HammingMatcher::create();
  std::vector<cv::KeyPoint> reference_kps, background_kps;
  dev::DeviceMat reference_desc, background_desc;

  Scene(const cv::Mat& ref_frame, const cv::Rect& ref_box, const cv::Mat& cur_frame,
        const cv::Rect& cur_box)
      : reference_frame(ref_frame), frame(cur_frame), reference_box(ref_box), box(cur_box) {
    const cv::Mat ones(ref_box.size(), CV_8UC1, cv::Scalar(1));
    detect_and_compute_roi_gpu(orb, ref_frame(ref_box), ones, ref_frame, ref_box, reference_kps,
                               reference_desc);
    detect_and_compute_background_roi_gpu(orb, ref_frame, ones, ref_box, {}, background_kps,
                                          background_desc);
  }
};

struct Data {
  Scene person, canvas;
};

const Data& data() {
  static const Data d = [] {
    const std::string dir = data_dir();
    auto frames = read_frames(dir + "/video.mp4", {kReferenceFrame, kCheckFrame});
    const std::string gt = dir + "/gt/gt.txt";
    const cv::Rect full(128, 32, 512, 512);  // a region that fills the canvas
    return Data{Scene(frames[kReferenceFrame], person_box(gt, kReferenceFrame, kPerson),
                      frames[kCheckFrame], person_box(gt, kCheckFrame, kPerson)),
                Scene(frames[kReferenceFrame], full, frames[kCheckFrame], full)};
  }();
  return d;
}

// ORB of the checked region on the canvas.
void detect(const Scene& s, std::vector<cv::KeyPoint>& kps, dev::DeviceMat& desc) {
  const cv::Mat mask(s.box.size(), CV_8UC1, cv::Scalar(1));
  detect_and_compute_roi_gpu(s.orb, s.frame(s.box), mask, s.frame, s.box, kps, desc);
}

// The whole check: features, ratio matches against the reference, background test.
size_t feature_check(const Scene& s) {
  std::vector<cv::KeyPoint> kps;
  dev::DeviceMat desc, matched;
  detect(s, kps, desc);
  std::vector<cv::DMatch> good, background, foreground;
  match_descriptors_filter_gpu(s.matcher, desc, s.reference_desc, 0.75f, good);
  filter_matched_descriptors(good, desc, matched);
  match_descriptors_raw_gpu(s.matcher, matched, s.background_desc, background);
  filter_background_matches(good, background, foreground);
  return foreground.size();
}

void report(benchmark::State& state, const Scene& s) {
  std::vector<cv::KeyPoint> kps;
  dev::DeviceMat desc;
  detect(s, kps, desc);
  state.counters["keypoints"] = static_cast<double>(kps.size());
  state.counters["reference"] = static_cast<double>(s.reference_kps.size());
  state.counters["foreground"] = static_cast<double>(feature_check(s));
}

void BM_FeatureCheck_PersonBox(benchmark::State& state) {
  const Scene& s = data().person;
  for (auto _ : state) benchmark::DoNotOptimize(feature_check(s));
  report(state, s);
}

void BM_FeatureCheck_FullCanvas(benchmark::State& state) {
  const Scene& s = data().canvas;
  for (auto _ : state) benchmark::DoNotOptimize(feature_check(s));
  report(state, s);
}

void BM_Orb_PersonBox(benchmark::State& state) {
  const Scene& s = data().person;
  std::vector<cv::KeyPoint> kps;
  dev::DeviceMat desc;
  for (auto _ : state) detect(s, kps, desc);
  state.counters["keypoints"] = static_cast<double>(kps.size());
}

void BM_Orb_FullCanvas(benchmark::State& state) {
  const Scene& s = data().canvas;
  std::vector<cv::KeyPoint> kps;
  dev::DeviceMat desc;
  for (auto _ : state) detect(s, kps, desc);
  state.counters["keypoints"] = static_cast<double>(kps.size());
}

void BM_KnnRatioMatch_FullCanvas(benchmark::State& state) {
  const Scene& s = data().canvas;
  std::vector<cv::KeyPoint> kps;
  dev::DeviceMat desc;
  detect(s, kps, desc);
  std::vector<cv::DMatch> good;
  for (auto _ : state) {
    good.clear();
    match_descriptors_filter_gpu(s.matcher, desc, s.reference_desc, 0.75f, good);
  }
  state.counters["query"] = desc.rows();
  state.counters["train"] = s.reference_desc.rows();
  state.counters["good"] = static_cast<double>(good.size());
}

// Peer: the CPU twin (frame-sized canvas, no scaling) on the person box.
void BM_CpuTwinCheck_PersonBox(benchmark::State& state) {
  const Scene& s = data().person;
  const cv::Ptr<cv::ORB> orb =
      cv::ORB::create(500, 1.2f, 8, 31, 0, 2, cv::ORB::HARRIS_SCORE, 31, 20);
  const cv::Ptr<cv::DescriptorMatcher> matcher = cv::BFMatcher::create(cv::NORM_HAMMING);
  const cv::Mat ones(s.box.size(), CV_8UC1, cv::Scalar(1));
  const cv::Mat ref_ones(s.reference_box.size(), CV_8UC1, cv::Scalar(1));
  std::vector<cv::KeyPoint> ref_kps, kps;
  cv::Mat ref_desc, desc;
  detect_and_compute_cpu(orb, s.reference_frame(s.reference_box), ref_ones, s.reference_frame,
                         s.reference_box, ref_kps, ref_desc);
  std::vector<cv::DMatch> good;
  for (auto _ : state) {
    good.clear();
    detect_and_compute_cpu(orb, s.frame(s.box), ones, s.frame, s.box, kps, desc);
    match_descriptors_cpu(matcher, desc, ref_desc, 0.75f, good);
  }
  state.counters["keypoints"] = static_cast<double>(kps.size());
  state.counters["good"] = static_cast<double>(good.size());
}

BENCHMARK(BM_FeatureCheck_PersonBox)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FeatureCheck_FullCanvas)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Orb_PersonBox)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Orb_FullCanvas)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KnnRatioMatch_FullCanvas)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CpuTwinCheck_PersonBox)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  try {
    data();  // load once, before any timing; fail early without the data
  } catch (const std::exception& e) {
    std::cerr << "halvern_feature_bench: " << e.what()
              << " (set HALVERN_BENCH_DATA to the pets09-s3mf1 folder)\n";
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
