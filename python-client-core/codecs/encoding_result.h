// The outcome of one request encoding, shared by all request encoders.
#pragma once

#include "error.h"
#include "value.h"

namespace lorengraph {

struct EncodingResult {
  kg_error_t error;
  blob_t byte_buffer;

  // Present once an encoding produced bytes or an error.
  bool present() const { return !error.empty() || !byte_buffer.bytes.empty(); }
  // What an encoder's get_encoding_result() hands out: nullptr until a result is present.
  const EncodingResult* if_present() const { return present() ? this : nullptr; }

  void reset() {
    error = kg_error_t{};
    byte_buffer.bytes.clear();
  }
};

}  // namespace lorengraph
