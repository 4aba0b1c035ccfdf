// Values as plain Python data: scalars, lists and dictionaries with fixed keys.
#pragma once

#include <pybind11/pybind11.h>

#include "spatial_reference.h"
#include "value.h"

namespace lorengraph::py_values {

// {"wkid": ..., "latestWkid": ..., "wkt": ...}, each key only when its field is set;
// the vertical identifiers never appear.
pybind11::dict spatial_reference_dict(const SpatialReference& sr);

// The plain form of a value. Geometries nested anywhere in it get a "spatialReference"
// entry when `sr` is given and set.
pybind11::object to_plain_object(const value_t& value, const SpatialReference* sr = nullptr);

}  // namespace lorengraph::py_values
