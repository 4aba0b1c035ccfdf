// The frames and masks that reach the tracker from outside, checked against what the
// controller reads. The controller takes a frame as bare pixels (no type, no row step), so a
// matrix of another layout would be read as something it is not, or past its end.
#pragma once

#include <cstdint>
#include <string>

#include <opencv2/core.hpp>

#include <Halvern/tracker.h>

namespace halvern::detail {

// A matrix in array terms: "a 576 x 768 x 3 uint8 array", "an empty array".
std::string describe_array(const cv::Mat& m);

// The pixels of a frame as the controller reads them: an H x W x 3 uint8 matrix (CV_8UC3, two
// dimensions, at least one pixel). Continuous frames are borrowed (a header without a buffer
// record of its own); a row-padded one is copied. Anything else is refused with
// std::invalid_argument naming the expected shape.
class FramePixels {
 public:
  explicit FramePixels(const cv::Mat& frame);

  // Valid while this object and the caller's frame live.
  Tracker::FrameData data();
  cv::Size size() const { return pixels_.size(); }

 private:
  cv::Mat pixels_;
};

// The mask of a detection as the tracker reads it: a single-channel 8-bit matrix of the frame's
// size. An H x W uint8 mask is borrowed (a header without a buffer record, so nothing the
// tracker does with it can release or reallocate the caller's buffer); an H x W int32 mask is
// turned into 255 where it is non-zero. Anything else is refused with std::invalid_argument
// naming detection `id` and the expected shape. The caller keeps `mask` alive while the result
// is used.
cv::Mat tracker_mask(const cv::Mat& mask, const cv::Size& frame, int32_t id);

}  // namespace halvern::detail
