// Synthetic video for tracker tests: textured objects moving on a textured background.
#pragma once

#include <vector>

#include <opencv2/core.hpp>

#include <Halvern/tracker.h>

#include "textures.h"

namespace halvern_test {

// A frame the controller can read; `bgr` must outlive its use.
inline Tracker::FrameData frame_data(cv::Mat& bgr) { return {bgr.data, bgr.cols, bgr.rows, 3}; }

// A whole-frame mask that marks `box` (the part inside the frame) with 255.
inline cv::Mat box_mask(const cv::Size& frame, const cv::Rect& box) {
  cv::Mat mask = cv::Mat::zeros(frame, CV_8UC1);
  mask(box & cv::Rect(cv::Point(), frame)).setTo(255);
  return mask;
}

// A whole-frame mask of the ellipse inscribed in `box`, as a segmenter outlines an object.
inline cv::Mat shape_mask(const cv::Size& frame, const cv::Rect& box) {
  cv::Mat mask = cv::Mat::zeros(frame, CV_8UC1);
  cv::ellipse(mask, (box.tl() + box.br()) / 2, box.size() / 2, 0, 0, 360, cv::Scalar(255),
              cv::FILLED);
  return mask;
}

// A detection of `box` with its box mask.
inline Tracker::TrackObject detection(int id, const cv::Rect& box, const cv::Size& frame,
                                      float score = 0.9f) {
  Tracker::TrackObject d;
  d.id = id;
  d.class_name = "object";
  d.score = score;
  d.rect = box;
  d.mask = shape_mask(frame, box);
  return d;
}

// A textured background with textured objects painted on it. Every texture is distinct, so
// ORB tells the objects and the background apart.
struct Scene {
  cv::Size size{320, 240};
  cv::Mat background = textured_image(size.width, size.height, 1);
  std::vector<cv::Mat> objects;  // object i: a texture of its own

  Scene(int object_count = 1, cv::Size object_size = {48, 64}) {
    for (int i = 0; i < object_count; ++i)
      objects.push_back(textured_image(object_size.width, object_size.height, 100 + i));
  }

  // The background with object i painted at top-left `at[i]` (clipped to the frame).
  cv::Mat render(const std::vector<cv::Point>& at) const {
    cv::Mat frame = background.clone();
    for (size_t i = 0; i < at.size(); ++i) paint(frame, objects[i], at[i]);
    return frame;
  }

  cv::Rect box_of(size_t object, const cv::Point& at) const {
    return {at, objects[object].size()};
  }

  static void paint(cv::Mat& frame, const cv::Mat& texture, const cv::Point& at) {
    const cv::Rect placed = cv::Rect(at, texture.size()) & cv::Rect(cv::Point(), frame.size());
    if (placed.empty()) return;
    texture(placed - at).copyTo(frame(placed));
  }
};

}  // namespace halvern_test
