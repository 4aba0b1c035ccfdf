// Checks of the frames and masks handed to the tracker from outside.
#include "matrix_inputs.h"

#include <stdexcept>
#include <string>

namespace halvern::detail {

namespace {

const char* depth_name(int depth) {
  switch (depth) {
    case CV_8U: return "uint8";
    case CV_8S: return "int8";
    case CV_16U: return "uint16";
    case CV_16S: return "int16";
    case CV_32S: return "int32";
    case CV_32F: return "float32";
    case CV_64F: return "float64";
    case CV_16F: return "float16";
    default: return "unknown";
  }
}

std::string shape_of(const cv::Size& s) {
  return std::to_string(s.height) + " x " + std::to_string(s.width);
}

// A header over the same pixels that owns nothing: releasing or reallocating it never touches
// the caller's buffer or its allocator.
cv::Mat borrowed(const cv::Mat& m) { return cv::Mat(m.rows, m.cols, m.type(), m.data, m.step[0]); }

}  // namespace

std::string describe_array(const cv::Mat& m) {
  if (m.empty()) return "an empty array";
  std::string shape;
  for (int i = 0; i < m.dims; ++i) shape += (i ? " x " : "") + std::to_string(m.size[i]);
  if (m.channels() > 1) shape += " x " + std::to_string(m.channels());
  return "a " + shape + " " + depth_name(m.depth()) + " array";
}

FramePixels::FramePixels(const cv::Mat& frame) {
  if (frame.type() != CV_8UC3 || frame.dims != 2 || frame.empty())
    throw std::invalid_argument("the frame must be an H x W x 3 uint8 array (8-bit BGR pixels), "
                                "not " + describe_array(frame));
  pixels_ = frame.isContinuous() ? borrowed(frame) : frame.clone();
}

Tracker::FrameData FramePixels::data() {
  return {pixels_.data, pixels_.cols, pixels_.rows, 3};
}

cv::Mat tracker_mask(const cv::Mat& mask, const cv::Size& frame, int32_t id) {
  const bool fits = mask.dims == 2 && mask.channels() == 1 && mask.size() == frame;
  if (fits && mask.depth() == CV_8U) return borrowed(mask);
  if (fits && mask.depth() == CV_32S) {
    cv::Mat marked;
    cv::compare(mask, 0, marked, cv::CMP_NE);
    return marked;
  }
  throw std::invalid_argument("the mask of detection " + std::to_string(id) + " must be a " +
                              shape_of(frame) + " uint8 array (the frame's height and width), " +
                              "not " + describe_array(mask));
}

}  // namespace halvern::detail
