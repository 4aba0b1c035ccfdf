// One frame as the tracks of one controller call see it.
#pragma once

#include <mutex>

#include <opencv2/core.hpp>

// The borrowed pixels of the frame, and one deep copy of them made on the first request and
// shared by every track that keeps the frame as a reference. The copies are never written, so
// sharing one buffer (reference counted) behaves like a copy per track while the memory stays
// one frame per call, whatever the number of tracks. Safe to use from several threads.
class SharedFrame {
 public:
  explicit SharedFrame(const cv::Mat& view) : view_(view) {}

  SharedFrame(const SharedFrame&) = delete;
  SharedFrame& operator=(const SharedFrame&) = delete;

  // The caller's pixels; valid for the duration of the call.
  const cv::Mat& view() const { return view_; }

  // A copy of the frame that outlives the call.
  cv::Mat clone() const {
    std::call_once(once_, [this] { clone_ = view_.clone(); });
    return clone_;
  }

 private:
  cv::Mat view_;
  mutable std::once_flag once_;
  mutable cv::Mat clone_;
};
