// Decoding whole data models: what rejects a model, what is dropped, and how each part maps.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "model_builder.h"

namespace {

using namespace datamodel_test;
using namespace lorengraph;

struct RejectCase {
  const char* what;
  std::function<void(pb::GraphDataModel&)> change;
};

TEST(DataModelDecoder, RejectsIncompleteModels) {
  const std::vector<RejectCase> cases = {
      {"no identifier info", [](pb::GraphDataModel& m) { m.clear_identifier_info(); }},
      {"mapping holds no identifier kind",
       [](pb::GraphDataModel& m) { m.mutable_identifier_info()->mutable_identifier_mapping_info()->Clear(); }},
      {"mapping absent", [](pb::GraphDataModel& m) { m.mutable_identifier_info()->clear_identifier_mapping_info(); }},
      {"generation info without hint",
       [](pb::GraphDataModel& m) { m.mutable_identifier_info()->mutable_identifier_generation_info()->Clear(); }},
      {"generation info absent",
       [](pb::GraphDataModel& m) { m.mutable_identifier_info()->clear_identifier_generation_info(); }},
      {"search index of category 0", [](pb::GraphDataModel& m) { m.add_search_indexes()->set_name("s"); }},
      {"search index of category 4",
       [](pb::GraphDataModel& m) {
         m.add_search_indexes()->set_supported_category(static_cast<pb::NamedTypeCategory>(4));
       }},
      {"second search index bad",
       [](pb::GraphDataModel& m) {
         m.add_search_indexes()->set_supported_category(pb::ovraTypeEntity);
         m.add_search_indexes()->set_supported_category(pb::ovraType_UNSPECIFIED);
       }},
      {"geometry default whose parts overrun its coordinates",
       [](pb::GraphDataModel& m) {
         auto* property = add_property(add_entity_type(m, "E"), "shape", pb::ovraFieldTypeGeometry);
         auto* geometry = property->add_default_value()->mutable_geometry_value();
         geometry->set_geometry_type(ovraPBuffer::OvraTypes::ovraGeometryTypePolyline);
         geometry->mutable_default_geometry()->add_lengths(5);
         geometry->mutable_default_geometry()->add_coords(1);
         geometry->mutable_default_geometry()->add_coords(2);
       }},
  };
  ASSERT_NE(decode(minimal_model()), nullptr);
  for (const auto& c : cases) {
    pb::GraphDataModel model = minimal_model();
    c.change(model);
    EXPECT_EQ(decode(model), nullptr) << c.what;
  }
}

TEST(DataModelDecoder, RejectsBytesThatAreNoModel) {
  const std::string garbage = "\xff\xff\xff\xff";
  EXPECT_EQ(decode_data_model_from_protocol_buffer(garbage.data(), 0), nullptr);
  EXPECT_EQ(decode_data_model_from_protocol_buffer(nullptr, 0), nullptr);
  EXPECT_EQ(decode_data_model_from_protocol_buffer(garbage.data(), garbage.size()), nullptr);
  // The size alone rejects: the bytes behind the pointer are never read.
  const std::string valid = minimal_model().SerializeAsString();
  EXPECT_EQ(decode_data_model_from_protocol_buffer(valid.data(), std::size_t{1} << 31), nullptr);
  // A string field that is not UTF-8 fails to parse.
  pb::GraphDataModel model = minimal_model();
  model.set_objectid_property("\xc3\x28");
  EXPECT_EQ(decode(model), nullptr);
}

TEST(DataModelDecoder, ReadsModelLevelFields) {
  pb::GraphDataModel wire = minimal_model();
  wire.set_timestamp(1700000000123);
  wire.mutable_spatial_reference()->set_wkid(4326);
  wire.mutable_spatial_reference()->set_wkt("GEOGCS");
  wire.set_objectid_property("oid");
  wire.set_globalid_property("gid");
  wire.set_loren_managed(true);
  wire.set_strict(true);  // not read
  auto* mapping = wire.mutable_identifier_info()->mutable_identifier_mapping_info();
  mapping->mutable_uniform_property_identifier()->set_identifier_property_name("globalid");

  const auto model = decode(wire);
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->timestamp.time_since_epoch().count(), 1700000000123LL * 1000000);
  EXPECT_EQ(model->spatial_reference.wkid, 4326);
  EXPECT_EQ(model->spatial_reference.wkt, "GEOGCS");
  EXPECT_EQ(model->objectid_property, "oid");
  EXPECT_EQ(model->globalid_property, "gid");
  EXPECT_TRUE(model->loren_managed);
  EXPECT_FALSE(model->strict);
  const auto& info = *model->identifier_info;
  EXPECT_EQ(info.identifier_mapping_info->database_native_identifier, nullptr);
  ASSERT_NE(info.identifier_mapping_info->uniform_property_identifier, nullptr);
  EXPECT_EQ(info.identifier_mapping_info->uniform_property_identifier->identifier_property_name, "globalid");
}

TEST(DataModelDecoder, TimestampBeyondTimePointsStaysZero) {
  pb::GraphDataModel wire = minimal_model();
  wire.set_timestamp(INT64_MAX / 1000000 + 1);
  const auto model = decode(wire);
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->timestamp.time_since_epoch().count(), 0);
  EXPECT_EQ(model->spatial_reference.wkid, 0);  // absent reference reads as zeros
}

TEST(DataModelDecoder, MapsMethodHintsAndCategories) {
  const std::vector<std::pair<int, ovraUUIDMethodHint>> hints = {
      {0, ovraMethodHintUNSPECIFIED}, {1, ovraUUIDOVRA}, {2, ovraUUIDRFC4122}, {7, ovraMethodHintUNSPECIFIED}};
  for (const auto& [wire_hint, expected] : hints) {
    pb::GraphDataModel wire = minimal_model();
    wire.mutable_identifier_info()->mutable_identifier_generation_info()->set_uuid_method_hint(
        static_cast<pb::UUIDMethodHint>(wire_hint));
    const auto model = decode(wire);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->identifier_info->identifier_generation_info->uuid_method_hint, expected) << wire_hint;
  }
  pb::GraphDataModel wire = minimal_model();
  for (int category = 1; category <= 3; ++category) {
    auto* index = wire.add_search_indexes();
    index->set_name("s" + std::to_string(category));
    index->set_supported_category(static_cast<pb::NamedTypeCategory>(category));
  }
  const auto model = decode(wire);
  ASSERT_NE(model, nullptr);
  ASSERT_EQ(model->search_indexes.size(), 3u);
  EXPECT_EQ(model->search_indexes.list()[0]->supported_category, ovraNamedTypeCategory::entity);
  EXPECT_EQ(model->search_indexes.list()[1]->supported_category, ovraNamedTypeCategory::relationship);
  EXPECT_EQ(model->search_indexes.list()[2]->supported_category, ovraNamedTypeCategory::both);
}

TEST(DataModelDecoder, SearchIndexKeepsOrderAndFirstOfEqualNames) {
  pb::GraphDataModel wire = minimal_model();
  for (const char* name : {"idx", "other", "idx"}) {
    auto* index = wire.add_search_indexes();
    index->set_name(name);
    index->set_supported_category(pb::ovraTypeBoth);
  }
  auto* first = wire.mutable_search_indexes(0);
  for (const char* name : {"b", "a", "b"}) first->add_analyzers()->set_name(name);
  (*first->mutable_search_properties())["zeta"].add_property_names("z1");
  auto& alpha = (*first->mutable_search_properties())["Alpha"];
  alpha.add_property_names("p2");
  alpha.add_property_names("p1");
  (*first->mutable_search_properties())["alpha"];

  const auto model = decode(wire);
  ASSERT_NE(model, nullptr);
  ASSERT_EQ(model->search_indexes.size(), 3u);
  EXPECT_EQ(model->query_search_index("idx"), model->search_indexes.list()[0]);
  EXPECT_EQ(model->query_search_index("IDX"), nullptr);
  const SearchIndex& index = *model->search_indexes.list()[0];
  ASSERT_EQ(index.analyzers.size(), 3u);
  EXPECT_EQ(index.query_analyzer("b"), &index.analyzers.list()[0]);
  EXPECT_EQ(index.query_analyzer("c"), nullptr);
  std::vector<std::string> keys;
  for (const auto& entry : index.search_properties) keys.push_back(entry.first);
  EXPECT_EQ(keys, (std::vector<std::string>{"Alpha", "alpha", "zeta"}));
  EXPECT_EQ(index.query_search_property("Alpha")->property_names, (std::vector<std::string>{"p2", "p1"}));
  EXPECT_TRUE(index.query_search_property("alpha")->property_names.empty());
  EXPECT_EQ(index.query_search_property("ALPHA"), nullptr);
}

TEST(DataModelDecoder, DropsPropertiesWithoutFieldType) {
  pb::GraphDataModel wire = minimal_model();
  auto* type = add_entity_type(wire, "E");
  const std::vector<std::pair<int, int>> field_types = {  // wire, in memory (-1: dropped)
      {0, -1}, {1, 0}, {2, 1}, {5, 4}, {8, 7}, {13, 12}, {14, -1}, {15, -1}, {16, -1}, {17, -1}, {99, -1}};
  for (const auto& [wire_type, expected] : field_types)
    add_property(type, "p" + std::to_string(wire_type), wire_type);

  const auto model = decode(wire);
  ASSERT_NE(model, nullptr);
  const EntityType& entity = *model->query_entity_type("E");
  std::vector<std::string> names;
  for (const auto& property : entity.properties.list()) names.push_back(property->name);
  EXPECT_EQ(names, (std::vector<std::string>{"p1", "p2", "p5", "p8", "p13"}));
  for (const auto& [wire_type, expected] : field_types) {
    const auto property = entity.get_property("p" + std::to_string(wire_type));
    if (expected < 0) {
      EXPECT_EQ(property, nullptr) << wire_type;
    } else {
      ASSERT_NE(property, nullptr) << wire_type;
      EXPECT_EQ(property->field_type, expected) << wire_type;
    }
  }
}

TEST(DataModelDecoder, ReadsPropertyFlagsRolesAndGeometry) {
  pb::GraphDataModel wire = minimal_model();
  auto* type = add_entity_type(wire, "E");
  type->set_role(pb::ovraGraphNamedObjectDocument);
  auto* plain = add_property(type, "plain", pb::ovraFieldTypeString);
  plain->set_alias("Plain");
  plain->set_geometry_type(ovraPBuffer::OvraTypes::ovraGeometryTypePolygon);  // ignored: not a geometry
  plain->set_has_z(true);
  auto* flagged = add_property(type, "flagged", pb::ovraFieldTypeInteger);
  flagged->set_not_nullable(true);
  flagged->set_not_editable(true);
  flagged->set_not_visible(true);
  flagged->set_required(true);
  flagged->set_system_maintained(true);
  flagged->set_role(pb::Document_Text);
  add_property(type, "explicit_unspecified", pb::ovraFieldTypeString)->set_role(pb::UNSPECIFIED);
  add_property(type, "unknown_role", pb::ovraFieldTypeString)->set_role(static_cast<pb::PropertyRole>(10));
  const std::vector<std::pair<int, ovraGeometryType>> geometries = {
      {0, ovraGeometryPoint},   {1, ovraGeometryMultipoint},   {2, ovraGeometryPolyline}, {3, ovraGeometryPolygon},
      {4, ovraGeometryMultiPatch}, {5, ovraGeometryEnvelope}, {6, ovraGeometryNull}};
  for (const auto& [wire_geometry, expected] : geometries) {
    auto* shape = add_property(type, "g" + std::to_string(wire_geometry), pb::ovraFieldTypeGeometry);
    shape->set_geometry_type(static_cast<ovraPBuffer::OvraTypes_GeometryType>(wire_geometry));
    shape->set_has_m(true);
  }

  const auto model = decode(wire);
  ASSERT_NE(model, nullptr);
  const EntityType& entity = *model->entity_types.list()[0];
  EXPECT_EQ(entity.role, Document);
  EXPECT_FALSE(entity.strict);

  const GraphProperty& p = *entity.get_property("plain");
  EXPECT_EQ(p.alias, "Plain");
  EXPECT_EQ(p.geometry_type, ovraGeometryNull);
  EXPECT_FALSE(p.has_z);
  EXPECT_TRUE(p.nullable && p.editable && p.default_visibility);
  EXPECT_FALSE(p.required || p.system_maintained);
  EXPECT_EQ(p.role, ovraGraphPropertyUNSPECIFIED);
  EXPECT_TRUE(std::holds_alternative<null_t>(p.default_value));

  const GraphProperty& f = *entity.get_property("flagged");
  EXPECT_FALSE(f.nullable || f.editable || f.default_visibility);
  EXPECT_TRUE(f.required && f.system_maintained);
  EXPECT_EQ(f.role, ovraGraphPropertyDocumentText);
  EXPECT_EQ(entity.get_property("explicit_unspecified")->role, ovraGraphPropertyUNSPECIFIED);
  EXPECT_EQ(entity.get_property("unknown_role")->role, ovraGraphPropertyUNSPECIFIED);

  for (const auto& [wire_geometry, expected] : geometries) {
    const GraphProperty& g = *entity.get_property("g" + std::to_string(wire_geometry));
    EXPECT_EQ(g.geometry_type, expected) << wire_geometry;
    EXPECT_TRUE(g.has_m);
  }
}

TEST(DataModelDecoder, MapsNamedObjectRolesAndKeepsFirstOfEqualNames) {
  pb::GraphDataModel wire = minimal_model();
  const std::vector<std::pair<int, ovraGraphNamedObjectTypeRole>> roles = {
      {0, Regular}, {1, Provenance}, {2, Document}, {3, Regular}};
  for (const auto& [wire_role, expected] : roles) {
    auto* type = add_entity_type(wire, "Same");
    type->set_alias("alias" + std::to_string(wire_role));
    type->set_role(static_cast<pb::NamedObjectTypeRole>(wire_role));
    add_property(type, "p", pb::ovraFieldTypeString)->set_alias("first");
    add_property(type, "p", pb::ovraFieldTypeString)->set_alias("second");
  }
  const auto model = decode(wire);
  ASSERT_NE(model, nullptr);
  ASSERT_EQ(model->entity_types.size(), roles.size());
  for (std::size_t i = 0; i < roles.size(); ++i) EXPECT_EQ(model->entity_types.list()[i]->role, roles[i].second);
  EXPECT_EQ(model->query_entity_type("Same"), model->entity_types.list()[0]);
  EXPECT_EQ(model->query_entity_type("same"), nullptr);
  const EntityType& first = *model->entity_types.list()[0];
  EXPECT_EQ(first.properties.size(), 2u);
  EXPECT_EQ(first.get_property("p")->alias, "first");
}

TEST(DataModelDecoder, SplitsFieldIndexListsAndDropsEmptyOnes) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"a,b", {"a", "b"}},
      {",,a,,b,", {"a", "b"}},
      {"a, b ", {"a", " b "}},
      {"single", {"single"}},
      {",,,", {}},
      {"", {}},
  };
  pb::GraphDataModel wire = minimal_model();
  auto* type = add_entity_type(wire, "E");
  for (std::size_t i = 0; i < cases.size(); ++i) {
    auto* index = type->add_field_indexes();
    index->set_name("i" + std::to_string(i));
    index->set_fields(cases[i].first);
    index->set_isascending(i % 2 == 0);
    index->set_isunique(i % 2 == 1);
    index->set_description("not read");
  }
  const auto model = decode(wire);
  ASSERT_NE(model, nullptr);
  const auto& indexes = model->entity_types.list()[0]->field_indexes;
  ASSERT_EQ(indexes.size(), 4u);  // the last two name no field
  for (std::size_t i = 0; i < indexes.size(); ++i) {
    EXPECT_EQ(indexes[i]->name, "i" + std::to_string(i));
    EXPECT_EQ(indexes[i]->fields, cases[i].second) << cases[i].first;
    EXPECT_EQ(indexes[i]->ascending, i % 2 == 0);
    EXPECT_EQ(indexes[i]->unique, i % 2 == 1);
    EXPECT_TRUE(indexes[i]->description.empty());
  }
}

TEST(DataModelDecoder, ReadsRelationshipTypesWithEndPointsUnchecked) {
  pb::GraphDataModel wire = minimal_model();
  auto* relationship = wire.add_relationship_types();
  auto* type = relationship->mutable_named_object_type();
  type->set_name("knows");
  type->set_role(pb::ovraGraphNamedObjectProvenance);
  add_property(type, "since", pb::ovraFieldTypeDate);
  type->add_field_indexes()->set_fields("since");
  auto* end_point = relationship->add_end_points();
  end_point->set_origin_entity_type("Person");
  end_point->set_destination_entity_type("Company");
  relationship->add_end_points()->set_origin_entity_type("Person");  // no destination: kept
  wire.add_relationship_types();  // no named object type at all

  const auto model = decode(wire);
  ASSERT_NE(model, nullptr);
  ASSERT_EQ(model->relationship_types.size(), 2u);
  const auto knows = model->query_relationship_type("knows");
  ASSERT_NE(knows, nullptr);
  EXPECT_EQ(knows->role, Provenance);
  EXPECT_EQ(knows->get_property("since")->field_type, ovraFieldTypeDate);
  EXPECT_EQ(knows->field_indexes.size(), 1u);
  ASSERT_EQ(knows->end_points.size(), 2u);
  EXPECT_EQ(knows->end_points[0].origin_entity_type, "Person");
  EXPECT_EQ(knows->end_points[0].destination_entity_type, "Company");
  EXPECT_EQ(knows->end_points[1].destination_entity_type, "");
  EXPECT_EQ(model->query_relationship_type("")->name, "");
  EXPECT_EQ(model->query_relationship_type("Person"), nullptr);
}

}  // namespace
