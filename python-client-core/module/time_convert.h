// Time points as naive local datetimes, under one process-wide lock around the C library.
#pragma once

#include <pybind11/pybind11.h>

#include "value.h"

namespace lorengraph::py_values {

// datetime.datetime (fields as local time, tzinfo ignored), datetime.date (local midnight)
// or datetime.time (that local time on 1970-01-01). False for any other object.
bool load_time_point(pybind11::handle src, time_point_t& out);

// A naive local datetime, rounded down to whole microseconds.
pybind11::object time_point_to_python(time_point_t tp);

}  // namespace lorengraph::py_values
