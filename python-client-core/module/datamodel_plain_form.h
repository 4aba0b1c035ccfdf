// The data model as plain Python data, and the end-point dictionary that other results reuse.
#pragma once

#include <vector>

#include <pybind11/pybind11.h>

#include "data_model.h"

namespace lorengraph::py_values {

// {"origin_entity_type": ..., "dest_entity_type": ...}. Raises std::invalid_argument when
// either name is empty.
pybind11::dict end_point_dict(const EndPoint& end_point);

// The dictionaries of `end_points`, in order.
pybind11::list end_point_list(const std::vector<EndPoint>& end_points);

// The whole model as dictionaries, lists and scalars. Raises std::invalid_argument when a
// member holds a value the plain form has no name for, or a part it cannot do without is
// missing; nothing is returned then.
pybind11::dict data_model_plain_form(const DataModel& model);

}  // namespace lorengraph::py_values
