#include "query_request_encoder.h"

#include <stdexcept>

#include "error_capture.h"
#include "query.pb.h"
#include "value_codec.h"

namespace lorengraph {

void GraphQueryRequestEncoder::encode() {
  capture_encoding(result_, [this] { encode_request(); });
}

void GraphQueryRequestEncoder::encode_request() {
  if (open_cypher_query.empty()) throw std::invalid_argument("Empty openCypher query.");
  const QuantizationContext context = request_quantization_context(input_quantization_parameters);

  ovraPBuffer::graph::GraphQueryRequest request;
  request.set_open_cypher_query(open_cypher_query);
  request.set_feature_encoding(ovraPBuffer::OvraTypes::ovraDefault);
  write_request_settings(*this, context, request);

  auto& parameters = *request.mutable_parameters();
  for (auto& [name, value] : params.mutable_pairs()) {
    if (name.empty()) throw std::invalid_argument("Encountered empty bind parameter name.");
    if (parameters.find(name) != parameters.end()) {
      throw std::invalid_argument("Encountered duplicate bind parameter names.");
    }
    auto& encoded = parameters[std::move(name)];
    name.clear();
    check_status(encode_any_value(context, value, &encoded));
  }
  request.SerializeToString(&result_.byte_buffer.bytes);
}

}  // namespace lorengraph
