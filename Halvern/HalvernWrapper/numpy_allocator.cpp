// Matrix buffers held by NumPy arrays.
#include "numpy_allocator.h"

#include "gil.h"

NumpyAllocator g_numpyAllocator;

int numpy_type(int depth) {
  switch (depth) {
    case CV_8U: return NPY_UBYTE;
    case CV_8S: return NPY_BYTE;
    case CV_16U: return NPY_USHORT;
    case CV_16S: return NPY_SHORT;
    case CV_32S: return NPY_INT;
    case CV_32F: return NPY_FLOAT;
    case CV_64F: return NPY_DOUBLE;
    default: return NPY_UINT64;
  }
}

cv::UMatData* NumpyAllocator::allocate(PyObject* o, int dims, const int* sizes, int type,
                                       size_t* step) const {
  auto* array = reinterpret_cast<PyArrayObject*>(o);
  auto* u = new cv::UMatData(this);
  u->data = u->origdata = static_cast<uchar*>(PyArray_DATA(array));
  const npy_intp* strides = PyArray_STRIDES(array);
  for (int i = 0; i < dims - 1; ++i) step[i] = static_cast<size_t>(strides[i]);
  step[dims - 1] = CV_ELEM_SIZE(type);
  u->size = sizes[0] * step[0];
  u->userdata = o;
  return u;
}

cv::UMatData* NumpyAllocator::allocate(int dims0, const int* sizes, int type, void* data,
                                       size_t* step, cv::AccessFlag flags,
                                       cv::UMatUsageFlags usageFlags) const {
  if (data != nullptr)
    return stdAllocator->allocate(dims0, sizes, type, data, step, flags, usageFlags);
  PyEnsureGIL gil;

  const int cn = CV_MAT_CN(type);
  const int typenum = numpy_type(CV_MAT_DEPTH(type));
  npy_intp shape[kMatMaxDims + 1];
  int dims = dims0;
  for (int i = 0; i < dims; ++i) shape[i] = sizes[i];
  if (cn > 1) shape[dims++] = cn;
  PyObject* o = PyArray_SimpleNew(dims, shape, typenum);
  if (o == nullptr) {
    PyErr_Clear();  // reported as the OpenCV error below
    CV_Error_(cv::Error::StsError,
              ("The numpy array of typenum=%d, ndims=%d can not be created", typenum, dims));
  }
  return allocate(o, dims0, sizes, type, step);
}

bool NumpyAllocator::allocate(cv::UMatData* u, cv::AccessFlag accessFlags,
                              cv::UMatUsageFlags usageFlags) const {
  return stdAllocator->allocate(u, accessFlags, usageFlags);
}

void NumpyAllocator::deallocate(cv::UMatData* u) const {
  if (u == nullptr) return;
  PyEnsureGIL gil;
  CV_Assert(u->urefcount >= 0);
  CV_Assert(u->refcount >= 0);
  if (u->refcount == 0) {
    Py_XDECREF(static_cast<PyObject*>(u->userdata));
    delete u;
  }
}
