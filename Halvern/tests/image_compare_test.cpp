// Template matching and PSNR, on the CPU and on the device layer.
#include <cmath>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <Halvern/helper.h>

namespace {

cv::Mat noise_image(int rows, int cols, int type, uint64_t seed) {
  cv::Mat m(rows, cols, type);
  cv::RNG rng(seed);
  rng.fill(m, cv::RNG::UNIFORM, 0, 256);
  return m;
}

TEST(Psnr, KnownValuesOnCpuAndDevice) {
  const cv::Mat a(6, 7, CV_8UC3, cv::Scalar(50, 50, 50));
  const cv::Mat b(6, 7, CV_8UC3, cv::Scalar(60, 40, 60));
  const double expected = 10 * std::log10(65025.0 / 100.0);  // every value off by 10
  BufferPSNR buffers;
  EXPECT_NEAR(calc_psnr(a, b), expected, 1e-6);
  EXPECT_NEAR(calc_psnr_cuda(a, b), expected, 1e-6);
  EXPECT_NEAR(calc_psnr_cuda_optimized(a, b, buffers), expected, 1e-6);
  // Identical images give 0, not infinity.
  EXPECT_EQ(calc_psnr(a, a), 0.0);
  EXPECT_EQ(calc_psnr_cuda_optimized(a, a, buffers), 0.0);

  // The device agrees with the CPU on arbitrary images, reusing its buffers.
  const cv::Mat n1 = noise_image(20, 30, CV_8UC3, 1), n2 = noise_image(20, 30, CV_8UC3, 2);
  EXPECT_NEAR(calc_psnr_cuda_optimized(n1, n2, buffers), calc_psnr(n1, n2), 1e-9);
}

TEST(Psnr, FourthChannelCounts) {
  const cv::Mat a(10, 10, CV_8UC4, cv::Scalar(0, 0, 0, 0));
  const cv::Mat b(10, 10, CV_8UC4, cv::Scalar(0, 0, 0, 100));
  // Only the alpha channel differs: mse = 100^2 / 4.
  EXPECT_NEAR(calc_psnr(a, b), 10 * std::log10(65025.0 / 2500.0), 1e-4);
  EXPECT_NEAR(calc_psnr_cuda(a, b), calc_psnr(a, b), 1e-9);
}

TEST(Psnr, MismatchedImagesThrow) {
  EXPECT_THROW(calc_psnr(cv::Mat(4, 4, CV_8UC3), cv::Mat(5, 4, CV_8UC3)), cv::Exception);
  EXPECT_THROW(calc_psnr_cuda(cv::Mat(4, 4, CV_8UC3), cv::Mat(4, 4, CV_8UC1)), cv::Exception);
}

TEST(DetectTemplate, FindsThePatchInsideTheSearchBox) {
  cv::Mat image = noise_image(60, 80, CV_8UC3, 2);
  cv::GaussianBlur(image, image, cv::Size(5, 5), 0);
  const cv::Rect truth(37, 21, 12, 9);
  const cv::Mat templ = image(truth).clone();
  const cv::Mat ones(templ.size(), CV_8UC1, cv::Scalar(1));
  const cv::Rect search(20, 10, 40, 30);

  cv::Rect found;
  EXPECT_NEAR(detect_template(image, templ, {}, search, found, ones), 1.0, 1e-4);
  EXPECT_EQ(found, truth);
  cv::Rect found_device;
  EXPECT_NEAR(detect_template_cuda(image, templ, {}, search, found_device, ones), 1.0, 1e-4);
  EXPECT_EQ(found_device, truth);
  cv::Rect unmasked;
  EXPECT_NEAR(detect_template(image, templ, {}, search, unmasked, cv::Mat()), 1.0, 1e-4);
  EXPECT_EQ(unmasked, truth);

  // A mask that hides all but one corner still finds the patch.
  cv::Mat corner = cv::Mat::zeros(templ.size(), CV_8UC1);
  corner(cv::Rect(0, 0, 6, 5)).setTo(255);
  cv::Rect found_masked;
  EXPECT_GT(detect_template(image, templ, {}, search, found_masked, corner), 0.99);
  EXPECT_EQ(found_masked, truth);
}

TEST(DetectTemplate, EmptyInputsAndBadBoxes) {
  const cv::Mat image = noise_image(20, 20, CV_8UC3, 3);
  const cv::Mat templ = image(cv::Rect(2, 2, 5, 5)).clone();
  const cv::Rect untouched(1, 2, 3, 4);
  for (const cv::Rect& search : {cv::Rect(0, 0, 0, 10), cv::Rect(0, 0, 10, 0)}) {
    cv::Rect out = untouched;
    EXPECT_EQ(detect_template(image, templ, {}, search, out, cv::Mat()), 0.0);
    EXPECT_EQ(detect_template_cuda(image, templ, {}, search, out, cv::Mat()), 0.0);
    EXPECT_EQ(out, untouched);
  }
  cv::Rect out = untouched;
  EXPECT_EQ(detect_template(image, cv::Mat(), {}, cv::Rect(0, 0, 10, 10), out, cv::Mat()), 0.0);
  EXPECT_EQ(out, untouched);
  // A search box reaching out of the image, or overflowing int, is an error.
  EXPECT_THROW(detect_template(image, templ, {}, cv::Rect(15, 0, 10, 10), out, cv::Mat()),
               cv::Exception);
  EXPECT_THROW(detect_template_cuda(image, templ, {}, cv::Rect(INT_MAX, 0, INT_MAX, 10), out,
                                    cv::Mat()),
               cv::Exception);
}

}  // namespace
