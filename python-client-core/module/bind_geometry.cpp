// Python bindings of geometries and quantization settings.
#include <pybind11/stl.h>

#include "geometry.h"
#include "registration.h"

namespace py = pybind11;

namespace lorengraph::bindings {

void register_geometry_type(py::module_& m) {
  register_enum<ovraGeometryType>(m, "ovraGeometryType",
                                  {{"ovraGeometryNull", ovraGeometryNull},
                                   {"ovraGeometryPoint", ovraGeometryPoint},
                                   {"ovraGeometryMultipoint", ovraGeometryMultipoint},
                                   {"ovraGeometryPolyline", ovraGeometryPolyline},
                                   {"ovraGeometryPolygon", ovraGeometryPolygon},
                                   {"ovraGeometryEnvelope", ovraGeometryEnvelope},
                                   {"ovraGeometryAny", ovraGeometryAny},
                                   {"ovraGeometryMultiPatch", ovraGeometryMultiPatch}});
}

void register_geometry_value(py::module_& m) {
  py::class_<geometry_t, std::shared_ptr<geometry_t>>(m, "GeometryValue")
      .def(py::init<>())
      .def_readwrite("has_z", &geometry_t::has_z)
      .def_readwrite("has_m", &geometry_t::has_m)
      .def_readwrite("geometry_type", &geometry_t::geometry_type)
      .def_readwrite("lengths", &geometry_t::lengths)
      .def_readwrite("coords", &geometry_t::coords);
}

// `edit` is registered before `view`.
void register_quantize_mode(py::module_& m) {
  register_enum<ovraQuantizeMode>(m, "ovraQuantizeMode",
                                  {{"edit", ovraQuantizeMode::edit}, {"view", ovraQuantizeMode::view}});
}

}  // namespace lorengraph::bindings
