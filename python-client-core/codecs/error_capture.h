// How the query and search encoders turn failures into their stored error record.
#pragma once

#include <exception>
#include <stdexcept>
#include <utility>

#include "encoding_result.h"

namespace lorengraph {

constexpr const char* kUnexpectedFailure = "Unexpected failure.";

// Resets `result`, runs `encode` (which fills result.byte_buffer) and stores what escapes it:
// invalid arguments as -1, other standard exceptions as -998, anything else as -999.
// An encoding that produced neither bytes nor an error is also -999. Never throws.
template <class Encode>
void capture_encoding(EncodingResult& result, Encode&& encode) noexcept {
  result.reset();
  try {
    std::forward<Encode>(encode)();
  } catch (const std::invalid_argument& e) {
    result.error = kg_error_t{-1, e.what()};
  } catch (const std::exception& e) {
    result.error = kg_error_t{-998, e.what()};
  } catch (...) {
    result.error = kg_error_t{-999, kUnexpectedFailure};
  }
  if (result.byte_buffer.bytes.empty() && result.error.empty()) {
    result.error = kg_error_t{-999, kUnexpectedFailure};
  }
}

}  // namespace lorengraph
