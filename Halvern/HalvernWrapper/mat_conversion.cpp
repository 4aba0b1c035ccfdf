// NumPy arrays to OpenCV matrices and back.
#include "numpy_api.h"

#include "mat_conversion.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <new>

#include "gil.h"
#include "numpy_allocator.h"

namespace {

// Sets a TypeError with the formatted message (at most 1000 bytes); returns false.
bool failmsg(const char* fmt, ...) {
  char text[1000];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(text, sizeof text, fmt, args);
  va_end(args);
  PyErr_SetString(PyExc_TypeError, text);
  return false;
}

// An OpenCV error as a Python RuntimeError carrying the error's fields as attributes.
void set_opencv_error(const cv::Exception& e) {
  PyObject* error = PyObject_CallFunction(PyExc_RuntimeError, "s", e.what());
  if (error == nullptr) return;
  const struct {
    const char* name;
    PyObject* value;
  } fields[] = {{"file", PyUnicode_FromString(e.file.c_str())},
                {"func", PyUnicode_FromString(e.func.c_str())},
                {"line", PyLong_FromLong(e.line)},
                {"code", PyLong_FromLong(e.code)},
                {"msg", PyUnicode_FromString(e.msg.c_str())},
                {"err", PyUnicode_FromString(e.err.c_str())}};
  for (const auto& f : fields) {
    if (f.value != nullptr) PyObject_SetAttrString(error, f.name, f.value);
    Py_XDECREF(f.value);
  }
  PyErr_Clear();  // a failed attribute leaves the error without it
  PyErr_SetObject(PyExc_RuntimeError, error);
  Py_DECREF(error);
}

constexpr const char* kBufferCapsule = "halvern.matrix_buffer";

// The capsule that keeps a matrix (and with it its buffer) alive under an array.
void release_capsule(PyObject* capsule) {
  delete static_cast<cv::Mat*>(PyCapsule_GetPointer(capsule, kBufferCapsule));
}

bool number_to_matrix(PyObject* o, cv::Mat& m) {
  const double v = PyFloat_AsDouble(o);
  if (v == -1.0 && PyErr_Occurred()) return false;
  m = cv::Mat(4, 1, CV_64F, cv::Scalar(0));
  m.at<double>(0) = v;
  return true;
}

bool tuple_to_matrix(PyObject* o, cv::Mat& m, const char* name) {
  const Py_ssize_t n = PyTuple_Size(o);
  if (n > INT_MAX) return failmsg("%s is not a numerical tuple", name);
  cv::Mat values(static_cast<int>(n), 1, CV_64F);
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* item = PyTuple_GetItem(o, i);
    if (!PyLong_Check(item) && !PyFloat_Check(item))
      return failmsg("%s is not a numerical tuple", name);
    const double v = PyFloat_AsDouble(item);
    if (v == -1.0 && PyErr_Occurred()) return false;
    values.at<double>(static_cast<int>(i)) = v;
  }
  m = values;
  return true;
}

constexpr int kCastToInt32 = -1;
constexpr int kUnsupported = -2;

// The matrix depth of a NumPy type number: 64-bit integers are cast to int32.
int matrix_depth(int typenum) {
  switch (typenum) {
    case NPY_UBYTE: return CV_8U;
    case NPY_BYTE: return CV_8S;
    case NPY_USHORT: return CV_16U;
    case NPY_SHORT: return CV_16S;
    case NPY_INT: return CV_32S;
    case NPY_FLOAT: return CV_32F;
    case NPY_DOUBLE: return CV_64F;
    case NPY_LONGLONG:
    case NPY_ULONGLONG: return kCastToInt32;
    case NPY_LONG:
    case NPY_ULONG: return sizeof(npy_long) == 8 ? kCastToInt32 : kUnsupported;
    default: return kUnsupported;
  }
}

// Whether a matrix cannot describe the array's layout as it is: the elements of the last
// dimension are not adjacent, a dimension steps less than the one after it (transposed or
// flipped), or the channels of a multi-channel array are not adjacent.
bool needs_copy(PyArrayObject* array, size_t elemsize, bool multichannel) {
  const int ndims = PyArray_NDIM(array);
  const npy_intp* sizes = PyArray_DIMS(array);
  const npy_intp* strides = PyArray_STRIDES(array);
  for (int i = ndims - 1; i >= 0; --i) {
    if (sizes[i] <= 1) continue;
    if (i == ndims - 1 ? strides[i] != static_cast<npy_intp>(elemsize)
                       : strides[i] < strides[i + 1])
      return true;
  }
  return multichannel && strides[1] != static_cast<npy_intp>(elemsize) * sizes[2];
}

}  // namespace

bool pyopencv_to(PyObject* o, cv::Mat& m, const char* name) {
  if (o == nullptr || o == Py_None) {
    if (!m.data) m.allocator = &g_numpyAllocator;
    return true;
  }
  if (PyLong_Check(o) || PyFloat_Check(o)) return number_to_matrix(o, m);
  if (PyTuple_Check(o)) return tuple_to_matrix(o, m, name);
  if (!PyArray_Check(o)) return failmsg("%s is not a numpy array, neither a scalar", name);

  auto* array = reinterpret_cast<PyArrayObject*>(o);
  const int typenum = PyArray_TYPE(array);
  int depth = matrix_depth(typenum);
  if (depth == kUnsupported) return failmsg("%s data type = %d is not supported", name, typenum);
  const bool cast = depth == kCastToInt32;
  if (cast) depth = CV_32S;

  int ndims = PyArray_NDIM(array);
  if (ndims >= kMatMaxDims) return failmsg("%s dimensionality (=%d) is too high", name, ndims);
  for (int i = 0; i < ndims; ++i)
    if (PyArray_DIMS(array)[i] > INT_MAX)
      return failmsg("%s dimension %d (=%lld) is too large", name, i,
                     static_cast<long long>(PyArray_DIMS(array)[i]));

  const size_t elemsize = CV_ELEM_SIZE1(depth);
  const bool multichannel = ndims == 3 && PyArray_DIMS(array)[2] <= CV_CN_MAX;
  bool copied = false;  // `o` is then a private array whose one reference the matrix takes
  if (cast || (needs_copy(array, elemsize, multichannel) && !PyArray_IS_C_CONTIGUOUS(array))) {
    PyObject* fresh = cast ? PyArray_CastToType(array, PyArray_DescrFromType(NPY_INT), 0)
                           : PyArray_NewCopy(array, NPY_CORDER);
    if (fresh == nullptr) return false;
    o = fresh;
    array = reinterpret_cast<PyArrayObject*>(o);
    copied = true;
  }

  // Sizes and steps, from the last dimension to the first; a dimension of size 0 or 1 takes
  // the step of a dense layout, whatever stride NumPy gave it.
  const npy_intp* sizes = PyArray_DIMS(array);
  const npy_intp* strides = PyArray_STRIDES(array);
  int size[kMatMaxDims + 1] = {};
  size_t step[kMatMaxDims + 1] = {};
  size_t dense = elemsize;
  for (int i = ndims - 1; i >= 0; --i) {
    size[i] = static_cast<int>(sizes[i]);
    if (size[i] > 1) {
      step[i] = static_cast<size_t>(strides[i]);
      dense = step[i] * size[i];
    } else {
      step[i] = dense;
      dense *= size[i];
    }
  }
  if (ndims == 0) {
    size[0] = 1;
    step[0] = elemsize;
    ndims = 1;
  }
  int type = depth;
  if (multichannel) {
    --ndims;
    type = CV_MAKETYPE(depth, size[2]);
  }

  try {
    m = cv::Mat(ndims, size, type, PyArray_DATA(array), step);
  } catch (const cv::Exception& e) {
    if (copied) Py_DECREF(o);
    return failmsg("%s cannot be read as a matrix: %s", name, e.err.c_str());
  }
  m.u = g_numpyAllocator.allocate(o, ndims, size, type, step);
  m.addref();
  if (!copied) Py_INCREF(o);
  m.allocator = &g_numpyAllocator;
  return true;
}

PyObject* pyopencv_from(const cv::Mat& m) {
  if (!m.data) Py_RETURN_NONE;
  if (m.u != nullptr && m.u->currAllocator == &g_numpyAllocator) {
    auto* o = static_cast<PyObject*>(m.u->userdata);
    Py_INCREF(o);
    return o;
  }
  cv::Mat copy;
  copy.allocator = &g_numpyAllocator;
  try {
    PyAllowThreads nogil;  // the allocator takes the lock back to make the array
    m.copyTo(copy);
  } catch (const cv::Exception& e) {
    set_opencv_error(e);
    return nullptr;
  } catch (const std::bad_alloc&) {
    return PyErr_NoMemory();
  }
  auto* o = static_cast<PyObject*>(copy.u->userdata);
  Py_INCREF(o);
  return o;
}

PyObject* pyopencv_from_released(const cv::Mat& m) {
  const bool sole_holder = m.u != nullptr && m.u->currAllocator != &g_numpyAllocator &&
                           m.u->refcount == 1 && m.isContinuous() && m.data == m.u->origdata;
  if (!sole_holder || m.depth() > CV_64F) return pyopencv_from(m);

  npy_intp shape[kMatMaxDims + 1];
  for (int i = 0; i < m.dims; ++i) shape[i] = m.size[i];
  int ndims = m.dims;
  if (m.channels() > 1) shape[ndims++] = m.channels();
  auto* holder = new cv::Mat(m);
  PyObject* capsule = PyCapsule_New(holder, kBufferCapsule, release_capsule);
  if (capsule == nullptr) {
    delete holder;
    return nullptr;
  }
  PyObject* array = PyArray_New(&PyArray_Type, ndims, shape, numpy_type(m.depth()), nullptr,
                                holder->data, 0, NPY_ARRAY_CARRAY, nullptr);
  if (array == nullptr) {
    Py_DECREF(capsule);
    return nullptr;
  }
  // The array takes the capsule over, even when this fails.
  if (PyArray_SetBaseObject(reinterpret_cast<PyArrayObject*>(array), capsule) != 0) {
    Py_DECREF(array);
    return nullptr;
  }
  return array;
}
