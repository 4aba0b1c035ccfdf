// The CPU backend of the device layer: OpenCV's CPU ORB, brute-force matcher and core functions.
#include <Halvern/device/device.h>

#include <opencv2/features2d.hpp>
#include <opencv2/imgproc.hpp>

namespace halvern::device {

void DeviceMat::upload(const cv::Mat& host) { host.copyTo(buf_); }

void DeviceMat::download(cv::Mat& host) const { buf_.copyTo(host); }

cv::Mat DeviceMat::download() const { return buf_.clone(); }

void DeviceMat::convert_to(DeviceMat& dst, int rtype) const { buf_.convertTo(dst.buf_, rtype); }

int DeviceMat::rows() const { return buf_.rows; }
int DeviceMat::cols() const { return buf_.cols; }
int DeviceMat::type() const { return buf_.type(); }
bool DeviceMat::empty() const { return buf_.empty(); }
void DeviceMat::release() { buf_.release(); }

namespace {

class CpuOrb final : public OrbDetector {
 public:
  explicit CpuOrb(const OrbParams& p)
      : orb_(cv::ORB::create(p.n_features, p.scale_factor, p.n_levels, p.edge_threshold,
                             p.first_level, p.wta_k,
                             p.harris_score ? cv::ORB::HARRIS_SCORE : cv::ORB::FAST_SCORE,
                             p.patch_size, p.fast_threshold)) {}

  void detect_and_compute(const DeviceMat& image, const DeviceMat& mask,
                          std::vector<cv::KeyPoint>& keypoints, DeviceMat& descriptors) override {
    keypoints.clear();
    orb_->detectAndCompute(image.buffer(), mask.buffer(), keypoints, descriptors.buffer(), false);
  }

 private:
  cv::Ptr<cv::ORB> orb_;
};

class CpuHammingMatcher final : public HammingMatcher {
 public:
  CpuHammingMatcher() : bf_(cv::BFMatcher::create(cv::NORM_HAMMING)) {}

  void knn_match(const DeviceMat& query, const DeviceMat& train,
                 std::vector<std::vector<cv::DMatch>>& matches, int k) override {
    matches.clear();
    if (query.empty() || train.empty()) return;
    bf_->knnMatch(query.buffer(), train.buffer(), matches, k, cv::noArray(), false);
  }

 private:
  cv::Ptr<cv::BFMatcher> bf_;
};

}  // namespace

cv::Ptr<OrbDetector> OrbDetector::create(const OrbParams& params) {
  return cv::makePtr<CpuOrb>(params);
}

cv::Ptr<HammingMatcher> HammingMatcher::create() { return cv::makePtr<CpuHammingMatcher>(); }

void match_template(const DeviceMat& image, const DeviceMat& templ, DeviceMat& result,
                    int method) {
  cv::matchTemplate(image.buffer(), templ.buffer(), result.buffer(), method);
}

void absdiff(const DeviceMat& a, const DeviceMat& b, DeviceMat& dst) {
  cv::absdiff(a.buffer(), b.buffer(), dst.buffer());
}

void multiply(const DeviceMat& a, const DeviceMat& b, DeviceMat& dst) {
  cv::multiply(a.buffer(), b.buffer(), dst.buffer());
}

cv::Scalar sum(const DeviceMat& src, DeviceMat& /*scratch: a CPU sum needs none*/) {
  return cv::sum(src.buffer());
}

}  // namespace halvern::device
