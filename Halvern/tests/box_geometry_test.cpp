// Box arithmetic, including boxes larger than the frame, negative sizes and extreme coordinates.
#include <climits>

#include <gtest/gtest.h>

#include <Halvern/helper.h>

namespace {

struct OverlapCase {
  cv::Rect a, b;
  float iou, minrect_iou;
};

TEST(BoxGeometry, OverlapTable) {
  const OverlapCase cases[] = {
      {{0, 0, 10, 10}, {0, 0, 10, 10}, 1.0f, 1.0f},                // equal
      {{0, 0, 10, 10}, {10, 0, 10, 10}, 0.0f, 0.0f},               // touching edge
      {{10, 10, 10, 10}, {0, 0, 100, 100}, 0.01f, 1.0f},           // inside
      {{0, 0, 10, 10}, {5, 0, 10, 10}, 50.0f / 150.0f, 0.5f},      // half overlap
      {{0, 0, 0, 0}, {0, 0, 10, 10}, 0.0f, 0.0f},                  // empty box
      {{5, 5, -10, -10}, {0, 0, 10, 10}, 0.0f, 0.0f},              // negative size
      {{INT_MAX, INT_MAX, INT_MAX, INT_MAX}, {0, 0, 10, 10}, 0.0f, 0.0f},
      {{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {0, 0, 10, 10}, 0.0f, 0.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a << " vs " << c.b);
    EXPECT_FLOAT_EQ(calculate_iou(c.a, c.b), c.iou);
    EXPECT_FLOAT_EQ(calculate_iou(c.b, c.a), c.iou);
    EXPECT_FLOAT_EQ(calculate_minrect_iou(c.a, c.b), c.minrect_iou);
  }
}

TEST(BoxGeometry, CentreTable) {
  const struct {
    cv::Rect r;
    cv::Point c;
  } cases[] = {
      {{0, 0, 10, 10}, {5, 5}},
      {{0, 0, 5, 3}, {2, 1}},                     // halves truncated
      {{-5, -5, 3, 3}, {-3, -3}},                 // (-10 + 3) / 2 truncates toward zero
      {{INT_MAX, INT_MAX, INT_MAX, INT_MAX}, {INT_MAX, INT_MAX}},  // saturates
      {{INT_MIN, 0, -1, 0}, {INT_MIN, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(center(c.r), c.c) << c.r;
}

TEST(BoxGeometry, CenteredRectTable) {
  EXPECT_EQ(centeredRect({10, 10}, 4, 4), cv::Rect(8, 8, 4, 4));
  EXPECT_EQ(centeredRect({10, 10}, 5, 4), cv::Rect(8, 8, 5, 4));  // columns 8..12
  EXPECT_EQ(centeredRect({10, 10}, -4, 0), cv::Rect(12, 10, -4, 0));
  EXPECT_EQ(centeredRect({INT_MIN, INT_MAX}, INT_MAX, INT_MIN),
            cv::Rect(INT_MIN, INT_MAX, INT_MAX, INT_MIN));  // saturated corner
  // Centring and taking the centre are inverse for odd and even sizes.
  for (int w : {1, 2, 7, 8})
    EXPECT_EQ(center(centeredRect({40, 30}, w, w + 1)), cv::Point(40, 30)) << w;
}

TEST(BoxGeometry, LimitsOffsetTable) {
  const struct {
    cv::Rect in, out;
  } cases[] = {
      {{-5, 3, 20, 20}, {0, 3, 20, 20}},
      {{90, 90, 20, 20}, {80, 80, 20, 20}},
      {{10, 10, 20, 20}, {10, 10, 20, 20}},
      {{-50, 10, 300, 20}, {-200, 10, 300, 20}},  // wider than the frame: negative x
      {{INT_MAX, INT_MAX, INT_MAX, 5}, {100 - INT_MAX, 95, INT_MAX, 5}},
      {{5, 5, INT_MIN, -1}, {5, 5, INT_MIN, -1}},
  };
  for (const auto& c : cases) {
    cv::Rect r = c.in;
    check_rect_limits_offset(r, 100, 100);
    EXPECT_EQ(r, c.out) << c.in;
  }
}

TEST(BoxGeometry, SizesAndScores) {
  EXPECT_EQ(getRect(cv::Mat(30, 40, CV_8UC3)), cv::Rect(0, 0, 40, 30));
  EXPECT_NEAR(get_size(3.0f, 5.0f), std::sqrt(63.0f), 1e-5f);
  // Only the sizes count: a 10 x 10 score against a 20 x 20 box overlaps the smaller fully.
  EXPECT_FLOAT_EQ(process_compare_score(0.5f, {100, 100, 10, 10}, {0, 0, 20, 20}), 0.5f);
  EXPECT_FLOAT_EQ(process_compare_score(0.5f, {0, 0, 10, 20}, {0, 0, 20, 10}), 0.5f / 0.5f);
  // No common area: no evidence, not an infinite score.
  EXPECT_EQ(process_compare_score(0.5f, {0, 0, 0, 10}, {0, 0, 20, 10}), 0.0f);
}

}  // namespace
