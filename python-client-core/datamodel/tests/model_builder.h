// Wire data models for the tests, built with the schema's own message classes.
#pragma once

#include <memory>
#include <string>

#include "data_model_decoder.h"
#include "datamodel.pb.h"

namespace datamodel_test {

namespace pb = ovraPBuffer::graph;

// The smallest message the decoder accepts: database-native identifiers, unspecified hint.
inline pb::GraphDataModel minimal_model() {
  pb::GraphDataModel model;
  auto* info = model.mutable_identifier_info();
  info->mutable_identifier_mapping_info()->mutable_database_native_identifier();
  info->mutable_identifier_generation_info()->set_uuid_method_hint(pb::MethodHint_UNSPECIFIED);
  return model;
}

inline pb::GraphProperty* add_property(pb::NamedObjectType* type, const std::string& name, int wire_field_type) {
  auto* property = type->add_properties();
  property->set_name(name);
  property->set_field_type(static_cast<pb::FieldType>(wire_field_type));
  return property;
}

inline pb::NamedObjectType* add_entity_type(pb::GraphDataModel& model, const std::string& name) {
  auto* type = model.add_entity_types()->mutable_named_object_type();
  type->set_name(name);
  return type;
}

inline std::shared_ptr<lorengraph::DataModel> decode(const pb::GraphDataModel& model) {
  const std::string bytes = model.SerializeAsString();
  return lorengraph::decode_data_model_from_protocol_buffer(bytes.data(), bytes.size());
}

}  // namespace datamodel_test
