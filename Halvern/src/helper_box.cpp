// Box geometry: overlap measures, centring and moving boxes.
#include <Halvern/helper.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "box_math.h"

using halvern::detail::saturate_int;

namespace {

// The corners and the overlap of two boxes, in float (no int sum can overflow).
struct Overlap {
  float intersection;
  float area_a;
  float area_b;
};

Overlap overlap(const cv::Rect& a, const cv::Rect& b) {
  const float ax1 = static_cast<float>(a.x), ax2 = ax1 + static_cast<float>(a.width);
  const float ay1 = static_cast<float>(a.y), ay2 = ay1 + static_cast<float>(a.height);
  const float bx1 = static_cast<float>(b.x), bx2 = bx1 + static_cast<float>(b.width);
  const float by1 = static_cast<float>(b.y), by2 = by1 + static_cast<float>(b.height);
  const float iw = std::min(ax2, bx2) - std::max(ax1, bx1);
  const float ih = std::min(ay2, by2) - std::max(ay1, by1);
  const float inter = (iw > 0.0f && ih > 0.0f) ? iw * ih : 0.0f;
  return {inter, (ay2 - ay1) * (ax2 - ax1), (by2 - by1) * (bx2 - bx1)};
}

constexpr float kTiny = 1e-6f;

}  // namespace

float calculate_iou(const cv::Rect& a, const cv::Rect& b) {
  const Overlap o = overlap(a, b);
  const float uni = o.area_a + o.area_b - o.intersection;
  return (o.intersection > kTiny && uni > kTiny) ? o.intersection / uni : 0.0f;
}

float calculate_minrect_iou(const cv::Rect& a, const cv::Rect& b) {
  const Overlap o = overlap(a, b);
  const float smaller = std::min(o.area_a, o.area_b);
  return (o.intersection > kTiny && smaller > kTiny) ? o.intersection / smaller : 0.0f;
}

cv::Point center(const cv::Rect& r) {
  // int64 division truncates toward zero, like the int division it replaces.
  return {saturate_int((2 * int64_t{r.x} + r.width) / 2),
          saturate_int((2 * int64_t{r.y} + r.height) / 2)};
}

cv::Rect centeredRect(const cv::Point& p, int width, int height) {
  return {saturate_int(int64_t{p.x} + width / -2), saturate_int(int64_t{p.y} + height / -2),
          width, height};
}

void check_rect_limits_offset(cv::Rect& r, int rows, int cols) {
  if (r.x < 0) r.x = 0;
  if (r.y < 0) r.y = 0;
  if (int64_t{r.x} + r.width > cols) r.x = saturate_int(int64_t{cols} - r.width);
  if (int64_t{r.y} + r.height > rows) r.y = saturate_int(int64_t{rows} - r.height);
}

cv::Rect getRect(const cv::Mat& m) { return {0, 0, m.cols, m.rows}; }

float get_size(const float& a, const float& b) {
  const float p = 0.5f * (a + b);
  return std::sqrt((b + p) * (a + p));
}

float process_compare_score(float score, const cv::Rect& a, const cv::Rect& b) {
  const float common = calculate_minrect_iou({0, 0, a.width, a.height}, {0, 0, b.width, b.height});
  return common > 0.0f ? score / common : 0.0f;
}
