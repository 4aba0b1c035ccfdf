#include "value_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "error.h"
#include "geometry.h"
#include "objects.h"
#include "ovra_types.pb.h"
#include "test_support.h"
#include "value.pb.h"

namespace lorengraph {
namespace {

using testing::array_of;
using testing::expect_failure;
using testing::geometry;
using testing::unit_context;
namespace pb = ovraPBuffer::graph;
using Member = pb::PrimitiveValue::ValueCase;
using ArrayMember = pb::ArrayValue::ValuesCase;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr float kNaNf = std::numeric_limits<float>::quiet_NaN();
constexpr float kInff = std::numeric_limits<float>::infinity();
constexpr double k2p48 = 281474976710656.0;  // 2^48
const std::string& kNesting = testing::kNestingFailure;

// ---- building values --------------------------------------------------------------------------

std::shared_ptr<geometry_t> polyline() {
  return geometry(ovraGeometryPolyline, {2}, {1, 2, 4, -8});
}

value_t object_with(std::vector<std::pair<std::string, value_t>> pairs) {
  auto o = std::make_shared<ObjectValue>();
  for (auto& [key, value] : pairs) o->properties.append_key_value(key, std::move(value));
  return o;
}

uuid_t uuid_counting_from(std::uint8_t first) {
  uuid_t id;
  for (std::size_t i = 0; i < id.bytes.size(); ++i) id.bytes[i] = static_cast<std::uint8_t>(first + i);
  return id;
}

time_point_t nanoseconds(std::int64_t ns) {
  return time_point_t(std::chrono::nanoseconds(ns));
}

// ---- describing values, so that results compare as one string ---------------------------------

std::string show(const value_t& v);

std::string show(const PropertyList& list) {
  std::string out = "{";
  for (const auto& [key, value] : list.key_value_pairs()) out += key + "=" + show(value) + ";";
  return out + "}";
}

template <class Named>
std::string show_named(const char* kind, const std::shared_ptr<Named>& n) {
  if (!n) return std::string(kind) + "(none)";
  return std::string(kind) + ":" + n->type_name + " id=" + show(n->id) + " " + show(n->properties);
}

std::string show(const value_t& v) {
  std::ostringstream out;
  out << std::hexfloat;
  switch (v.index()) {
    case 0: out << "null"; break;
    case 1: out << "bool:" << std::get<bool>(v); break;
    case 2: out << "int:" << std::get<std::int64_t>(v); break;
    case 3: out << "float:" << std::get<float>(v); break;
    case 4: out << "double:" << std::get<double>(v); break;
    case 5:
      out << "uuid:";
      for (const auto b : std::get<uuid_t>(v).bytes) out << static_cast<int>(b) << ".";
      break;
    case 6: out << "time:" << std::get<time_point_t>(v).time_since_epoch().count(); break;
    case 7: out << "string:" << std::get<std::string>(v); break;
    case 8: out << "blob:" << std::get<blob_t>(v).bytes; break;
    case 9: {
      const auto& g = std::get<std::shared_ptr<geometry_t>>(v);
      if (!g) return "geometry(none)";
      out << "geometry:" << g->geometry_type << (g->has_z ? "z" : "") << (g->has_m ? "m" : "") << " lengths";
      for (const auto l : g->lengths) out << " " << l;
      out << " coords";
      for (const auto c : g->coords) out << " " << c;
      break;
    }
    case 10: {
      const auto& o = std::get<std::shared_ptr<ObjectValue>>(v);
      return o ? "object" + show(o->properties) : "object(none)";
    }
    case 11: return show_named("entity", std::get<std::shared_ptr<EntityValue>>(v));
    case 12: {
      const auto& r = std::get<std::shared_ptr<RelationshipValue>>(v);
      if (!r) return "relationship(none)";
      return show_named("relationship", r) + " from=" + show(r->origin_id) + " to=" + show(r->destination_id);
    }
    case 13: {
      const auto& p = std::get<std::shared_ptr<PathValue>>(v);
      if (!p) return "path(none)";
      out << "path[";
      for (int i = 0; i < p->entity_count(); ++i) {
        out << show(value_t(p->entities[static_cast<std::size_t>(i)])) << ",";
        if (i < p->relationship_count())
          out << show(value_t(p->relationships[static_cast<std::size_t>(i)])) << ",";
      }
      out << "]";
      break;
    }
    default: {
      const auto& a = std::get<std::shared_ptr<ArrayValue>>(v);
      if (!a) return "array(none)";
      out << "array[";
      for (const value_t& e : a->values) out << show(e) << ",";
      out << "]";
    }
  }
  return out.str();
}

// ---- running the codec ------------------------------------------------------------------------

pb::AnyValue encode(value_t& value, std::int32_t expected_status = KG_OK,
                    const QuantizationContext& context = unit_context()) {
  pb::AnyValue message;
  EXPECT_EQ(encode_any_value(context, value, &message), expected_status) << show(value);
  return message;
}

value_t decode_bytes(const std::string& bytes, const DecodingContext& context = {}) {
  pb::AnyValue parsed;
  EXPECT_TRUE(parsed.ParseFromString(bytes));
  return decode_any_value(context, parsed);
}

// Through the bytes, so that what the codec writes is what a reader of the wire sees.
value_t round_trip(value_t value, std::int32_t expected_status = KG_OK) {
  const pb::AnyValue message = encode(value, expected_status);
  return decode_bytes(message.SerializeAsString());
}

// ---- member choices ---------------------------------------------------------------------------

TEST(EncodeNumbers, SinglePrecisionPicksTheNarrowestExactMember) {
  struct Case {
    float in;
    Member member;
  };
  const Case cases[] = {
      {2.0f, Member::kFloatIntValue},     {2.5f, Member::kFloatValue},
      {-0.0f, Member::kFloatIntValue},    {1048575.0f, Member::kFloatIntValue},
      {1048576.0f, Member::kFloatValue},  {-1048576.0f, Member::kFloatIntValue},
      {-1048577.0f, Member::kFloatValue}, {1048575.5f, Member::kFloatValue},
      {-1048576.5f, Member::kFloatValue}, {kNaNf, Member::kFloatValue},
      {kInff, Member::kFloatValue},       {-kInff, Member::kFloatValue},
      {3e38f, Member::kFloatValue},       {1e-45f, Member::kFloatValue},
  };
  for (const Case& c : cases) {
    value_t v = c.in;
    const pb::AnyValue m = encode(v);
    ASSERT_EQ(m.primitive_value().value_case(), c.member) << c.in;
    if (c.member == Member::kFloatIntValue) {
      EXPECT_EQ(m.primitive_value().float_int_value(), c.in);
    }

    const value_t back = decode_bytes(m.SerializeAsString());
    ASSERT_TRUE(std::holds_alternative<float>(back)) << c.in;
    const float f = std::get<float>(back);
    EXPECT_TRUE(f == c.in || (std::isnan(f) && std::isnan(c.in))) << c.in << " read back as " << f;
  }
}

TEST(EncodeNumbers, DoublePrecisionPicksTheNarrowestExactMember) {
  struct Case {
    double in;
    Member member;
  };
  const Case cases[] = {
      {1048575.0, Member::kDoubleIntValue},
      {-1048576.0, Member::kDoubleIntValue},
      {1048576.0, Member::kDoubleFloatValue},  // float-exact beyond the small range
      {-1048577.0, Member::kDoubleFloatValue},
      {16777217.0, Member::kDoubleIntValue},  // 2^24 + 1: not float-exact
      {0.1, Member::kDoubleValue},
      {0.5, Member::kDoubleFloatValue},
      {-0.0, Member::kDoubleIntValue},
      {k2p48 - 1, Member::kDoubleIntValue},
      {k2p48, Member::kDoubleFloatValue},  // a power of two is float-exact
      {k2p48 + 1, Member::kDoubleValue},
      {-k2p48 + 1, Member::kDoubleIntValue},
      {-k2p48, Member::kDoubleFloatValue},
      {-k2p48 - 1, Member::kDoubleValue},
      {9223372036854775808.0, Member::kDoubleFloatValue},
      {kInf, Member::kDoubleFloatValue},
      {-kInf, Member::kDoubleFloatValue},
      {kNaN, Member::kDoubleValue},
      {1e300, Member::kDoubleValue},
      {-1e300, Member::kDoubleValue},
      {3.5e38, Member::kDoubleValue},  // beyond the largest float
      {static_cast<double>(std::numeric_limits<float>::max()), Member::kDoubleFloatValue},
      {1e-300, Member::kDoubleValue},
  };
  for (const Case& c : cases) {
    value_t v = c.in;
    const pb::AnyValue m = encode(v);
    ASSERT_EQ(m.primitive_value().value_case(), c.member) << c.in;
    if (c.member == Member::kDoubleIntValue) {
      EXPECT_EQ(m.primitive_value().double_int_value(), static_cast<std::int64_t>(c.in));
    }

    const value_t back = decode_bytes(m.SerializeAsString());
    ASSERT_TRUE(std::holds_alternative<double>(back)) << c.in;
    const double d = std::get<double>(back);
    EXPECT_TRUE(d == c.in || (std::isnan(d) && std::isnan(c.in))) << c.in << " read back as " << d;
  }
}

TEST(EncodeNumbers, TimePointsTruncateToMillisecondsTowardZero) {
  const std::pair<std::int64_t, std::int64_t> cases[] = {
      {-1, 0},
      {1500000, 1},
      {-1500000, -1},
      {999999, 0},
      {1000000, 1},
      {INT64_MAX, INT64_MAX / 1000000},
      {INT64_MIN, INT64_MIN / 1000000},
  };
  for (const auto& [ns, ms] : cases) {
    value_t v = nanoseconds(ns);
    EXPECT_EQ(encode(v).primitive_value().date_time_value(), ms) << ns;
  }
  EXPECT_EQ(show(round_trip(nanoseconds(-1500000))), show(nanoseconds(-1000000)));
}

TEST(EncodeNumbers, SmallValuesOfTheOtherKinds) {
  value_t null = null_t{};
  const pb::AnyValue n = encode(null);
  EXPECT_EQ(n.primitive_value().value_case(), Member::kNullValue);
  EXPECT_FALSE(n.primitive_value().null_value());

  value_t integer = std::int64_t{3};
  EXPECT_EQ(encode(integer).primitive_value().value_case(), Member::kIntValue);  // never narrowed

  value_t id = uuid_counting_from(1);
  const std::string bytes = encode(id).primitive_value().uuid_value();
  EXPECT_EQ(bytes, std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10"));
}

// ---- arrays -----------------------------------------------------------------------------------

TEST(EncodeArrays, MemberByTheElements) {
  struct Case {
    const char* name;
    std::vector<value_t> elements;
    ArrayMember member;
  };
  const Case cases[] = {
      {"nulls", {null_t{}, null_t{}, null_t{}}, ArrayMember::kNullValues},
      {"ints", {std::int64_t{1}, std::int64_t{-1}}, ArrayMember::kIntValues},
      {"small floats", {1.0f, 2.0f}, ArrayMember::kFloatIntValues},
      {"small float edges", {-1048576.0f, 1048575.0f}, ArrayMember::kFloatIntValues},
      {"floats", {1.0f, 2.0f, 2.5f}, ArrayMember::kFloatValues},
      {"wide float", {1.0f, 1048576.0f}, ArrayMember::kFloatValues},
      {"NaN float", {kNaNf}, ArrayMember::kFloatValues},
      {"float-exact doubles", {0.5, 1.0}, ArrayMember::kDoubleFloatValues},
      {"inf double", {kInf, 1.0}, ArrayMember::kDoubleFloatValues},
      {"small doubles", {1.0, -2.0}, ArrayMember::kDoubleIntValues},
      {"wide-integer doubles", {1.0, 16777217.0}, ArrayMember::kDoubleIntValues},
      {"doubles", {0.1, 1.0}, ArrayMember::kDoubleValues},
      {"NaN double", {kNaN, 1.0}, ArrayMember::kDoubleValues},
      {"float-only with wide-integer", {0.5, 16777217.0}, ArrayMember::kDoubleValues},
      {"wide-integer with float-only", {-k2p48 + 1, 1048576.0}, ArrayMember::kDoubleValues},
      {"uuids", {uuid_counting_from(0), uuid_counting_from(16)}, ArrayMember::kUuidValues},
      {"time points", {nanoseconds(2000000), nanoseconds(-3000000)}, ArrayMember::kDateTimeValues},
      {"blobs", {blob_t{"a"}, blob_t{""}}, ArrayMember::kBlobValues},
      {"geometries", {polyline(), polyline()}, ArrayMember::kGeometryValues},
      {"strings", {std::string("a"), std::string("b")}, ArrayMember::kAnyValues},
      {"bools", {true, false}, ArrayMember::kAnyValues},
      {"int and string", {std::int64_t{1}, std::string("a")}, ArrayMember::kAnyValues},
      {"float and double", {1.0f, 1.0}, ArrayMember::kAnyValues},
      {"null and int", {null_t{}, std::int64_t{1}}, ArrayMember::kAnyValues},
      {"objects", {object_with({}), object_with({})}, ArrayMember::kAnyValues},
      {"arrays", {array_of({std::int64_t{1}})}, ArrayMember::kAnyValues},
  };
  for (const Case& c : cases) {
    value_t v = array_of(c.elements);  // each case is encoded once, so sharing its objects is fine
    const std::string before = show(v);
    const pb::AnyValue m = encode(v);
    EXPECT_EQ(m.array_value().values_case(), c.member) << c.name;
    EXPECT_EQ(show(decode_bytes(m.SerializeAsString())), before) << c.name;
  }
}

TEST(EncodeArrays, ElementValuesOfTheNarrowForms) {
  value_t nulls = array_of({null_t{}, null_t{}, null_t{}});
  const pb::AnyValue n = encode(nulls);
  EXPECT_EQ(n.array_value().SerializeAsString(), std::string("\x52\x02\x08\x06", 4));  // count 3, zigzag

  value_t small = array_of({1.0, 16777217.0, -k2p48});
  EXPECT_EQ(encode(small).array_value().double_values().value_size(), 3);  // -2^48 is float-only

  value_t ints = array_of({-1.0, 16777217.0, k2p48 - 1});
  const pb::AnyValue mi = encode(ints);
  const auto& di = mi.array_value().double_int_values().value();
  EXPECT_EQ(std::vector<std::int64_t>(di.begin(), di.end()),
            (std::vector<std::int64_t>{-1, 16777217, 281474976710655}));

  value_t times = array_of({nanoseconds(-1999999), nanoseconds(2000000)});
  const pb::AnyValue mt = encode(times);
  const auto& ms = mt.array_value().date_time_values().value();
  EXPECT_EQ(std::vector<std::int64_t>(ms.begin(), ms.end()), (std::vector<std::int64_t>{-1, 2}));

  value_t ids = array_of({uuid_counting_from(0), uuid_counting_from(16)});
  const std::string bytes = encode(ids).array_value().uuid_values();
  ASSERT_EQ(bytes.size(), 32u);
  for (std::size_t i = 0; i < bytes.size(); ++i) EXPECT_EQ(static_cast<std::uint8_t>(bytes[i]), i);
}

TEST(EncodeArrays, EmptyArrayClearsTheMessageAndReadsBackAsNoArray) {
  value_t empty = array_of({});
  pb::AnyValue message;
  message.mutable_array_value()->mutable_int_values()->add_value(5);
  EXPECT_EQ(encode_any_value(unit_context(), empty, &message), 1);
  ASSERT_TRUE(message.has_array_value());
  EXPECT_EQ(message.array_value().values_case(), ArrayMember::VALUES_NOT_SET);
  EXPECT_EQ(message.SerializeAsString(), std::string("\x12\x00", 2));

  EXPECT_EQ(show(decode_bytes(message.SerializeAsString())), "array(none)");
}

TEST(EncodeArrays, FailingElementsEndTheEncoding) {
  value_t with_multipatch =
      array_of({geometry(ovraGeometryPolygon, {1}, {0, 0}), geometry(ovraGeometryMultiPatch, {1}, {0, 0})});
  encode(with_multipatch, KG_E_NOTIMPL);

  value_t without_context = array_of({polyline()});
  encode(without_context, KG_E_NO_SPATIAL_REFERENCE, QuantizationContext{});

  value_t with_missing_geometry = array_of({polyline(), std::shared_ptr<geometry_t>()});
  encode(with_missing_geometry, KG_E_INVALIDARG);

  value_t with_missing_array = array_of({std::int64_t{1}, std::shared_ptr<ArrayValue>()});
  encode(with_missing_array, KG_E_NOTIMPL);

  value_t with_path = array_of({std::make_shared<PathValue>()});
  encode(with_path, KG_E_NOTIMPL);

  // An empty inner array is a success (status 1) and does not end the outer one.
  value_t with_empty = array_of({array_of({}), std::int64_t{7}});
  const pb::AnyValue m = encode(with_empty);
  EXPECT_EQ(m.array_value().any_values().value_size(), 2);
}

// ---- objects, entities, relationships, paths, geometries --------------------------------------

TEST(EncodeObjects, EntitiesAndRelationshipsWriteTypeAndPropertiesButNoIdentifiers) {
  auto e = std::make_shared<EntityValue>();
  e->type_name = "Person";
  e->id = std::int64_t{42};
  e->properties.append_key_value("name", std::string("Ada"));
  value_t entity = e;
  const pb::AnyValue me = encode(entity);
  ASSERT_TRUE(me.has_entity_value());
  EXPECT_EQ(me.entity_value().label(), "Person");
  EXPECT_FALSE(me.entity_value().has_id());
  ASSERT_EQ(me.entity_value().properties_size(), 1);
  EXPECT_EQ(me.entity_value().properties(0).key(), "name");
  EXPECT_EQ(me.entity_value().properties(0).value().primitive_value().string_value(), "Ada");

  auto r = std::make_shared<RelationshipValue>();
  r->type_name = "Knows";
  r->id = std::int64_t{1};
  r->origin_id = std::int64_t{2};
  r->destination_id = std::int64_t{3};
  r->properties.append_key_value("since", std::int64_t{1999});
  value_t relationship = r;
  const pb::AnyValue mr = encode(relationship);
  ASSERT_TRUE(mr.has_relationship_value());
  EXPECT_EQ(mr.relationship_value().type(), "Knows");
  EXPECT_FALSE(mr.relationship_value().has_id());
  EXPECT_FALSE(mr.relationship_value().has_origin_id());
  EXPECT_FALSE(mr.relationship_value().has_destination_id());
  EXPECT_EQ(mr.relationship_value().properties(0).value().primitive_value().int_value(), 1999);
}

TEST(EncodeObjects, MissingAndUnwritableValuesFail) {
  struct Case {
    const char* name;
    value_t value;
    std::int32_t status;
  };
  auto e = std::make_shared<EntityValue>();
  e->properties.append_key_value("ok", std::int64_t{1});
  e->properties.append_key_value("path", std::make_shared<PathValue>());
  e->properties.append_key_value("after", std::int64_t{2});
  Case cases[] = {
      {"object", std::shared_ptr<ObjectValue>(), KG_E_INVALIDARG},
      {"entity", std::shared_ptr<EntityValue>(), KG_E_INVALIDARG},
      {"relationship", std::shared_ptr<RelationshipValue>(), KG_E_INVALIDARG},
      {"geometry", std::shared_ptr<geometry_t>(), KG_E_INVALIDARG},
      {"array", std::shared_ptr<ArrayValue>(), KG_E_NOTIMPL},
      {"path", std::make_shared<PathValue>(), KG_E_NOTIMPL},
      {"no path", std::shared_ptr<PathValue>(), KG_E_NOTIMPL},
      {"entity with a path", e, KG_E_NOTIMPL},
      {"object in object", object_with({{"inner", std::shared_ptr<ObjectValue>()}}), KG_E_INVALIDARG},
  };
  for (Case& c : cases) {
    pb::AnyValue m;
    EXPECT_EQ(encode_any_value(unit_context(), c.value, &m), c.status) << c.name;
  }
  value_t entity = e;
  const pb::AnyValue partial = encode(entity, KG_E_NOTIMPL);
  EXPECT_EQ(partial.entity_value().properties_size(), 2);  // written up to the failing pair

  value_t any = std::int64_t{1};
  EXPECT_EQ(encode_any_value(unit_context(), any, nullptr), KG_E_NULL);
}

TEST(EncodeGeometry, TypesMapToTheWireAndBack) {
  const std::pair<ovraGeometryType, int> cases[] = {
      {ovraGeometryPoint, 0},   {ovraGeometryMultipoint, 1}, {ovraGeometryPolyline, 2},
      {ovraGeometryPolygon, 3}, {ovraGeometryEnvelope, 5},
  };
  for (const auto& [type, wire] : cases) {
    // An envelope's values are not delta-coded, so it gets no parts to sum on the way back.
    std::vector<std::int32_t> lengths;
    if (type != ovraGeometryEnvelope) lengths = {2};
    auto g = geometry(type, lengths, {1, 2, 30, 3, 5, 40}, false, true);
    const std::string before = show(value_t(g));
    pb::GeometryValue m;
    m.set_compressed_shape_buffer("opaque");
    ASSERT_EQ(encode_geometry(unit_context(), g, &m), KG_OK) << type;
    EXPECT_EQ(m.geometry_type(), wire);
    ASSERT_TRUE(m.has_default_geometry());
    EXPECT_FALSE(m.default_geometry().has_z());
    EXPECT_TRUE(m.default_geometry().has_m());
    EXPECT_EQ(m.default_geometry().lengths_size(), static_cast<int>(lengths.size()));
    EXPECT_EQ(show(decode_geometry(DecodingContext{}, m)), before) << type;
  }
  EXPECT_EQ(geometry_type_from_wire(4), ovraGeometryMultiPatch);
  for (const int wire : {-1, 6, 7, 1000}) EXPECT_EQ(geometry_type_from_wire(wire), ovraGeometryNull);
}

TEST(EncodeGeometry, WritesGridDeltasAsIntegers) {
  InputQuantizationParameters input;
  input.xy_resolution = 0.5;
  input.x_false_origin = 100;
  QuantizationContext context;
  build_quantization_context(context, SpatialReference{}, input, Envelope{});
  auto g = geometry(ovraGeometryPolyline, {3}, {100.4, 0, 101.6, 1.2, 99, -1});
  value_t v = g;
  const pb::AnyValue m = encode(v, KG_OK, context);
  const auto& coords = m.primitive_value().geometry_value().default_geometry().coords();
  EXPECT_EQ(std::vector<std::int64_t>(coords.begin(), coords.end()),
            (std::vector<std::int64_t>{1, 0, 2, 2, -5, -4}));
  EXPECT_EQ(g->coords, (std::vector<double>{1, 0, 2, 2, -5, -4}));  // rewritten in place
}

TEST(EncodeGeometry, RefusalsInOrder) {
  const QuantizationContext unset;
  pb::GeometryValue m;
  EXPECT_EQ(encode_geometry(unset, nullptr, &m), KG_E_INVALIDARG);
  EXPECT_EQ(encode_geometry(unset, polyline(), &m), KG_E_NO_SPATIAL_REFERENCE);
  EXPECT_EQ(encode_geometry(unset, geometry(ovraGeometryNull, {}, {}), &m), KG_E_NO_SPATIAL_REFERENCE);
  EXPECT_EQ(encode_geometry(unit_context(), geometry(ovraGeometryMultiPatch, {}, {}), &m), KG_E_NOTIMPL);

  for (const int type : {0, 6, 7, 8, 42, -1}) {
    auto g = geometry(static_cast<ovraGeometryType>(type), {}, {});
    expect_failure<std::invalid_argument>([&] { encode_geometry(unit_context(), g, &m); },
                                          "unsupported geometry type");
  }
  value_t bad = geometry(ovraGeometryPolyline, {3}, {0, 0, 1, 1});
  expect_failure<std::invalid_argument>(
      [&] {
        pb::AnyValue out;
        encode_any_value(unit_context(), bad, &out);
      },
      "Invalid geometry.");
  value_t not_a_number = geometry(ovraGeometryPoint, {}, {kNaN, 0});
  expect_failure<std::invalid_argument>(
      [&] {
        pb::AnyValue out;
        encode_any_value(unit_context(), not_a_number, &out);
      },
      "Invalid geometry.");
}

// ---- consuming the input ----------------------------------------------------------------------

TEST(EncodeConsumes, StringsBlobsAndPropertyListsAreMovedOut) {
  value_t text = std::string("moved");
  EXPECT_EQ(encode(text).primitive_value().string_value(), "moved");
  EXPECT_TRUE(std::get<std::string>(text).empty());

  value_t blob = blob_t{std::string("\x00\x01", 2)};
  EXPECT_EQ(encode(blob).primitive_value().blob_value(), std::string("\x00\x01", 2));
  EXPECT_TRUE(std::get<blob_t>(blob).bytes.empty());

  auto e = std::make_shared<EntityValue>();
  e->type_name = "T";
  e->properties.append_key_value("k", std::string("v"));
  value_t entity = e;
  encode(entity);
  EXPECT_EQ(e->properties.key_count(), 0);
  EXPECT_EQ(e->type_name, "T");  // copied, not moved

  auto r = std::make_shared<RelationshipValue>();
  r->properties.append_key_value("k", std::int64_t{1});
  value_t relationship = r;
  encode(relationship);
  EXPECT_EQ(r->properties.key_count(), 0);

  value_t object = object_with({{"k", std::int64_t{1}}});
  encode(object);
  EXPECT_EQ(std::get<std::shared_ptr<ObjectValue>>(object)->properties.key_count(), 0);

  auto strings = std::make_shared<ArrayValue>();
  strings->values = {std::string("a"), std::string("b")};
  auto blobs = std::make_shared<ArrayValue>();
  blobs->values = {blob_t{"x"}, blob_t{"y"}};
  value_t both = array_of({strings, blobs});
  encode(both);
  for (const auto* a : {strings.get(), blobs.get()}) {
    ASSERT_EQ(a->values.size(), 2u);
    EXPECT_EQ(show(a->values[0]).back(), ':');  // emptied, still there
    EXPECT_EQ(show(a->values[1]).back(), ':');
  }
}

TEST(DecodeConsumes, StringsAndPropertyListsAreMovedOutOfTheMessage) {
  pb::AnyValue m;
  auto* pair = m.mutable_object_value()->add_properties();
  pair->set_key("k");
  pair->mutable_value()->mutable_primitive_value()->set_string_value("text");
  const value_t v = decode_any_value(DecodingContext{}, m);
  EXPECT_EQ(show(v), "object{k=string:text;}");
  EXPECT_EQ(m.object_value().properties_size(), 0);

  pb::AnyValue text;
  text.mutable_primitive_value()->set_string_value("words");
  EXPECT_EQ(show(decode_any_value(DecodingContext{}, text)), "string:words");
  EXPECT_TRUE(text.primitive_value().string_value().empty());

  pb::AnyValue blob;
  blob.mutable_primitive_value()->set_blob_value("bytes");
  EXPECT_EQ(show(decode_any_value(DecodingContext{}, blob)), "blob:bytes");
  EXPECT_TRUE(blob.primitive_value().blob_value().empty());
}

// ---- round trips ------------------------------------------------------------------------------

TEST(RoundTrip, EveryAlternativeReadsBackAsItself) {
  auto e = std::make_shared<EntityValue>();
  e->type_name = "Person";
  e->properties.append_key_value("age", std::int64_t{36});
  e->properties.append_key_value("tags", array_of({std::string("a"), std::string("")}));
  auto r = std::make_shared<RelationshipValue>();
  r->type_name = "Knows";
  r->properties.append_key_value("w", 0.25);

  std::vector<value_t> values = {
      null_t{},
      true,
      false,
      std::int64_t{0},
      INT64_MIN,
      INT64_MAX,
      -1048577.0f,
      1.5f,
      1e300,
      16777217.0,
      uuid_counting_from(200),
      nanoseconds(-86400000000000),
      std::string("text with \0 inside", 18),
      std::string(),
      blob_t{std::string("\xff\x00\x01", 3)},
      geometry(ovraGeometryPolyline, {2, 1}, {1, 2, 3, 4, 5, 6, -7, -8, 9}, true),
      geometry(ovraGeometryPoint, {}, {-3, 4, 5, 6}, true, true),
      geometry(ovraGeometryEnvelope, {}, {-1, 1, -2, 2}),
      geometry(ovraGeometryMultipoint, {0}, {1, 1}),
      object_with({{"a", std::int64_t{1}}, {"a", 2.5}, {"nested", object_with({{"x", null_t{}}})}}),
      object_with({}),
      e,
      r,
      array_of({std::int64_t{1}, std::string("two"), array_of({3.0f}), object_with({{"k", false}})}),
      array_of({blob_t{"x"}}),
      array_of({true}),
  };
  for (value_t& v : values) {
    const std::string before = show(v);
    EXPECT_EQ(show(round_trip(std::move(v))), before);
  }
}

TEST(RoundTrip, OutputTransformRestoresCoordinates) {
  InputQuantizationParameters input;
  input.xy_resolution = 0.25;
  input.x_false_origin = 1000;
  input.y_false_origin = -1000;
  QuantizationContext context;
  build_quantization_context(context, SpatialReference{}, input, Envelope{});
  pb::Transform header;
  ASSERT_EQ(write_input_transform(context, &header), KG_OK);
  DecodingContext decoding;
  read_output_transform(header, decoding.output_transform);

  value_t v = array_of({geometry(ovraGeometryPolygon, {3}, {1000, -1000, 1000.25, -999.5, 999, -1001.75}),
                        geometry(ovraGeometryPoint, {}, {1000.5, -1000.5})});
  const std::string before = show(v);
  const pb::AnyValue m = encode(v, KG_OK, context);
  EXPECT_EQ(show(decode_bytes(m.SerializeAsString(), decoding)), before);
}

// ---- decoding rules ---------------------------------------------------------------------------

TEST(DecodeRules, MalformedInputReadsAsNullOrNoObject) {
  struct Case {
    const char* name;
    std::function<void(pb::AnyValue&)> fill;
    std::string result;
  };
  const Case cases[] = {
      {"no member", [](pb::AnyValue&) {}, "null"},
      {"empty primitive", [](pb::AnyValue& m) { m.mutable_primitive_value(); }, "null"},
      {"null true", [](pb::AnyValue& m) { m.mutable_primitive_value()->set_null_value(true); }, "null"},
      {"uuid of 15",
       [](pb::AnyValue& m) { m.mutable_primitive_value()->set_uuid_value(std::string(15, 'u')); }, "null"},
      {"uuid of 17",
       [](pb::AnyValue& m) { m.mutable_primitive_value()->set_uuid_value(std::string(17, 'u')); }, "null"},
      {"uuid_values of 20",
       [](pb::AnyValue& m) { m.mutable_array_value()->set_uuid_values(std::string(20, 'u')); },
       "array(none)"},
      {"uuid_values of 0", [](pb::AnyValue& m) { m.mutable_array_value()->set_uuid_values(""); }, "array[]"},
      {"empty typed array", [](pb::AnyValue& m) { m.mutable_array_value()->mutable_bool_values(); },
       "array[]"},
      {"wrapped twice",
       [](pb::AnyValue& m) {
         m.mutable_wrapped_value()->mutable_wrapped_value()->mutable_primitive_value()->set_int_value(5);
       },
       "int:5"},
      {"wrapped nothing", [](pb::AnyValue& m) { m.mutable_wrapped_value(); }, "null"},
      {"object with empty key",
       [](pb::AnyValue& m) {
         auto* o = m.mutable_object_value();
         o->add_properties()->set_key("a");
         o->add_properties();
       },
       "object(none)"},
      {"pair without value",
       [](pb::AnyValue& m) { m.mutable_object_value()->add_properties()->set_key("a"); }, "object{a=null;}"},
      {"entity with empty key",
       [](pb::AnyValue& m) {
         m.mutable_entity_value()->set_label("T");
         m.mutable_entity_value()->add_properties();
       },
       "null"},
      {"relationship with empty key",
       [](pb::AnyValue& m) { m.mutable_relationship_value()->add_properties(); }, "null"},
      {"empty path", [](pb::AnyValue& m) { m.mutable_path_value(); }, "path(none)"},
      {"path with as many relationships as entities",
       [](pb::AnyValue& m) {
         m.mutable_path_value()->add_entities();
         m.mutable_path_value()->add_relationships();
       },
       "path(none)"},
      {"path holding a bad entity",
       [](pb::AnyValue& m) {
         auto* p = m.mutable_path_value();
         p->add_entities();
         p->add_relationships();
         p->add_entities()->add_properties();
       },
       "path(none)"},
      {"path holding a bad relationship",
       [](pb::AnyValue& m) {
         auto* p = m.mutable_path_value();
         p->add_entities();
         p->add_relationships()->add_properties();
         p->add_entities();
       },
       "path(none)"},
      {"compressed shape",
       [](pb::AnyValue& m) {
         m.mutable_primitive_value()->mutable_geometry_value()->set_compressed_shape_buffer("x");
       },
       "null"},
      {"geometry without member",
       [](pb::AnyValue& m) { m.mutable_primitive_value()->mutable_geometry_value(); }, "null"},
      {"date time at the limit",
       [](pb::AnyValue& m) { m.mutable_primitive_value()->set_date_time_value(9223372036854); },
       "time:9223372036854000000"},
      {"date time past the limit",
       [](pb::AnyValue& m) { m.mutable_primitive_value()->set_date_time_value(9223372036855); }, "null"},
      {"date time before the limit",
       [](pb::AnyValue& m) { m.mutable_primitive_value()->set_date_time_value(-9223372036855); }, "null"},
      {"date time minimum",
       [](pb::AnyValue& m) { m.mutable_primitive_value()->set_date_time_value(INT64_MIN); }, "null"},
      {"date times with one out of range",
       [](pb::AnyValue& m) {
         auto* a = m.mutable_array_value()->mutable_date_time_values();
         a->add_value(-9223372036854);
         a->add_value(INT64_MAX);
       },
       "array[time:-9223372036854000000,null,]"},
      {"empty null array", [](pb::AnyValue& m) { m.mutable_array_value()->mutable_null_values(); },
       "array[]"},
  };
  for (const Case& c : cases) {
    pb::AnyValue m;
    c.fill(m);
    EXPECT_EQ(show(decode_bytes(m.SerializeAsString())), c.result) << c.name;
  }
}

TEST(DecodeRules, EntitiesRelationshipsAndPathsKeepTheirIdentifiers) {
  pb::AnyValue m;
  auto* p = m.mutable_path_value();
  auto* from = p->add_entities();
  from->set_label("A");
  from->mutable_id()->mutable_primitive_value()->set_int_value(1);
  auto* pair = from->add_properties();
  pair->set_key("k");
  pair->mutable_value()->mutable_primitive_value()->set_bool_value(true);
  auto* link = p->add_relationships();
  link->set_type("R");
  link->mutable_id()->mutable_primitive_value()->set_string_value("r1");
  link->mutable_origin_id()->mutable_primitive_value()->set_int_value(1);
  link->mutable_destination_id()->mutable_wrapped_value()->mutable_primitive_value()->set_int_value(2);
  p->add_entities()->set_label("B");
  EXPECT_EQ(show(decode_bytes(m.SerializeAsString())),
            "path[entity:A id=int:1 {k=bool:1;},"
            "relationship:R id=string:r1 {} from=int:1 to=int:2,"
            "entity:B id=null {},]");
}

TEST(DecodeRules, GeometriesAreRestoredExceptNullOnes) {
  DecodingContext context;
  context.output_transform.x_scale = 2;
  context.output_transform.y_translate = 10;

  pb::GeometryValue m;
  m.set_geometry_type(static_cast<ovraPBuffer::OvraTypes_GeometryType>(7));
  auto* d = m.mutable_default_geometry();
  d->set_has_z(true);
  d->add_lengths(5);  // would not fit: a Null geometry is never walked
  for (const std::int64_t c : {1, 2, 3, -4}) d->add_coords(c);
  EXPECT_EQ(show(decode_geometry(context, m)), show(geometry(ovraGeometryNull, {5}, {1, 2, 3, -4}, true)));

  m.set_geometry_type(ovraPBuffer::OvraTypes::ovraGeometryTypeMultipatch);
  d->set_has_z(false);
  d->set_lengths(0, 2);
  EXPECT_EQ(show(decode_geometry(context, m)), show(geometry(ovraGeometryMultiPatch, {2}, {2, 12, 8, 8})));

  d->set_lengths(0, 0x80000000u);  // reads as a negative length
  expect_failure<std::invalid_argument>([&] { decode_geometry(context, m); }, "Invalid geometry.");
}

TEST(DecodeRules, NullArrayCountsOutOfRangeAreRefused) {
  for (const std::int64_t count : {std::int64_t{-1}, std::int64_t{16777217}, INT64_MAX, INT64_MIN}) {
    pb::AnyValue m;
    m.mutable_array_value()->mutable_null_values()->set_count(count);
    EXPECT_THROW(decode_any_value(DecodingContext{}, m), std::length_error) << count;
  }
  pb::AnyValue largest;
  largest.mutable_array_value()->mutable_null_values()->set_count(16777216);
  const value_t v = decode_any_value(DecodingContext{}, largest);
  EXPECT_EQ(std::get<std::shared_ptr<ArrayValue>>(v)->values.size(), 16777216u);
}

TEST(DecodeRules, NullArraysShareOneBudgetPerContext) {
  // Many small messages must not add up to more nulls than one run allows.
  pb::AnyValue m;
  auto* items = m.mutable_array_value()->mutable_any_values();
  for (int i = 0; i < 3; ++i) items->add_value()->mutable_array_value()->mutable_null_values()->set_count(4);
  DecodingContext context;
  context.null_budget = 12;
  pb::AnyValue copy = m;
  EXPECT_NO_THROW(decode_any_value(context, copy));
  EXPECT_EQ(context.null_budget, 0);
  context.null_budget = 11;
  EXPECT_THROW(decode_any_value(context, m), std::length_error);
}

// ---- nesting ----------------------------------------------------------------------------------

value_t nested_arrays(int levels) {
  auto inner = std::make_shared<ArrayValue>();
  for (int i = 1; i < levels; ++i) {
    auto outer = std::make_shared<ArrayValue>();
    outer->values.emplace_back(std::move(inner));
    inner = std::move(outer);
  }
  return inner;
}

TEST(Nesting, ValuesThatContainThemselvesAreRefused) {
  auto a = std::make_shared<ArrayValue>();
  a->values.emplace_back(a);
  value_t array = a;
  expect_failure<std::invalid_argument>(
      [&] {
        pb::AnyValue m;
        encode_any_value(unit_context(), array, &m);
      },
      kNesting);
  a->values.clear();  // break the cycle

  auto o = std::make_shared<ObjectValue>();
  o->properties.append_key_value("self", o);
  value_t object = o;
  expect_failure<std::invalid_argument>(
      [&] {
        pb::AnyValue m;
        encode_any_value(unit_context(), object, &m);
      },
      kNesting);
  o->properties.clear();
}

TEST(Nesting, DepthIsBoundedBothWays) {
  value_t shallow = nested_arrays(999);
  const pb::AnyValue m = encode(shallow);
  EXPECT_TRUE(m.has_array_value());

  value_t deep = nested_arrays(1001);
  expect_failure<std::invalid_argument>(
      [&] {
        pb::AnyValue out;
        encode_any_value(unit_context(), deep, &out);
      },
      kNesting);

  for (const int levels : {999, 1001}) {
    pb::AnyValue message;
    pb::AnyValue* cur = &message;
    for (int i = 1; i < levels; ++i) cur = cur->mutable_array_value()->mutable_any_values()->add_value();
    cur->mutable_array_value();
    if (levels < 1000) {
      EXPECT_TRUE(
          std::holds_alternative<std::shared_ptr<ArrayValue>>(decode_any_value(DecodingContext{}, message)));
    } else {
      expect_failure<std::invalid_argument>([&] { decode_any_value(DecodingContext{}, message); }, kNesting);
    }
  }
}

}  // namespace
}  // namespace lorengraph
