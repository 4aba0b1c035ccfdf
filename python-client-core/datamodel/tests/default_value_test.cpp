// Default values: decoded from the wire, then converted to the property's field type.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "default_value.h"
#include "model_builder.h"

namespace {

using namespace datamodel_test;
using namespace lorengraph;

using SetValue = std::function<void(pb::PrimitiveValue&)>;

SetValue integer(std::int64_t v) { return [v](pb::PrimitiveValue& p) { p.set_int_value(v); }; }
SetValue text(std::string v) { return [v](pb::PrimitiveValue& p) { p.set_string_value(v); }; }
SetValue real(double v) { return [v](pb::PrimitiveValue& p) { p.set_double_value(v); }; }
SetValue single(float v) { return [v](pb::PrimitiveValue& p) { p.set_float_value(v); }; }

struct DefaultCase {
  int wire_field_type;
  SetValue set;
  value_t expected;
};

time_point_t millis(std::int64_t ms) { return time_point_t(std::chrono::milliseconds(ms)); }

// Runs every case as one property of one model, so the cases also show that conversions
// of neighbouring properties do not interfere.
std::shared_ptr<DataModel> decode_cases(const std::vector<DefaultCase>& cases) {
  pb::GraphDataModel wire = minimal_model();
  auto* type = add_entity_type(wire, "E");
  for (std::size_t i = 0; i < cases.size(); ++i)
    cases[i].set(*add_property(type, std::to_string(i), cases[i].wire_field_type)->add_default_value());
  return decode(wire);
}

TEST(DefaultValue, ConvertsToTheFieldType) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  const std::vector<DefaultCase> cases = {
      // integer types: text parsed as base-10, floats truncated toward zero
      {pb::ovraFieldTypeInteger, text("12ab"), std::int64_t{12}},
      {pb::ovraFieldTypeSmallInteger, text(" \t-7"), std::int64_t{-7}},
      {pb::ovraFieldTypeOID, text("abc"), std::int64_t{0}},
      {pb::ovraFieldTypeInteger, text("0x1F"), std::int64_t{0}},
      {pb::ovraFieldTypeInteger, text("99999999999999999999"), kMax},
      {pb::ovraFieldTypeOID, real(3.9), std::int64_t{3}},
      {pb::ovraFieldTypeInteger, single(-2.7f), std::int64_t{-2}},
      {pb::ovraFieldTypeInteger, real(1e300), kMax},
      {pb::ovraFieldTypeInteger, real(std::nan("")), std::int64_t{0}},
      {pb::ovraFieldTypeInteger, [](pb::PrimitiveValue& p) { p.set_bool_value(true); }, true},
      // Single: integers, text and doubles narrowed to 32 bits
      {pb::ovraFieldTypeSingle, integer(3), 3.0f},
      {pb::ovraFieldTypeSingle, text(" 1.5e2kg"), 150.0f},
      {pb::ovraFieldTypeSingle, real(0.1), static_cast<float>(0.1)},
      {pb::ovraFieldTypeSingle, single(0.25f), 0.25f},
      // Double: integers, text and singles widened to 64 bits
      {pb::ovraFieldTypeDouble, integer(-7), -7.0},
      {pb::ovraFieldTypeDouble, text("2.5x"), 2.5},
      {pb::ovraFieldTypeDouble, text("none"), 0.0},
      {pb::ovraFieldTypeDouble, single(0.5f), 0.5},
      // String: integers as decimal text
      {pb::ovraFieldTypeString, integer(-5), std::string("-5")},
      {pb::ovraFieldTypeString, real(1.5), 1.5},
      {pb::ovraFieldTypeString, text("x"), std::string("x")},
      // Date: integers are milliseconds since the epoch
      {pb::ovraFieldTypeDate, integer(1000), millis(1000)},
      {pb::ovraFieldTypeDate, [](pb::PrimitiveValue& p) { p.set_date_time_value(-1500); }, millis(-1500)},
      {pb::ovraFieldTypeDate, integer(kMax), null_t{}},
      {pb::ovraFieldTypeDate, text("1000"), std::string("1000")},
      // other field types keep the decoded value
      {pb::ovraFieldTypeGUID, integer(4), std::int64_t{4}},
      {pb::ovraFieldTypeBlob, [](pb::PrimitiveValue& p) { p.set_blob_value(std::string("\0\1", 2)); },
       blob_t{std::string("\0\1", 2)}},
      {pb::ovraFieldTypeXML, text("<a/>"), std::string("<a/>")},
  };
  const auto model = decode_cases(cases);
  ASSERT_NE(model, nullptr);
  const EntityType& type = *model->entity_types.list()[0];
  ASSERT_EQ(type.properties.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const value_t& actual = type.properties.list()[i]->default_value;
    EXPECT_EQ(actual.index(), cases[i].expected.index()) << "case " << i;
    EXPECT_TRUE(actual == cases[i].expected) << "case " << i;
  }
}

TEST(DefaultValue, OnlyASingleElementCounts) {
  pb::GraphDataModel wire = minimal_model();
  auto* type = add_entity_type(wire, "E");
  auto* two = add_property(type, "two", pb::ovraFieldTypeInteger);
  two->add_default_value()->set_int_value(1);
  two->add_default_value()->set_int_value(2);
  add_property(type, "none", pb::ovraFieldTypeInteger);
  add_property(type, "null", pb::ovraFieldTypeInteger)->add_default_value()->set_null_value(false);
  const auto model = decode(wire);
  ASSERT_NE(model, nullptr);
  for (const auto& property : model->entity_types.list()[0]->properties.list())
    EXPECT_TRUE(std::holds_alternative<null_t>(property->default_value)) << property->name;
}

TEST(DefaultValue, GeometryDefaultKeepsItsShape) {
  pb::GraphDataModel wire = minimal_model();
  auto* property = add_property(add_entity_type(wire, "E"), "shape", pb::ovraFieldTypeGeometry);
  property->set_geometry_type(ovraPBuffer::OvraTypes::ovraGeometryTypePoint);
  auto* geometry = property->add_default_value()->mutable_geometry_value();
  geometry->set_geometry_type(ovraPBuffer::OvraTypes::ovraGeometryTypePoint);
  geometry->mutable_default_geometry()->add_lengths(1);
  geometry->mutable_default_geometry()->add_coords(3);
  geometry->mutable_default_geometry()->add_coords(4);
  const auto model = decode(wire);
  ASSERT_NE(model, nullptr);
  const auto& value = model->entity_types.list()[0]->get_property("shape")->default_value;
  ASSERT_TRUE(std::holds_alternative<std::shared_ptr<geometry_t>>(value));
  const auto& point = *std::get<std::shared_ptr<geometry_t>>(value);
  EXPECT_EQ(point.geometry_type, ovraGeometryPoint);
  EXPECT_EQ(point.coords, (std::vector<double>{3, 4}));
}

TEST(DefaultValue, MillisecondsOutsideTimePointsHaveNoTime) {
  constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 1000000;
  EXPECT_EQ(time_point_from_millis(kLimit)->time_since_epoch().count(), kLimit * 1000000);
  EXPECT_EQ(time_point_from_millis(-kLimit)->time_since_epoch().count(), -kLimit * 1000000);
  EXPECT_FALSE(time_point_from_millis(kLimit + 1));
  EXPECT_FALSE(time_point_from_millis(std::numeric_limits<std::int64_t>::min()));
}

}  // namespace
