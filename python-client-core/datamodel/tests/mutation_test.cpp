// Bytes from the network: random and mutated models decode to a complete model or to none,
// never to a crash, an exception or a model that breaks its own invariants.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include <google/protobuf/stubs/logging.h>

#include "model_builder.h"

namespace {

using namespace datamodel_test;
using namespace lorengraph;

// A model that uses every part of the message, so mutations reach every reader.
pb::GraphDataModel rich_model() {
  pb::GraphDataModel wire = minimal_model();
  wire.set_timestamp(1700000000000);
  wire.mutable_spatial_reference()->set_wkid(4326);
  wire.set_objectid_property("objectid");
  wire.set_globalid_property("globalid");
  wire.set_loren_managed(true);
  for (int t = 0; t < 3; ++t) {
    auto* type = add_entity_type(wire, "Entity" + std::to_string(t));
    type->set_role(static_cast<pb::NamedObjectTypeRole>(t));
    for (int f = 1; f <= 13; ++f) {
      auto* property = add_property(type, "p" + std::to_string(f), f);
      property->set_role(static_cast<pb::PropertyRole>(f % 10));
      property->set_not_nullable(f % 2 == 0);
      auto* value = property->add_default_value();
      switch (f % 5) {
        case 0: value->set_int_value(f * 1000); break;
        case 1: value->set_string_value("12.5e1 text"); break;
        case 2: value->set_double_value(-3.75); break;
        case 3: value->set_float_value(2.5f); break;
        default: value->set_date_time_value(86400000); break;
      }
      if (f == 8) {
        property->set_geometry_type(ovraPBuffer::OvraTypes::ovraGeometryTypePolyline);
        auto* geometry = property->add_default_value()->mutable_geometry_value();  // second element: ignored
        geometry->mutable_default_geometry()->add_lengths(2);
      }
    }
    auto* index = type->add_field_indexes();
    index->set_name("idx");
    index->set_fields("p1,,p2");
  }
  auto* relationship = wire.add_relationship_types();
  relationship->mutable_named_object_type()->set_name("links");
  add_property(relationship->mutable_named_object_type(), "weight", pb::ovraFieldTypeDouble)
      ->add_default_value()
      ->set_string_value("0.5");
  auto* end_point = relationship->add_end_points();
  end_point->set_origin_entity_type("Entity0");
  end_point->set_destination_entity_type("Entity1");
  auto* search = wire.add_search_indexes();
  search->set_name("search");
  search->set_supported_category(pb::ovraTypeBoth);
  search->add_analyzers()->set_name("standard");
  (*search->mutable_search_properties())["Entity0"].add_property_names("p5");
  return wire;
}

// What every decoded model guarantees, however odd its bytes were.
void expect_invariants(const DataModel& model) {
  ASSERT_NE(model.identifier_info, nullptr);
  const auto& mapping = model.identifier_info->identifier_mapping_info;
  ASSERT_NE(mapping, nullptr);
  EXPECT_NE(bool(mapping->database_native_identifier), bool(mapping->uniform_property_identifier));
  ASSERT_NE(model.identifier_info->identifier_generation_info, nullptr);
  for (const auto& index : model.search_indexes.list()) {
    const int category = static_cast<int>(index->supported_category);
    EXPECT_TRUE(category == 1 || category == 2 || category == 4);
    EXPECT_EQ(model.query_search_index(index->name)->name, index->name);
  }
  for (const auto& type : model.entity_types.list()) {
    EXPECT_LE(static_cast<int>(type->role), 2);
    EXPECT_EQ(model.query_entity_type(type->name)->name, type->name);
    for (const auto& property : type->properties.list()) {
      EXPECT_GE(property->field_type, ovraFieldTypeSmallInteger);
      EXPECT_LE(property->field_type, ovraFieldTypeXML);
      EXPECT_EQ(type->get_property(property->name)->name, property->name);
    }
    for (const auto& index : type->field_indexes) EXPECT_FALSE(index->fields.empty());
  }
}

class Mutator {
 public:
  explicit Mutator(std::uint32_t seed) : random_(seed) {}

  std::string mutate(std::string bytes) {
    const int steps = pick(1, 3);
    for (int i = 0; i < steps; ++i) step(bytes);
    return bytes;
  }

  std::string random_bytes() {
    std::string bytes(static_cast<std::size_t>(pick(0, 64)), '\0');
    for (char& b : bytes) b = static_cast<char>(pick(0, 255));
    return bytes;
  }

 private:
  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  std::size_t position(const std::string& bytes) { return static_cast<std::size_t>(pick(0, int(bytes.size()) - 1)); }

  void step(std::string& bytes) {
    if (bytes.empty()) {
      bytes.push_back(static_cast<char>(pick(0, 255)));
      return;
    }
    switch (pick(0, 5)) {
      case 0: bytes[position(bytes)] ^= static_cast<char>(1 << pick(0, 7)); break;
      case 1: bytes[position(bytes)] = static_cast<char>(pick(0, 255)); break;
      case 2: bytes.insert(position(bytes), 1, static_cast<char>(pick(0, 255))); break;
      case 3: bytes.erase(position(bytes), static_cast<std::size_t>(pick(1, 8))); break;
      case 4: bytes.resize(position(bytes)); break;
      default: {  // repeat a stretch, as a duplicated field would
        const std::size_t start = position(bytes);
        const std::string stretch = bytes.substr(start, static_cast<std::size_t>(pick(1, 32)));
        bytes.insert(position(bytes), stretch);
        break;
      }
    }
  }

  std::mt19937 random_;
};

// The parser logs every string that is not UTF-8; mutations produce thousands of them.
class DataModelMutation : public ::testing::Test {
 protected:
  google::protobuf::LogSilencer quiet_;
};

TEST_F(DataModelMutation, MutatedModelsDecodeOrAreRejected) {
  const std::string original = rich_model().SerializeAsString();
  const auto baseline = decode_data_model_from_protocol_buffer(original.data(), original.size());
  ASSERT_NE(baseline, nullptr);
  expect_invariants(*baseline);

  Mutator mutator(20240611);
  int decoded = 0;
  constexpr int kRounds = 20000;
  for (int round = 0; round < kRounds; ++round) {
    const std::string bytes = mutator.mutate(original);
    const auto model = decode_data_model_from_protocol_buffer(bytes.data(), bytes.size());
    if (!model) continue;
    ++decoded;
    expect_invariants(*model);
    if (HasFailure()) FAIL() << "round " << round;
  }
  // Both outcomes occur, so the rounds exercise the readers and not only the parser.
  EXPECT_GT(decoded, kRounds / 50);
  EXPECT_LT(decoded, kRounds);
}

TEST_F(DataModelMutation, RandomBytesNeverCrash) {
  Mutator mutator(7);
  for (int round = 0; round < 20000; ++round) {
    const std::string bytes = mutator.random_bytes();
    const auto model = decode_data_model_from_protocol_buffer(bytes.data(), bytes.size());
    if (model) expect_invariants(*model);
  }
}

// Enumerations and one-of groups set to arbitrary numbers through the message itself, so
// every mapping sees values far outside its table.
TEST_F(DataModelMutation, ArbitraryEnumerationValues) {
  std::mt19937 random(99);
  std::uniform_int_distribution<std::int32_t> any_number(std::numeric_limits<std::int32_t>::min(),
                                                         std::numeric_limits<std::int32_t>::max());
  std::uniform_int_distribution<std::int32_t> small_number(-2, 20);
  auto number = [&] { return random() % 2 ? any_number(random) : small_number(random); };
  for (int round = 0; round < 2000; ++round) {
    pb::GraphDataModel wire = rich_model();
    wire.mutable_identifier_info()->mutable_identifier_generation_info()->set_uuid_method_hint(
        static_cast<pb::UUIDMethodHint>(number()));
    wire.mutable_search_indexes(0)->set_supported_category(static_cast<pb::NamedTypeCategory>(number()));
    for (auto& entity : *wire.mutable_entity_types()) {
      auto* type = entity.mutable_named_object_type();
      type->set_role(static_cast<pb::NamedObjectTypeRole>(number()));
      for (auto& property : *type->mutable_properties()) {
        property.set_field_type(static_cast<pb::FieldType>(number()));
        property.set_geometry_type(static_cast<ovraPBuffer::OvraTypes_GeometryType>(number()));
        property.set_role(static_cast<pb::PropertyRole>(number()));
      }
    }
    const auto model = decode(wire);
    if (model) expect_invariants(*model);
    if (HasFailure()) FAIL() << "round " << round;
  }
}

}  // namespace
