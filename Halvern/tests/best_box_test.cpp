// The search for the box placement that holds most matched keypoints.
#include <climits>
#include <cmath>

#include <gtest/gtest.h>

#include <Halvern/helper.h>

namespace {

struct Search {
  cv::Rect best{-1, -1, -1, -1};
  int count = 0;
  float dist = 0;
  std::vector<cv::DMatch> kept{cv::DMatch(99, 99, 0.0f)};
};

// One match per keypoint, in keypoint order.
Search search(const cv::Rect& window, const cv::Rect& box, const std::vector<cv::Point2f>& points) {
  std::vector<cv::KeyPoint> kps;
  std::vector<cv::DMatch> matches;
  for (const cv::Point2f& p : points) {
    matches.emplace_back(static_cast<int>(kps.size()), 0, 0.0f);
    kps.emplace_back(p, 1.0f);
  }
  Search s;
  calc_max_bbox_min_dist(window, box, kps, matches, s.best, s.count, s.dist, s.kept);
  return s;
}

TEST(BestBox, TiesGoToTheCentreThenToScanOrder) {
  const cv::Rect window(0, 0, 100, 100), box(0, 0, 10, 10);
  // A 10-wide box centred at x holds column p for x in [p - 4, p + 5].
  const struct {
    const char* name;
    std::vector<cv::Point2f> points;
    cv::Rect best;
    float dist;
  } cases[] = {
      {"nearer one wins although scanned later", {{29, 50}, {69, 50}}, {60, 45, 10, 10}, 15},
      {"nearer one wins when scanned first", {{31, 50}, {69, 50}}, {31, 45, 10, 10}, 14},
      {"equal distance: first in scan order", {{30, 50}, {69, 50}}, {30, 45, 10, 10}, 15},
      {"more keypoints beat a nearer placement", {{5, 5}, {6, 7}, {52, 50}}, {5, 5, 10, 10},
       static_cast<float>(std::sqrt(40.0 * 40 + 40 * 40))},
      {"no keypoints: the centre", {}, {45, 45, 10, 10}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Search s = search(window, box, c.points);
    EXPECT_EQ(s.best, c.best);
    EXPECT_FLOAT_EQ(s.dist, c.dist);
    EXPECT_EQ(static_cast<size_t>(s.count), s.kept.size());
    for (const cv::DMatch& m : s.kept)
      EXPECT_TRUE(s.best.contains(cv::Point(c.points[m.queryIdx])));
  }
}

TEST(BestBox, BoxShrinksToFitTheWindow) {
  EXPECT_EQ(search({0, 0, 80, 80}, {7, 7, 100, 50}, {}).best.size(), cv::Size(79, 39));
  EXPECT_EQ(search({0, 0, 80, 40}, {7, 7, 60, 50}, {}).best.size(), cv::Size(47, 39));
}

TEST(BestBox, NoPlacement) {
  const struct {
    cv::Rect window, box;
  } cases[] = {
      {{0, 0, 0, 50}, {0, 0, 10, 10}},             // window without area
      {{0, 0, 50, 50}, {0, 0, 0, 10}},             // box without area
      {{0, 0, 50, 50}, {0, 0, -10, 10}},           // negative size
      {{0, 0, 1, 50}, {0, 0, 10, 10}},             // shrinks to nothing
      {{0, 0, 50, 50}, {0, 0, INT_MIN, INT_MIN}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.window << " " << c.box);
    const Search s = search(c.window, c.box, {{5, 5}});
    EXPECT_EQ(s.count, INT_MIN);
    EXPECT_EQ(s.dist, 2147483648.0f);
    EXPECT_EQ(s.best, cv::Rect(-1, -1, -1, -1));  // not written
    EXPECT_EQ(s.kept.size(), 1u);
  }
}

TEST(BestBox, BadMatchIndexThrows) {
  cv::Rect best;
  int count;
  float dist;
  std::vector<cv::DMatch> kept;
  EXPECT_THROW(calc_max_bbox_min_dist({0, 0, 20, 20}, {0, 0, 5, 5}, {cv::KeyPoint({1, 1}, 1)},
                                      {cv::DMatch(1, 0, 0.0f)}, best, count, dist, kept),
               cv::Exception);
}

// The search done the slow way: every placement, every match.
Search reference_search(const cv::Rect& window, cv::Size box,
                        const std::vector<cv::KeyPoint>& kps,
                        const std::vector<cv::DMatch>& matches) {
  Search s;
  s.count = INT_MIN;
  s.dist = 2147483648.0f;
  const cv::Point half(box.width / 2, box.height / 2), mid = center(window);
  for (int x = window.x + half.x; x < window.x + window.width - half.x; ++x)
    for (int y = window.y + half.y; y < window.y + window.height - half.y; ++y) {
      const cv::Rect c = centeredRect({x, y}, box.width, box.height);
      std::vector<cv::DMatch> in;
      for (const cv::DMatch& m : matches)
        if (c.contains(cv::Point(kps[m.queryIdx].pt))) in.push_back(m);
      const float d = calc_euclidean_dist(mid, cv::Point2f(x, y));
      if (static_cast<int>(in.size()) > s.count ||
          (static_cast<int>(in.size()) == s.count && d < s.dist)) {
        s.best = c;
        s.count = static_cast<int>(in.size());
        s.dist = d;
        s.kept = in;
      }
    }
  return s;
}

TEST(BestBox, AgreesWithExhaustiveSearch) {
  cv::RNG rng(42);
  for (int trial = 0; trial < 60; ++trial) {
    const cv::Rect window(rng.uniform(-20, 20), rng.uniform(-20, 20), rng.uniform(5, 40),
                          rng.uniform(5, 40));
    const cv::Size box(rng.uniform(1, window.width), rng.uniform(1, window.height));
    std::vector<cv::KeyPoint> kps;
    std::vector<cv::DMatch> matches;
    const int n = rng.uniform(0, 25);
    for (int i = 0; i < n; ++i) {
      // Some keypoints fall outside the window; several matches may share a keypoint.
      kps.emplace_back(cv::Point2f(rng.uniform(window.x - 5.0f, window.br().x + 5.0f),
                                   rng.uniform(window.y - 5.0f, window.br().y + 5.0f)), 1.0f);
      matches.emplace_back(rng.uniform(0, i + 1), 0, 0.0f);
    }
    SCOPED_TRACE(testing::Message() << "trial " << trial << " " << window << " " << box);
    const Search expected = reference_search(window, box, kps, matches);
    Search got;
    calc_max_bbox_min_dist(window, cv::Rect(cv::Point(3, 3), box), kps, matches, got.best,
                           got.count, got.dist, got.kept);
    EXPECT_EQ(got.best, expected.best);
    EXPECT_EQ(got.count, expected.count);
    EXPECT_EQ(got.dist, expected.dist);
    ASSERT_EQ(got.kept.size(), expected.kept.size());
    for (size_t i = 0; i < got.kept.size(); ++i)
      EXPECT_EQ(got.kept[i].queryIdx, expected.kept[i].queryIdx);
  }
}

}  // namespace
