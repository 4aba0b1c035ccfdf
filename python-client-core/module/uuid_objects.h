// uuid.UUID objects, made and read without running Python code where the type allows.
#pragma once

#include <pybind11/pybind11.h>

#include "value.h"

namespace lorengraph::py_values {

// Anything whose `bytes` attribute offers exactly 16 bytes through the buffer protocol;
// a uuid.UUID is read straight from its number.
bool load_uuid(PyObject* obj, uuid_t& out);

// uuid.UUID(int=n), n the 16 bytes as one big-endian number, so UUID.bytes gives them back.
pybind11::object uuid_to_python(const uuid_t& id);

}  // namespace lorengraph::py_values
