// The tracker's free functions: box geometry, template matching and frame comparison, and ORB
// feature detection and matching.
//
// The `_gpu`/`_cuda` functions run on the device layer (Halvern/device/device.h); the `_cpu`
// functions and the plain ones run on OpenCV's CPU functions. Image and index errors are thrown
// as cv::Exception. Every box function is defined for any rectangle, including boxes larger
// than the frame, with negative sizes or with extreme coordinates: results that do not fit an
// int saturate.
#pragma once

#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/features2d.hpp>

#include <Halvern/device/device.h>

// ---------------------------------------------------------------------------------------------
// Box geometry

// Intersection over union, in float; 0 when the boxes do not overlap.
float calculate_iou(const cv::Rect& a, const cv::Rect& b);

// Intersection over the smaller area; 1 exactly when the smaller box lies inside the larger.
float calculate_minrect_iou(const cv::Rect& a, const cv::Rect& b);

// ((2x + width) / 2, (2y + height) / 2), halves truncated toward zero.
cv::Point center(const cv::Rect& r);

// The width x height box centred at p: (p.x - width / 2, p.y - height / 2), halves truncated.
cv::Rect centeredRect(const cv::Point& p, int width, int height);

// Move `r` (keeping its size) so that it starts at or after (0, 0) and, where it fits, ends
// within `cols` x `rows`. A box larger than the limits ends with a negative x or y.
void check_rect_limits_offset(cv::Rect& r, int rows, int cols);

// (0, 0, cols, rows).
cv::Rect getRect(const cv::Mat& m);

// Context size sqrt((b + p) * (a + p)) with p = (a + b) / 2.
float get_size(const float& a, const float& b);

// `score` divided by the overlap of the two sizes (boxes placed at the origin). Sizes that do
// not overlap give 0: a comparison without common area carries no evidence.
float process_compare_score(float score, const cv::Rect& a, const cv::Rect& b);

// ---------------------------------------------------------------------------------------------
// Template matching and frame comparison

// Six reusable device buffers of calc_psnr_cuda_optimized; not to be shared between threads.
struct BufferPSNR {
  halvern::device::DeviceMat image_a, image_b, diff, diff_float, squared, reduce;
};

// Best normalised cross-correlation (TM_CCORR_NORMED) of `templ` inside `image` cut to
// `search`, where `mask` (single channel, the template's size; may be empty) is non-zero.
// Writes the best box into `found` and returns its score, or 0 when it is not positive.
// An empty search box or template returns 0 and leaves `found` untouched.
double detect_template(const cv::Mat& image, const cv::Mat& templ, const cv::Point& unused,
                       const cv::Rect& search, cv::Rect& found, const cv::Mat& mask);

// detect_template on the device. The device's template matching takes no mask, so `mask` is
// not read.
double detect_template_cuda(const cv::Mat& image, const cv::Mat& templ, const cv::Point& unused,
                            const cv::Rect& search, cv::Rect& found, const cv::Mat& mask);

// Peak signal-to-noise ratio of two images of equal size and type, in dB; 0 for identical
// images.
double calc_psnr(const cv::Mat& a, const cv::Mat& b);
double calc_psnr_cuda(const cv::Mat& a, const cv::Mat& b);
double calc_psnr_cuda_optimized(const cv::Mat& a, const cv::Mat& b, BufferPSNR& buffers);

// ---------------------------------------------------------------------------------------------
// Feature detection. Keypoints come out in frame coordinates; masks are single-channel 8-bit,
// any non-zero value admitting a pixel. An empty region yields no keypoints and no descriptors.

// Features of `image` (a BGR region of the frame lying at `roi`), restricted by `mask` (the
// image's size, or empty). The region is shrunk to fit a 512 x 512 canvas and centred on it.
void detect_and_compute_roi_gpu(const cv::Ptr<halvern::device::OrbDetector>& detector,
                                const cv::Mat& image, const cv::Mat& mask,
                                const cv::Mat& frame_unused, const cv::Rect& roi,
                                std::vector<cv::KeyPoint>& keypoints,
                                halvern::device::DeviceMat& descriptors);

// Features of the ring around `box`: a window three times the box's size, moved inside (and
// clipped to) the frame, less a hole twice the size of `mask` centred on the box.
void detect_and_compute_background_roi_gpu(const cv::Ptr<halvern::device::OrbDetector>& detector,
                                           const cv::Mat& frame, const cv::Mat& mask,
                                           const cv::Rect& box,
                                           const cv::Rect& process_region_unused,
                                           std::vector<cv::KeyPoint>& keypoints,
                                           halvern::device::DeviceMat& descriptors);

// As detect_and_compute_roi_gpu on the CPU, on a canvas of the frame's size (no scaling).
void detect_and_compute_cpu(const cv::Ptr<cv::ORB>& detector, const cv::Mat& image,
                            const cv::Mat& mask, const cv::Mat& frame, const cv::Rect& roi,
                            std::vector<cv::KeyPoint>& keypoints, cv::Mat& descriptors);

// ---------------------------------------------------------------------------------------------
// Matching. Matches are appended to `matches`.

// Two-nearest-neighbour matching with the strict ratio test m0 < ratio * m1. Query rows with
// fewer than two neighbours cannot be tested and are skipped.
void match_descriptors_filter_gpu(const cv::Ptr<halvern::device::HammingMatcher>& matcher,
                                  const halvern::device::DeviceMat& query,
                                  const halvern::device::DeviceMat& train, float ratio,
                                  std::vector<cv::DMatch>& matches);

// The nearest train row of every query row, in query order; rows without any neighbour
// (an empty train set) are skipped.
void match_descriptors_raw_gpu(const cv::Ptr<halvern::device::HammingMatcher>& matcher,
                               const halvern::device::DeviceMat& query,
                               const halvern::device::DeviceMat& train,
                               std::vector<cv::DMatch>& matches);

// As match_descriptors_filter_gpu, on the CPU.
void match_descriptors_cpu(const cv::Ptr<cv::DescriptorMatcher>& matcher, const cv::Mat& query,
                           const cv::Mat& train, float ratio, std::vector<cv::DMatch>& matches);

// ---------------------------------------------------------------------------------------------
// Selection. A keypoint lies in a box when its point, rounded to integers, does. A match whose
// queryIdx is out of range of the keypoints or descriptor rows throws cv::Exception.

// dst row i = src row matches[i].queryIdx.
void filter_matched_descriptors(const std::vector<cv::DMatch>& matches,
                                const halvern::device::DeviceMat& src,
                                halvern::device::DeviceMat& dst);

// dst row i = src row matches[i].queryIdx when that keypoint lies in `box`, else zeros (dst
// stays index-aligned with `matches`); the keypoints in the box are appended to `kept`.
void filter_bbox_matched_descriptors(const std::vector<cv::KeyPoint>& keypoints,
                                     const std::vector<cv::DMatch>& matches, const cv::Rect& box,
                                     const halvern::device::DeviceMat& src,
                                     halvern::device::DeviceMat& dst,
                                     std::vector<cv::KeyPoint>& kept);

// The keypoints in `box` (appended to `kept`) and their descriptor rows, in keypoint order.
void filter_bbox_descriptors(const std::vector<cv::KeyPoint>& keypoints, const cv::Rect& box,
                             const halvern::device::DeviceMat& src,
                             halvern::device::DeviceMat& dst, std::vector<cv::KeyPoint>& kept);

// Appends matches[i] when it is strictly closer than background[i], the same descriptor's
// nearest background match. A match without a background entry (an empty or shorter list)
// has no background competitor and is kept.
void filter_background_matches(const std::vector<cv::DMatch>& matches,
                               const std::vector<cv::DMatch>& background,
                               std::vector<cv::DMatch>& foreground);

// The placement of a box of `box`'s size (shrunk to fit `window`) inside `window` that holds
// most matched keypoints; ties go to the placement nearest the window's centre, then to the
// first in scan order (x outer, y inner). `kept` is replaced by the matches inside the best
// box, in match order. When no placement exists (a window or box without area), `count` is
// INT_MIN and `best` and `kept` are not written.
void calc_max_bbox_min_dist(const cv::Rect& window, const cv::Rect& box,
                            const std::vector<cv::KeyPoint>& keypoints,
                            const std::vector<cv::DMatch>& matches, cv::Rect& best, int& count,
                            float& dist, std::vector<cv::DMatch>& kept);

// The bounding box of the keypoints (coordinates truncated); (0, 0, 0, 0) when there are none.
void calc_min_max_bbox_keypoints(const std::vector<cv::KeyPoint>& keypoints, cv::Rect& box);

// Euclidean distance, computed in double.
float calc_euclidean_dist(const cv::Point2f& p, const cv::Point2f& q);
