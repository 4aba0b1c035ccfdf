#include "data_model_decoder.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <google/protobuf/arena.h>

#include "datamodel.pb.h"
#include "default_value.h"
#include "value_codec.h"
#include "wire_mapping.h"

namespace lorengraph {

namespace {

namespace pb = ovraPBuffer::graph;

// Strings are moved out of the parsed message; it is thrown away afterwards.
std::string take(std::string* field) { return std::move(*field); }

// "a,,b," gives "a" and "b": empty pieces are skipped, blanks are kept.
std::vector<std::string> split_fields(const std::string& list) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    if (end > start) pieces.emplace_back(list, start, end - start);
    start = end + 1;
  }
  return pieces;
}

// nullptr for an index whose field list names no field.
std::shared_ptr<FieldIndex> read_field_index(ovraPBuffer::OvraTypes_FieldIndex& message) {
  std::vector<std::string> fields = split_fields(message.fields());
  if (fields.empty()) return nullptr;
  auto index = std::make_shared<FieldIndex>();
  index->name = take(message.mutable_name());
  index->fields = std::move(fields);
  index->ascending = message.isascending();
  index->unique = message.isunique();
  return index;
}

// nullptr for a property whose field type has no in-memory counterpart.
std::shared_ptr<GraphProperty> read_property(const DecodingContext& context, pb::GraphProperty& message) {
  const auto field_type = field_type_from_wire(message.field_type());
  if (!field_type) return nullptr;
  auto property = std::make_shared<GraphProperty>();
  property->name = take(message.mutable_name());
  property->alias = take(message.mutable_alias());
  property->field_type = *field_type;
  property->nullable = !message.not_nullable();
  property->editable = !message.not_editable();
  property->default_visibility = !message.not_visible();
  property->required = message.required();
  property->system_maintained = message.system_maintained();
  if (*field_type == ovraFieldTypeGeometry) {
    property->geometry_type = geometry_type_from_wire(message.geometry_type());
    property->has_m = message.has_m();
    property->has_z = message.has_z();
  }
  if (message.default_value_size() == 1) {
    property->default_value =
        convert_default_value(decode_primitive_value(context, *message.mutable_default_value(0)), *field_type);
  }
  if (message.role_choice_case() == pb::GraphProperty::kRole)
    property->role = graph_property_role_from_wire(message.role());
  return property;
}

void read_named_object_type(const DecodingContext& context, pb::NamedObjectType& message, NamedObjectType& type) {
  type.name = take(message.mutable_name());
  type.alias = take(message.mutable_alias());
  type.role = named_object_type_role_from_wire(message.role());
  type.properties.reserve(static_cast<std::size_t>(message.properties_size()));
  for (pb::GraphProperty& wire_property : *message.mutable_properties()) {
    if (auto property = read_property(context, wire_property)) type.properties.add(property->name, property);
  }
  for (auto& wire_index : *message.mutable_field_indexes()) {
    if (auto index = read_field_index(wire_index)) type.field_indexes.push_back(std::move(index));
  }
}

// False when the mapping names no identifier kind or the generation info carries no hint.
bool read_identifier_info(const pb::IdentifierInfo& message, DataModel& model) {
  auto mapping = std::make_shared<IdentifierMappingInfo>();
  const pb::IdentifierMappingInfo& wire_mapping = message.identifier_mapping_info();
  switch (wire_mapping.identifier_case()) {
    case pb::IdentifierMappingInfo::kDatabaseNativeIdentifier:
      mapping->database_native_identifier = std::make_shared<DatabaseNativeIdentifier>();
      break;
    case pb::IdentifierMappingInfo::kUniformPropertyIdentifier:
      mapping->uniform_property_identifier = std::make_shared<UniformPropertyIdentifier>();
      mapping->uniform_property_identifier->identifier_property_name =
          wire_mapping.uniform_property_identifier().identifier_property_name();
      break;
    default: return false;
  }
  const pb::IdentifierGenerationInfo& wire_generation = message.identifier_generation_info();
  if (wire_generation.method_case() != pb::IdentifierGenerationInfo::kUuidMethodHint) return false;
  auto generation = std::make_shared<IdentifierGenerationInfo>();
  generation->uuid_method_hint = uuid_method_hint_from_wire(wire_generation.uuid_method_hint());

  model.identifier_info = std::make_shared<IdentifierInfo>();
  model.identifier_info->identifier_mapping_info = std::move(mapping);
  model.identifier_info->identifier_generation_info = std::move(generation);
  return true;
}

// False when the index covers no known category of types.
bool read_search_index(pb::SearchIndex& message, DataModel& model) {
  const auto category = named_type_category_from_wire(message.supported_category());
  if (!category) return false;
  auto index = std::make_shared<SearchIndex>();
  index->name = take(message.mutable_name());
  index->supported_category = *category;
  index->analyzers.reserve(static_cast<std::size_t>(message.analyzers_size()));
  for (pb::SearchAnalyzer& wire_analyzer : *message.mutable_analyzers()) {
    SearchAnalyzer analyzer{take(wire_analyzer.mutable_name())};
    const std::string name = analyzer.name;
    index->analyzers.add(name, std::move(analyzer));
  }
  for (auto& [key, wire_properties] : *message.mutable_search_properties()) {
    auto& names = *wire_properties.mutable_property_names();
    SearchIndexProperties properties;
    properties.property_names.assign(std::make_move_iterator(names.begin()), std::make_move_iterator(names.end()));
    index->search_properties.emplace(key, std::move(properties));
  }
  model.search_indexes.add(index->name, index);
  return true;
}

std::shared_ptr<DataModel> read_data_model(pb::GraphDataModel& message) {
  const DecodingContext context;  // defaults carry no geometry transform
  auto model = std::make_shared<DataModel>();
  // A timestamp that no time point can hold leaves the initial 0.
  if (const auto timestamp = time_point_from_millis(message.timestamp())) model->timestamp = *timestamp;
  model->spatial_reference =
      read_spatial_reference(message.has_spatial_reference() ? &message.spatial_reference() : nullptr);
  model->objectid_property = take(message.mutable_objectid_property());
  model->globalid_property = take(message.mutable_globalid_property());
  model->loren_managed = message.loren_managed();

  if (!read_identifier_info(message.identifier_info(), *model)) return nullptr;

  model->search_indexes.reserve(static_cast<std::size_t>(message.search_indexes_size()));
  for (pb::SearchIndex& wire_index : *message.mutable_search_indexes()) {
    if (!read_search_index(wire_index, *model)) return nullptr;
  }

  model->entity_types.reserve(static_cast<std::size_t>(message.entity_types_size()));
  for (pb::EntityType& wire_type : *message.mutable_entity_types()) {
    auto type = std::make_shared<EntityType>();
    read_named_object_type(context, *wire_type.mutable_named_object_type(), *type);
    model->entity_types.add(type->name, type);
  }

  model->relationship_types.reserve(static_cast<std::size_t>(message.relationship_types_size()));
  for (pb::RelationshipType& wire_type : *message.mutable_relationship_types()) {
    auto type = std::make_shared<RelationshipType>();
    read_named_object_type(context, *wire_type.mutable_named_object_type(), *type);
    type->end_points.reserve(static_cast<std::size_t>(wire_type.end_points_size()));
    for (pb::EndPoint& wire_end_point : *wire_type.mutable_end_points()) {
      type->end_points.push_back(
          {take(wire_end_point.mutable_origin_entity_type()), take(wire_end_point.mutable_destination_entity_type())});
    }
    model->relationship_types.add(type->name, type);
  }
  return model;
}

}  // namespace

std::shared_ptr<DataModel> decode_data_model_from_protocol_buffer(const char* data, std::size_t size) noexcept {
  constexpr std::size_t kMaxSize = std::size_t{1} << 31;  // the parser counts bytes in an int
  if (data == nullptr || size == 0 || size >= kMaxSize) return nullptr;
  try {
    // The parsed message lives only for this call: an arena frees it in one go.
    google::protobuf::Arena arena;
    auto* message = google::protobuf::Arena::CreateMessage<pb::GraphDataModel>(&arena);
    if (!message->ParseFromArray(data, static_cast<int>(size))) return nullptr;
    return read_data_model(*message);
  } catch (...) {
    // A default value that does not decode (a geometry whose parts do not fit its
    // coordinates) or exhausted memory: no model rather than an exception.
    return nullptr;
  }
}

}  // namespace lorengraph
