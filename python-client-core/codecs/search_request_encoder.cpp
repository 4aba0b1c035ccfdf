#include "search_request_encoder.h"

#include <stdexcept>

#include "error_capture.h"
#include "query.pb.h"
#include "value_codec.h"

namespace pb = ovraPBuffer::graph;

namespace lorengraph {

namespace {

// The wire numbers the categories 1, 2, 3; in memory `both` is 4.
pb::NamedTypeCategory category_to_wire(ovraNamedTypeCategory category) {
  switch (category) {
    case ovraNamedTypeCategory::entity: return pb::ovraTypeEntity;
    case ovraNamedTypeCategory::relationship: return pb::ovraTypeRelationship;
    case ovraNamedTypeCategory::both: return pb::ovraTypeBoth;
  }
  throw_status_error(KG_E_NOTIMPL);
}

ovraPBuffer::OvraTypes_SpatialRelationship relation_to_wire(ovraSpatialRelation relation) {
  const auto value = static_cast<std::int32_t>(relation);
  if (value < 0 || value > 7) throw_status_error(KG_E_NOTIMPL);
  return static_cast<ovraPBuffer::OvraTypes_SpatialRelationship>(value);
}

}  // namespace

void GraphSearchRequestEncoder::encode() {
  capture_encoding(result_, [this] { encode_request(); });
}

void GraphSearchRequestEncoder::encode_request() {
  if (search_query.empty()) throw std::invalid_argument("Empty search query.");
  const QuantizationContext context = request_quantization_context(input_quantization_parameters);

  pb::GraphSearchRequest request;
  request.set_search_query(search_query);
  request.set_feature_encoding(ovraPBuffer::OvraTypes::ovraDefault);
  request.set_return_geometry(return_geometry);
  request.set_return_search_context(return_search_context);
  request.set_type_category_filter(category_to_wire(type_category_filter));
  for (std::string& name : named_types_filter) request.add_named_type_filter(std::move(name));
  for (std::string& name : named_types_filter) name.clear();

  // Identifiers always travel one AnyValue each, never as a typed array.
  if (ids_filter && ids_filter->count() > 0) {
    auto* ids = request.mutable_ids_filter()->mutable_any_values()->mutable_value();
    for (value_t& id : ids_filter->values) check_status(encode_any_value(context, id, ids->Add()));
  }
  request.set_start_index(start_index);
  request.set_max_num_results(max_num_results);
  if (spatial_filter_geometry) {
    if (encode_geometry(context, spatial_filter_geometry, request.mutable_spatial_filter_geometry()) < 0) {
      throw std::invalid_argument("Invalid spatial filter geometry provided.");
    }
  }
  write_spatial_reference_if_set(input_spatial_reference,
                                 [&] { return request.mutable_input_spatial_reference(); });
  request.set_spatial_filter_relation(relation_to_wire(spatial_filter_relation));
  write_request_settings(*this, context, request);
  request.SerializeToString(&result_.byte_buffer.bytes);
}

}  // namespace lorengraph
