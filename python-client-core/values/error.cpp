#include "error.h"

#include <stdexcept>

namespace lorengraph {

void throw_status_error(std::int32_t status) {
  switch (status) {
    case KG_E_INVALIDARG:
      throw std::invalid_argument("Invalid argument.");
    case KG_E_NOTIMPL:
      throw std::invalid_argument("Not implemented.");
    case KG_E_NO_SPATIAL_REFERENCE:
      throw std::invalid_argument(
          "Geometry quantization not possible without valid spatial reference info. "
          "Maybe XY resolution was not set?");
    default:
      throw std::logic_error("Unexpected failure.");
  }
}

}  // namespace lorengraph
