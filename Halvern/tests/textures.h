// Synthetic textured frames for feature tests.
#pragma once

#include <initializer_list>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace halvern_test {

// A BGR image of smooth random noise at three scales: corners everywhere, each one unlike the
// others, so that ORB descriptors match unambiguously.
inline cv::Mat textured_image(int cols, int rows, uint64_t seed,
                              std::initializer_list<int> cells = {16, 8, 4}) {
  cv::RNG rng(seed);
  cv::Mat sum = cv::Mat::zeros(rows, cols, CV_32FC1);
  for (int cell : cells) {
    cv::Mat coarse(rows / cell + 2, cols / cell + 2, CV_32FC1);
    rng.fill(coarse, cv::RNG::UNIFORM, 0.0, 1.0);
    cv::Mat fine;
    cv::resize(coarse, fine, coarse.size() * cell, 0, 0, cv::INTER_CUBIC);
    sum += fine(cv::Rect(0, 0, cols, rows));
  }
  cv::normalize(sum, sum, 0, 255, cv::NORM_MINMAX);
  cv::Mat grey, bgr;
  sum.convertTo(grey, CV_8U);
  cv::cvtColor(grey, bgr, cv::COLOR_GRAY2BGR);
  return bgr;
}

}  // namespace halvern_test
