// A track's life from frame to frame: seeding, prediction, the detection with its feature
// check, correction, the tracking history and the loss test.
#include "track.h"

#include <algorithm>
#include <iostream>

#include <Halvern/helper.h>

#include "box_math.h"

using halvern::detail::cut;
using halvern::detail::lies_inside;
using halvern::detail::saturate_int;
using halvern::detail::trunc_clamped;

namespace {

// Counters grow by at most one per frame; on an endless run they stop at the top.
void bump(int32_t& counter) {
  if (counter < INT32_MAX) ++counter;
}

// The feature engine runs only with both switches on.
bool features_enabled() { return Track::enable_halvern_ && Track::detect_track_failure_; }

// The frame less a margin of `margin` (a fraction) of its width and height on every side.
cv::Rect process_region_of(const cv::Size& frame, float margin) {
  const float cols = static_cast<float>(frame.width), rows = static_cast<float>(frame.height);
  return {static_cast<int>(margin * cols), static_cast<int>(margin * rows),
          static_cast<int>(cols * (1.0f - 2.0f * margin)),
          static_cast<int>(rows * (1.0f - 2.0f * margin))};
}

// One line on the standard error stream, written in one piece so that lines of tracks on
// other threads do not interleave with it.
void report(const std::string& line) {
  std::cerr << line + '\n' << std::flush;
}

}  // namespace

Track::Track(const cv::Rect& box, uint64_t id_, const std::string& label, float /*score*/,
             const SharedFrame& frame)
    : id(id_), class_name(label), bbox(box) {
  const cv::Mat& image = frame.view();
  process_region = process_region_of(image.size(), process_margin_percent_);
  template_image = cut(image, box).clone();
  template_mask = cv::Mat::ones(template_image.size(), CV_8UC1);
  push_reference(frame, box);
  record_box(box);
  set_up_filters(box);
  if (features_enabled()) {
    ensure_feature_engine();
    detect_and_compute_roi_gpu(orb, template_image, template_mask, image, box, template_keypoints,
                               template_descriptors);
    detect_and_compute_background_roi_gpu(orb, image, template_mask, box, process_region,
                                          background_keypoints, background_descriptors);
  }
}

void Track::ensure_feature_engine() {
  if (orb.empty()) orb = halvern::device::OrbDetector::create();
  if (matcher.empty()) matcher = halvern::device::HammingMatcher::create();
}

void Track::predict() {
  centre_filter.predict();
  size_filter.predict();
}

void Track::update(const SharedFrame& frame, const cv::Rect& box, const cv::Mat& mask,
                   double score) {
  update_engine(frame, box, mask, score);
  bump(frames_since_check);
  check_due = false;
  if (frames_since_check % detect_fail_interval_ == 0) {
    check_due = true;
    frames_since_check = 0;
  }
}

void Track::update_engine(const SharedFrame& frame, const cv::Rect& box, const cv::Mat& mask,
                          double score) {
  if (!lies_inside(box, frame.view().size())) {  // the object left the frame: gone for good
    failed = true;
    searching = false;
    tracking = false;
    return;
  }
  if (features_enabled() && age > stab_period_ && check_due)
    feature_check(frame.view(), box, mask, score);
  accept(frame, box, mask);
}

// Whether the detection still shows the object the track was seeded with: its features must
// match the reference better than they match the background around it.
void Track::feature_check(const cv::Mat& frame, const cv::Rect& box, const cv::Mat& mask,
                          double score) {
  try {
    ensure_feature_engine();
    detect_and_compute_roi_gpu(orb, cut(frame, box), cut(mask, box), frame, box,
                               current_keypoints, current_descriptors);
    if (template_keypoints.empty()) {  // nothing to recognise the object by
      failed = true;
      searching = false;
      tracking = false;
      return;
    }
    if (current_keypoints.empty()) {
      failed = true;
      tracking = false;
      return;
    }
    std::vector<cv::DMatch> good, background, foreground;
    match_descriptors_filter_gpu(matcher, current_descriptors, template_descriptors,
                                 knn_distance_ratio_, good);
    filter_matched_descriptors(good, current_descriptors, matched_descriptors);
    match_descriptors_raw_gpu(matcher, matched_descriptors, background_descriptors, background);
    filter_background_matches(good, background, foreground);
    if (foreground.empty() || score < 0.0001) {
      failed = true;
      return;
    }
    // Not empty: the foreground matches are a subset of the good ones.
    const float background_share = static_cast<float>(good.size() - foreground.size()) /
                                   static_cast<float>(good.size());
    bump(check_count);
    if (check_count % update_template_interval_ == 0) {
      refresh_reference(background_share);
      check_count = 0;
    }
  } catch (const cv::Exception& e) {
    report(std::string("Exception in update_engine : ") + e.what());
  }
}

// A clean check (no match went to the background) refreshes the reference features from the
// reference image; otherwise the background around the reference is sampled again.
void Track::refresh_reference(float background_share) {
  if (background_share == 0.0f)
    detect_and_compute_roi_gpu(orb, templates.front(), template_masks.front(),
                               template_frames.front(), template_boxes.front(),
                               template_keypoints, template_descriptors);
  else
    detect_and_compute_background_roi_gpu(orb, template_frames.front(), template_masks.front(),
                                          template_boxes.front(), process_region,
                                          background_keypoints, background_descriptors);
}

void Track::accept(const SharedFrame& frame, const cv::Rect& box, const cv::Mat& mask) {
  if (failed) {  // a track that failed a check never takes another detection
    bump(lost_count);
    return;
  }
  bbox = box;
  template_image = cut(frame.view(), box).clone();
  template_mask = cut(mask, box).clone();
  mask.copyTo(frame_mask);  // into the buffer of the last one: no other holder, no new pages
  if (features_enabled() && !template_image.empty() && !template_mask.empty()) {
    push_reference(frame, box);
    if (templates.size() > static_cast<size_t>(template_queue_size_)) {  // one entry per update
      templates.pop_front();
      template_masks.pop_front();
      template_boxes.pop_front();
      template_frames.pop_front();
    }
  }
  lost_count = 0;
  bump(age);
}

void Track::count_miss() { bump(lost_count); }

void Track::push_reference(const SharedFrame& frame, const cv::Rect& box) {
  templates.push_back(template_image.clone());
  template_masks.push_back(template_mask.clone());
  template_boxes.push_back(box);
  template_frames.push_back(frame.clone());
}

void Track::record_box(const cv::Rect& box) {
  box_history.push_back(box);
  if (box_history.size() > kBoxHistoryLength) box_history.pop_front();
}

void Track::correct() {
  // The box's centre, computed in double, and its size.
  const cv::Mat_<float> centre({2, 1}, {static_cast<float>(bbox.x + bbox.width / 2),
                                        static_cast<float>(bbox.y + bbox.height / 2)});
  const cv::Mat_<float> size({2, 1},
                             {static_cast<float>(bbox.width), static_cast<float>(bbox.height)});
  const cv::Mat& c = centre_filter.correct(centre);
  const cv::Mat& s = size_filter.correct(size);
  const float cx = c.at<float>(0), cy = c.at<float>(3);
  const float w = s.at<float>(0), h = s.at<float>(1);
  const auto truncated = [](float v) { return saturate_int(trunc_clamped(v)); };
  const cv::Rect box(truncated(cx - w / 2), truncated(cy - h / 2), truncated(w), truncated(h));
  bbox = box;
  record_box(box);
}

// A search has run out once too many recent frames went without tracking, or too many
// detections in a row went unaccepted.
bool Track::search_exhausted() const {
  const auto misses = std::count(status_history.begin(), status_history.end(), false);
  const float share = static_cast<float>(misses) / static_cast<float>(status_queue_size_);
  return share > search_status_threshold_ || lost_count > max_search_interval_;
}

void Track::update_status() {
  status_history.push_back(tracking);
  if (status_history.size() > static_cast<size_t>(status_queue_size_)) status_history.pop_front();
  if (search_exhausted()) searching = false;
}

void Track::detect_track_lost() {
  const cv::Rect& last = box_history.back();
  if (features_enabled() && std::min(last.width, last.height) < min_obj_size_) {
    tracking = false;  // too small to check: lost for good
    searching = false;
    return;
  }
  if (age <= stab_period_) return;
  // A box reaching out of the process region counts as gone unless it covers most of it.
  const bool left_region = calculate_minrect_iou(last, process_region) < 1.0f &&
                           calculate_iou(last, process_region) < 0.75f;
  if (left_region || failed) {
    tracking = false;
    // A search that update_status has already ended is not started again, or a failed track
    // found again every frame would be searched for (and reported as tracking) forever.
    searching = recover_track_ && !search_exhausted();
  }
}

int32_t Track::status() const {
  if (tracking) return Tracker::STATUS_TRACKING;
  return searching ? Tracker::STATUS_SEARCHING : Tracker::STATUS_LOST;
}
