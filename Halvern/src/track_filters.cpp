// The two Kalman filters of a track, set up from a box.
#include "track.h"

namespace {

// Centre filter: measurement noise and the starting error covariances (posterior, and the prior
// that holds until the first predict overwrites it).
constexpr double kCentreMeasurementNoise[] = {
    7.326753222347417, -7.368319841987782e-21,
    -7.368319841987782e-21, 4.417891090025643e-07};

constexpr double kCentreErrorPost[] = {
    92.95831916815806, 97.97623889802622, 30.530037531611065,
    7.114675484036148e-15, 3.814511666775654e-14, 2.728275358771862e-14,
    97.97623889802622, 170.1714668183596, 62.5399028312654,
    4.434953611110255e-14, 9.172039660850805e-14, 5.845570185901462e-14,
    30.530037531611065, 62.5399028312654, 42.09175186783858,
    1.706232025504653e-14, 4.246718983001843e-14, 2.6913090174765117e-14,
    7.114675484036148e-15, 4.434953611110255e-14, 1.706232025504653e-14,
    92.95831916815797, 97.97623889802611, 30.530037531611015,
    3.814511666775654e-14, 9.172039660850805e-14, 4.246718983001843e-14,
    97.97623889802611, 170.17146681835942, 62.53990283126531,
    2.728275358771862e-14, 5.845570185901462e-14, 2.6913090174765117e-14,
    30.530037531611015, 62.53990283126531, 42.09175186783854};

constexpr double kCentreErrorPre[] = {
    33.06505610552179, 14.629700294472295, -3.297764015288685,
    -15.02904016449667, -8.43655247465798, 0.022195068259764063,
    14.629700294472295, 54.18645126496994, 7.219613462203871,
    -1.169907805832171, -18.79114451989139, -0.04859222058547858,
    -3.297764015288685, 7.219613462203871, 7.195071433351661,
    4.652596299347412, 0.3614122085027752, -0.04842712550642703,
    -15.02904016449667, -1.169907805832171, 4.652596299347412,
    8.34034475552451, 3.0267658494602587, -0.03131407345303322,
    -8.43655247465798, -18.79114451989139, 0.3614122085027752,
    3.0267658494602587, 7.8701059499781, -0.0024322321205487406,
    0.022195068259764063, -0.04859222058547858, -0.04842712550642703,
    -0.03131407345303322, -0.0024322321205487406, 0.00032623279693501194};

// A rows x cols float matrix from row-major doubles.
cv::Mat as_float(const double* values, int rows, int cols) {
  cv::Mat out;
  cv::Mat(rows, cols, CV_64F, const_cast<double*>(values)).convertTo(out, CV_32F);
  return out;
}

}  // namespace

void Track::set_up_filters(const cv::Rect& box) {
  const float x = static_cast<float>(box.x), y = static_cast<float>(box.y);
  const float w = static_cast<float>(box.width), h = static_cast<float>(box.height);

  // init() leaves identity transition and process noise and zero covariances behind.
  centre_filter.init(6, 2, 0, CV_32F);
  centre_filter.statePost.at<float>(0) = x + w / 2.0f;
  centre_filter.statePost.at<float>(3) = y + h / 2.0f;
  centre_filter.statePost.copyTo(centre_filter.statePre);
  centre_filter.transitionMatrix.at<float>(0, 1) = 1.0f;  // x += vx
  centre_filter.transitionMatrix.at<float>(3, 4) = 1.0f;  // y += vy
  centre_filter.measurementMatrix.at<float>(0, 0) = 1.0f;
  centre_filter.measurementMatrix.at<float>(1, 3) = 1.0f;
  centre_filter.measurementNoiseCov = as_float(kCentreMeasurementNoise, 2, 2);
  centre_filter.errorCovPost = as_float(kCentreErrorPost, 6, 6);
  centre_filter.errorCovPre = as_float(kCentreErrorPre, 6, 6);

  size_filter.init(4, 2, 0, CV_32F);
  size_filter.statePost.at<float>(0) = w;
  size_filter.statePost.at<float>(1) = h;
  size_filter.statePost.copyTo(size_filter.statePre);
  size_filter.transitionMatrix.at<float>(0, 2) = 1.0f;  // w += vw
  size_filter.transitionMatrix.at<float>(1, 3) = 1.0f;  // h += vh
  size_filter.measurementMatrix.at<float>(0, 0) = 1.0f;
  size_filter.measurementMatrix.at<float>(1, 1) = 1.0f;
  cv::setIdentity(size_filter.measurementNoiseCov, cv::Scalar::all(0.1));
  size_filter.processNoiseCov = cv::Mat::diag((cv::Mat_<float>(4, 1) << 0.01f, 0.01f, 5.0f, 5.0f));
}
