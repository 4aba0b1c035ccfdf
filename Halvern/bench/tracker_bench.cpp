// Cost of Controller::update per frame with 1, 8 and 32 tracks, with the feature engine on
// (default settings) and off (Kalman only), against the work the design itself requires,
// timed alone in the same run:
//   - engine off: the whole-frame mask copies of every track (the accepted mask and the
//     reported one), its two template cuts and its two Kalman steps;
//   - engine on: the ORB detections and descriptor matches of the feature checks that fall
//     in the run, replayed one after another on one thread.
// Frames: the PETS 2009 S3-MF1 video (see SOURCE.txt beside it) scaled to 1280 x 720, looped,
// with textured 64 x 128 objects moving inside the process region (so no track is lost and
// no recovery search runs). Each configuration runs in a child process of its own, so that
// its peak resident memory is its own.
//
// Run: build/Halvern/bench/halvern_tracker_bench [frames [tracks on|off]]
// (default: 300 frames, every configuration)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <opencv2/imgproc.hpp>
#include <opencv2/video/tracking.hpp>
#include <opencv2/videoio.hpp>

#include <Halvern/controller.h>
#include <Halvern/helper.h>

namespace dev = halvern::device;
using Clock = std::chrono::steady_clock;

namespace {

const cv::Size kFrame(1280, 720);
const cv::Size kObject(64, 128);

std::string data_dir() {
  const char* env = std::getenv("HALVERN_BENCH_DATA");
  return env ? env : HALVERN_BENCH_DATA;
}

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double resident_mb() {  // current resident set, from /proc
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

double peak_mb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

// A BGR texture of smooth noise at three scales: corners everywhere.
cv::Mat texture(cv::Size size, uint64_t seed) {
  cv::RNG rng(seed);
  cv::Mat sum = cv::Mat::zeros(size, CV_32FC1);
  for (int cell : {16, 8, 4}) {
    cv::Mat coarse(size.height / cell + 2, size.width / cell + 2, CV_32FC1), fine;
    rng.fill(coarse, cv::RNG::UNIFORM, 0.0, 1.0);
    cv::resize(coarse, fine, coarse.size() * cell, 0, 0, cv::INTER_CUBIC);
    sum += fine(cv::Rect(cv::Point(), size));
  }
  cv::normalize(sum, sum, 0, 255, cv::NORM_MINMAX);
  cv::Mat grey, bgr;
  sum.convertTo(grey, CV_8U);
  cv::cvtColor(grey, bgr, cv::COLOR_GRAY2BGR);
  return bgr;
}

// The scene: real frames, and objects on a grid of 8 x 4 cells inside the process region,
// each swaying within its cell.
class Scene {
 public:
  explicit Scene(int objects) : video_(data_dir() + "/video.mp4") {
    if (!video_.isOpened()) throw std::runtime_error("cannot read " + data_dir() + "/video.mp4");
    for (int i = 0; i < objects; ++i) textures_.push_back(texture(kObject, 100 + i));
  }

  cv::Rect box(int object, int frame) const {
    const int col = object % 8, row = object / 8 % 4;
    const double phase = 0.7 * object + frame * 2.0 * CV_PI / 60.0;
    return {160 + col * 120 + static_cast<int>(20 * std::sin(phase)),
            90 + row * 140 + static_cast<int>(6 * std::cos(phase)), kObject.width,
            kObject.height};
  }

  // The next frame of the video (looped), scaled, with the objects painted at `frame`.
  cv::Mat render(int frame) {
    cv::Mat raw, out;
    if (!video_.read(raw)) {
      video_.set(cv::CAP_PROP_POS_FRAMES, 0);
      video_.read(raw);
    }
    cv::resize(raw, out, kFrame);
    for (size_t i = 0; i < textures_.size(); ++i)
      textures_[i].copyTo(out(box(static_cast<int>(i), frame)));
    return out;
  }

  std::vector<Tracker::TrackObject> detections(int frame) const {
    std::vector<Tracker::TrackObject> out;
    for (size_t i = 0; i < textures_.size(); ++i) {
      Tracker::TrackObject d;
      d.id = static_cast<int>(i);
      d.class_name = "object";
      d.score = 0.9f;
      d.rect = box(static_cast<int>(i), frame);
      d.mask = cv::Mat::zeros(kFrame, CV_8UC1);
      cv::ellipse(d.mask, (d.rect.tl() + d.rect.br()) / 2, d.rect.size() / 2, 0, 0, 360,
                  cv::Scalar(255), cv::FILLED);
      out.push_back(std::move(d));
    }
    return out;
  }

 private:
  cv::VideoCapture video_;
  std::vector<cv::Mat> textures_;
};

// The per-track work the design requires without the feature engine, for one frame.
struct KalmanOnly {
  std::vector<cv::KalmanFilter> centre, size;
  explicit KalmanOnly(int tracks) {
    for (int i = 0; i < tracks; ++i) {
      centre.emplace_back(6, 2, 0, CV_32F);
      size.emplace_back(4, 2, 0, CV_32F);
    }
  }
  double run(const cv::Mat& frame, const std::vector<Tracker::TrackObject>& dets) {
    const auto start = Clock::now();
    std::vector<cv::Mat> reported(dets.size());  // held to the end of the frame, as the output is
    for (size_t i = 0; i < dets.size(); ++i) {
      const cv::Rect& b = dets[i].rect;
      centre[i].predict();
      size[i].predict();
      cv::Mat kept = dets[i].mask.clone();  // the accepted mask
      cv::Mat image_cut = frame(b).clone(), mask_cut = dets[i].mask(b).clone();
      const cv::Mat_<float> c({2, 1}, {b.x + b.width / 2.f, b.y + b.height / 2.f});
      const cv::Mat_<float> s({2, 1}, {static_cast<float>(b.width), static_cast<float>(b.height)});
      centre[i].correct(c);
      size[i].correct(s);
      reported[i] = kept.clone();
    }
    reported.clear();
    return ms_since(start);
  }
};

// The feature checks of the run, replayed: per due check one detection on the box, the ratio
// match against the reference, the background match, and one refresh detection.
struct FeatureWork {
  cv::Ptr<dev::OrbDetector> orb = dev::OrbDetector::create();
  cv::Ptr<dev::HammingMatcher> matcher = dev::HammingMatcher::create();
  std::vector<dev::DeviceMat> reference, background;
  std::vector<cv::Mat> reference_frame;
  std::vector<cv::Rect> reference_box;

  void seed(const cv::Mat& frame, const std::vector<Tracker::TrackObject>& dets) {
    for (const auto& d : dets) {
      std::vector<cv::KeyPoint> k;
      reference.emplace_back();
      background.emplace_back();
      const cv::Mat ones(d.rect.size(), CV_8UC1, cv::Scalar(1));
      detect_and_compute_roi_gpu(orb, frame(d.rect), ones, frame, d.rect, k, reference.back());
      detect_and_compute_background_roi_gpu(orb, frame, ones, d.rect, {}, k, background.back());
      reference_frame.push_back(frame);
      reference_box.push_back(d.rect);
    }
  }

  double run(const cv::Mat& frame, const std::vector<Tracker::TrackObject>& dets, int update) {
    // With the defaults the checks fall on updates 11, 16, 21, ...
    if (update < 11 || (update - 11) % 5 != 0) return 0.0;
    const auto start = Clock::now();
    std::vector<cv::Mat> reported(dets.size());  // held to the end of the frame, as the output is
    for (size_t i = 0; i < dets.size(); ++i) {
      const cv::Rect& b = dets[i].rect;
      std::vector<cv::KeyPoint> k;
      dev::DeviceMat current, matched;
      detect_and_compute_roi_gpu(orb, frame(b), dets[i].mask(b), frame, b, k, current);
      std::vector<cv::DMatch> good, bg, fg;
      match_descriptors_filter_gpu(matcher, current, reference[i], 0.75f, good);
      filter_matched_descriptors(good, current, matched);
      match_descriptors_raw_gpu(matcher, matched, background[i], bg);
      filter_background_matches(good, bg, fg);
      const cv::Rect& r = reference_box[i];
      dev::DeviceMat refreshed;
      if (fg.size() == good.size())
        detect_and_compute_roi_gpu(orb, reference_frame[i](r), cv::Mat(r.size(), CV_8UC1, 1),
                                   reference_frame[i], r, k, refreshed);
      else
        detect_and_compute_background_roi_gpu(orb, reference_frame[i],
                                              cv::Mat(r.size(), CV_8UC1, 1), r, {}, k, refreshed);
    }
    return ms_since(start);
  }
};

struct Row {
  double tracker_ms, alone_ms, baseline_mb, held_mb, peak_mb;
};

Row run(int tracks, bool features, int frames) {
  Tracker::Config config;
  config.enable_halvern = features;
  set_config(config);
  Scene scene(tracks);
  KalmanOnly kalman(tracks);
  FeatureWork feature_work;

  cv::Mat first = scene.render(0);
  const auto seeds = scene.detections(0);
  const double baseline = resident_mb();
  Controller controller(30);
  controller.init({first.data, first.cols, first.rows, 3}, seeds);
  if (features) feature_work.seed(first, seeds);

  Row row{0, 0, baseline, 0, 0};
  for (int f = 1; f <= frames; ++f) {
    cv::Mat frame = scene.render(f);
    auto dets = scene.detections(f);
    const auto given = dets;  // the update appends the tracks
    const auto start = Clock::now();
    controller.update({frame.data, frame.cols, frame.rows, 3}, dets);
    row.tracker_ms += ms_since(start);
    for (size_t i = given.size(); i < dets.size(); ++i)
      if (dets[i].status != Tracker::STATUS_TRACKING)
        std::fprintf(stderr, "track %d not tracking at frame %d\n", dets[i].id, f);
    row.alone_ms += features ? feature_work.run(frame, given, f) : kalman.run(frame, given);
  }
  row.held_mb = resident_mb() - baseline;
  row.peak_mb = peak_mb();
  row.tracker_ms /= frames;
  row.alone_ms /= frames;
  return row;
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 300;
  if (frames <= 0) return 1;
  std::vector<int> track_counts = {1, 8, 32};
  std::vector<bool> engines = {false, true};
  if (argc > 3) {  // one configuration only
    track_counts = {std::atoi(argv[2])};
    engines = {std::string(argv[3]) == "on"};
    if (track_counts[0] <= 0) return 1;
  }
  const double frame_mb = kFrame.area() * 3.0 / (1 << 20);
  std::printf("Controller::update, %dx%d frames (PETS 2009 S3-MF1, scaled), %d frames per run\n",
              kFrame.width, kFrame.height, frames);
  std::printf("floor: engine off = mask copies + template cuts + Kalman steps of every track;\n"
              "       engine on  = ORB detections and matches of the feature checks (1 thread)\n");
  std::printf("%-7s %6s %9s %8s %9s %6s %8s %9s %9s %14s\n", "engine", "tracks", "ms/frame",
              "frames/s", "floor ms", "ratio", "ORB share", "peak MB", "held MB",
              "unshared clones");
  std::fflush(stdout);
  for (bool features : engines) {
    for (int tracks : track_counts) {
      // A child per configuration: nothing of OpenCV runs in the parent before the fork.
      const pid_t child = fork();
      if (child < 0) return 1;
      if (child == 0) {
        try {
          const Row r = run(tracks, features, frames);
          // Frame clones a track would hold if each kept copies of its own.
          const double unshared =
              features ? tracks * Tracker::Config{}.template_queue_size * frame_mb : 0.0;
          char share[16] = "-";
          if (features)
            std::snprintf(share, sizeof share, "%.0f%%", 100.0 * r.alone_ms / r.tracker_ms);
          std::printf("%-7s %6d %9.2f %8.1f %9.2f %6.2f %8s %9.0f %9.0f %11.0f MB\n",
                      features ? "on" : "off", tracks, r.tracker_ms, 1000.0 / r.tracker_ms,
                      r.alone_ms, r.tracker_ms / r.alone_ms, share, r.peak_mb, r.held_mb, unshared);
          std::fflush(stdout);
          _exit(0);
        } catch (const std::exception& e) {
          std::fprintf(stderr, "halvern_tracker_bench: %s (set HALVERN_BENCH_DATA to the "
                               "pets09-s3mf1 folder)\n", e.what());
          _exit(1);
        }
      }
      int status = 0;
      waitpid(child, &status, 0);
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
    }
  }
  std::printf("ratio = ms/frame over floor ms; held MB = resident memory added by the tracker "
              "at the end of the run;\nunshared clones = the frame clones the tracks would hold "
              "without one shared clone per frame.\n");
  return 0;
}
