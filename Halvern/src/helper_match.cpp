// Descriptor matching, selection of descriptor rows and keypoints, and the best-box search.
#include <Halvern/helper.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "box_math.h"

namespace dev = halvern::device;
using halvern::detail::box_contains;
using halvern::detail::round_coordinate;
using halvern::detail::trunc_clamped;

namespace {

// Appends the nearest neighbour of every list that passes the strict ratio test. A list with
// fewer than two neighbours cannot be tested.
void append_ratio_matches(const std::vector<std::vector<cv::DMatch>>& knn, float ratio,
                          std::vector<cv::DMatch>& out) {
  for (const auto& nn : knn)
    if (nn.size() >= 2 && nn[0].distance < ratio * nn[1].distance) out.push_back(nn[0]);
}

// The query index of a match, checked against the number of keypoints or rows it indexes.
size_t query_index(const cv::DMatch& m, size_t count) {
  if (m.queryIdx < 0 || static_cast<size_t>(m.queryIdx) >= count)
    CV_Error(cv::Error::StsOutOfRange, "match queryIdx out of range");
  return static_cast<size_t>(m.queryIdx);
}

// Copies the listed rows of `src` into a new matrix; a row index of -1 leaves a zero row.
void gather_rows(const dev::DeviceMat& src, const std::vector<int>& rows, dev::DeviceMat& dst) {
  const cv::Mat host = src.download();
  cv::Mat out = cv::Mat::zeros(static_cast<int>(rows.size()), host.cols, host.type());
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i] >= 0) host.row(rows[i]).copyTo(out.row(static_cast<int>(i)));
  dst.upload(out);
}

// Running counts of matched keypoints over a window, for constant-time box counts.
class MatchCounts {
 public:
  // Counts every match whose query keypoint, rounded, lies in `window` (width, height > 0).
  MatchCounts(const cv::Rect& window, const std::vector<cv::KeyPoint>& keypoints,
              const std::vector<cv::DMatch>& matches)
      : stride_(static_cast<size_t>(window.width) + 1),
        sums_(stride_ * (static_cast<size_t>(window.height) + 1), 0) {
    for (const cv::DMatch& m : matches) {
      const cv::Point2f& pt = keypoints[query_index(m, keypoints.size())].pt;
      if (!box_contains(window, pt)) continue;
      // Inside the window, so both offsets are in [0, width) and [0, height).
      const auto col = static_cast<size_t>(round_coordinate(pt.x) - window.x);
      const auto row = static_cast<size_t>(round_coordinate(pt.y) - window.y);
      ++sums_[(row + 1) * stride_ + col + 1];
    }
    for (size_t r = 1; r * stride_ < sums_.size(); ++r)
      for (size_t c = 1; c < stride_; ++c)
        sums_[r * stride_ + c] += sums_[(r - 1) * stride_ + c] + sums_[r * stride_ + c - 1] -
                                  sums_[(r - 1) * stride_ + c - 1];
  }

  // Matches in the w x h box whose top-left lies at (col, row) of the window; the box must
  // lie inside the window.
  int in_box(size_t col, size_t row, size_t w, size_t h) const {
    return at(row + h, col + w) - at(row, col + w) - at(row + h, col) + at(row, col);
  }

 private:
  int at(size_t row, size_t col) const { return sums_[row * stride_ + col]; }

  size_t stride_;
  std::vector<int> sums_;
};

}  // namespace

void match_descriptors_filter_gpu(const cv::Ptr<dev::HammingMatcher>& matcher,
                                  const dev::DeviceMat& query, const dev::DeviceMat& train,
                                  float ratio, std::vector<cv::DMatch>& matches) {
  CV_Assert(!matcher.empty());
  std::vector<std::vector<cv::DMatch>> knn;
  matcher->knn_match(query, train, knn, 2);
  append_ratio_matches(knn, ratio, matches);
}

void match_descriptors_raw_gpu(const cv::Ptr<dev::HammingMatcher>& matcher,
                               const dev::DeviceMat& query, const dev::DeviceMat& train,
                               std::vector<cv::DMatch>& matches) {
  CV_Assert(!matcher.empty());
  std::vector<std::vector<cv::DMatch>> knn;
  matcher->knn_match(query, train, knn, 2);
  for (const auto& nn : knn)
    if (!nn.empty()) matches.push_back(nn[0]);
}

void match_descriptors_cpu(const cv::Ptr<cv::DescriptorMatcher>& matcher, const cv::Mat& query,
                           const cv::Mat& train, float ratio, std::vector<cv::DMatch>& matches) {
  CV_Assert(!matcher.empty());
  std::vector<std::vector<cv::DMatch>> knn;
  if (!query.empty() && !train.empty()) matcher->knnMatch(query, train, knn, 2);
  append_ratio_matches(knn, ratio, matches);
}

void filter_matched_descriptors(const std::vector<cv::DMatch>& matches, const dev::DeviceMat& src,
                                dev::DeviceMat& dst) {
  std::vector<int> rows;
  rows.reserve(matches.size());
  for (const cv::DMatch& m : matches)
    rows.push_back(static_cast<int>(query_index(m, static_cast<size_t>(src.rows()))));
  gather_rows(src, rows, dst);
}

void filter_bbox_matched_descriptors(const std::vector<cv::KeyPoint>& keypoints,
                                     const std::vector<cv::DMatch>& matches, const cv::Rect& box,
                                     const dev::DeviceMat& src, dev::DeviceMat& dst,
                                     std::vector<cv::KeyPoint>& kept) {
  const size_t usable = std::min(keypoints.size(), static_cast<size_t>(src.rows()));
  std::vector<int> rows(matches.size(), -1);
  for (size_t i = 0; i < matches.size(); ++i) {
    const size_t q = query_index(matches[i], usable);
    if (box_contains(box, keypoints[q].pt)) {
      kept.push_back(keypoints[q]);
      rows[i] = static_cast<int>(q);
    }
  }
  gather_rows(src, rows, dst);
}

void filter_bbox_descriptors(const std::vector<cv::KeyPoint>& keypoints, const cv::Rect& box,
                             const dev::DeviceMat& src, dev::DeviceMat& dst,
                             std::vector<cv::KeyPoint>& kept) {
  std::vector<int> rows;
  for (size_t i = 0; i < keypoints.size(); ++i) {
    if (!box_contains(box, keypoints[i].pt)) continue;
    if (i >= static_cast<size_t>(src.rows()))
      CV_Error(cv::Error::StsOutOfRange, "fewer descriptor rows than keypoints");
    kept.push_back(keypoints[i]);
    rows.push_back(static_cast<int>(i));
  }
  gather_rows(src, rows, dst);
}

void filter_background_matches(const std::vector<cv::DMatch>& matches,
                               const std::vector<cv::DMatch>& background,
                               std::vector<cv::DMatch>& foreground) {
  for (size_t i = 0; i < matches.size(); ++i)
    if (i >= background.size() || matches[i].distance < background[i].distance)
      foreground.push_back(matches[i]);
}

float calc_euclidean_dist(const cv::Point2f& p, const cv::Point2f& q) {
  const double dx = static_cast<double>(p.x) - q.x, dy = static_cast<double>(p.y) - q.y;
  return static_cast<float>(std::sqrt(dx * dx + dy * dy));
}

void calc_min_max_bbox_keypoints(const std::vector<cv::KeyPoint>& keypoints, cv::Rect& box) {
  int64_t x0 = INT64_MAX, y0 = INT64_MAX, x1 = INT64_MIN, y1 = INT64_MIN;
  for (const cv::KeyPoint& k : keypoints) {
    if (!std::isfinite(k.pt.x) || !std::isfinite(k.pt.y)) continue;
    const int64_t x = trunc_clamped(k.pt.x), y = trunc_clamped(k.pt.y);
    x0 = std::min(x0, x);
    x1 = std::max(x1, x);
    y0 = std::min(y0, y);
    y1 = std::max(y1, y);
  }
  if (x0 > x1) {  // no keypoint: an empty box, which overlaps nothing
    box = cv::Rect();
    return;
  }
  using halvern::detail::saturate_int;
  box = cv::Rect(static_cast<int>(x0), static_cast<int>(y0), saturate_int(x1 - x0),
                 saturate_int(y1 - y0));
}

void calc_max_bbox_min_dist(const cv::Rect& window, const cv::Rect& box,
                            const std::vector<cv::KeyPoint>& keypoints,
                            const std::vector<cv::DMatch>& matches, cv::Rect& best, int& count,
                            float& dist, std::vector<cv::DMatch>& kept) {
  count = INT_MIN;
  dist = 2147483648.0f;
  if (window.width <= 0 || window.height <= 0 || box.width <= 0 || box.height <= 0) return;

  // The box's size, shrunk to fit the window (in float, as the box is a scaled template).
  int bw = box.width, bh = box.height;
  if (bw >= window.width) {
    const float s = static_cast<float>(window.width) / static_cast<float>(bw);
    bw = window.width - 1;
    bh = static_cast<int>(std::trunc(static_cast<float>(bh) * s - 1.0f));
  }
  if (bh >= window.height) {
    const float s = static_cast<float>(window.height) / static_cast<float>(bh);
    bh = window.height - 1;
    bw = static_cast<int>(std::trunc(static_cast<float>(bw) * s - 1.0f));
  }
  if (bw <= 0 || bh <= 0) return;  // no box fits

  // Every centre (x, y) scanned keeps the box inside the window; see MatchCounts::in_box.
  const cv::Point half = center({0, 0, bw, bh});
  const cv::Point2f mid(center(window));
  const int64_t x_begin = int64_t{window.x} + half.x;
  const int64_t x_end = int64_t{window.x} + window.width - half.x;
  const int64_t y_begin = int64_t{window.y} + half.y;
  const int64_t y_end = int64_t{window.y} + window.height - half.y;
  const MatchCounts counts(window, keypoints, matches);

  int64_t best_x = 0, best_y = 0;
  for (int64_t x = x_begin; x < x_end; ++x) {
    for (int64_t y = y_begin; y < y_end; ++y) {
      const int n = counts.in_box(static_cast<size_t>(x - bw / 2 - window.x),
                                  static_cast<size_t>(y - bh / 2 - window.y),
                                  static_cast<size_t>(bw), static_cast<size_t>(bh));
      const float d =
          calc_euclidean_dist(mid, cv::Point2f(static_cast<float>(x), static_cast<float>(y)));
      if (n > count || (n == count && d < dist)) {
        count = n;
        dist = d;
        best_x = x;
        best_y = y;
      }
    }
  }
  if (count == INT_MIN) return;  // no placement scanned

  using halvern::detail::saturate_int;
  best = cv::Rect(saturate_int(best_x - bw / 2), saturate_int(best_y - bh / 2), bw, bh);
  kept.clear();
  for (const cv::DMatch& m : matches)
    if (box_contains(best, keypoints[static_cast<size_t>(m.queryIdx)].pt)) kept.push_back(m);
}
