// The records that cross the tracker's boundary, and the process-wide settings access.
#pragma once

#include <cstdint>
#include <string>

#include <opencv2/core.hpp>

namespace Tracker {

// Output status of a track.
constexpr int32_t STATUS_TRACKING = 16;   // following its object
constexpr int32_t STATUS_SEARCHING = 8;   // lost, being searched for
constexpr int32_t STATUS_LOST = 0;        // lost for good

// A borrowed view of one frame: `height` rows of `width` 8-bit BGR pixels, continuous.
// The caller keeps the buffer alive for the duration of the call that receives it.
struct FrameData {
  uint8_t* data = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t channels = 0;
};

// One object: a detection handed in, or a track handed out.
// Every field starts defined (zero, empty), so a default record is safe to read.
struct TrackObject {
  int32_t id = 0;
  std::string class_name;
  int32_t age = 0;
  float score = 0.0f;
  cv::Rect rect;       // box in frame pixels
  cv::Mat mask;        // single-channel 8-bit whole-frame mask; non-zero marks the object
  int32_t status = STATUS_LOST;
};

// The fifteen tracker settings, in their exchange order. The member initialisers are the
// built-in defaults, which the process-wide settings hold until the first set_config.
struct Config {
  bool enable_halvern = true;
  bool detect_track_failure = true;
  bool recover_track = true;
  float process_margin_percent = 0.1f;
  int32_t min_obj_size = 10;
  int32_t stab_period = 6;
  int32_t detect_fail_interval = 5;
  int32_t update_template_interval = 1;
  int32_t template_queue_size = 25;
  int32_t status_queue_size = 60;
  int32_t max_search_interval = 60;
  float knn_distance_ratio = 0.75f;
  float search_status_threshold = 0.6f;
  float detect_iou_threshold = 0.8f;
  float detect_conf_threshold = 0.1f;
};

}  // namespace Tracker

// The estimated camera motion between frames; only `offset` is read (by the recovery search).
struct CameraMotionInfo {
  int32_t mode = 0;
  cv::Point2f offset{0.0f, 0.0f};
  float scale = 1.0f;
};

// Store `config` into the process-wide settings, bounding each value (see track_settings.cpp).
// The settings are shared by every track of every controller; call this only between tracker
// calls, never while a frame is being processed.
void set_config(const Tracker::Config& config);

// Read the process-wide settings into `config`.
void get_config(Tracker::Config& config);
