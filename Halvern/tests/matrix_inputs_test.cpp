// The checks of frames and masks from outside: what is borrowed, what is copied or converted,
// and what is refused with which message.
#include <functional>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "matrix_inputs.h"

using halvern::detail::describe_array;
using halvern::detail::FramePixels;
using halvern::detail::tracker_mask;

namespace {

std::string refusal(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return "(accepted)";
}

TEST(MatrixInputs, DescribesMatricesInArrayTerms) {
  EXPECT_EQ(describe_array(cv::Mat(4, 5, CV_8UC3)), "a 4 x 5 x 3 uint8 array");
  EXPECT_EQ(describe_array(cv::Mat(4, 5, CV_32FC1)), "a 4 x 5 float32 array");
  const int sizes[] = {2, 3, 4};
  EXPECT_EQ(describe_array(cv::Mat(3, sizes, CV_16SC1)), "a 2 x 3 x 4 int16 array");
  EXPECT_EQ(describe_array(cv::Mat()), "an empty array");
}

TEST(MatrixInputs, ContinuousFrameIsBorrowedAndPaddedOneCopied) {
  cv::Mat frame(6, 8, CV_8UC3);
  cv::randu(frame, 0, 255);
  FramePixels whole(frame);
  EXPECT_EQ(whole.data().data, frame.data);
  EXPECT_EQ(whole.data().channels, 3);

  const cv::Mat padded = frame(cv::Rect(1, 1, 5, 4));  // rows with a step beyond their pixels
  FramePixels part(padded);
  const Tracker::FrameData d = part.data();
  ASSERT_NE(d.data, padded.data);
  EXPECT_EQ(cv::Size(d.width, d.height), cv::Size(5, 4));
  EXPECT_EQ(cv::norm(cv::Mat(d.height, d.width, CV_8UC3, d.data), padded, cv::NORM_INF), 0.0);
}

TEST(MatrixInputs, FramesOfOtherLayoutsAreRefused) {
  const int sizes[] = {2, 3, 4};
  for (const cv::Mat& bad : {cv::Mat(4, 5, CV_8UC1), cv::Mat(4, 5, CV_8UC4),
                             cv::Mat(4, 5, CV_16UC3), cv::Mat(3, sizes, CV_8UC3), cv::Mat()}) {
    const std::string message = refusal([&] { FramePixels{bad}; });
    EXPECT_EQ(message, "the frame must be an H x W x 3 uint8 array (8-bit BGR pixels), not " +
                           describe_array(bad));
  }
}

TEST(MatrixInputs, MasksAreBorrowedOrMarked) {
  cv::Mat mask = cv::Mat::zeros(4, 5, CV_8UC1);
  const cv::Mat borrowed = tracker_mask(mask, {5, 4}, 1);
  EXPECT_EQ(borrowed.data, mask.data);
  EXPECT_EQ(borrowed.u, nullptr);  // owns nothing: releasing it cannot touch the caller's buffer

  cv::Mat labels = cv::Mat::zeros(4, 5, CV_32SC1);
  labels.at<int>(1, 2) = 7;
  labels.at<int>(3, 4) = -1;
  const cv::Mat marked = tracker_mask(labels, {5, 4}, 1);
  ASSERT_EQ(marked.type(), CV_8UC1);
  EXPECT_EQ(cv::countNonZero(marked), 2);
  EXPECT_EQ(marked.at<uchar>(1, 2), 255);
  EXPECT_EQ(marked.at<uchar>(3, 4), 255);
}

TEST(MatrixInputs, MasksThatDoNotFitAreRefused) {
  for (const cv::Mat& bad : {cv::Mat(4, 6, CV_8UC1), cv::Mat(4, 5, CV_8UC3),
                             cv::Mat(4, 5, CV_32FC1), cv::Mat()}) {
    EXPECT_EQ(refusal([&] { tracker_mask(bad, {5, 4}, 9); }),
              "the mask of detection 9 must be a 4 x 5 uint8 array (the frame's height and "
              "width), not " + describe_array(bad));
  }
}

}  // namespace
