// Python bindings of geometries and quantization settings.
#include <pybind11/stl.h>

#include "geometry.h"
#include "quantization.h"
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

void register_input_quantization_parameters(py::module_& m) {
  using P = InputQuantizationParameters;
  py::class_<P>(m, "InputQuantizationParameters")
      .def(py::init<>())
      .def_readwrite("xy_resolution", &P::xy_resolution)
      .def_readwrite("x_false_origin", &P::x_false_origin)
      .def_readwrite("y_false_origin", &P::y_false_origin)
      .def_readwrite("z_resolution", &P::z_resolution)
      .def_readwrite("z_false_origin", &P::z_false_origin)
      .def_readwrite("m_resolution", &P::m_resolution)
      .def_readwrite("m_false_origin", &P::m_false_origin)
      .def_static("WGS84_lossless", &P::WGS84_lossless);
}

// The datum's wkt travels on the wire but is not offered to Python.
void register_datum_transformation(py::module_& m) {
  py::class_<DatumTransformation>(m, "DatumTransformation")
      .def(py::init<>())
      .def_readwrite("wkid", &DatumTransformation::wkid)
      .def_readwrite("transform_direction", &DatumTransformation::transform_direction)
      .def_readwrite("transform_json", &DatumTransformation::transform_json)
      .def_readwrite("from_spatial_reference", &DatumTransformation::from_spatial_reference)
      .def_readwrite("to_spatial_reference", &DatumTransformation::to_spatial_reference);
}

void register_envelope(py::module_& m) {
  py::class_<Envelope>(m, "Envelope")
      .def(py::init<>())
      .def_readwrite("xmin", &Envelope::xmin)
      .def_readwrite("ymin", &Envelope::ymin)
      .def_readwrite("xmax", &Envelope::xmax)
      .def_readwrite("ymax", &Envelope::ymax)
      .def("empty", &Envelope::empty);
}

void register_output_quantization_parameters(py::module_& m) {
  using P = OutputQuantizationParameters;
  py::class_<P>(m, "OutputQuantizationParameters")
      .def(py::init<>())
      .def_readwrite("quantize_mode", &P::quantize_mode)
      .def_readwrite("extent", &P::extent)
      .def_readwrite("tolerance", &P::tolerance);
}

}  // namespace lorengraph::bindings
