// _lorengraph_testing: a test-only module that reaches conversions the public surface uses
// internally. Import _lorengraph first, so that the value classes are registered.
#include <pybind11/pybind11.h>

#include "dictionary_forms.h"
#include "plain_forms.h"
#include "value_caster.h"

namespace py = pybind11;
using namespace lorengraph;

PYBIND11_MODULE(_lorengraph_testing, m) {
  m.def("from_dictionary_form", [](py::handle obj) { return py_values::from_dictionary_form(obj); });
  m.def("to_plain_object_with_spatial_reference", [](const value_t& value, const SpatialReference& sr) {
    return py_values::to_plain_object(value, &sr);
  });
  m.def("spatial_reference_dict", &py_values::spatial_reference_dict);
}
