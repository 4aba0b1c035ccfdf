// Overflow-free integer arithmetic on boxes, shared by the helper units.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include <opencv2/core.hpp>

namespace halvern::detail {

// A 64-bit intermediate brought back into int, saturating.
inline int saturate_int(int64_t v) {
  if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

// A value truncated toward zero and clamped to the int range; NaN gives 0.
inline int64_t trunc_clamped(double v) {
  if (std::isnan(v)) return 0;
  const double clamped = std::min(std::max(v, double{std::numeric_limits<int>::min()}),
                                  double{std::numeric_limits<int>::max()});
  return static_cast<int64_t>(std::trunc(clamped));
}

// A keypoint coordinate rounded to the nearest integer (halves to even), as cv::Point(Point2f)
// rounds it, kept in double so that no value overflows.
inline double round_coordinate(float v) { return std::nearbyint(static_cast<double>(v)); }

// Whether the point, rounded, lies in the box (x <= px < x + width, likewise y). Computed in
// double, which holds every int sum exactly; NaN lies in no box.
inline bool box_contains(const cv::Rect& r, const cv::Point2f& pt) {
  const double px = round_coordinate(pt.x);
  const double py = round_coordinate(pt.y);
  return r.x <= px && px < static_cast<double>(r.x) + r.width &&
         r.y <= py && py < static_cast<double>(r.y) + r.height;
}

// Whether `r` has no negative size and lies inside an image of `size`, edges included
// (checked without overflow).
inline bool lies_inside(const cv::Rect& r, const cv::Size& size) {
  return r.x >= 0 && r.y >= 0 && r.width >= 0 && r.height >= 0 &&
         int64_t{r.x} + r.width <= size.width && int64_t{r.y} + r.height <= size.height;
}

// The part of `m` under `r`, which must lie inside the matrix; otherwise cv::Exception, as
// cutting with cv::Mat::operator() would.
inline cv::Mat cut(const cv::Mat& m, const cv::Rect& r) {
  if (!lies_inside(r, m.size()))
    CV_Error(cv::Error::StsOutOfRange, "the box does not lie inside the image");
  return m(r);
}

}  // namespace halvern::detail
