// The device layer: the few accelerator operations the tracker's feature and image helpers use.
//
// Everything here is backend-neutral. A backend is one directory under device/ that supplies
// two files: `include/Halvern/device/buffer.h` (the type that holds device memory) and
// `backend.cpp` (every function declared below). The build picks the directory with the
// HALVERN_DEVICE_BACKEND variable. This tree ships `cpu`, where device memory is host memory
// and the work is done by OpenCV's CPU ORB, brute-force matcher and core functions. A CUDA
// backend is a `cuda` directory whose Buffer is cv::cuda::GpuMat and whose backend.cpp wraps
// OpenCV's CUDA ORB, descriptor matcher, template matching and arithmetic; nothing above the
// device layer changes.
#pragma once

#include <vector>

#include <opencv2/core.hpp>

#include <Halvern/device/buffer.h>

namespace halvern::device {

// A matrix in device memory. Copies share the buffer (reference counted), as OpenCV matrices do.
class DeviceMat {
 public:
  DeviceMat() = default;

  // Copy a host matrix into device memory (the host matrix may be reused afterwards).
  void upload(const cv::Mat& host);
  // Copy the device matrix into `host`.
  void download(cv::Mat& host) const;
  cv::Mat download() const;

  // Element-wise conversion to `rtype` (an OpenCV depth), as cv::Mat::convertTo.
  void convert_to(DeviceMat& dst, int rtype) const;

  int rows() const;
  int cols() const;
  int type() const;
  bool empty() const;
  void release();

  // Raw access for the backend unit only.
  Buffer& buffer() { return buf_; }
  const Buffer& buffer() const { return buf_; }

 private:
  Buffer buf_;
};

// Parameters of the ORB detector. The defaults are the tracker's.
struct OrbParams {
  int n_features = 500;
  float scale_factor = 1.2f;
  int n_levels = 8;
  int edge_threshold = 31;
  int first_level = 0;
  int wta_k = 2;
  bool harris_score = true;          // Harris corner score (false: FAST score)
  int patch_size = 31;
  int fast_threshold = 20;
  // Whether descriptors are computed on a smoothed image. Honoured by backends whose detector
  // offers the choice; OpenCV's CPU ORB always smooths before computing descriptors.
  bool blur_for_descriptor = false;
};

// ORB keypoints and 32-byte descriptors of an 8-bit single-channel image.
class OrbDetector {
 public:
  // The backend's detector.
  static cv::Ptr<OrbDetector> create(const OrbParams& params = OrbParams());

  virtual ~OrbDetector() = default;

  // Detect keypoints in `image` where `mask` is non-zero (an empty mask admits every pixel)
  // and compute their descriptors. Keypoints come back on the host, replacing `keypoints`;
  // row i of `descriptors` belongs to keypoint i.
  virtual void detect_and_compute(const DeviceMat& image, const DeviceMat& mask,
                                  std::vector<cv::KeyPoint>& keypoints,
                                  DeviceMat& descriptors) = 0;
};

// Brute-force k-nearest-neighbour matching of binary descriptors by Hamming distance.
class HammingMatcher {
 public:
  static cv::Ptr<HammingMatcher> create();

  virtual ~HammingMatcher() = default;

  // One list per query row (possibly shorter than k, empty when `train` is empty), nearest
  // first, replacing `matches`. Empty query or train gives no lists at all.
  virtual void knn_match(const DeviceMat& query, const DeviceMat& train,
                         std::vector<std::vector<cv::DMatch>>& matches, int k) = 0;
};

// cv::matchTemplate of `templ` over `image` (no mask), the score map into `result`.
void match_template(const DeviceMat& image, const DeviceMat& templ, DeviceMat& result,
                    int method);

// Per-element |a - b|.
void absdiff(const DeviceMat& a, const DeviceMat& b, DeviceMat& dst);

// Per-element a * b.
void multiply(const DeviceMat& a, const DeviceMat& b, DeviceMat& dst);

// Per-channel sum; `scratch` is a reusable reduction buffer.
cv::Scalar sum(const DeviceMat& src, DeviceMat& scratch);

}  // namespace halvern::device
