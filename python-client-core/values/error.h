// Status codes of the internal routines and the error record that codecs store.
#pragma once

#include <cstdint>
#include <string>

namespace lorengraph {

// Internal routines return 0 or a positive value on success, a negative code on failure.
enum kg_status : std::int32_t {
  KG_OK = 0,
  KG_E_FAIL = -1,
  KG_E_NULL = -2,
  KG_E_INVALIDARG = -3,
  KG_E_BAD_STATE = -4,
  KG_E_NOTIMPL = -5,
  KG_E_NO_SPATIAL_REFERENCE = -6,
};

struct kg_error_t {
  std::int64_t error_code = 0;
  std::string error_message;

  // True only when there is neither a code nor a message.
  bool empty() const { return error_code == 0 && error_message.empty(); }
};

// Turns a negative status into the exception that carries its fixed message:
// invalid_argument for -3, -5 and -6, logic_error "Unexpected failure." otherwise.
[[noreturn]] void throw_status_error(std::int32_t status);

}  // namespace lorengraph
