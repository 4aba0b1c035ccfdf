// The process-wide settings: built-in defaults, the bounds of set_config, and the controller's
// access to the same settings.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include <Halvern/controller.h>

namespace {

// Every test leaves the built-in defaults behind.
class Settings : public testing::Test {
 protected:
  void TearDown() override { set_config(Tracker::Config{}); }

  static Tracker::Config stored() {
    Tracker::Config c;
    // Poison every field so that one left unwritten shows.
    c = {false, false, false, -1.0f, -1, -1, -1, -1, -1, -1, -1, -1.0f, -1.0f, -1.0f, -1.0f};
    get_config(c);
    return c;
  }
};

// Equal, or both NaN.
bool same(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

void expect_equal(const Tracker::Config& a, const Tracker::Config& b) {
  EXPECT_EQ(a.enable_halvern, b.enable_halvern);
  EXPECT_EQ(a.detect_track_failure, b.detect_track_failure);
  EXPECT_EQ(a.recover_track, b.recover_track);
  EXPECT_PRED2(same, a.process_margin_percent, b.process_margin_percent);
  EXPECT_EQ(a.min_obj_size, b.min_obj_size);
  EXPECT_EQ(a.stab_period, b.stab_period);
  EXPECT_EQ(a.detect_fail_interval, b.detect_fail_interval);
  EXPECT_EQ(a.update_template_interval, b.update_template_interval);
  EXPECT_EQ(a.template_queue_size, b.template_queue_size);
  EXPECT_EQ(a.status_queue_size, b.status_queue_size);
  EXPECT_EQ(a.max_search_interval, b.max_search_interval);
  EXPECT_PRED2(same, a.knn_distance_ratio, b.knn_distance_ratio);
  EXPECT_PRED2(same, a.search_status_threshold, b.search_status_threshold);
  EXPECT_PRED2(same, a.detect_iou_threshold, b.detect_iou_threshold);
  EXPECT_PRED2(same, a.detect_conf_threshold, b.detect_conf_threshold);
}

TEST_F(Settings, BuiltInDefaults) {
  const Tracker::Config c = stored();
  const Tracker::Config expected{true, true, true, 0.1f, 10, 6, 5, 1, 25, 60, 60,
                                 0.75f, 0.6f, 0.8f, 0.1f};
  expect_equal(c, expected);
}

TEST_F(Settings, EachFieldRoundTripsIntoItsOwnPlace) {
  const Tracker::Config distinct{false, true, false, 0.2f, 11, 7, 8, 9, 12, 13, 14,
                                 0.5f, 0.3f, 0.4f, 0.25f};
  set_config(distinct);
  expect_equal(stored(), distinct);
}

// One setting written with one value, and the value expected back.
struct Bound {
  const char* name;
  void (*write)(Tracker::Config&, double);
  double (*read)(const Tracker::Config&);
  double in, out;
};

#define INT_FIELD(f) #f, [](Tracker::Config& c, double v) { c.f = static_cast<int32_t>(v); }, \
                     [](const Tracker::Config& c) { return static_cast<double>(c.f); }
#define FLOAT_FIELD(f) #f, [](Tracker::Config& c, double v) { c.f = static_cast<float>(v); }, \
                       [](const Tracker::Config& c) { return static_cast<double>(c.f); }

TEST_F(Settings, BoundsTable) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Bound cases[] = {
      {FLOAT_FIELD(process_margin_percent), 0.7, 0.49f},
      {FLOAT_FIELD(process_margin_percent), -0.2, 0.0},
      {FLOAT_FIELD(process_margin_percent), 0.3, 0.3f},
      {FLOAT_FIELD(process_margin_percent), nan, 0.0},
      {INT_FIELD(min_obj_size), -5, -5},  // not bounded
      {INT_FIELD(stab_period), 0, 1},
      {INT_FIELD(detect_fail_interval), -3, 1},
      {INT_FIELD(update_template_interval), 0, 1},
      {INT_FIELD(template_queue_size), -1, 1},
      {INT_FIELD(status_queue_size), 0, 1},
      {INT_FIELD(max_search_interval), INT32_MIN, 1},
      {INT_FIELD(max_search_interval), 2, 2},
      {FLOAT_FIELD(knn_distance_ratio), 0, 0.01f},
      {FLOAT_FIELD(knn_distance_ratio), 3.5, 3.5},
      {FLOAT_FIELD(knn_distance_ratio), nan, 0.01f},
      {FLOAT_FIELD(search_status_threshold), 1.5, 1.0},
      {FLOAT_FIELD(search_status_threshold), -0.1, 0.0},
      {FLOAT_FIELD(search_status_threshold), 0.35, 0.35f},
      {FLOAT_FIELD(detect_iou_threshold), 1.5, 1.0},
      {FLOAT_FIELD(detect_iou_threshold), 0, 0.0},
      {FLOAT_FIELD(detect_iou_threshold), 0.5, 0.5},
      {FLOAT_FIELD(detect_conf_threshold), 1.5, 1.0},
      {FLOAT_FIELD(detect_conf_threshold), -2, 0.0},
  };
  for (const Bound& b : cases) {
    SCOPED_TRACE(testing::Message() << b.name << " = " << b.in);
    Tracker::Config c;
    b.write(c, b.in);
    const Tracker::Config given = c;
    set_config(c);
    EXPECT_EQ(b.read(stored()), b.out);
    expect_equal(c, given);  // the record handed in is not changed
  }
}

TEST_F(Settings, ControllerSharesTheProcessWideSettings) {
  Controller first(30);
  Tracker::Config c;
  c.stab_period = 0;
  c.knn_distance_ratio = 0.5f;
  first.set_config(c);

  Controller second(30);  // a new controller does not reset them
  Tracker::Config seen;
  second.get_config(seen);
  EXPECT_EQ(seen.stab_period, 1);
  EXPECT_EQ(seen.knn_distance_ratio, 0.5f);
  expect_equal(seen, stored());
}

}  // namespace
