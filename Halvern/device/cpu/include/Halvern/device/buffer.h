// Device memory of the CPU backend: host memory.
#pragma once

#include <opencv2/core.hpp>

namespace halvern::device {
using Buffer = cv::Mat;
}
