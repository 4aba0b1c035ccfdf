// One tracked object. The tracker's settings live here as process-wide static members, so one
// configuration applies to every track; they are read on every use and never cached in a track.
#pragma once

#include <cstdint>

class Track {
 public:
  static bool enable_halvern_;
  static bool detect_track_failure_;
  static bool recover_track_;
  static float process_margin_percent_;
  static int32_t min_obj_size_;
  static int32_t stab_period_;
  static int32_t detect_fail_interval_;
  static int32_t update_template_interval_;
  static int32_t template_queue_size_;
  static int32_t status_queue_size_;
  static int32_t max_search_interval_;
  static float knn_distance_ratio_;
  static float search_status_threshold_;
  static float detect_iou_threshold_;
  static float detect_conf_threshold_;
};
