// Python binding of the error record. Native exceptions reach Python through pybind11's
// standard translation: invalid_argument, domain_error, length_error and range_error become
// ValueError, out_of_range IndexError, overflow_error OverflowError, bad_alloc MemoryError,
// other std::exception RuntimeError.
#include "error.h"
#include "registration.h"

namespace py = pybind11;

namespace lorengraph::bindings {

void register_error(py::module_& m) {
  py::class_<kg_error_t>(m, "Error")
      .def(py::init<>())
      .def_readonly("error_code", &kg_error_t::error_code)
      .def_readonly("error_message", &kg_error_t::error_message)
      .def("empty", &kg_error_t::empty);
}

}  // namespace lorengraph::bindings
