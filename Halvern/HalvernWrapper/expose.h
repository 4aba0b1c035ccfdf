// The module's conversions between Python and OpenCV types.
#pragma once

// Imports NumPy's C interface, once per process. On failure the error is printed, an
// ImportError "numpy.core.multiarray failed to import" is set (again on every later call) and
// false returned.
bool initialize_array();

// Registers the converters with Boost.Python: cv::Mat from and to NumPy arrays, cv::Size from
// None or a (width, height) tuple and to such a tuple, std::vector<cv::Mat> to a list of arrays,
// and the list API's released matrices to arrays.
// Needs initialize_array first.
void expose();
