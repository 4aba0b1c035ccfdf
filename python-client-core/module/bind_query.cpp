// Python bindings of the query path: EncodingResult, the request encoder, the result decoder.
#include <pybind11/stl.h>

#include "plain_forms.h"
#include "query_request_encoder.h"
#include "query_result_decoder.h"
#include "registration.h"
#include "value_caster.h"

namespace py = pybind11;

namespace lorengraph::bindings {

namespace {

// Each cell as plain Python data, geometries with the data model's spatial reference;
// None for every column while there is no current row.
py::list current_row(const GraphQueryDecoder& decoder) {
  if (!decoder.header_parsed()) throw std::invalid_argument("Decoder has not parsed the header yet.");
  const std::size_t columns = decoder.column_count();
  const SpatialReference* sr = decoder.data_model ? &decoder.data_model->spatial_reference : nullptr;
  py::list row(columns);
  for (std::size_t i = 0; i < columns; ++i) {
    py::object cell = decoder.has_current_row() ? py_values::to_plain_object(decoder.current_row()[i], sr)
                                                : py::none();
    PyList_SET_ITEM(row.ptr(), static_cast<Py_ssize_t>(i), cell.release().ptr());
  }
  return row;
}

// next_row and get_current_row run once per row. As plain CPython methods they skip the
// binding library's argument dispatch, which costs more than converting a row of cells.
GraphQueryDecoder* decoder_of(PyObject* self) {
  static py::detail::type_info* const info = py::detail::get_type_info(typeid(GraphQueryDecoder));
  auto* instance = reinterpret_cast<py::detail::instance*>(self);
  auto* decoder = static_cast<GraphQueryDecoder*>(instance->get_value_and_holder(info).value_ptr());
  if (decoder == nullptr) PyErr_SetString(PyExc_TypeError, "GraphQueryDecoder.__init__() was not called");
  return decoder;
}

PyObject* next_row_method(PyObject* self, PyObject*) {
  GraphQueryDecoder* decoder = decoder_of(self);
  return decoder ? PyBool_FromLong(decoder->next_row()) : nullptr;
}

PyObject* get_current_row_method(PyObject* self, PyObject*) {
  GraphQueryDecoder* decoder = decoder_of(self);
  if (decoder == nullptr) return nullptr;
  try {
    return current_row(*decoder).release().ptr();
  } catch (py::error_already_set& e) {
    e.restore();
  } catch (...) {
    py::detail::translate_exception(std::current_exception());
  }
  return nullptr;
}

PyMethodDef next_row_def = {"next_row", next_row_method, METH_NOARGS, "next_row(self) -> bool"};
PyMethodDef get_current_row_def = {"get_current_row", get_current_row_method, METH_NOARGS,
                                   "get_current_row(self) -> object"};

void def_method(py::handle cls, PyMethodDef* def) {
  PyObject* method = PyDescr_NewMethod(reinterpret_cast<PyTypeObject*>(cls.ptr()), def);
  if (method == nullptr) throw py::error_already_set();
  py::setattr(cls, def->ml_name, py::reinterpret_steal<py::object>(method));
}

}  // namespace

void register_query_decoder(py::module_& m) {
  py::class_<GraphQueryDecoder, std::shared_ptr<GraphQueryDecoder>> decoder(m, "GraphQueryDecoder");
  decoder
      .def(py::init<>())
      .def_readwrite("data_model", &GraphQueryDecoder::data_model)
      .def("has_error", &GraphQueryDecoder::has_error)
      .def_property_readonly("error", &GraphQueryDecoder::error, py::return_value_policy::reference_internal)
      .def("push_buffer", [](GraphQueryDecoder& d, std::string chunk) { return d.push_buffer(std::move(chunk)); })
      .def("get_value", [](const GraphQueryDecoder& d, int index) { return py_values::value_or_none(d.get_value(index)); });
  def_method(decoder, &next_row_def);
  def_method(decoder, &get_current_row_def);
}

void register_encoding_result(py::module_& m) {
  py::class_<EncodingResult>(m, "EncodingResult")
      .def_readonly("error", &EncodingResult::error)
      .def_property_readonly("byte_buffer", [](const EncodingResult& r) { return py::bytes(r.byte_buffer.bytes); });
}

void register_query_request_encoder(py::module_& m) {
  using E = GraphQueryRequestEncoder;
  py::class_<E, std::shared_ptr<E>> encoder(m, "GraphQueryRequestEncoder");
  encoder.def(py::init<>())
      .def_readwrite("open_cypher_query", &E::open_cypher_query)
      .def("param_count", [](const E& e) { return e.params.key_count(); })
      .def("clear_params", [](E& e) { e.params.clear(); })
      .def("set_param_key_value", [](E& e, std::string name, value_t value) {
        return e.params.set_key_value(std::move(name), std::move(value));
      })
      .def("append_param_key_value", [](E& e, std::string name, value_t value) {
        return e.params.append_key_value(std::move(name), std::move(value));
      })
      .def("put_param_value_at", [](E& e, int index, value_t value) {
        return e.params.put_value_at(index, std::move(value));
      });
  def_request_settings(encoder);
  def_encode(encoder);
}

}  // namespace lorengraph::bindings
