#include "value_caster.h"

#include <cstring>

#include "geometry.h"
#include "objects.h"
#include "time_convert.h"
#include "uuid_objects.h"

namespace py = pybind11;

namespace lorengraph::py_values {

namespace {

bool has_index(PyObject* obj) {
  PyNumberMethods* nb = Py_TYPE(obj)->tp_as_number;
  return nb != nullptr && nb->nb_index != nullptr;
}

// Number objects: ints, floats, __index__ types and anything with __int__/__float__.
bool is_number(PyObject* obj) { return PyNumber_Check(obj) != 0; }

bool load_bool(PyObject* obj, bool convert, value_t& out) {
  if (obj == Py_True || obj == Py_False) {
    out = (obj == Py_True);
    return true;
  }
  const bool numpy_bool = std::strcmp(Py_TYPE(obj)->tp_name, "numpy.bool_") == 0;
  // A number never turns into a bool by conversion; only non-numbers with a truth slot do.
  if (!numpy_bool && (!convert || is_number(obj))) return false;
  PyNumberMethods* nb = Py_TYPE(obj)->tp_as_number;
  if (nb == nullptr || nb->nb_bool == nullptr) return false;
  const int truth = nb->nb_bool(obj);
  if (truth != 0 && truth != 1) {
    PyErr_Clear();
    return false;
  }
  out = truth == 1;
  return true;
}

// Ints and __index__ objects that fit in 64 bits; never floats.
bool load_int(PyObject* obj, value_t& out) {
  if (PyFloat_Check(obj) || !(PyLong_Check(obj) || has_index(obj))) return false;
  py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(obj));
  if (!index) {
    PyErr_Clear();
    return false;
  }
  int overflow = 0;
  const long long v = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
  if (overflow != 0 || (v == -1 && PyErr_Occurred())) {
    PyErr_Clear();
    return false;
  }
  out = static_cast<std::int64_t>(v);
  return true;
}

// Floats exactly; with conversion also other number types (Decimal, Fraction, numpy.float32)
// by their float value. Ints and __index__ types are left to the integer alternative, so an
// int too large for 64 bits is refused rather than rounded.
bool load_double(PyObject* obj, bool convert, value_t& out) {
  if (!PyFloat_Check(obj)) {
    if (!convert || !is_number(obj) || PyLong_Check(obj) || has_index(obj)) return false;
  }
  const double v = PyFloat_AsDouble(obj);
  if (v == -1.0 && PyErr_Occurred()) {
    PyErr_Clear();
    return false;
  }
  out = v;
  return true;
}

bool load_uuid_value(PyObject* obj, value_t& out) {
  uuid_t id;
  if (!load_uuid(obj, id)) return false;
  out = id;
  return true;
}

bool load_time(py::handle src, value_t& out) {
  time_point_t tp;
  if (!load_time_point(src, tp)) return false;
  out = tp;
  return true;
}

bool load_string(PyObject* obj, value_t& out) {
  if (!PyUnicode_Check(obj)) return false;
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(obj, &size);
  if (!data) {  // lone surrogates have no UTF-8 form
    PyErr_Clear();
    return false;
  }
  out = std::string(data, static_cast<std::size_t>(size));
  return true;
}

bool load_blob(PyObject* obj, value_t& out) {
  if (!PyBytes_Check(obj)) return false;
  out = blob_t{std::string(PyBytes_AS_STRING(obj), static_cast<std::size_t>(PyBytes_GET_SIZE(obj)))};
  return true;
}

template <class T>
bool load_shared(py::handle src, value_t& out) {
  py::detail::make_caster<std::shared_ptr<T>> caster;
  if (!py::isinstance<T>(src) || !caster.load(src, false)) return false;
  out = py::detail::cast_op<std::shared_ptr<T>>(caster);
  return true;
}

bool load_pass(py::handle src, bool convert, value_t& out) {
  PyObject* obj = src.ptr();
  return load_bool(obj, convert, out) || load_int(obj, out) || load_double(obj, convert, out) ||
         load_uuid_value(obj, out) || load_time(src, out) || load_blob(obj, out) ||
         load_string(obj, out) || load_shared<geometry_t>(src, out) ||
         load_shared<ObjectValue>(src, out) || load_shared<EntityValue>(src, out) ||
         load_shared<RelationshipValue>(src, out) || load_shared<PathValue>(src, out) ||
         load_shared<ArrayValue>(src, out);
}

py::object utf8_to_python(const std::string& text) {
  PyObject* result = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr);
  if (!result) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(result);
}

template <class T>
py::object shared_to_python(const std::shared_ptr<T>& object) {
  if (!object) return py::none();
  return py::cast(object);
}

struct ToPython {
  py::object operator()(null_t) const { return py::none(); }
  py::object operator()(bool v) const { return py::bool_(v); }
  py::object operator()(std::int64_t v) const { return py::int_(v); }
  py::object operator()(float v) const { return py::float_(static_cast<double>(v)); }
  py::object operator()(double v) const { return py::float_(v); }
  py::object operator()(const uuid_t& v) const { return uuid_to_python(v); }
  py::object operator()(time_point_t v) const { return time_point_to_python(v); }
  py::object operator()(const std::string& v) const { return utf8_to_python(v); }
  py::object operator()(const blob_t& v) const { return py::bytes(v.bytes); }
  template <class T>
  py::object operator()(const std::shared_ptr<T>& v) const {
    return shared_to_python(v);
  }
};

}  // namespace

bool load_value(py::handle src, bool convert, value_t& out) {
  if (src.is_none()) {
    out = null_t{};
    return true;
  }
  // The common exact types settle at once; no other alternative could take them.
  PyObject* obj = src.ptr();
  if (PyUnicode_CheckExact(obj)) return load_string(obj, out);
  if (PyLong_CheckExact(obj)) return load_int(obj, out);
  if (PyFloat_CheckExact(obj)) return load_double(obj, false, out);
  if (PyBytes_CheckExact(obj)) return load_blob(obj, out);
  if (load_pass(src, false, out)) return true;
  return convert && load_pass(src, true, out);
}

py::object value_to_python(const value_t& value) { return std::visit(ToPython{}, value); }

}  // namespace lorengraph::py_values
