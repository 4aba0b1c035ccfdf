// ORB feature detection of a frame region, of the background ring around a box, and on the CPU.
#include <Halvern/helper.h>

#include <cmath>
#include <cstdint>

#include <opencv2/imgproc.hpp>

#include "box_math.h"

namespace dev = halvern::device;
using halvern::detail::cut;
using halvern::detail::saturate_int;

namespace {

constexpr int kCanvas = 512;  // the device detector always works on a 512 x 512 image

void check_mask_type(const cv::Mat& mask) {
  if (!mask.empty()) CV_CheckTypeEQ(mask.type(), CV_8UC1, "feature masks are single-channel 8-bit");
}

// Masks of 0/1 and of 0/255 alike admit every non-zero pixel: scale by 255, saturating.
cv::Mat full_scale_mask(const cv::Mat& mask) {
  cv::Mat scaled;
  mask.convertTo(scaled, CV_8U, 255.0);
  return scaled;
}

// How a region of w x h is shrunk to fit the canvas. `scale` maps region pixels to canvas
// pixels; both steps of the fit multiply into it.
struct CanvasFit {
  float scale = 1.0f;
  int width = 0;
  int height = 0;
};

CanvasFit fit_to_canvas(int width, int height) {
  CanvasFit fit{1.0f, width, height};
  float w = static_cast<float>(width), h = static_cast<float>(height);
  if (w > kCanvas) {
    const float s = kCanvas / w;
    fit.scale *= s;
    w = kCanvas;
    h = std::trunc(h * s);
  }
  if (h > kCanvas) {
    const float s = kCanvas / h;
    fit.scale *= s;
    h = kCanvas;
    w = std::trunc(w * s);
  }
  fit.width = static_cast<int>(w);
  fit.height = static_cast<int>(h);
  return fit;
}

}  // namespace

void detect_and_compute_roi_gpu(const cv::Ptr<dev::OrbDetector>& detector, const cv::Mat& image,
                                const cv::Mat& mask, const cv::Mat& /*frame_unused*/,
                                const cv::Rect& roi, std::vector<cv::KeyPoint>& keypoints,
                                dev::DeviceMat& descriptors) {
  CV_Assert(!detector.empty());
  check_mask_type(mask);
  if (!mask.empty() && mask.size() != image.size())
    CV_Error(cv::Error::StsUnmatchedSizes, "the mask must cover the image exactly");
  const CanvasFit fit = fit_to_canvas(image.cols, image.rows);
  if (fit.width <= 0 || fit.height <= 0) {  // nothing to look at
    keypoints.clear();
    descriptors.release();
    return;
  }

  cv::Mat grey;
  cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
  const cv::Size fitted(fit.width, fit.height);
  if (fitted != grey.size()) cv::resize(grey, grey, fitted, 0, 0, cv::INTER_LINEAR);

  const cv::Rect placed = centeredRect({kCanvas / 2, kCanvas / 2}, fit.width, fit.height);
  cv::Mat canvas = cv::Mat::zeros(kCanvas, kCanvas, CV_8UC1);
  grey.copyTo(canvas(placed));
  dev::DeviceMat d_canvas, d_mask;
  d_canvas.upload(canvas);

  if (!mask.empty()) {
    cv::Mat m = mask;
    if (fitted != m.size()) cv::resize(m, m, fitted, 0, 0, cv::INTER_LINEAR);
    m = full_scale_mask(m);
    cv::Mat mask_canvas = cv::Mat::zeros(kCanvas, kCanvas, CV_8UC1);
    m.copyTo(mask_canvas(placed));
    d_mask.upload(mask_canvas);
  }
  detector->detect_and_compute(d_canvas, d_mask, keypoints, descriptors);

  // Back from the canvas to the frame.
  const cv::Point2f origin(placed.tl()), frame_tl(roi.tl());
  for (cv::KeyPoint& k : keypoints) k.pt = (k.pt - origin) / fit.scale + frame_tl;
}

void detect_and_compute_background_roi_gpu(const cv::Ptr<dev::OrbDetector>& detector,
                                           const cv::Mat& frame, const cv::Mat& mask,
                                           const cv::Rect& box,
                                           const cv::Rect& /*process_region_unused*/,
                                           std::vector<cv::KeyPoint>& keypoints,
                                           dev::DeviceMat& descriptors) {
  const cv::Point c = center(box);
  // The outer window, three times the box, moved into the frame; a window larger than the
  // frame keeps only the part inside it.
  cv::Rect outer = centeredRect(c, saturate_int(3 * int64_t{box.width}),
                                saturate_int(3 * int64_t{box.height}));
  check_rect_limits_offset(outer, frame.rows, frame.cols);
  outer &= getRect(frame);
  const cv::Mat region = frame(outer);

  // The hole, twice the template, centred on the object; likewise kept inside the cut.
  cv::Mat ring(region.size(), CV_8UC1, cv::Scalar(255));
  cv::Rect hole = centeredRect({saturate_int(int64_t{c.x} - outer.x),
                                saturate_int(int64_t{c.y} - outer.y)},
                               saturate_int(2 * int64_t{mask.cols}),
                               saturate_int(2 * int64_t{mask.rows}));
  check_rect_limits_offset(hole, region.rows, region.cols);
  hole &= getRect(region);
  ring(hole).setTo(0);

  detect_and_compute_roi_gpu(detector, region, ring, frame, outer, keypoints, descriptors);
}

void detect_and_compute_cpu(const cv::Ptr<cv::ORB>& detector, const cv::Mat& image,
                            const cv::Mat& mask, const cv::Mat& frame, const cv::Rect& roi,
                            std::vector<cv::KeyPoint>& keypoints, cv::Mat& descriptors) {
  CV_Assert(!detector.empty());
  check_mask_type(mask);
  if (image.empty()) {
    keypoints.clear();
    descriptors.release();
    return;
  }
  cv::Mat grey;
  cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
  cv::Mat canvas = cv::Mat::zeros(frame.size(), CV_8UC1);
  grey.copyTo(cut(canvas, cv::Rect(roi.tl(), grey.size())));

  cv::Mat mask_canvas;
  if (!mask.empty()) {
    mask_canvas = cv::Mat::zeros(frame.size(), CV_8UC1);
    full_scale_mask(mask).copyTo(cut(mask_canvas, cv::Rect(roi.tl(), mask.size())));
  }
  keypoints.clear();
  detector->detectAndCompute(canvas, mask_canvas, keypoints, descriptors, false);
}
