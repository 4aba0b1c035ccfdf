// Python binding of SpatialReference, a plain value class copied into its receivers.
#include "registration.h"
#include "spatial_reference.h"

namespace py = pybind11;

namespace lorengraph::bindings {

void register_spatial_reference(py::module_& m) {
  py::class_<SpatialReference>(m, "SpatialReference")
      .def(py::init<>())
      .def_readwrite("wkid", &SpatialReference::wkid)
      .def_readwrite("latestWkid", &SpatialReference::latestWkid)
      .def_readwrite("vcsWkid", &SpatialReference::vcsWkid)
      .def_readwrite("latestVcsWkid", &SpatialReference::latestVcsWkid)
      .def_readwrite("wkt", &SpatialReference::wkt)
      .def_static("WGS84", &SpatialReference::WGS84);
}

}  // namespace lorengraph::bindings
