// Track: its filters, the update bounds and accept step, the feature check schedule, the loss
// tests, the status history and the recovery search, driven phase by phase.
#include <string>

#include <gtest/gtest.h>

#include <Halvern/controller.h>
#include <Halvern/helper.h>

#include "scene.h"
#include "track.h"

using halvern_test::shape_mask;
using halvern_test::Scene;

namespace {

// Every test starts from and leaves behind the built-in settings.
class TrackTest : public testing::Test {
 protected:
  void SetUp() override { set_config(Tracker::Config{}); }
  void TearDown() override { set_config(Tracker::Config{}); }

  static void configure(void (*change)(Tracker::Config&)) {
    Tracker::Config c;
    change(c);
    set_config(c);
  }
};

// One frame of the manager's phases for a single track fed `box`.
void run_frame(Track& t, const SharedFrame& frame, const cv::Rect& box, double score = 0.9) {
  if (t.tracking) t.predict();
  if (t.tracking)
    t.update(frame, box, shape_mask(frame.view().size(), box), score);
  else
    t.count_miss();
  if (t.tracking) t.correct();
  t.update_status();
  if (t.tracking) t.detect_track_lost();
}

TEST_F(TrackTest, FiltersStartFromTheBox) {
  const Scene scene;
  const SharedFrame frame(scene.render({{100, 80}}));
  Track t({100, 80, 40, 60}, 7, "car", 0.3f, frame);

  EXPECT_EQ(t.id, 7u);
  EXPECT_EQ(t.class_name, "car");
  EXPECT_EQ(t.score, 1.0f);
  EXPECT_EQ(t.age, 1);
  EXPECT_TRUE(t.tracking && t.check_due && !t.searching && !t.failed);
  EXPECT_EQ(t.process_region, cv::Rect(32, 24, 256, 192));

  const cv::KalmanFilter& c = t.centre_filter;
  ASSERT_EQ(c.statePost.type(), CV_32F);
  EXPECT_EQ(c.statePost.at<float>(0), 120.0f);
  EXPECT_EQ(c.statePost.at<float>(3), 110.0f);
  EXPECT_EQ(c.errorCovPost.at<float>(1, 1), 170.1714668183596f);
  EXPECT_EQ(c.errorCovPre.at<float>(5, 5), 0.00032623279693501194f);
  EXPECT_EQ(c.measurementNoiseCov.at<float>(1, 1), 4.417891090025643e-07f);
  EXPECT_EQ(cv::countNonZero(c.transitionMatrix != cv::Mat::eye(6, 6, CV_32F)), 2);
  const cv::KalmanFilter& s = t.size_filter;
  EXPECT_EQ(s.processNoiseCov.at<float>(2, 2), 5.0f);
  EXPECT_EQ(s.measurementNoiseCov.at<float>(0, 0), 0.1f);
  EXPECT_EQ(cv::countNonZero(s.errorCovPost), 0);
}

// Boxes worked out independently (double precision) from the filters' equations.
TEST_F(TrackTest, PredictAndCorrectFollowTheDetections) {
  const Scene scene;
  const SharedFrame frame(scene.render({{100, 80}}));
  Track t({100, 80, 40, 60}, 1, "", 1.0f, frame);
  const cv::Rect detections[] = {{106, 83, 42, 61}, {113, 87, 44, 62}, {121, 90, 45, 64}};
  const cv::Rect corrected[] = {{106, 83, 40, 60}, {112, 87, 43, 61}, {120, 90, 45, 63}};
  for (int i = 0; i < 3; ++i) {
    t.predict();
    t.update(frame, detections[i], shape_mask(scene.size, detections[i]), 0.9);
    EXPECT_EQ(cv::Rect(t.bbox), detections[i]);  // accepted as given
    t.correct();
    EXPECT_EQ(cv::Rect(t.bbox), corrected[i]) << "frame " << i;
    EXPECT_EQ(t.box_history.back(), corrected[i]);
  }
  EXPECT_EQ(t.age, 4);
}

TEST_F(TrackTest, DetectionOutsideTheFrameEndsTheTrackAtOnce) {
  const Scene scene;  // 320 x 240
  const SharedFrame frame(scene.render({{100, 80}}));
  struct Case {
    cv::Rect box;
    bool inside;
  };
  const Case cases[] = {
      {{272, 80, 48, 64}, true},   // touches the right edge
      {{273, 80, 48, 64}, false},  // one pixel past it
      {{-1, 80, 48, 64}, false},
      {{100, 176, 48, 64}, true},  // touches the bottom edge
      {{100, 177, 48, 64}, false},
      {{100, 80, -2, 64}, false},
      {{INT32_MAX, 80, 48, 64}, false},
      {{100, 80, 0, 0}, true},  // no area, but inside
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.box);
    Track t({100, 80, 48, 64}, 1, "", 1.0f, frame);
    t.update(frame, c.box, shape_mask(scene.size, {100, 80, 48, 64}), 0.9);
    EXPECT_EQ(t.tracking, c.inside);
    EXPECT_EQ(t.failed, !c.inside);
    EXPECT_FALSE(t.searching);
    EXPECT_EQ(t.age, c.inside ? 2 : 1);
    EXPECT_EQ(t.lost_count, 0);
    EXPECT_EQ(t.status(), c.inside ? 16 : 0);
  }
}

TEST_F(TrackTest, AcceptStepKeepsTheDetectionAndABoundedReference) {
  configure([](Tracker::Config& c) { c.template_queue_size = 3; });
  const Scene scene;
  Track t({100, 80, 48, 64}, 1, "", 1.0f, SharedFrame(scene.render({{100, 80}})));
  ASSERT_EQ(t.templates.size(), 1u);

  for (int i = 1; i <= 5; ++i) {
    const cv::Rect box(100 + 2 * i, 80, 48, 64);
    cv::Mat pixels = scene.render({box.tl()});
    const SharedFrame frame(pixels);
    cv::Mat mask = shape_mask(scene.size, box);
    t.update(frame, box, mask, 0.9);

    EXPECT_EQ(cv::Rect(t.bbox), box);
    EXPECT_EQ(t.age, 1 + i);
    EXPECT_EQ(t.templates.size(), std::min<size_t>(1 + i, 3));
    EXPECT_EQ(t.template_masks.size(), t.templates.size());
    EXPECT_EQ(t.template_frames.size(), t.templates.size());
    EXPECT_EQ(t.template_boxes.back(), box);
    EXPECT_EQ(cv::norm(t.templates.back(), pixels(box), cv::NORM_INF), 0.0);
    // Copies, not views of the caller's buffers: the caller may reuse them.
    EXPECT_NE(t.frame_mask.data, mask.data);
    EXPECT_NE(t.template_frames.back().data, pixels.data);
    EXPECT_EQ(t.template_frames.back().data, frame.clone().data);  // the frame's one clone
    mask.setTo(0);
    pixels.setTo(0);
    EXPECT_EQ(cv::norm(t.frame_mask, shape_mask(scene.size, box), cv::NORM_INF), 0.0);
    EXPECT_EQ(cv::norm(t.template_mask, shape_mask(scene.size, box)(box), cv::NORM_INF), 0.0);
  }
  // Tracks fed in one frame keep one clone of it between them.
  Track other({100, 80, 48, 64}, 2, "", 1.0f, SharedFrame(scene.render({{100, 80}})));
  const SharedFrame frame(scene.render({{110, 80}}));
  t.update(frame, {110, 80, 48, 64}, shape_mask(scene.size, {110, 80, 48, 64}), 0.9);
  other.update(frame, {110, 80, 48, 64}, shape_mask(scene.size, {110, 80, 48, 64}), 0.9);
  EXPECT_EQ(t.template_frames.back().data, other.template_frames.back().data);
  // The oldest entries went first: the front is the fourth update's.
  EXPECT_EQ(t.template_boxes.front(), cv::Rect(108, 80, 48, 64));
}

// With the defaults (stab_period 6, detect_fail_interval 5) the first check runs on the 11th
// update; a detection below the confidence floor fails it even though its features match.
TEST_F(TrackTest, FirstFeatureCheckFallsOnTheEleventhUpdate) {
  const Scene scene;
  const cv::Rect box(100, 80, 48, 64);
  const SharedFrame frame(scene.render({box.tl()}));
  Track t(box, 1, "", 1.0f, frame);
  ASSERT_FALSE(t.template_keypoints.empty());
  for (int update = 1; update <= 16; ++update) {
    t.update(frame, box, shape_mask(scene.size, box), 0.00005);
    EXPECT_EQ(t.failed, update >= 11) << "update " << update;
  }
  EXPECT_EQ(t.age, 11);  // a failed track accepts nothing more
  EXPECT_EQ(t.lost_count, 6);
}

// An OpenCV error inside the check is reported and the detection taken as if unchecked.
TEST_F(TrackTest, ErrorInTheCheckIsReportedAndSkipped) {
  const Scene scene;
  const cv::Rect box(100, 80, 48, 64);
  const SharedFrame frame(scene.render({box.tl()}));
  Track t(box, 1, "", 1.0f, frame);
  cv::Mat float_mask;
  shape_mask(scene.size, box).convertTo(float_mask, CV_32F);  // the detector wants 8-bit
  for (int update = 1; update <= 10; ++update) t.update(frame, box, float_mask, 0.9);
  testing::internal::CaptureStderr();
  t.update(frame, box, float_mask, 0.9);  // the 11th: the check is due
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.rfind("Exception in update_engine : ", 0), 0u) << err;
  EXPECT_EQ(err.back(), '\n');
  EXPECT_FALSE(t.failed);
  EXPECT_TRUE(t.tracking);
  EXPECT_EQ(t.age, 12);
}

TEST_F(TrackTest, CheckFailsOnADetectionThatShowsSomethingElse) {
  Scene scene(2);
  scene.objects[1] = halvern_test::textured_image(48, 64, 101, {16});  // smoother, unlike 0
  const cv::Rect box(100, 80, 48, 64);
  Track t(box, 1, "", 1.0f, SharedFrame(scene.render({box.tl(), {220, 150}})));
  for (int update = 1; update <= 11; ++update) {
    // From the 8th frame the two objects have swapped places.
    const bool swapped = update >= 8;
    const cv::Point elsewhere(220, 150);
    const SharedFrame frame(
        scene.render({swapped ? elsewhere : box.tl(), swapped ? box.tl() : elsewhere}));
    t.update(frame, box, shape_mask(scene.size, box), 0.9);
    EXPECT_EQ(t.failed, update == 11) << "update " << update;
  }
  EXPECT_EQ(t.age, 11);
  // The same object at the due check passes it.
  Track same(box, 2, "", 1.0f, SharedFrame(scene.render({box.tl()})));
  const SharedFrame frame(scene.render({box.tl()}));
  for (int update = 1; update <= 11; ++update)
    same.update(frame, box, shape_mask(scene.size, box), 0.9);
  EXPECT_FALSE(same.failed);
  EXPECT_EQ(same.age, 12);
}

TEST_F(TrackTest, TooSmallBoxIsLostForGood) {
  const Scene scene;
  const cv::Rect box(100, 80, 9, 40);
  const SharedFrame frame(scene.render({{100, 80}}));
  Track t(box, 1, "", 1.0f, frame);
  run_frame(t, frame, box);
  EXPECT_FALSE(t.tracking);
  EXPECT_FALSE(t.searching);

  // Without the feature engine nothing is dropped for size.
  configure([](Tracker::Config& c) { c.enable_halvern = false; });
  Track plain(box, 1, "", 1.0f, frame);
  run_frame(plain, frame, box);
  EXPECT_TRUE(plain.tracking);
}

// Seven frames in place, then two with the box in the left margin: the smoothed box follows
// it out of the process region on the second.
Track& into_margin(Track& t, const Scene& scene, const cv::Rect& inside) {
  for (int i = 0; i < 7; ++i) run_frame(t, SharedFrame(scene.render({inside.tl()})), inside);
  EXPECT_TRUE(t.tracking);
  const cv::Rect margin(10, inside.y, inside.width, inside.height);
  for (int i = 0; i < 2; ++i) run_frame(t, SharedFrame(scene.render({margin.tl()})), margin);
  return t;
}

TEST_F(TrackTest, BoxLeavingTheProcessRegionIsLost) {
  const Scene scene;
  const cv::Rect inside(100, 80, 48, 64);
  {
    Track t(inside, 1, "", 1.0f, SharedFrame(scene.render({inside.tl()})));
    into_margin(t, scene, inside);
    EXPECT_FALSE(t.tracking);
    EXPECT_TRUE(t.searching);
    EXPECT_EQ(t.status(), 8);
  }
  configure([](Tracker::Config& c) { c.recover_track = false; });
  Track t(inside, 1, "", 1.0f, SharedFrame(scene.render({inside.tl()})));
  into_margin(t, scene, inside);
  EXPECT_EQ(t.status(), 0);

  // A box covering most of the process region is not lost although it reaches out of it.
  set_config(Tracker::Config{});
  const cv::Rect large(20, 20, 260, 200);  // IoU with (32, 24, 256, 192) above 0.75
  const SharedFrame frame(scene.background);
  Track big(large, 1, "", 1.0f, frame);
  for (int i = 0; i < 8; ++i) run_frame(big, frame, large);
  EXPECT_TRUE(big.tracking);
}

TEST_F(TrackTest, StatusHistoryEndsASearch) {
  configure([](Tracker::Config& c) {
    c.status_queue_size = 10;
    c.search_status_threshold = 0.5f;
    c.max_search_interval = 4;
  });
  const Scene scene;
  const SharedFrame frame(scene.render({{100, 80}}));
  Track t({100, 80, 48, 64}, 1, "", 1.0f, frame);

  // Tracking all along: a search flag is left alone.
  t.searching = true;
  for (int i = 0; i < 12; ++i) t.update_status();
  EXPECT_TRUE(t.searching);
  EXPECT_EQ(t.status_history.size(), 10u);

  // Not tracking: the search ends when the 6th miss makes the share 0.6 > 0.5.
  t.tracking = false;
  for (int miss = 1; miss <= 6; ++miss) {
    t.update_status();
    EXPECT_EQ(t.searching, miss < 6) << "miss " << miss;
  }

  // Or when more detections in a row went unaccepted than max_search_interval.
  Track u({100, 80, 48, 64}, 2, "", 1.0f, frame);
  u.searching = true;
  u.tracking = false;
  u.status_history.assign(10, true);
  u.lost_count = 4;
  u.update_status();
  EXPECT_TRUE(u.searching);
  u.lost_count = 5;
  u.update_status();
  EXPECT_FALSE(u.searching);
}

TEST_F(TrackTest, RecoveryWindowGrowsWithTheLostFrames) {
  const cv::Size frame(640, 480);
  const cv::Size templ(100, 60);
  const cv::Rect2d box(250, 200, 80, 50);  // centre (290, 225)
  struct Case {
    int lost;
    cv::Size size;
  };
  const Case cases[] = {{0, {110, 66}}, {1, {120, 72}}, {5, {160, 96}}, {10, {210, 126}},
                        {60, {210, 126}}, {-3, {110, 66}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lost);
    const cv::Rect w = recovery_window(box, templ, c.lost, {0, 0}, frame);
    EXPECT_EQ(w.size(), c.size);
    EXPECT_EQ(w.tl(), cv::Point(290 - c.size.width / 2, 225 - c.size.height / 2));
  }
  // Centred on the box less the camera offset; moved inside the frame near an edge.
  EXPECT_EQ(recovery_window(box, templ, 0, {10.4f, -4.6f}, frame).tl(), cv::Point(225, 197));
  EXPECT_EQ(recovery_window({600, 440, 40, 40}, templ, 0, {0, 0}, frame),
            cv::Rect(530, 414, 110, 66));
  // A window larger than the frame is cut to it.
  EXPECT_EQ(recovery_window({10, 10, 100, 100}, {300, 200}, 10, {0, 0}, {320, 240}),
            cv::Rect(0, 0, 320, 240));
}

TEST_F(TrackTest, RecoveryFindsTheShiftedObject) {
  const Scene scene;
  const cv::Rect box(120, 90, 48, 64);
  Track t(box, 1, "", 1.0f, SharedFrame(scene.render({box.tl()})));
  t.tracking = false;
  t.searching = true;
  t.lost_count = 3;

  // Nothing there: still searching.
  t.detect(SharedFrame(scene.background), CameraMotionInfo{});
  EXPECT_FALSE(t.tracking);

  const cv::Point moved = box.tl() + cv::Point(9, -6);
  const SharedFrame frame(scene.render({moved}));
  t.detect(frame, CameraMotionInfo{});
  ASSERT_TRUE(t.tracking);
  EXPECT_TRUE(t.searching);  // left as it was
  EXPECT_EQ(t.lost_count, 3);
  EXPECT_EQ(t.bbox.size(), cv::Size2d(box.size()));
  EXPECT_GT(calculate_iou(cv::Rect(t.bbox), scene.box_of(0, moved)), 0.7f) << t.bbox;
  // Re-seeded: one reference entry, cut where it was found.
  ASSERT_EQ(t.templates.size(), 1u);
  EXPECT_EQ(t.template_boxes.front(), cv::Rect(t.bbox));
  EXPECT_EQ(t.box_history.back(), cv::Rect(t.bbox));
  EXPECT_EQ(t.centre_filter.statePost.at<float>(0),
            static_cast<float>(t.bbox.x) + static_cast<float>(t.bbox.width) / 2.0f);
  EXPECT_FALSE(t.init_detect(frame, {5, 5, 0, 10}));
}

}  // namespace
