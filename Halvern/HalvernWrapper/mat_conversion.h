// Conversions between NumPy arrays and OpenCV matrices.
#pragma once

#include <Python.h>

#include <opencv2/core.hpp>

// Reads `o` into `m`; on failure sets a Python error (TypeError with a message naming `name`)
// and returns false.
//   None                  leaves `m` empty
//   int or float          a 4 x 1 CV_64F matrix (value, 0, 0, 0)
//   tuple of numbers      an n x 1 CV_64F matrix
//   array                 a matrix over the array's memory, sharing it: uint8, int8, uint16,
//                         int16, int32, float32 and float64 as they are, int64 and uint64 cast
//                         to int32 (a copy); an H x W x C array (C <= 512) becomes C channels.
//                         Layouts a matrix cannot describe are first copied to a C-ordered array.
bool pyopencv_to(PyObject* o, cv::Mat& m, const char* name);

// A new reference: None for a matrix without data; the owning array of a matrix whose buffer
// an array holds; otherwise a new array with a copy of the matrix. Sets a Python error and
// returns null on failure.
PyObject* pyopencv_from(const cv::Mat& m);

// As pyopencv_from, for a matrix whose holder lets go of it right after: when no other holder
// shares its buffer, the new array takes the buffer over instead of copying it.
PyObject* pyopencv_from_released(const cv::Mat& m);
