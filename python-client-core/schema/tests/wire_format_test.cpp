// Exact wire images of the schema's messages: each case builds a message with
// the generated classes, compares its bytes with the expected image, parses the
// image (and any equivalent encodings) back and checks what was read.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "applyedits.pb.h"
#include "datamodel.pb.h"
#include "ovra_types.pb.h"
#include "query.pb.h"
#include "value.pb.h"
#include "wire_bytes.h"

namespace schema_test {
namespace {

namespace pb = ovraPBuffer::graph;
using google::protobuf::MessageLite;
using ovraPBuffer::OvraTypes;

struct WireCase {
  std::string name;
  std::string type_name;  // full protobuf type name the message must report
  std::function<std::unique_ptr<MessageLite>()> build;
  std::string bytes;
  // Other encodings of the same message (unpacked, repeated keys, omitted
  // entry fields): each must parse to a message that checks out and
  // serializes back to `bytes`.
  std::vector<std::string> equivalents;
  std::function<void(const MessageLite&)> check;
};

void PrintTo(const WireCase& c, std::ostream* os) { *os << c.name; }

template <class M>
WireCase wire_case(std::string name, std::string type_name, std::function<void(M&)> fill,
                   const std::string& hex, std::function<void(const M&)> check,
                   const std::vector<std::string>& equivalent_hex = {}) {
  WireCase c;
  c.name = std::move(name);
  c.type_name = std::move(type_name);
  c.build = [fill] {
    auto m = std::make_unique<M>();
    fill(*m);
    return std::unique_ptr<MessageLite>(std::move(m));
  };
  c.bytes = from_hex(hex);
  for (const auto& e : equivalent_hex) c.equivalents.push_back(from_hex(e));
  c.check = [check](const MessageLite& m) { check(static_cast<const M&>(m)); };
  return c;
}

// Little-endian images of the floating-point constants used below.
#define F32_1_0 "00 00 80 3F"
#define F32_2_5 "00 00 20 40"
#define F64_1_0 "00 00 00 00 00 00 F0 3F"
#define F64_2_0 "00 00 00 00 00 00 00 40"
#define F64_3_0 "00 00 00 00 00 00 08 40"
#define F64_4_0 "00 00 00 00 00 00 10 40"

std::vector<WireCase> wire_cases() {
  return {
      // Values and common messages.
      wire_case<pb::PrimitiveValue>(
          "NullIsExplicitFalse", "ovraPBuffer.graph.PrimitiveValue",
          [](auto& m) { m.set_null_value(false); }, "60 00",
          [](const auto& m) {
            EXPECT_EQ(m.value_case(), pb::PrimitiveValue::kNullValue);
            EXPECT_FALSE(m.null_value());
          }),
      wire_case<pb::PrimitiveValue>(
          "IntValueIsZigzag", "ovraPBuffer.graph.PrimitiveValue",
          [](auto& m) { m.set_int_value(-1); }, "38 01",
          [](const auto& m) { EXPECT_EQ(m.int_value(), -1); }),
      wire_case<pb::PrimitiveValue>(
          "FloatIntValueIsZigzag", "ovraPBuffer.graph.PrimitiveValue",
          [](auto& m) { m.set_float_int_value(-3); }, "18 05",
          [](const auto& m) { EXPECT_EQ(m.float_int_value(), -3); }),
      wire_case<pb::PrimitiveValue>(
          "DateTimeIsPlainVarint", "ovraPBuffer.graph.PrimitiveValue",
          [](auto& m) { m.set_date_time_value(-1); }, "68 FF FF FF FF FF FF FF FF FF 01",
          [](const auto& m) { EXPECT_EQ(m.date_time_value(), -1); }),
      wire_case<pb::AnyValue>(
          "WrappedValueHasTwoByteTag", "ovraPBuffer.graph.AnyValue",
          [](auto& m) { m.mutable_wrapped_value()->mutable_primitive_value()->set_string_value("a"); },
          "A2 01 05 0A 03 0A 01 61",
          [](const auto& m) {
            ASSERT_EQ(m.value_case(), pb::AnyValue::kWrappedValue);
            ASSERT_EQ(m.wrapped_value().value_case(), pb::AnyValue::kPrimitiveValue);
            EXPECT_EQ(m.wrapped_value().primitive_value().string_value(), "a");
          }),
      wire_case<pb::ArrayValue>(
          "EmptyArrayIsZeroBytes", "ovraPBuffer.graph.ArrayValue", [](auto&) {}, "",
          [](const auto& m) { EXPECT_EQ(m.values_case(), pb::ArrayValue::VALUES_NOT_SET); }),
      wire_case<pb::AnyValue>(
          "EmptyArrayInsideAnyValue", "ovraPBuffer.graph.AnyValue",
          [](auto& m) { m.mutable_array_value(); }, "12 00",
          [](const auto& m) {
            ASSERT_EQ(m.value_case(), pb::AnyValue::kArrayValue);
            EXPECT_EQ(m.array_value().values_case(), pb::ArrayValue::VALUES_NOT_SET);
          }),
      wire_case<pb::NullArray>(
          "NullArrayCountIsZigzag", "ovraPBuffer.graph.NullArray",
          [](auto& m) { m.set_count(3); }, "08 06",
          [](const auto& m) { EXPECT_EQ(m.count(), 3); }),
      wire_case<pb::FloatArray>(
          "EmptyFloatArrayIsZeroBytes", "ovraPBuffer.graph.FloatArray", [](auto&) {}, "",
          [](const auto& m) { EXPECT_EQ(m.value_size(), 0); }),
      wire_case<pb::FloatArray>(
          "FloatArrayPackedOrUnpacked", "ovraPBuffer.graph.FloatArray",
          [](auto& m) {
            m.add_value(1.0f);
            m.add_value(2.5f);
          },
          "0A 08 " F32_1_0 " " F32_2_5,
          [](const auto& m) {
            ASSERT_EQ(m.value_size(), 2);
            EXPECT_EQ(m.value(0), 1.0f);
            EXPECT_EQ(m.value(1), 2.5f);
          },
          {"0D " F32_1_0 " 0D " F32_2_5}),
      wire_case<pb::Int64Array>(
          "Int64ArrayIsZigzag", "ovraPBuffer.graph.Int64Array",
          [](auto& m) {
            m.add_value(-1);
            m.add_value(1);
          },
          "0A 02 01 02",
          [](const auto& m) {
            ASSERT_EQ(m.value_size(), 2);
            EXPECT_EQ(m.value(0), -1);
            EXPECT_EQ(m.value(1), 1);
          },
          {"08 01 08 02"}),
      wire_case<pb::DateTimeArray>(
          "DateTimeArrayIsPlainVarint", "ovraPBuffer.graph.DateTimeArray",
          [](auto& m) { m.add_value(-1); }, "0A 0A FF FF FF FF FF FF FF FF FF 01",
          [](const auto& m) {
            ASSERT_EQ(m.value_size(), 1);
            EXPECT_EQ(m.value(0), -1);
          }),
      wire_case<pb::GeometryValue>(
          "PointGeometryOmitsType", "ovraPBuffer.graph.GeometryValue",
          [](auto& m) {
            m.set_geometry_type(OvraTypes::ovraGeometryTypePoint);
            auto* g = m.mutable_default_geometry();
            g->add_lengths(1);
            g->add_coords(5);
            g->add_coords(-3);
          },
          "12 07 1A 01 01 22 02 0A 05",
          [](const auto& m) {
            EXPECT_EQ(m.geometry_type(), OvraTypes::ovraGeometryTypePoint);
            ASSERT_EQ(m.geometry_case(), pb::GeometryValue::kDefaultGeometry);
            ASSERT_EQ(m.default_geometry().coords_size(), 2);
            EXPECT_EQ(m.default_geometry().coords(1), -3);
          }),
      wire_case<pb::GeometryValue::OvraDefaultGeometry>(
          "DefaultGeometryWithZ", "ovraPBuffer.graph.GeometryValue.OvraDefaultGeometry",
          [](auto& m) {
            m.set_has_z(true);
            m.add_lengths(1);
            for (int c : {1, 2, 3}) m.add_coords(c);
          },
          "08 01 1A 01 01 22 03 02 04 06",
          [](const auto& m) {
            EXPECT_TRUE(m.has_z());
            EXPECT_FALSE(m.has_m());
            EXPECT_EQ(m.coords_size(), 3);
          }),
      wire_case<OvraTypes::Envelope>(
          "EnvelopeOrderIsXminXmaxYminYmax", "ovraPBuffer.OvraTypes.Envelope",
          [](auto& m) {
            m.set_xmin(1);
            m.set_xmax(2);
            m.set_ymin(3);
            m.set_ymax(4);
            m.mutable_spatialreference()->set_wkid(4326);
          },
          "09 " F64_1_0 " 11 " F64_2_0 " 19 " F64_3_0 " 21 " F64_4_0 " 2A 03 08 E6 21",
          [](const auto& m) {
            EXPECT_EQ(m.xmin(), 1.0);
            EXPECT_EQ(m.xmax(), 2.0);
            EXPECT_EQ(m.ymin(), 3.0);
            EXPECT_EQ(m.ymax(), 4.0);
            EXPECT_EQ(m.spatialreference().wkid(), 4326u);
          }),
      wire_case<OvraTypes::DatumTransformation>(
          "DatumTransformation", "ovraPBuffer.OvraTypes.DatumTransformation",
          [](auto& m) {
            m.set_wkid(1188);
            m.mutable_fromspatialreference()->set_wkid(4326);
          },
          "08 A4 09 2A 03 08 E6 21",
          [](const auto& m) {
            EXPECT_EQ(m.wkid(), 1188u);
            EXPECT_EQ(m.fromspatialreference().wkid(), 4326u);
            EXPECT_FALSE(m.has_tospatialreference());
          }),
      wire_case<pb::EntityValue>(
          "EntityIdSkipsFieldTwo", "ovraPBuffer.graph.EntityValue",
          [](auto& m) {
            m.set_label("E");
            m.mutable_id()->mutable_primitive_value()->set_int_value(1);
          },
          "0A 01 45 1A 04 0A 02 38 02",
          [](const auto& m) {
            EXPECT_EQ(m.label(), "E");
            EXPECT_EQ(m.id().primitive_value().int_value(), 1);
          }),
      wire_case<pb::Error>(
          "ErrorCodeIsZigzag", "ovraPBuffer.graph.Error",
          [](auto& m) {
            m.set_error_code(-2);
            m.set_error_message("x");
          },
          "08 03 12 01 78",
          [](const auto& m) {
            EXPECT_EQ(m.error_code(), -2);
            EXPECT_EQ(m.error_message(), "x");
          }),

      // Data model.
      wire_case<pb::GraphProperty>(
          "ExplicitUnspecifiedRoleIsWritten", "ovraPBuffer.graph.GraphProperty",
          [](auto& m) { m.set_role(pb::UNSPECIFIED); }, "80 01 00",
          [](const auto& m) {
            EXPECT_EQ(m.role_choice_case(), pb::GraphProperty::kRole);
            EXPECT_EQ(m.role(), pb::UNSPECIFIED);
          }),
      wire_case<pb::GraphProperty>(
          "PlainPropertyCarriesNoFlags", "ovraPBuffer.graph.GraphProperty",
          [](auto& m) { m.set_name("p"); }, "0A 01 70",
          [](const auto& m) {
            EXPECT_EQ(m.role_choice_case(), pb::GraphProperty::ROLE_CHOICE_NOT_SET);
            EXPECT_FALSE(m.not_nullable());
            EXPECT_FALSE(m.not_editable());
            EXPECT_FALSE(m.not_visible());
          }),
      wire_case<pb::GraphProperty>(
          "GraphSmallIntegerIsOne", "ovraPBuffer.graph.GraphProperty",
          [](auto& m) { m.set_field_type(pb::ovraFieldTypeSmallInteger); }, "18 01",
          [](const auto& m) { EXPECT_EQ(m.field_type(), pb::ovraFieldTypeSmallInteger); }),
      wire_case<OvraTypes::Domain>(
          "OvraSmallIntegerIsZero", "ovraPBuffer.OvraTypes.Domain",
          [](auto& m) {
            m.set_name("d");
            m.set_fieldtype(OvraTypes::ovraFieldTypeSmallInteger);
          },
          "12 01 64",
          [](const auto& m) {
            EXPECT_EQ(m.fieldtype(), OvraTypes::ovraFieldTypeSmallInteger);
            EXPECT_EQ(m.domain_case(), OvraTypes::Domain::DOMAIN_NOT_SET);
          }),
      wire_case<pb::GraphDataModel>(
          "DataModelEndsWithLorenManaged", "ovraPBuffer.graph.GraphDataModel",
          [](auto& m) {
            m.set_timestamp(1000);
            m.set_loren_managed(true);
          },
          "08 E8 07 80 01 01",
          [](const auto& m) {
            EXPECT_EQ(m.timestamp(), 1000);
            EXPECT_TRUE(m.loren_managed());
          }),
      wire_case<pb::IdentifierGenerationInfo>(
          "ExplicitUnspecifiedMethodHintIsWritten", "ovraPBuffer.graph.IdentifierGenerationInfo",
          [](auto& m) { m.set_uuid_method_hint(pb::MethodHint_UNSPECIFIED); }, "08 00",
          [](const auto& m) {
            EXPECT_EQ(m.method_case(), pb::IdentifierGenerationInfo::kUuidMethodHint);
          }),
      wire_case<pb::IdentifierMappingInfo>(
          "NativeIdentifierIsPresenceOnly", "ovraPBuffer.graph.IdentifierMappingInfo",
          [](auto& m) { m.mutable_database_native_identifier(); }, "0A 00",
          [](const auto& m) {
            EXPECT_EQ(m.identifier_case(), pb::IdentifierMappingInfo::kDatabaseNativeIdentifier);
          }),
      wire_case<pb::SearchIndex>(
          "SearchIndexPropertiesMap", "ovraPBuffer.graph.SearchIndex",
          [](auto& m) {
            m.set_supported_category(pb::ovraTypeBoth);
            (*m.mutable_search_properties())["k"].add_property_names("x");
          },
          "10 03 22 08 0A 01 6B 12 03 0A 01 78",
          [](const auto& m) {
            EXPECT_EQ(m.supported_category(), pb::ovraTypeBoth);
            ASSERT_EQ(m.search_properties().count("k"), 1u);
            EXPECT_EQ(m.search_properties().at("k").property_names(0), "x");
          }),

      // Query and search.
      wire_case<pb::GraphQueryRequest>(
          "QueryWithEmptyInputTransform", "ovraPBuffer.graph.GraphQueryRequest",
          [](auto& m) {
            m.set_open_cypher_query("MATCH(n)");
            m.set_feature_encoding(OvraTypes::ovraDefault);
            m.mutable_input_quantization_transform();
          },
          "0A 08 4D 41 54 43 48 28 6E 29 18 01 42 00",
          [](const auto& m) {
            EXPECT_EQ(m.open_cypher_query(), "MATCH(n)");
            EXPECT_TRUE(m.parameters().empty());
            EXPECT_TRUE(m.has_input_quantization_transform());
          }),
      wire_case<pb::GraphQueryRequest>(
          "NullParameter", "ovraPBuffer.graph.GraphQueryRequest",
          [](auto& m) {
            (*m.mutable_parameters())["a"].mutable_primitive_value()->set_null_value(false);
          },
          "12 09 0A 01 61 12 04 0A 02 60 00",
          [](const auto& m) {
            ASSERT_EQ(m.parameters().count("a"), 1u);
            EXPECT_EQ(m.parameters().at("a").primitive_value().value_case(),
                      pb::PrimitiveValue::kNullValue);
          }),
      wire_case<pb::GraphQueryRequest>(
          "RepeatedParameterKeyKeepsLast", "ovraPBuffer.graph.GraphQueryRequest",
          [](auto& m) { (*m.mutable_parameters())["a"].mutable_primitive_value()->set_int_value(2); },
          "12 09 0A 01 61 12 04 0A 02 38 04",
          [](const auto& m) {
            ASSERT_EQ(m.parameters().size(), 1u);
            EXPECT_EQ(m.parameters().at("a").primitive_value().int_value(), 2);
          },
          {"12 09 0A 01 61 12 04 0A 02 38 02  12 09 0A 01 61 12 04 0A 02 38 04"}),
      wire_case<pb::GraphQueryRequest>(
          "ParameterEntryAlwaysHasKeyAndValue", "ovraPBuffer.graph.GraphQueryRequest",
          [](auto& m) { (*m.mutable_parameters())[""]; }, "12 04 0A 00 12 00",
          [](const auto& m) {
            ASSERT_EQ(m.parameters().size(), 1u);
            ASSERT_EQ(m.parameters().count(""), 1u);
            EXPECT_EQ(m.parameters().at("").value_case(), pb::AnyValue::VALUE_NOT_SET);
          },
          {"12 00"}),
      wire_case<pb::GraphSearchRequest>(
          "SearchTwoByteTags", "ovraPBuffer.graph.GraphSearchRequest",
          [](auto& m) {
            m.set_max_num_results(10);
            m.set_return_search_context(true);
            m.mutable_ids_filter();
          },
          "80 01 14 88 01 01 92 01 00",
          [](const auto& m) {
            EXPECT_EQ(m.max_num_results(), 10);
            EXPECT_TRUE(m.return_search_context());
            EXPECT_TRUE(m.has_ids_filter());
          }),
      wire_case<pb::GraphQueryResultHeader>(
          "HeaderWithoutTransformOrError", "ovraPBuffer.graph.GraphQueryResultHeader",
          [](auto& m) { m.add_field_names("n"); }, "22 01 6E",
          [](const auto& m) {
            EXPECT_FALSE(m.has_transform());
            EXPECT_FALSE(m.has_error());
            ASSERT_EQ(m.field_names_size(), 1);
            EXPECT_EQ(m.field_names(0), "n");
          }),
      wire_case<pb::GraphObjectIdentifierSet>(
          "IdentifierSetWithEmptyArray", "ovraPBuffer.graph.GraphObjectIdentifierSet",
          [](auto& m) { m.mutable_identifiers(); }, "0A 00",
          [](const auto& m) {
            EXPECT_EQ(m.set_case(), pb::GraphObjectIdentifierSet::kIdentifiers);
          }),

      // Apply-edits.
      wire_case<pb::GraphApplyEditsFrame>(
          "FrameWithOnlyDeletes", "ovraPBuffer.graph.GraphApplyEditsFrame",
          [](auto& m) {
            (*m.mutable_deletes()->mutable_deleted_entity_ids())["E"].mutable_identifiers();
          },
          "1A 09 0A 07 0A 01 45 12 02 0A 00",
          [](const auto& m) {
            EXPECT_FALSE(m.has_adds());
            EXPECT_FALSE(m.has_updates());
            ASSERT_EQ(m.deletes().deleted_entity_ids().count("E"), 1u);
            EXPECT_TRUE(m.deletes().deleted_relationship_ids().empty());
          }),
      wire_case<pb::EditResults>(
          "ErrorsEntryWithUnsignedKey", "ovraPBuffer.graph.EditResults",
          [](auto& m) { (*m.mutable_errors())[5]; }, "1A 04 08 05 12 00",
          [](const auto& m) {
            ASSERT_EQ(m.errors().count(5), 1u);
            EXPECT_EQ(m.errors().at(5).error_code(), 0);
            EXPECT_FALSE(m.has_ids());
          }),
      wire_case<pb::Adds>(
          "EntryWithEmptyValueKeepsIt", "ovraPBuffer.graph.Adds",
          [](auto& m) { (*m.mutable_entities())["E"]; }, "0A 05 0A 01 45 12 00",
          [](const auto& m) {
            ASSERT_EQ(m.entities().count("E"), 1u);
            EXPECT_EQ(m.entities().at("E").adds_size(), 0);
          }),
      wire_case<pb::GraphApplyEditsHeader>(
          "HeaderCarriesOnlyInputTransform", "ovraPBuffer.graph.GraphApplyEditsHeader",
          [](auto& m) { m.mutable_input_quantization_transform()->mutable_scale()->set_xscale(1); },
          "22 0B 0A 09 09 " F64_1_0,
          [](const auto& m) {
            EXPECT_FALSE(m.has_spatial_reference());
            EXPECT_FALSE(m.header_flag());
            EXPECT_EQ(m.input_quantization_transform().scale().xscale(), 1.0);
          }),
      wire_case<pb::RelationshipTypeSchemaChanges>(
          "NewEndPoints", "ovraPBuffer.graph.RelationshipTypeSchemaChanges",
          [](auto& m) {
            auto* e = m.add_new_end_points();
            e->set_origin_entity_type("A");
            e->set_destination_entity_type("B");
          },
          "1A 06 0A 01 41 12 01 42",
          [](const auto& m) {
            ASSERT_EQ(m.new_end_points_size(), 1);
            EXPECT_EQ(m.new_end_points(0).destination_entity_type(), "B");
          }),
  };
}

class SchemaWireFormat : public ::testing::TestWithParam<WireCase> {};

TEST_P(SchemaWireFormat, WritesExactBytesAndReadsThemBack) {
  const WireCase& c = GetParam();
  const std::unique_ptr<MessageLite> built = c.build();
  EXPECT_EQ(built->GetTypeName(), c.type_name);
  EXPECT_EQ(to_hex(built->SerializeAsString()), to_hex(c.bytes));
  EXPECT_EQ(built->ByteSizeLong(), c.bytes.size());

  std::vector<std::string> inputs{c.bytes};
  inputs.insert(inputs.end(), c.equivalents.begin(), c.equivalents.end());
  for (const std::string& input : inputs) {
    SCOPED_TRACE("parsing " + to_hex(input));
    const std::unique_ptr<MessageLite> parsed(built->New());
    ASSERT_TRUE(parsed->ParseFromString(input));
    c.check(*parsed);
    EXPECT_EQ(to_hex(parsed->SerializeAsString()), to_hex(c.bytes));
  }
}

std::string case_name(const ::testing::TestParamInfo<WireCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Wire, SchemaWireFormat, ::testing::ValuesIn(wire_cases()), case_name);

}  // namespace
}  // namespace schema_test
