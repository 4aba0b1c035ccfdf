// The recovery search of a lost track, and re-seeding where the object is found.
#include <algorithm>
#include <climits>
#include <cmath>

#include <Halvern/helper.h>

#include "box_math.h"
#include "track.h"

using halvern::detail::cut;

cv::Rect recovery_window(const cv::Rect2d& box, const cv::Size& template_size,
                         int32_t lost_count, const cv::Point2f& camera_offset,
                         const cv::Size& frame_size) {
  const cv::Point centre(cv::Point2d(box.x + box.width / 2 - camera_offset.x,
                                     box.y + box.height / 2 - camera_offset.y));  // rounded
  const int n = std::clamp(lost_count, 0, 10);
  // The side grows by a tenth of the template per lost frame: 1.1 times at first.
  const auto grown = [n](int side) {
    return static_cast<int>(std::trunc(1.0 * (side + 0.1 * (side * (n + 1)))));
  };
  cv::Rect window = centeredRect(centre, grown(template_size.width), grown(template_size.height));
  check_rect_limits_offset(window, frame_size.height, frame_size.width);
  // A window larger than the frame cannot be moved inside it: keep the part that is.
  return window & cv::Rect(cv::Point(0, 0), frame_size);
}

void Track::detect(const SharedFrame& frame, CameraMotionInfo camera) {
  if (!(enable_halvern_ && recover_track_ && detect_track_failure_) || templates.empty()) return;
  const cv::Mat& image = frame.view();
  const cv::Mat& reference = templates.front();
  const cv::Rect window =
      recovery_window(bbox, reference.size(), lost_count, camera.offset, image.size());

  ensure_feature_engine();
  detect_and_compute_roi_gpu(orb, cut(image, window), cv::Mat(), image, window, current_keypoints,
                             current_descriptors);
  if (template_keypoints.empty() || current_keypoints.empty()) return;
  std::vector<cv::DMatch> good;
  match_descriptors_filter_gpu(matcher, current_descriptors, template_descriptors,
                               knn_distance_ratio_, good);
  // The evidence needed: a share of the reference's keypoints.
  const auto needed = static_cast<size_t>(static_cast<float>(template_keypoints.size()) *
                                          (detect_conf_threshold_ / 2.0f));
  if (good.size() <= needed) return;

  // The reference-sized box that holds most matches, and the spread of the matches in it.
  cv::Rect candidate;
  int count = INT_MIN;
  float distance = 0.0f;
  std::vector<cv::DMatch> in_candidate;
  calc_max_bbox_min_dist(window, cv::Rect(cv::Point(0, 0), reference.size()), current_keypoints,
                         good, candidate, count, distance, in_candidate);
  if (count == INT_MIN) return;  // no placement fits the window
  std::vector<cv::KeyPoint> kept;
  filter_bbox_matched_descriptors(current_keypoints, good, candidate, current_descriptors,
                                  matched_descriptors, kept);
  cv::Rect spread;
  calc_min_max_bbox_keypoints(kept, spread);

  std::vector<cv::DMatch> background, foreground;
  match_descriptors_raw_gpu(matcher, matched_descriptors, background_descriptors, background);
  filter_background_matches(good, background, foreground);
  if (foreground.size() > needed && calculate_iou(candidate, spread) >= detect_iou_threshold_ / 2)
    init_detect(frame, candidate);
}

bool Track::init_detect(const SharedFrame& frame, const cv::Rect& box) {
  if (box.width <= 0 || box.height <= 0) return false;
  const cv::Mat& image = frame.view();
  template_image = cut(image, box).clone();  // throws before anything changes if outside
  tracking = true;
  bbox = box;
  record_box(box);
  templates.clear();
  template_masks.clear();
  template_boxes.clear();
  template_frames.clear();
  template_mask = cv::Mat::ones(template_image.size(), CV_8UC1);
  push_reference(frame, box);
  ensure_feature_engine();
  detect_and_compute_roi_gpu(orb, template_image, template_mask, image, box, template_keypoints,
                             template_descriptors);
  set_up_filters(box);
  return true;
}
