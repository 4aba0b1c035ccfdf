// Controller: the phases of one frame seen through its output, routing of detections by id,
// removal, refused input, and objects lost to the margin or to another object and found again.
#include <stdexcept>

#include <gtest/gtest.h>

#include <Halvern/controller.h>

#include "scene.h"

using halvern_test::detection;
using halvern_test::frame_data;
using halvern_test::Scene;
using Tracker::TrackObject;

namespace {

class ControllerTest : public testing::Test {
 protected:
  void SetUp() override { set_config(Tracker::Config{}); }
  void TearDown() override { set_config(Tracker::Config{}); }

  // Seeds one track per (id, object position) on the scene.
  void seed(const std::vector<std::pair<int, cv::Point>>& tracks, bool append = false) {
    std::vector<cv::Point> at;
    std::vector<TrackObject> seeds;
    for (size_t i = 0; i < tracks.size(); ++i) {
      at.push_back(tracks[i].second);
      seeds.push_back(detection(tracks[i].first, scene.box_of(i, tracks[i].second), scene.size));
    }
    cv::Mat pixels = scene.render(at);
    if (append)
      controller.add(frame_data(pixels), seeds);
    else
      controller.init(frame_data(pixels), seeds);
  }

  // One frame showing the objects at `at`, with these detections; returns the output.
  std::vector<TrackObject> step(const std::vector<cv::Point>& at,
                                std::vector<TrackObject> detections) {
    cv::Mat pixels = scene.render(at);
    controller.update(frame_data(pixels), detections);
    return detections;
  }

  // One frame where object i is shown and detected at `at[i]` under id ids[i].
  std::vector<TrackObject> follow(const std::vector<int>& ids, const std::vector<cv::Point>& at) {
    std::vector<TrackObject> detections;
    for (size_t i = 0; i < ids.size(); ++i)
      detections.push_back(detection(ids[i], scene.box_of(i, at[i]), scene.size));
    return step(at, detections);
  }

  Scene scene{2};
  // Object 1 becomes a smoother texture, which shares no features with object 0.
  void smooth_second() { scene.objects[1] = halvern_test::textured_image(48, 64, 101, {16}); }
  Controller controller{30};
};

// The track records at the end of an update's output.
std::vector<TrackObject> tracks_of(const std::vector<TrackObject>& out, size_t detections) {
  return {out.begin() + static_cast<std::ptrdiff_t>(detections), out.end()};
}

TEST_F(ControllerTest, FollowsTwoMovingObjects) {
  seed({{3, {60, 60}}, {5, {200, 120}}});
  std::vector<TrackObject> previous;
  for (int f = 1; f <= 20; ++f) {
    const std::vector<cv::Point> at = {{60 + 3 * f, 60 + f}, {200 - 2 * f, 120 - f}};
    const cv::Mat previous_mask = previous.empty() ? cv::Mat() : previous[2].mask.clone();
    const auto out = follow({3, 5}, at);
    // A reported mask is the caller's: the next frame does not write into it.
    if (!previous.empty()) {
      EXPECT_EQ(cv::norm(previous[2].mask, previous_mask, cv::NORM_INF), 0.0);
    }
    previous = out;
    ASSERT_EQ(out.size(), 4u);
    const auto tracks = tracks_of(out, 2);
    for (size_t i = 0; i < 2; ++i) {
      SCOPED_TRACE(testing::Message() << "frame " << f << " track " << i);
      EXPECT_EQ(tracks[i].id, i == 0 ? 3 : 5);
      EXPECT_EQ(tracks[i].class_name, "object");
      EXPECT_EQ(tracks[i].status, Tracker::STATUS_TRACKING);
      EXPECT_EQ(tracks[i].age, 1 + f);
      EXPECT_EQ(tracks[i].score, 1.0f);
      const cv::Rect truth = scene.box_of(i, at[i]);
      EXPECT_GT((tracks[i].rect & truth).area(), 0.8 * truth.area()) << tracks[i].rect;
      const cv::Mat truth_mask = halvern_test::shape_mask(scene.size, truth);
      EXPECT_EQ(cv::norm(tracks[i].mask, truth_mask, cv::NORM_INF), 0.0);
    }
  }
}

TEST_F(ControllerTest, UpdateWithoutDetectionsStillReportsEveryTrack) {
  seed({{3, {60, 60}}, {5, {200, 120}}});
  const auto out = step({{60, 60}, {200, 120}}, {});
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].id, 3);
  EXPECT_EQ(out[1].id, 5);
  EXPECT_EQ(out[0].age, 1);
  EXPECT_TRUE(out[0].mask.empty());  // no detection accepted yet
  EXPECT_EQ(out[0].rect, scene.box_of(0, {60, 60}));
  EXPECT_EQ(out[0].status, Tracker::STATUS_TRACKING);
}

TEST_F(ControllerTest, UnknownIdsAndDuplicatesAreIgnored) {
  seed({{3, {60, 60}}});
  const cv::Rect first = scene.box_of(0, {64, 60}), second = scene.box_of(0, {120, 100});
  std::vector<TrackObject> detections = {detection(9, second, scene.size),
                                         detection(3, first, scene.size),
                                         detection(3, second, scene.size)};
  const auto out = step({{64, 60}}, detections);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[0].id, 9);  // the detections first, as handed in
  EXPECT_EQ(out[1].rect, first);
  EXPECT_EQ(out[2].rect, second);
  EXPECT_EQ(out[3].id, 3);
  EXPECT_EQ(out[3].age, 2);
  EXPECT_GT((out[3].rect & first).area(), 0.8 * first.area());  // fed the first only
}

TEST_F(ControllerTest, RemoveDeletesEveryTrackWithTheId) {
  seed({{3, {60, 60}}, {3, {200, 120}}});
  seed({{4, {60, 60}}}, true);
  std::vector<TrackObject> out;
  controller.remove({42}, out);
  ASSERT_EQ(out.size(), 3u);  // nothing removed, all reported

  out.clear();
  controller.remove({3}, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].id, 4);

  controller.remove(4);
  out.clear();
  controller.remove(std::vector<int>{}, out);
  EXPECT_TRUE(out.empty());

  // init with no records leaves no tracks.
  seed({{3, {60, 60}}});
  cv::Mat pixels = scene.render({});
  controller.init(frame_data(pixels), {});
  EXPECT_TRUE(step({}, {}).empty());
}

TEST_F(ControllerTest, BadInputIsRefusedBeforeAnyTrackChanges) {
  seed({{3, {60, 60}}});
  const cv::Rect box = scene.box_of(0, {62, 60});
  cv::Mat pixels = scene.render({{62, 60}});

  TrackObject wrong_type = detection(3, box, scene.size);
  wrong_type.mask.convertTo(wrong_type.mask, CV_32F);
  TrackObject wrong_size = detection(3, box, scene.size);
  wrong_size.mask = wrong_size.mask(cv::Rect(0, 0, 300, 240));
  TrackObject three_channels = detection(3, box, scene.size);
  cv::cvtColor(three_channels.mask, three_channels.mask, cv::COLOR_GRAY2BGR);
  TrackObject none = detection(3, box, scene.size);
  none.mask = cv::Mat();
  for (const TrackObject& bad : {wrong_type, wrong_size, three_channels, none}) {
    std::vector<TrackObject> detections = {bad};
    EXPECT_THROW(controller.update(frame_data(pixels), detections), std::invalid_argument);
    EXPECT_EQ(detections.size(), 1u);
  }
  // A mask no track reads is not checked.
  std::vector<TrackObject> unread = {none};
  unread[0].id = 8;
  EXPECT_NO_THROW(controller.update(frame_data(pixels), unread));

  Tracker::FrameData no_pixels{nullptr, 320, 240, 3};
  Tracker::FrameData one_channel = frame_data(pixels);
  one_channel.channels = 1;
  std::vector<TrackObject> detections;
  EXPECT_THROW(controller.update(no_pixels, detections), std::invalid_argument);
  EXPECT_THROW(controller.update(one_channel, detections), std::invalid_argument);

  // A new track must lie inside the frame; a refused init leaves the tracks as they were.
  const std::vector<TrackObject> outside = {detection(7, {10, 10, 20, 20}, scene.size),
                        detection(8, {300, 10, 40, 20}, scene.size)};
  EXPECT_THROW(controller.init(frame_data(pixels), outside), std::invalid_argument);
  EXPECT_THROW(controller.add(frame_data(pixels), outside), std::invalid_argument);

  // The track saw none of it: this is its first accepted detection.
  const auto out = step({{62, 60}}, {detection(3, box, scene.size)});
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[1].id, 3);
  EXPECT_EQ(out[1].age, 2);
}

TEST_F(ControllerTest, DetectionPastTheEdgeEndsTrackingWithoutCorrection) {
  seed({{3, {60, 60}}});
  const auto before = follow({3}, {{62, 60}});
  std::vector<TrackObject> past = {detection(3, {273, 60, 48, 64}, scene.size)};
  const auto out = step({{62, 60}}, past);
  EXPECT_EQ(out[1].status, Tracker::STATUS_LOST);
  EXPECT_EQ(out[1].age, before[1].age);
  EXPECT_EQ(out[1].rect, before[1].rect);  // not corrected once it stopped tracking
  // Lost for good: later detections change nothing.
  EXPECT_EQ(follow({3}, {{62, 60}})[1].status, Tracker::STATUS_LOST);
}

TEST_F(ControllerTest, SmallBoxIsLostAtTheFirstFrame) {
  cv::Mat pixels = scene.render({{60, 60}});
  controller.init(frame_data(pixels), {detection(3, {60, 60, 9, 40}, scene.size)});
  const auto out = step({{60, 60}}, {detection(3, {60, 60, 9, 40}, scene.size)});
  EXPECT_EQ(out[1].status, Tracker::STATUS_LOST);
}

// The object walks left, steps behind a post standing in the margin (lost, searched for),
// then comes back out next to where it was lost and is found again.
TEST_F(ControllerTest, ObjectLostInTheMarginIsFoundAgain) {
  const cv::Rect post(0, 0, 36, 240);
  const cv::Mat post_texture = halvern_test::textured_image(post.width, post.height, 77);
  const auto render = [&](const cv::Point& at) {
    cv::Mat frame = scene.render({at});
    post_texture.copyTo(frame(post));
    return frame;
  };
  const auto run = [&](const cv::Point& at, std::vector<TrackObject> detections) {
    cv::Mat pixels = render(at);
    controller.update(frame_data(pixels), detections);
    return detections.back().status;
  };

  cv::Mat first = render({80, 90});
  controller.init(frame_data(first), {detection(3, scene.box_of(0, {80, 90}), scene.size)});
  for (int x = 78; x >= 64; x -= 2)
    ASSERT_EQ(run({x, 90}, {detection(3, scene.box_of(0, {x, 90}), scene.size)}), 16) << x;
  // Behind the post: detected (clipped to what the detector still sees), not recognised.
  for (int f = 0; f < 4; ++f)
    EXPECT_EQ(run({0, 90}, {detection(3, {0, 90, 48, 64}, scene.size)}), 8) << f;
  // Back out, inside the process region near its last position.
  EXPECT_EQ(run({40, 90}, {detection(3, scene.box_of(0, {40, 90}), scene.size)}), 16);
}

// The detector's box now shows another object: the due check fails, the track is searched
// for, and as it never accepts another detection, the search ends for good.
TEST_F(ControllerTest, DetectionOfAnotherObjectEndsTheTrack) {
  Tracker::Config c;
  c.status_queue_size = 10;
  c.max_search_interval = 8;
  set_config(c);
  smooth_second();
  seed({{3, {60, 60}}});
  std::vector<TrackObject> last;
  for (int f = 1; f <= 30; ++f) {
    // From frame 8 object 0 is gone and object 1 stands where the detector looks.
    const std::vector<cv::Point> at = f >= 8 ? std::vector<cv::Point>{{-100, -100}, {60, 60}}
                                             : std::vector<cv::Point>{{60, 60}};
    last = step(at, {detection(3, scene.box_of(0, {60, 60}), scene.size)});
    SCOPED_TRACE(f);
    const int status = last[1].status;
    if (f <= 10) {
      EXPECT_EQ(status, Tracker::STATUS_TRACKING);
    } else if (f == 11) {
      EXPECT_EQ(status, Tracker::STATUS_SEARCHING);  // the first check
    } else if (f >= 20) {
      EXPECT_EQ(status, Tracker::STATUS_LOST);
    }
  }
  EXPECT_EQ(last[1].age, 11);  // nothing accepted since the failed check
}

// A failed track whose object is still in view is found again every frame, but the search
// still ends once more detections than max_search_interval went unaccepted.
TEST_F(ControllerTest, FailedTrackFoundAgainStillEndsItsSearch) {
  Tracker::Config c;
  c.max_search_interval = 5;
  set_config(c);
  smooth_second();
  seed({{3, {60, 60}}});
  std::vector<int> statuses;
  for (int f = 1; f <= 20; ++f) {
    // From the 11th update (the first check) the detector's box sits on object 1, while
    // object 0 stays put.
    const cv::Rect box = scene.box_of(0, f >= 11 ? cv::Point(200, 120) : cv::Point(60, 60));
    statuses.push_back(step({{60, 60}, {200, 120}}, {detection(3, box, scene.size)})[1].status);
  }
  for (int f = 11; f <= 15; ++f)  // failed, found again by the recovery search in each frame
    EXPECT_EQ(statuses[f - 1], 16) << f;
  for (int f = 16; f <= 20; ++f)  // the 6th unaccepted detection ends it
    EXPECT_EQ(statuses[f - 1], 0) << f;
}

}  // namespace
