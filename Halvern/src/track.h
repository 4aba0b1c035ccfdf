// One tracked object: its box smoothed by two Kalman filters, the reference images and ORB
// features its detections are checked against, and the flags of its tracking state.
//
// The tracker's settings live here as process-wide static members, so one configuration
// applies to every track; they are read on every use and never cached in a track.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/video/tracking.hpp>

#include <Halvern/device/device.h>
#include <Halvern/tracker.h>

#include "shared_frame.h"

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

  // Seeds a track on `box`, which must lie inside the frame (cv::Exception otherwise). The
  // score is not stored: a track's score is always 1.
  Track(const cv::Rect& box, uint64_t id, const std::string& class_name, float score,
        const SharedFrame& frame);

  Track(const Track&) = delete;
  Track& operator=(const Track&) = delete;

  // Advances both filters by one step.
  void predict();
  // Feeds one detection (box, whole-frame mask, confidence) and schedules the feature check.
  void update(const SharedFrame& frame, const cv::Rect& box, const cv::Mat& mask, double score);
  // The detection itself: bounds, the due feature check, and the accept step.
  void update_engine(const SharedFrame& frame, const cv::Rect& box, const cv::Mat& mask,
                     double score);
  // A detection arrived while the track is not tracking: it only counts the lost frame.
  void count_miss();
  // Corrects both filters with the current box and takes the corrected box.
  void correct();
  // Records this frame's tracking flag and ends a search that has run out.
  void update_status();
  // Ends tracking when the box became too small, left the process region or failed a check.
  void detect_track_lost();
  // Looks for the object around its last position and re-seeds the track where it is found.
  void detect(const SharedFrame& frame, CameraMotionInfo camera);
  // Re-seeds the track on `box`; false (and nothing changed) for a box without area.
  bool init_detect(const SharedFrame& frame, const cv::Rect& box);

  // 16 tracking, 8 searching, 0 lost for good.
  int32_t status() const;

  // Identity
  uint64_t id;
  std::string class_name;
  float score = 1.0f;

  // Flags
  bool tracking = true;
  bool searching = false;
  bool failed = false;  // never cleared once set

  // Counters
  int32_t age = 1;
  int32_t lost_count = 0;
  int32_t frames_since_check = 0;
  bool check_due = true;
  int32_t check_count = 0;

  // Geometry and images
  cv::Rect2d bbox;
  cv::Rect process_region;
  std::deque<cv::Rect> box_history;  // newest last; bounded, see kBoxHistoryLength
  cv::Mat frame_mask;
  cv::Mat template_image;
  cv::Mat template_mask;

  // Reference queues, kept in step; the front (oldest) entries are the reference.
  std::deque<cv::Mat> templates;
  std::deque<cv::Mat> template_masks;
  std::deque<cv::Rect> template_boxes;
  std::deque<cv::Mat> template_frames;

  std::deque<bool> status_history;  // the tracking flag of each recent frame, newest last

  cv::KalmanFilter centre_filter;  // state (x, vx, s2, y, vy, s5), measures (x, y)
  cv::KalmanFilter size_filter;    // state (w, h, vw, vh), measures (w, h)

  // Feature state; the detector and matcher are created on first use.
  cv::Ptr<halvern::device::OrbDetector> orb;
  cv::Ptr<halvern::device::HammingMatcher> matcher;
  std::vector<cv::KeyPoint> template_keypoints, background_keypoints, current_keypoints;
  halvern::device::DeviceMat template_descriptors, background_descriptors, current_descriptors,
      matched_descriptors;

  // Only the newest box is read; older ones are kept for inspection up to this many, so that
  // a track followed for days does not grow without bound.
  static constexpr size_t kBoxHistoryLength = 256;

 private:
  void set_up_filters(const cv::Rect& box);
  void ensure_feature_engine();
  void feature_check(const cv::Mat& frame, const cv::Rect& box, const cv::Mat& mask,
                     double score);
  void refresh_reference(float background_share);
  void accept(const SharedFrame& frame, const cv::Rect& box, const cv::Mat& mask);
  void push_reference(const SharedFrame& frame, const cv::Rect& box);
  void record_box(const cv::Rect& box);
  bool search_exhausted() const;
};

// The window the recovery search looks in: centred on the box's centre less the camera offset,
// 1.1 times the template's size growing by 0.1 per lost frame up to 2.1 times, moved inside
// the frame and cut to it where it is larger.
cv::Rect recovery_window(const cv::Rect2d& box, const cv::Size& template_size,
                         int32_t lost_count, const cv::Point2f& camera_offset,
                         const cv::Size& frame_size);
