// An OpenCV matrix allocator whose buffers are NumPy arrays, so that a matrix and an array can
// share their memory. A buffer record it makes holds a reference to its array in `userdata`;
// dropping the record's last reference drops that one.
#pragma once

#include "numpy_api.h"

#include <opencv2/core.hpp>

// The most dimensions an OpenCV matrix has (OpenCV's CV_MAX_DIM).
constexpr int kMatMaxDims = 32;

// The NumPy type number of a matrix depth; depths NumPy has no type for map to uint64.
int numpy_type(int depth);

class NumpyAllocator : public cv::MatAllocator {
 public:
  NumpyAllocator() : stdAllocator(cv::Mat::getStdAllocator()) {}

  // A buffer record over array `o`, which the record takes over one reference of. Writes the
  // steps of the matrix (the last one: the full element size).
  cv::UMatData* allocate(PyObject* o, int dims, const int* sizes, int type, size_t* step) const;

  // A new buffer: a new C-ordered array of the matrix's sizes (and its channels as a last
  // dimension). A given data pointer goes to the standard allocator. Takes the interpreter lock.
  cv::UMatData* allocate(int dims, const int* sizes, int type, void* data, size_t* step,
                         cv::AccessFlag flags, cv::UMatUsageFlags usageFlags) const override;
  bool allocate(cv::UMatData* u, cv::AccessFlag accessFlags,
                cv::UMatUsageFlags usageFlags) const override;

  // Drops the array once the record has no reference left. Takes the interpreter lock.
  void deallocate(cv::UMatData* u) const override;

  const cv::MatAllocator* stdAllocator;  // for what this allocator does not handle itself
};

// The one instance, for the life of the library.
extern NumpyAllocator g_numpyAllocator;
