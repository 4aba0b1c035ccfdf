// Converter registration, and the import of NumPy's C interface that the converters need.
#define HALVERN_NUMPY_IMPORT
#include "numpy_api.h"

#include "expose.h"

#include <climits>
#include <vector>

#include <boost/python.hpp>
#include <opencv2/core.hpp>

#include <Halvern/trackerapi.h>

#include "mat_conversion.h"

namespace bp = boost::python;

namespace {

// NumPy's import routine returns from the enclosing function on failure, so it gets a function
// of its own; the table pointer it fills is the success value.
void* import_numpy() {
  import_array();
  return PyArray_API;
}

// Where a converter's value is built in Boost.Python's storage.
template <typename T>
void* storage_of(bp::converter::rvalue_from_python_stage1_data* data) {
  return reinterpret_cast<bp::converter::rvalue_from_python_storage<T>*>(data)->storage.bytes;
}

struct PythonConverterForMat {
  static PyObject* convert(const cv::Mat& m) { return pyopencv_from(m); }

  static void* convertible(PyObject* o) { return PyArray_Check(o) ? o : nullptr; }

  static void construct(PyObject* o, bp::converter::rvalue_from_python_stage1_data* data) {
    void* storage = storage_of<cv::Mat>(data);
    auto* m = new (storage) cv::Mat();
    if (!pyopencv_to(o, *m, "<unknown>")) {
      m->~Mat();
      bp::throw_error_already_set();
    }
    data->convertible = storage;
  }

  PythonConverterForMat() {
    bp::to_python_converter<cv::Mat, PythonConverterForMat>();
    bp::converter::registry::push_back(&convertible, &construct, bp::type_id<cv::Mat>());
  }
};

struct PythonConverterForSize {
  static PyObject* convert(const cv::Size& s) { return Py_BuildValue("(ii)", s.width, s.height); }

  static void* convertible(PyObject* o) {
    if (o == Py_None) return o;
    if (!PyTuple_Check(o) || PyTuple_Size(o) != 2) return nullptr;
    for (Py_ssize_t i = 0; i < 2; ++i)
      if (!PyLong_Check(PyTuple_GetItem(o, i))) return nullptr;
    return o;
  }

  static void construct(PyObject* o, bp::converter::rvalue_from_python_stage1_data* data) {
    int wh[2] = {0, 0};
    for (Py_ssize_t i = 0; o != Py_None && i < 2; ++i) {
      const long v = PyLong_AsLong(PyTuple_GetItem(o, i));
      if (v == -1 && PyErr_Occurred()) bp::throw_error_already_set();
      if (v < INT_MIN || v > INT_MAX) {
        PyErr_SetString(PyExc_OverflowError, "size component out of the int range");
        bp::throw_error_already_set();
      }
      wh[i] = static_cast<int>(v);
    }
    void* storage = storage_of<cv::Size>(data);
    new (storage) cv::Size(wh[0], wh[1]);
    data->convertible = storage;
  }

  PythonConverterForSize() {
    bp::to_python_converter<cv::Size, PythonConverterForSize>();
    bp::converter::registry::push_back(&convertible, &construct, bp::type_id<cv::Size>());
  }
};

// The matrices the list API lets go of (see halvern::ReleasedMat).
struct ReleasedMatToPython {
  static PyObject* convert(const halvern::ReleasedMat& r) { return pyopencv_from_released(r.mat); }

  ReleasedMatToPython() { bp::to_python_converter<halvern::ReleasedMat, ReleasedMatToPython>(); }
};

struct MatVectorToPython {
  static PyObject* convert(const std::vector<cv::Mat>& mats) {
    PyObject* list = PyList_New(static_cast<Py_ssize_t>(mats.size()));
    if (list == nullptr) return nullptr;
    for (size_t i = 0; i < mats.size(); ++i) {
      PyObject* item = pyopencv_from(mats[i]);
      if (item == nullptr) {
        Py_DECREF(list);
        return nullptr;
      }
      PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), item);
    }
    return list;
  }

  MatVectorToPython() { bp::to_python_converter<std::vector<cv::Mat>, MatVectorToPython>(); }
};

}  // namespace

bool initialize_array() {
  static const bool imported = import_numpy() != nullptr;  // the one attempt of the process
  if (!imported && !PyErr_Occurred())
    PyErr_SetString(PyExc_ImportError, "numpy.core.multiarray failed to import");
  return imported;
}

void expose() {
  PythonConverterForMat();
  PythonConverterForSize();
  MatVectorToPython();
  ReleasedMatToPython();
}
