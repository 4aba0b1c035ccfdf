// Conversion between Python objects and value_t (native values), shared by every binding.
#pragma once

#include <pybind11/pybind11.h>

#include "value.h"

namespace lorengraph::py_values {

// Loads a Python object into a value: None, then the alternatives in order, first a
// strict pass and, when `convert` is set, a pass that allows conversions.
bool load_value(pybind11::handle src, bool convert, value_t& out);

// The Python object for a value: scalars become Python scalars, shared objects the
// registered class around the same native object (an empty reference becomes None).
pybind11::object value_to_python(const value_t& value);

// Lookups hand out nullptr for a miss, which Python sees as None.
inline pybind11::object value_or_none(const value_t* value) {
  return value ? value_to_python(*value) : pybind11::none();
}

}  // namespace lorengraph::py_values

namespace pybind11::detail {

template <>
struct type_caster<lorengraph::value_t> {
  PYBIND11_TYPE_CASTER(
      lorengraph::value_t,
      const_name("Union[null_t, bool, int, float, float, uuid_t, datetime.datetime, str, blob_t, "
                 "GeometryValue, ObjectValue, EntityValue, RelationshipValue, PathValue, ArrayValue]"));

  bool load(handle src, bool convert) { return lorengraph::py_values::load_value(src, convert, value); }

  static handle cast(const lorengraph::value_t& src, return_value_policy, handle) {
    return lorengraph::py_values::value_to_python(src).release();
  }
};

}  // namespace pybind11::detail
