// Template matching and frame comparison (PSNR), on the CPU and on the device.
#include <Halvern/helper.h>

#include <cmath>

#include <opencv2/imgproc.hpp>

#include "box_math.h"

namespace dev = halvern::device;

namespace {

bool has_area(const cv::Rect& r) { return r.width != 0 && r.height != 0; }
bool has_area(const cv::Mat& m) { return m.cols != 0 && m.rows != 0; }

// The best score of a score map and where it lies; 0 when it is not positive (or NaN).
double best_match(const cv::Mat& scores, const cv::Rect& search, const cv::Mat& templ,
                  cv::Rect& found) {
  double max_val = 0.0;
  cv::Point max_loc;
  cv::minMaxLoc(scores, nullptr, &max_val, nullptr, &max_loc);
  found = cv::Rect(max_loc + search.tl(), templ.size());
  return max_val > 0.0 ? max_val : 0.0;
}

// PSNR from the per-channel sums of squared differences of an image of `channels` x `pixels`
// values. Every channel counts (the sum is zero past the image's channel count).
double psnr_from_sums(const cv::Scalar& sums, int channels, double pixels) {
  const double s = sums[0] + sums[1] + sums[2] + sums[3];
  if (s <= 1e-10) return 0.0;  // identical images
  const double mse = s / (channels * pixels);
  return 10.0 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace

double detect_template(const cv::Mat& image, const cv::Mat& templ, const cv::Point& /*unused*/,
                       const cv::Rect& search, cv::Rect& found, const cv::Mat& mask) {
  if (!has_area(search) || !has_area(templ)) return 0.0;
  const cv::Mat region = halvern::detail::cut(image, search);
  // One mask plane per template channel.
  cv::Mat planes;
  if (!mask.empty()) cv::merge(std::vector<cv::Mat>(templ.channels(), mask), planes);
  cv::Mat scores;
  cv::matchTemplate(region, templ, scores, cv::TM_CCORR_NORMED, planes);
  return best_match(scores, search, templ, found);
}

double detect_template_cuda(const cv::Mat& image, const cv::Mat& templ,
                            const cv::Point& /*unused*/, const cv::Rect& search, cv::Rect& found,
                            const cv::Mat& /*mask: the device matcher takes none*/) {
  if (!has_area(search) || !has_area(templ)) return 0.0;
  dev::DeviceMat d_image, d_templ, d_scores;
  d_image.upload(halvern::detail::cut(image, search));
  d_templ.upload(templ);
  dev::match_template(d_image, d_templ, d_scores, cv::TM_CCORR_NORMED);
  return best_match(d_scores.download(), search, templ, found);
}

double calc_psnr(const cv::Mat& a, const cv::Mat& b) {
  cv::Mat diff;
  cv::absdiff(a, b, diff);
  diff.convertTo(diff, CV_32F);
  return psnr_from_sums(cv::sum(diff.mul(diff)), a.channels(), static_cast<double>(a.total()));
}

double calc_psnr_cuda(const cv::Mat& a, const cv::Mat& b) {
  BufferPSNR buffers;
  return calc_psnr_cuda_optimized(a, b, buffers);
}

double calc_psnr_cuda_optimized(const cv::Mat& a, const cv::Mat& b, BufferPSNR& buf) {
  buf.image_a.upload(a);
  buf.image_b.upload(b);
  dev::absdiff(buf.image_a, buf.image_b, buf.diff);
  buf.diff.convert_to(buf.diff_float, CV_32F);
  dev::multiply(buf.diff_float, buf.diff_float, buf.squared);
  return psnr_from_sums(dev::sum(buf.squared, buf.reduce), a.channels(),
                        static_cast<double>(a.total()));
}
