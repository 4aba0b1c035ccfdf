// A property's default value, converted to the kind of value its field type stores.
#pragma once

#include <cstdint>
#include <optional>

#include "enums.h"
#include "value.h"

namespace lorengraph {

// Integer field types parse text as base-10 integers and truncate floats toward zero;
// Single and Double parse text as floating-point numbers and convert numbers; String
// writes integers as decimal text; Date reads integers as milliseconds since the epoch.
// Every other combination leaves the value as it is.
value_t convert_default_value(value_t value, ovraFieldType field_type);

}  // namespace lorengraph
