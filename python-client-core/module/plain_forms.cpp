#include "plain_forms.h"

namespace py = pybind11;

namespace lorengraph::py_values {

py::dict spatial_reference_dict(const SpatialReference& sr) {
  py::dict d;
  if (sr.wkid != 0) d["wkid"] = sr.wkid;
  if (sr.latestWkid != 0) d["latestWkid"] = sr.latestWkid;
  if (!sr.wkt.empty()) d["wkt"] = sr.wkt;
  return d;
}

}  // namespace lorengraph::py_values
