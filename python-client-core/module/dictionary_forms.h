// Values from the dictionaries that describe entities, relationships and geometries.
#pragma once

#include <pybind11/pybind11.h>

#include "value.h"

namespace lorengraph::py_values {

// A dict with "_objectType" "entity", "relationship" or "geometry" becomes that object
// (other object types give null); anything else loads as a native value, and an object no
// alternative accepts gives null. Missing keys raise KeyError, values of the wrong kind
// pybind11's cast error.
value_t from_dictionary_form(pybind11::handle obj);

}  // namespace lorengraph::py_values
