// Entry point of the _lorengraph extension module.
#include <pybind11/pybind11.h>

#include "registration.h"
#include "version_check.h"

namespace py = pybind11;
using namespace lorengraph::bindings;

namespace {

// The module supports the interpreter version it was compiled against.
constexpr const char* kCompiledFor = PYBIND11_TOSTRING(PY_MAJOR_VERSION) "." PYBIND11_TOSTRING(PY_MINOR_VERSION);

// Classes and enumerations are registered in this fixed order; later classes find the
// names of earlier ones in their signatures.
void register_module(py::module_& m) {
  m.attr("__doc__") = "Lorengraph client core for Python";

  register_named_object_type_role(m);
  register_field_type(m);
  register_graph_property_role(m);
  register_geometry_type(m);
  register_data_model_types(m);
  register_spatial_reference(m);
  register_identifier_mapping_classes(m);
  register_uuid_method_hint(m);
  register_data_model_classes(m);
  register_geometry_value(m);
  register_value_classes(m);
  register_data_model_decoder(m);
  register_error(m);
  register_query_decoder(m);
  register_input_quantization_parameters(m);
  register_datum_transformation(m);
  register_quantize_mode(m);
  register_envelope(m);
  register_output_quantization_parameters(m);
  register_encoding_result(m);
  register_query_request_encoder(m);
  register_spatial_relation(m);
  register_named_type_category(m);
  register_search_request_encoder(m);
  register_to_value_object(m);
  register_apply_edits_encoder(m);
  register_apply_edits_decoder(m);
}

py::module_::module_def lorengraph_module_def;

}  // namespace

extern "C" PYBIND11_EXPORT PyObject* PyInit__lorengraph() {
  const char* running = Py_GetVersion();
  if (!lorengraph::interpreter_version_matches(kCompiledFor, running)) {
    PyErr_SetString(PyExc_ImportError,
                    lorengraph::version_mismatch_message(kCompiledFor, running).c_str());
    return nullptr;
  }
  py::detail::get_internals();
  try {
    auto m = py::module_::create_extension_module("_lorengraph", nullptr, &lorengraph_module_def);
    register_module(m);
    return m.release().ptr();
  }
  PYBIND11_CATCH_INIT_EXCEPTIONS
}
