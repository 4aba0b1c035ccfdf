// Reads a data model from the bytes of one serialised GraphDataModel message.
#pragma once

#include <cstddef>
#include <memory>

#include "data_model.h"

namespace lorengraph {

// All or nothing: the complete model, or an empty reference when the bytes are empty,
// 2^31 bytes or longer, do not parse, or lack a part the model cannot do without.
// Never throws, whatever the bytes.
std::shared_ptr<DataModel> decode_data_model_from_protocol_buffer(const char* data, std::size_t size) noexcept;

}  // namespace lorengraph
