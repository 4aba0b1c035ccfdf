#include "apply_edits_decoder.h"

#include <climits>

#include "applyedits.pb.h"
#include "objects.h"
#include "value_codec.h"

namespace pb = ovraPBuffer::graph;

namespace lorengraph {

namespace {

constexpr const char* kDecodeFailure = "Error decoding ApplyEdits response!";

// The identifiers of an array message; an array holding nothing gives none.
std::vector<value_t> decode_ids(const DecodingContext& context, pb::ArrayValue& ids) {
  value_t decoded = decode_array_value(context, ids);
  const auto& array = std::get<std::shared_ptr<ArrayValue>>(decoded);
  return array ? std::move(array->values) : std::vector<value_t>{};
}

// The error reported for position `index`, if any; `seen` is set when there is one.
kg_error_t error_at(const pb::EditResults& results, std::size_t index, bool& seen) {
  const auto it = results.errors().find(index);
  if (it == results.errors().end()) return kg_error_t{};
  seen = true;
  return kg_error_t{it->second.error_code(), it->second.error_message()};
}

}  // namespace

kg_error_t GraphApplyEditsDecoder::decode(std::string_view data) {
  const kg_error_t failure{-3, kDecodeFailure};
  if (data.empty() || data.size() > static_cast<std::size_t>(INT_MAX)) return failure;
  pb::GraphApplyEditsResult response;
  if (!response.ParseFromArray(data.data(), static_cast<int>(data.size()))) return failure;

  const DecodingContext context;  // identity transform, one null budget for the response
  if (response.has_error()) {
    service_error_ = kg_error_t{response.error().error_code(), response.error().error_message()};
  }

  using ResultList = std::vector<EditResult> TypeEditResults::*;
  const std::pair<google::protobuf::Map<std::string, pb::EditResults>*, ResultList> groups[] = {
      {response.mutable_entity_add_results(), &TypeEditResults::add_results},
      {response.mutable_relationship_add_results(), &TypeEditResults::add_results},
      {response.mutable_entity_update_results(), &TypeEditResults::update_results},
      {response.mutable_relationship_update_results(), &TypeEditResults::update_results},
      {response.mutable_entity_delete_results(), &TypeEditResults::delete_results},
      {response.mutable_relationship_delete_results(), &TypeEditResults::delete_results},
  };
  for (const auto& [map, list] : groups) {
    for (auto& [type_name, results] : *map) {
      std::vector<EditResult>& records = edit_results_[type_name].*list;
      std::vector<value_t> ids = decode_ids(context, *results.mutable_ids());
      records.reserve(records.size() + ids.size());
      for (std::size_t i = 0; i < ids.size(); ++i) {
        records.push_back(EditResult{std::move(ids[i]), error_at(results, i, object_error_seen_)});
      }
    }
  }

  for (auto& [type_name, cascade] : *response.mutable_cascading_relationship_delete_results()) {
    std::vector<value_t> ids = decode_ids(context, *cascade.mutable_results()->mutable_ids());
    std::vector<value_t> origins = decode_ids(context, *cascade.mutable_origin_ids());
    std::vector<value_t> destinations = decode_ids(context, *cascade.mutable_destination_ids());
    if (ids.size() != origins.size() || ids.size() != destinations.size()) return failure;
    std::vector<CascadedDelete>& records = cascaded_deletes_[type_name];
    for (std::size_t i = 0; i < ids.size(); ++i) {
      records.push_back(CascadedDelete{std::move(ids[i]), std::move(origins[i]), std::move(destinations[i]),
                                       error_at(cascade.results(), i, object_error_seen_)});
    }
  }

  for (const auto& [type_name, changes] : response.rel_type_schema_changes()) {
    std::vector<EndPoint>& end_points = schema_changes_[type_name];
    for (const pb::EndPoint& e : changes.new_end_points()) {
      end_points.push_back(EndPoint{e.origin_entity_type(), e.destination_entity_type()});
    }
  }
  return kg_error_t{};
}

}  // namespace lorengraph
