// Feature detection: the canvas fit and the mapping back to the frame (with a recording
// detector), the background ring, and round trips of real ORB features on a shifted texture.
#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>
#include <opencv2/features2d.hpp>

#include <Halvern/helper.h>

#include "textures.h"

namespace dev = halvern::device;

namespace {

// Records what it was given and reports keypoints at fixed canvas points.
class RecordingDetector : public dev::OrbDetector {
 public:
  explicit RecordingDetector(std::vector<cv::Point2f> points) : points_(std::move(points)) {}

  void detect_and_compute(const dev::DeviceMat& image, const dev::DeviceMat& mask,
                          std::vector<cv::KeyPoint>& keypoints,
                          dev::DeviceMat& descriptors) override {
    ++calls;
    canvas = image.download();
    mask_canvas = mask.download();
    keypoints.clear();
    for (const cv::Point2f& p : points_) keypoints.emplace_back(p, 31.0f);
    descriptors.upload(cv::Mat::zeros(static_cast<int>(points_.size()), 32, CV_8UC1));
  }

  int calls = 0;
  cv::Mat canvas, mask_canvas;

 private:
  std::vector<cv::Point2f> points_;
};

struct FitCase {
  cv::Size region;
  cv::Rect placed;          // where the region lands on the 512 x 512 canvas
  cv::Point2f canvas_point;
  cv::Point2f frame_offset;  // expected frame point minus the region's top-left
};

TEST(CanvasFit, PlacementAndMappingBack) {
  const FitCase cases[] = {
      {{1024, 300}, {0, 181, 512, 150}, {100, 200}, {200, 38}},  // halved
      {{512, 512}, {0, 0, 512, 512}, {100, 200}, {100, 200}},    // fits exactly
      {{40, 30}, {236, 241, 40, 30}, {246, 251}, {10, 10}},      // small: centred, unscaled
      // Shrunk twice (width, then height): the canvas centre maps back to the region centre.
      {{600, 2048}, {181, 0, 150, 512}, {256, 256}, {300, 1024}},
  };
  const cv::Rect roi_at(40, 50, 0, 0);
  for (const FitCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.region);
    const cv::Mat image(c.region, CV_8UC3, cv::Scalar(90, 90, 90));
    const cv::Mat ones(c.region, CV_8UC1, cv::Scalar(1));
    const cv::Rect roi(roi_at.tl(), c.region);
    auto detector = cv::makePtr<RecordingDetector>(std::vector<cv::Point2f>{c.canvas_point});
    std::vector<cv::KeyPoint> keypoints;
    dev::DeviceMat descriptors;
    detect_and_compute_roi_gpu(detector, image, ones, cv::Mat(), roi, keypoints, descriptors);

    ASSERT_EQ(detector->canvas.size(), cv::Size(512, 512));
    EXPECT_EQ(cv::countNonZero(detector->canvas), c.placed.area());
    EXPECT_EQ(cv::countNonZero(detector->canvas(c.placed) != 90), 0);
    EXPECT_EQ(cv::countNonZero(detector->mask_canvas), c.placed.area());
    EXPECT_EQ(cv::countNonZero(detector->mask_canvas(c.placed) != 255), 0);  // 1 becomes 255
    ASSERT_EQ(keypoints.size(), 1u);
    EXPECT_EQ(descriptors.rows(), 1);
    const cv::Point2f got = keypoints[0].pt - cv::Point2f(roi.tl());
    EXPECT_NEAR(got.x, c.frame_offset.x, 0.5f);
    EXPECT_NEAR(got.y, c.frame_offset.y, 0.5f);
  }
}

TEST(CanvasFit, MasksAndDegenerateRegions) {
  auto detector = cv::makePtr<RecordingDetector>(std::vector<cv::Point2f>{{1, 1}});
  std::vector<cv::KeyPoint> keypoints;
  dev::DeviceMat descriptors;
  const cv::Mat image(30, 40, CV_8UC3, cv::Scalar::all(7));

  // No mask: the detector gets none.
  detect_and_compute_roi_gpu(detector, image, cv::Mat(), cv::Mat(), {0, 0, 40, 30}, keypoints,
                             descriptors);
  EXPECT_TRUE(detector->mask_canvas.empty());

  // A mask must match the image and be single-channel 8-bit.
  EXPECT_THROW(detect_and_compute_roi_gpu(detector, image, cv::Mat(30, 41, CV_8UC1, 1), cv::Mat(),
                                          {0, 0, 40, 30}, keypoints, descriptors),
               cv::Exception);
  EXPECT_THROW(detect_and_compute_roi_gpu(detector, image, cv::Mat(30, 40, CV_32FC1, 1.0),
                                          cv::Mat(), {0, 0, 40, 30}, keypoints, descriptors),
               cv::Exception);

  // Regions with nothing to look at (empty, or one row of a wide strip that shrinks to no
  // rows) give no features and do not reach the detector.
  const int calls = detector->calls;
  for (const cv::Mat& nothing : {cv::Mat(), cv::Mat(1, 2000, CV_8UC3, cv::Scalar::all(1))}) {
    keypoints.assign(3, cv::KeyPoint());
    descriptors.upload(cv::Mat::ones(3, 32, CV_8UC1));
    detect_and_compute_roi_gpu(detector, nothing, cv::Mat(), cv::Mat(), {0, 0, 0, 0}, keypoints,
                               descriptors);
    EXPECT_TRUE(keypoints.empty());
    EXPECT_TRUE(descriptors.empty());
  }
  EXPECT_EQ(detector->calls, calls);
}

// `r` grown by `by` pixels on every side (shrunk for a negative `by`).
cv::Rect grown(const cv::Rect& r, int by) {
  return {r.x - by, r.y - by, r.width + 2 * by, r.height + 2 * by};
}

// Every keypoint of the ring lies inside the window three times the box and outside the hole
// twice the template. ORB places keypoints of its coarser levels to within a pixel.
void expect_in_ring(const std::vector<cv::KeyPoint>& keypoints, const cv::Rect& window,
                    const cv::Rect& hole) {
  for (const cv::KeyPoint& k : keypoints) {
    const cv::Point p(k.pt);
    EXPECT_TRUE(grown(window, 1).contains(p)) << k.pt;
    EXPECT_FALSE(grown(hole, -1).contains(p)) << k.pt;
  }
}

TEST(BackgroundRing, KeypointsLieAroundTheObject) {
  const cv::Mat frame = halvern_test::textured_image(320, 240, 11);
  auto orb = dev::OrbDetector::create();
  std::vector<cv::KeyPoint> keypoints;
  dev::DeviceMat descriptors;

  const cv::Rect box(150, 100, 40, 40);
  const cv::Mat template_mask(40, 40, CV_8UC1, cv::Scalar(1));
  detect_and_compute_background_roi_gpu(orb, frame, template_mask, box, {}, keypoints, descriptors);
  EXPECT_GT(keypoints.size(), 20u);
  EXPECT_EQ(descriptors.rows(), static_cast<int>(keypoints.size()));
  expect_in_ring(keypoints, {110, 60, 120, 120}, {130, 80, 80, 80});

  // A box near the corner: the window is moved into the frame, the hole stays on the object.
  const cv::Rect corner(0, 0, 40, 40);
  detect_and_compute_background_roi_gpu(orb, frame, template_mask, corner, {}, keypoints,
                                        descriptors);
  EXPECT_FALSE(keypoints.empty());
  expect_in_ring(keypoints, {0, 0, 120, 120}, {0, 0, 80, 80});

  // An object larger than a third of the frame: the window is cut to the frame.
  const cv::Rect large(100, 70, 120, 90);
  const cv::Mat large_mask(90, 120, CV_8UC1, cv::Scalar(1));
  ASSERT_NO_THROW(detect_and_compute_background_roi_gpu(orb, frame, large_mask, large, {},
                                                        keypoints, descriptors));
  EXPECT_FALSE(keypoints.empty());
  expect_in_ring(keypoints, {0, 0, 320, 240}, {40, 25, 240, 180});
}

// A textured frame and the same scene moved by `shift`, with an object box in the first.
struct ShiftedScene {
  cv::Point shift{18, -13};
  cv::Rect box{120, 80, 80, 80};
  cv::Rect moved = box + shift;
  cv::Mat before, after;
  ShiftedScene() {
    const cv::Mat big = halvern_test::textured_image(400, 300, 5);
    before = big(cv::Rect(40, 40, 320, 240)).clone();
    after = big(cv::Rect(40 - shift.x, 40 - shift.y, 320, 240)).clone();
  }
};

// Whether a match's keypoints moved by `shift`, within `tolerance` pixels.
bool moved_by(const cv::DMatch& m, const std::vector<cv::KeyPoint>& query,
              const std::vector<cv::KeyPoint>& train, cv::Point shift, float tolerance = 1.0f) {
  const cv::Point2f d = query[m.queryIdx].pt - train[m.trainIdx].pt - cv::Point2f(shift);
  return std::abs(d.x) <= tolerance && std::abs(d.y) <= tolerance;
}

// The share of matches whose keypoints moved by `shift`.
double share_moved_by(const std::vector<cv::DMatch>& matches,
                      const std::vector<cv::KeyPoint>& query,
                      const std::vector<cv::KeyPoint>& train, cv::Point shift,
                      float tolerance = 1.0f) {
  if (matches.empty()) return 0.0;
  const auto moved = std::count_if(matches.begin(), matches.end(), [&](const cv::DMatch& m) {
    return moved_by(m, query, train, shift, tolerance);
  });
  return static_cast<double>(moved) / matches.size();
}

TEST(FeatureRoundTrip, ObjectFoundAgainAfterAShiftOnTheDevice) {
  const ShiftedScene scene;
  auto orb = dev::OrbDetector::create();
  auto matcher = dev::HammingMatcher::create();

  std::vector<cv::KeyPoint> reference, background, current;
  dev::DeviceMat reference_desc, background_desc, current_desc;
  const cv::Mat ones(scene.box.size(), CV_8UC1, cv::Scalar(1));
  detect_and_compute_roi_gpu(orb, scene.before(scene.box), ones, scene.before, scene.box,
                             reference, reference_desc);
  detect_and_compute_background_roi_gpu(orb, scene.before, ones, scene.box, {}, background,
                                        background_desc);
  ASSERT_GT(reference.size(), 100u);

  // Checked where the object went: keypoints in frame coordinates agree across regions.
  detect_and_compute_roi_gpu(orb, scene.after(scene.moved), ones, scene.after, scene.moved,
                             current, current_desc);
  std::vector<cv::DMatch> good;
  match_descriptors_filter_gpu(matcher, current_desc, reference_desc, 0.75f, good);
  ASSERT_GT(good.size(), 100u);
  EXPECT_GT(share_moved_by(good, current, reference, scene.shift), 0.9);

  // They are object matches, not background ones.
  dev::DeviceMat matched_desc;
  filter_matched_descriptors(good, current_desc, matched_desc);
  std::vector<cv::DMatch> nearest_background, foreground;
  match_descriptors_raw_gpu(matcher, matched_desc, background_desc, nearest_background);
  EXPECT_EQ(nearest_background.size(), good.size());
  filter_background_matches(good, nearest_background, foreground);
  EXPECT_GT(foreground.size(), good.size() * 9 / 10);

  // Searched for around where it was: the box holding most matches is where it went.
  const cv::Rect window = centeredRect(center(scene.box), 7 * scene.box.width / 4,
                                       7 * scene.box.height / 4);
  detect_and_compute_roi_gpu(orb, scene.after(window), cv::Mat(), scene.after, window, current,
                             current_desc);
  good.clear();
  match_descriptors_filter_gpu(matcher, current_desc, reference_desc, 0.75f, good);
  ASSERT_GT(good.size(), 20u);
  cv::Rect best;
  int count = 0;
  float dist = 0;
  std::vector<cv::DMatch> kept;
  calc_max_bbox_min_dist(window, scene.box, current, good, best, count, dist, kept);
  EXPECT_EQ(best.size(), scene.box.size());
  // It holds the matches that moved with the object, and lies nearer where it went than
  // where it was (false matches elsewhere may pull it a little).
  size_t moved_matches = 0, moved_inside = 0;
  for (const cv::DMatch& m : good) {
    if (!moved_by(m, current, reference, scene.shift)) continue;
    ++moved_matches;
    moved_inside += best.contains(cv::Point(current[m.queryIdx].pt));
  }
  EXPECT_GT(moved_matches, 20u);
  EXPECT_GE(moved_inside * 10, moved_matches * 9);
  EXPECT_GT(calculate_iou(best, scene.moved), calculate_iou(best, scene.box) + 0.2f) << best;
  EXPECT_EQ(kept.size(), static_cast<size_t>(count));

  std::vector<cv::KeyPoint> inside;
  dev::DeviceMat inside_desc;
  filter_bbox_matched_descriptors(current, good, best, current_desc, inside_desc, inside);
  EXPECT_EQ(inside.size(), kept.size());
  cv::Rect spread;
  calc_min_max_bbox_keypoints(inside, spread);
  EXPECT_GT(calculate_minrect_iou(spread, best), 0.95f);  // the keypoints lie in the box
}

TEST(FeatureRoundTrip, ObjectFoundAgainAfterAShiftOnTheCpu) {
  const ShiftedScene scene;
  const cv::Ptr<cv::ORB> orb =
      cv::ORB::create(500, 1.2f, 8, 31, 0, 2, cv::ORB::HARRIS_SCORE, 31, 20);
  const cv::Ptr<cv::DescriptorMatcher> matcher = cv::BFMatcher::create(cv::NORM_HAMMING);

  std::vector<cv::KeyPoint> reference, current;
  cv::Mat reference_desc, current_desc;
  const cv::Mat ones(scene.box.size(), CV_8UC1, cv::Scalar(1));
  detect_and_compute_cpu(orb, scene.before(scene.box), ones, scene.before, scene.box, reference,
                         reference_desc);
  ASSERT_GT(reference.size(), 50u);
  for (const cv::KeyPoint& k : reference)
    EXPECT_TRUE(grown(scene.box, 1).contains(cv::Point(k.pt))) << k.pt;

  detect_and_compute_cpu(orb, scene.after(scene.moved), ones, scene.after, scene.moved, current,
                         current_desc);
  std::vector<cv::DMatch> good;
  match_descriptors_cpu(matcher, current_desc, reference_desc, 0.75f, good);
  ASSERT_GT(good.size(), 50u);
  // The frame-sized canvas has the region at another place on each call, so ORB's coarser
  // levels sample it on another grid: keypoints agree to two pixels.
  EXPECT_GT(share_moved_by(good, current, reference, scene.shift, 2.0f), 0.9);

  // A region placed outside the frame is an error.
  EXPECT_THROW(detect_and_compute_cpu(orb, scene.after(scene.box), cv::Mat(), scene.after,
                                      {300, 200, 80, 80}, current, current_desc),
               cv::Exception);
}

}  // namespace
