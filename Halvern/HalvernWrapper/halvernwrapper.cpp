// The _halvern_py module: the NumPy conversions and the tracker's list functions.
#include <boost/python.hpp>

#include <Halvern/trackerapi.h>

#include "expose.h"

namespace {

void define_module() {
  expose();
  boost::python::def("create", &::create);
  boost::python::def("init", &::init);
  boost::python::def("add", &::add);
  boost::python::def("update", &::update);
  boost::python::def("purge", &::purge);
}

}  // namespace

// The entry point is written out rather than made by BOOST_PYTHON_MODULE, whose module comes
// back to the interpreter even when its body failed: NumPy is imported before the module is
// created, and a module whose body raised is dropped, so that a failed import raises its own
// error.
extern "C" BOOST_SYMBOL_EXPORT PyObject* PyInit__halvern_py() {
  if (!initialize_array()) return nullptr;
  static PyModuleDef_Base base = {PyObject_HEAD_INIT(nullptr) nullptr, 0, nullptr};
  static PyMethodDef no_methods[] = {{nullptr, nullptr, 0, nullptr}};
  static PyModuleDef definition = {
      base, "_halvern_py", nullptr, -1, no_methods, nullptr, nullptr, nullptr, nullptr};
  PyObject* module = boost::python::detail::init_module(definition, &define_module);
  if (module != nullptr && PyErr_Occurred()) Py_CLEAR(module);
  return module;
}
