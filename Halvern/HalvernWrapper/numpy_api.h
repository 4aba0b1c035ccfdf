// NumPy's C interface for the units of the module. The API table is one symbol for the whole
// library, filled once by initialize_array (expose.cpp, the one unit that defines
// HALVERN_NUMPY_IMPORT before including this).
#pragma once

#include <Python.h>

#define NPY_NO_DEPRECATED_API NPY_1_7_API_VERSION
#define PY_ARRAY_UNIQUE_SYMBOL halvern_numpy_api
#ifndef HALVERN_NUMPY_IMPORT
#define NO_IMPORT_ARRAY
#endif
#include <numpy/arrayobject.h>
