// Descriptor matching and the selection of descriptor rows and keypoints.
#include <gtest/gtest.h>
#include <opencv2/features2d.hpp>

#include <Halvern/helper.h>

namespace dev = halvern::device;

namespace {

// A 32-byte descriptor row whose first `bits` bits are set: its Hamming distance to the row
// with `other` bits set is |bits - other|.
cv::Mat row_with_bits(int bits) {
  cv::Mat row = cv::Mat::zeros(1, 32, CV_8UC1);
  for (int b = 0; b < bits; ++b) row.at<uchar>(0, b / 8) |= static_cast<uchar>(1u << (b % 8));
  return row;
}

cv::Mat rows_with_bits(std::initializer_list<int> bits) {
  cv::Mat rows;
  for (int b : bits) rows.push_back(row_with_bits(b));
  return rows;
}

dev::DeviceMat on_device(const cv::Mat& m) {
  dev::DeviceMat d;
  d.upload(m);
  return d;
}

std::vector<int> query_indices(const std::vector<cv::DMatch>& matches) {
  std::vector<int> q;
  for (const auto& m : matches) q.push_back(m.queryIdx);
  return q;
}

TEST(Matching, RatioTestAndRawMatchTable) {
  const struct {
    const char* name;
    cv::Mat query, train;
    std::vector<int> ratio_kept;  // query rows passing the 0.75 test
    std::vector<int> raw;         // query rows with a nearest neighbour
  } cases[] = {
      // Row 0 is 2 from train 0 and 62 from train 1; row 1 is 32 from both (no clear winner);
      // row 2 is 40 and 24 away (0.6 < 0.75).
      {"two train rows", rows_with_bits({2, 32, 40}), rows_with_bits({0, 64}), {0, 2}, {0, 1, 2}},
      // A single train row leaves every list one long: nothing can be ratio-tested.
      {"one train row", rows_with_bits({2, 32}), rows_with_bits({0}), {}, {0, 1}},
      {"empty train", rows_with_bits({2, 32}), cv::Mat(), {}, {}},
      {"empty query", cv::Mat(), rows_with_bits({0, 64}), {}, {}},
  };
  auto matcher = dev::HammingMatcher::create();
  const cv::Ptr<cv::DescriptorMatcher> cpu = cv::BFMatcher::create(cv::NORM_HAMMING);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const cv::DMatch earlier(7, 7, 1.0f);  // matches are appended
    std::vector<cv::DMatch> ratio{earlier}, raw{earlier}, ratio_cpu;
    match_descriptors_filter_gpu(matcher, on_device(c.query), on_device(c.train), 0.75f, ratio);
    match_descriptors_raw_gpu(matcher, on_device(c.query), on_device(c.train), raw);
    match_descriptors_cpu(cpu, c.query, c.train, 0.75f, ratio_cpu);
    ratio.erase(ratio.begin());
    raw.erase(raw.begin());
    EXPECT_EQ(query_indices(ratio), c.ratio_kept);
    EXPECT_EQ(query_indices(raw), c.raw);
    EXPECT_EQ(query_indices(ratio_cpu), c.ratio_kept);
  }
  // Equal distances never pass the strict test, whatever the ratio.
  std::vector<cv::DMatch> tie;
  match_descriptors_filter_gpu(matcher, on_device(rows_with_bits({32})),
                               on_device(rows_with_bits({0, 64})), 1.0f, tie);
  EXPECT_TRUE(tie.empty());
}

TEST(Matching, DescriptorTypeMismatchThrows) {
  auto matcher = dev::HammingMatcher::create();
  std::vector<cv::DMatch> out;
  EXPECT_THROW(match_descriptors_filter_gpu(matcher, on_device(rows_with_bits({1})),
                                            on_device(cv::Mat::zeros(2, 32, CV_32FC1)), 0.75f, out),
               cv::Exception);
}

// Row i of the source holds the value i + 1 in every byte.
cv::Mat numbered_rows(int n) {
  cv::Mat m(n, 32, CV_8UC1);
  for (int i = 0; i < n; ++i) m.row(i).setTo(i + 1);
  return m;
}

// The first byte of every row: which source row it came from (0 for a zero row).
std::vector<int> row_ids(const dev::DeviceMat& d) {
  const cv::Mat m = d.download();
  std::vector<int> ids;
  for (int i = 0; i < m.rows; ++i) ids.push_back(m.at<uchar>(i, 0));
  return ids;
}

std::vector<cv::DMatch> matches_of(std::initializer_list<int> query_rows) {
  std::vector<cv::DMatch> m;
  for (int q : query_rows) m.emplace_back(q, 0, 0.0f);
  return m;
}

TEST(Selection, RowsByMatchAndByBox) {
  const dev::DeviceMat src = on_device(numbered_rows(4));
  // Keypoint 0 and 2 lie outside the box (10, 0, 5, 10); 1 and 3 inside once rounded.
  const std::vector<cv::KeyPoint> kps{{{5.0f, 5.0f}, 1}, {{9.6f, 5.0f}, 1}, {{14.6f, 5.0f}, 1},
                                      {{12.0f, 9.4f}, 1}};
  const cv::Rect box(10, 0, 5, 10);

  dev::DeviceMat dst;
  filter_matched_descriptors(matches_of({2, 0, 2}), src, dst);
  EXPECT_EQ(row_ids(dst), (std::vector<int>{3, 1, 3}));

  std::vector<cv::KeyPoint> kept{kps[0]};  // appended to
  filter_bbox_matched_descriptors(kps, matches_of({3, 0, 1, 2}), box, src, dst, kept);
  EXPECT_EQ(row_ids(dst), (std::vector<int>{4, 0, 2, 0}));  // aligned with the matches
  ASSERT_EQ(kept.size(), 3u);
  EXPECT_EQ(kept[1].pt, kps[3].pt);
  EXPECT_EQ(kept[2].pt, kps[1].pt);

  kept.clear();
  filter_bbox_descriptors(kps, box, src, dst, kept);
  EXPECT_EQ(row_ids(dst), (std::vector<int>{2, 4}));
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].pt, kps[1].pt);

  filter_matched_descriptors({}, src, dst);
  EXPECT_EQ(dst.rows(), 0);
}

TEST(Selection, IndicesOutOfRangeThrow) {
  const dev::DeviceMat src = on_device(numbered_rows(2));
  const std::vector<cv::KeyPoint> kps{{{1, 1}, 1}, {{2, 2}, 1}, {{3, 3}, 1}};
  dev::DeviceMat dst;
  std::vector<cv::KeyPoint> kept;
  EXPECT_THROW(filter_matched_descriptors(matches_of({2}), src, dst), cv::Exception);
  EXPECT_THROW(filter_matched_descriptors(matches_of({-1}), src, dst), cv::Exception);
  // Keypoint 2 exists, but has no descriptor row.
  EXPECT_THROW(filter_bbox_matched_descriptors(kps, matches_of({2}), {0, 0, 9, 9}, src, dst, kept),
               cv::Exception);
  EXPECT_THROW(filter_bbox_descriptors(kps, {0, 0, 9, 9}, src, dst, kept), cv::Exception);
}

TEST(Selection, BackgroundMatchesTable) {
  auto with_distances = [](std::initializer_list<float> d) {
    std::vector<cv::DMatch> m;
    int i = 0;
    for (float v : d) m.emplace_back(i++, 0, v);
    return m;
  };
  const std::vector<cv::DMatch> matches = with_distances({10, 20, 30, 40});
  const struct {
    const char* name;
    std::vector<cv::DMatch> background;
    std::vector<int> kept;
  } cases[] = {
      {"no background", {}, {0, 1, 2, 3}},
      {"strictly closer only", with_distances({11, 20, 29, 100}), {0, 3}},
      {"shorter background list", with_distances({5, 25}), {1, 2, 3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<cv::DMatch> out{cv::DMatch(9, 9, 0.0f)};
    filter_background_matches(matches, c.background, out);
    out.erase(out.begin());  // appended after what was there
    EXPECT_EQ(query_indices(out), c.kept);
  }
}

TEST(Selection, KeypointBoundsAndDistance) {
  cv::Rect box(1, 2, 3, 4);
  calc_min_max_bbox_keypoints({}, box);
  EXPECT_EQ(box, cv::Rect(0, 0, 0, 0));
  EXPECT_EQ(calculate_iou(box, {0, 0, 100, 100}), 0.0f);  // overlaps nothing

  calc_min_max_bbox_keypoints({{{3.7f, 8.2f}, 1}, {{10.9f, 2.5f}, 1}, {{-2.5f, 5.0f}, 1}}, box);
  EXPECT_EQ(box, cv::Rect(-2, 2, 12, 6));  // coordinates truncated toward zero
  calc_min_max_bbox_keypoints({{{4.5f, 6.5f}, 1}}, box);
  EXPECT_EQ(box, cv::Rect(4, 6, 0, 0));
  calc_min_max_bbox_keypoints({{{-3e9f, 0.0f}, 1}, {{3e9f, 1.0f}, 1}}, box);
  EXPECT_EQ(box, cv::Rect(INT_MIN, 0, INT_MAX, 1));  // saturated, no overflow

  EXPECT_FLOAT_EQ(calc_euclidean_dist({1, 2}, {4, 6}), 5.0f);
}

}  // namespace
