// Storage of the process-wide track settings, and the bounds applied when they are set.
#include <Halvern/tracker.h>

#include <limits>

#include "track.h"

namespace {

constexpr Tracker::Config kBuiltIn{};  // constant-initialised: no start-up order issue

// A ratio setting bounded to [lo, hi]; NaN takes the lower bound so that every later
// comparison against the setting stays meaningful.
float bounded(float value, float lo, float hi) {
  if (!(value > lo)) return lo;
  return value > hi ? hi : value;
}

int32_t at_least_one(int32_t value) { return value < 1 ? 1 : value; }

constexpr float kUnbounded = std::numeric_limits<float>::infinity();

}  // namespace

bool Track::enable_halvern_ = kBuiltIn.enable_halvern;
bool Track::detect_track_failure_ = kBuiltIn.detect_track_failure;
bool Track::recover_track_ = kBuiltIn.recover_track;
float Track::process_margin_percent_ = kBuiltIn.process_margin_percent;
int32_t Track::min_obj_size_ = kBuiltIn.min_obj_size;
int32_t Track::stab_period_ = kBuiltIn.stab_period;
int32_t Track::detect_fail_interval_ = kBuiltIn.detect_fail_interval;
int32_t Track::update_template_interval_ = kBuiltIn.update_template_interval;
int32_t Track::template_queue_size_ = kBuiltIn.template_queue_size;
int32_t Track::status_queue_size_ = kBuiltIn.status_queue_size;
int32_t Track::max_search_interval_ = kBuiltIn.max_search_interval;
float Track::knn_distance_ratio_ = kBuiltIn.knn_distance_ratio;
float Track::search_status_threshold_ = kBuiltIn.search_status_threshold;
float Track::detect_iou_threshold_ = kBuiltIn.detect_iou_threshold;
float Track::detect_conf_threshold_ = kBuiltIn.detect_conf_threshold;

void set_config(const Tracker::Config& c) {
  Track::enable_halvern_ = c.enable_halvern;
  Track::detect_track_failure_ = c.detect_track_failure;
  Track::recover_track_ = c.recover_track;
  // A margin of half the frame or more would leave no process region.
  Track::process_margin_percent_ = bounded(c.process_margin_percent, 0.0f, 0.49f);
  Track::min_obj_size_ = c.min_obj_size;  // any value; a negative size never drops a track
  Track::stab_period_ = at_least_one(c.stab_period);
  Track::detect_fail_interval_ = at_least_one(c.detect_fail_interval);
  Track::update_template_interval_ = at_least_one(c.update_template_interval);
  Track::template_queue_size_ = at_least_one(c.template_queue_size);
  Track::status_queue_size_ = at_least_one(c.status_queue_size);
  Track::max_search_interval_ = at_least_one(c.max_search_interval);
  Track::knn_distance_ratio_ = bounded(c.knn_distance_ratio, 0.01f, kUnbounded);
  // Compared with a fraction of frames, which lies in [0, 1].
  Track::search_status_threshold_ = bounded(c.search_status_threshold, 0.0f, 1.0f);
  Track::detect_iou_threshold_ = bounded(c.detect_iou_threshold, 0.0f, 1.0f);
  Track::detect_conf_threshold_ = bounded(c.detect_conf_threshold, 0.0f, 1.0f);
}

void get_config(Tracker::Config& c) {
  c.enable_halvern = Track::enable_halvern_;
  c.detect_track_failure = Track::detect_track_failure_;
  c.recover_track = Track::recover_track_;
  c.process_margin_percent = Track::process_margin_percent_;
  c.min_obj_size = Track::min_obj_size_;
  c.stab_period = Track::stab_period_;
  c.detect_fail_interval = Track::detect_fail_interval_;
  c.update_template_interval = Track::update_template_interval_;
  c.template_queue_size = Track::template_queue_size_;
  c.status_queue_size = Track::status_queue_size_;
  c.max_search_interval = Track::max_search_interval_;
  c.knn_distance_ratio = Track::knn_distance_ratio_;
  c.search_status_threshold = Track::search_status_threshold_;
  c.detect_iou_threshold = Track::detect_iou_threshold_;
  c.detect_conf_threshold = Track::detect_conf_threshold_;
}
