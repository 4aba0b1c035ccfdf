// The apply-edits encoder (what each operation writes, why it skips an object, how objects
// are split over frames, single use) and decoder (accumulation, errors by position, cascade
// checks, and mutated responses that must never crash it).
#include <gtest/gtest.h>

#include <google/protobuf/stubs/logging.h>

#include <functional>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "apply_edits_decoder.h"
#include "apply_edits_encoder.h"
#include "applyedits.pb.h"
#include "geometry.h"
#include "length_prefix.h"
#include "objects.h"

namespace lorengraph {
namespace {

namespace pb = ovraPBuffer::graph;
using namespace std::string_literals;

// ---- Building objects -----------------------------------------------------------------------

std::shared_ptr<EntityValue> entity(const std::string& type_name, value_t id = null_t{},
                                    std::vector<PropertyList::Pair> properties = {}) {
  auto e = std::make_shared<EntityValue>();
  e->type_name = type_name;
  e->id = std::move(id);
  e->properties.mutable_pairs() = std::move(properties);
  return e;
}

std::shared_ptr<RelationshipValue> relationship(const std::string& type_name, value_t origin, value_t destination,
                                                std::vector<PropertyList::Pair> properties = {}) {
  auto r = std::make_shared<RelationshipValue>();
  r->type_name = type_name;
  r->id = std::int64_t{100};
  r->origin_id = std::move(origin);
  r->destination_id = std::move(destination);
  r->properties.mutable_pairs() = std::move(properties);
  return r;
}

// A value the codec refuses by status (-5).
value_t path() { return std::make_shared<PathValue>(); }

// A polyline whose one part claims more points than it has: the codec throws on it.
value_t broken_polyline() {
  auto g = std::make_shared<geometry_t>();
  g->geometry_type = ovraGeometryPolyline;
  g->lengths = {5};
  g->coords = {1, 2};
  return g;
}

// Arrays nested `depth` levels deep.
value_t nested_arrays(int depth) {
  value_t v = std::int64_t{1};
  for (int i = 0; i < depth; ++i) {
    auto a = std::make_shared<ArrayValue>();
    a->values.push_back(std::move(v));
    v = std::move(a);
  }
  return v;
}

InputQuantizationParameters unit_quantization() {
  InputQuantizationParameters q;
  q.xy_resolution = 1;
  return q;
}

GraphApplyEditsEncoder make_encoder(const InputQuantizationParameters& q = {}) {
  return GraphApplyEditsEncoder(false, "", "", SpatialReference{}, q);
}

// ---- Reading what the encoder wrote ---------------------------------------------------------

// The length-prefixed messages of a stream; fails the test on a torn stream.
std::vector<std::string> split_stream(std::string_view bytes) {
  std::vector<std::string> messages;
  while (!bytes.empty()) {
    const LengthPrefix prefix = read_length_prefix(bytes);
    if (prefix.status != LengthPrefix::complete) {
      ADD_FAILURE() << "torn stream at " << messages.size();
      break;
    }
    messages.emplace_back(bytes.substr(prefix.prefix_size, prefix.length));
    bytes.remove_prefix(prefix.prefix_size + prefix.length);
  }
  return messages;
}

struct Request {
  pb::GraphApplyEditsHeader header;
  std::vector<pb::GraphApplyEditsFrame> frames;
};

// Encodes, expects success and parses the stream with the generated classes.
Request encode_ok(GraphApplyEditsEncoder& encoder) {
  encoder.encode();
  Request request;
  const EncodingResult* result = encoder.get_encoding_result();
  if (result == nullptr) {
    ADD_FAILURE() << "no result";
    return request;
  }
  EXPECT_TRUE(result->error.empty()) << result->error.error_code << " " << result->error.error_message;
  const std::vector<std::string> messages = split_stream(result->byte_buffer.bytes);
  if (messages.empty()) {
    ADD_FAILURE() << "no header";
    return request;
  }
  EXPECT_TRUE(request.header.ParseFromString(messages[0]));
  for (std::size_t i = 1; i < messages.size(); ++i) {
    EXPECT_TRUE(request.frames.emplace_back().ParseFromString(messages[i])) << "frame " << i;
  }
  return request;
}

// Objects a frame carries: added, updated and deleted, entities and relationships.
int object_count(const pb::GraphApplyEditsFrame& frame) {
  int n = 0;
  for (const auto& [name, list] : frame.adds().entities()) n += list.adds_size();
  for (const auto& [name, list] : frame.adds().relationships()) n += list.adds_size();
  for (const auto& [name, list] : frame.updates().entities()) n += list.updates_size();
  for (const auto& [name, list] : frame.updates().relationships()) n += list.updates_size();
  for (const auto& [name, set] : frame.deletes().deleted_entity_ids()) n += set.identifiers().any_values().value_size();
  for (const auto& [name, set] : frame.deletes().deleted_relationship_ids()) {
    n += set.identifiers().any_values().value_size();
  }
  return n;
}

std::vector<int> frame_counts(const Request& request) {
  std::vector<int> counts;
  for (const auto& frame : request.frames) counts.push_back(object_count(frame));
  return counts;
}

void expect_error(const kg_error_t& error, std::int64_t code, const std::string& message) {
  EXPECT_EQ(error.error_code, code);
  EXPECT_EQ(error.error_message, message);
}

template <class E, class Fn>
void expect_throw(Fn&& fn, const std::string& message) {
  try {
    fn();
    ADD_FAILURE() << "nothing thrown, expected \"" << message << "\"";
  } catch (const E& e) {
    EXPECT_EQ(typeid(e), typeid(E)) << typeid(e).name();
    EXPECT_EQ(std::string(e.what()), message);
  }
}

// ---- Encoder --------------------------------------------------------------------------------

TEST(ApplyEditsEncoder, OneBareEntityIsTheSeventeenByteRequest) {
  GraphApplyEditsEncoder e = make_encoder();
  EXPECT_TRUE(e.add(entity("T")).empty());
  e.encode();
  ASSERT_NE(e.get_encoding_result(), nullptr);
  EXPECT_TRUE(e.get_encoding_result()->error.empty());
  EXPECT_EQ(e.get_encoding_result()->byte_buffer.bytes,
            "\x02\x22\x00"
            "\x0D\x0A\x0B\x0A\x09\x0A\x01\x54\x12\x04\x0A\x02\x0A\x00"s);
}

TEST(ApplyEditsEncoder, HeaderCarriesOnlyTheInputTransform) {
  InputQuantizationParameters q;
  q.xy_resolution = 0.5;
  q.x_false_origin = -10;
  GraphApplyEditsEncoder e(true, "a", "b", SpatialReference::WGS84(), q);
  e.add(entity("T"));
  const Request request = encode_ok(e);
  EXPECT_FALSE(request.header.has_spatial_reference());
  EXPECT_FALSE(request.header.header_flag());
  ASSERT_TRUE(request.header.has_input_quantization_transform());
  EXPECT_EQ(request.header.input_quantization_transform().scale().xscale(), 0.5);
  EXPECT_EQ(request.header.input_quantization_transform().translate().xtranslate(), -10);
}

TEST(ApplyEditsEncoder, WithoutAUsableResolutionTheTransformIsEmpty) {
  for (double resolution : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    InputQuantizationParameters q;
    q.xy_resolution = resolution;
    GraphApplyEditsEncoder e = make_encoder(q);
    e.add(entity("T"));
    e.encode();
    EXPECT_EQ(e.get_encoding_result()->byte_buffer.bytes.substr(0, 3), "\x02\x22\x00"s) << resolution;
  }
}

TEST(ApplyEditsEncoder, ZeroResolutionMakesNoEncoder) {
  for (double InputQuantizationParameters::*axis : {&InputQuantizationParameters::xy_resolution,
                                                    &InputQuantizationParameters::z_resolution,
                                                    &InputQuantizationParameters::m_resolution}) {
    InputQuantizationParameters q = unit_quantization();
    q.*axis = 0;
    expect_throw<std::domain_error>([&] { make_encoder(q); }, "cannot divide 1 by 0.");
  }
}

TEST(ApplyEditsEncoder, OnlyEntitiesAndRelationshipsAreAccepted) {
  GraphApplyEditsEncoder e = make_encoder();
  const value_t others[] = {null_t{}, std::int64_t{5}, std::string("T"), std::make_shared<ObjectValue>(),
                            std::shared_ptr<EntityValue>(), std::shared_ptr<RelationshipValue>(), path()};
  for (const value_t& v : others) {
    SCOPED_TRACE(v.index());
    for (auto op : {&GraphApplyEditsEncoder::add, &GraphApplyEditsEncoder::update, &GraphApplyEditsEncoder::remove}) {
      expect_throw<std::invalid_argument>([&] { (e.*op)(v); }, "Argument must be valid Entity or Relationship!");
    }
  }
  EXPECT_EQ(e.frame_count(), 1u);  // refused before the frame step
}

TEST(ApplyEditsEncoder, WhatEachOperationWrites) {
  GraphApplyEditsEncoder e = make_encoder();
  const uuid_t uuid{{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}};
  e.add(entity("Person", null_t{}, {{"b", std::int64_t{2}}, {"a", std::string("x")}, {"c", true}}));
  e.add(entity("Person", uuid));
  e.add(relationship("Knows", std::int64_t{1}, std::string("two")));
  e.update(entity("Person", null_t{}, {{"a", std::int64_t{3}}}));
  e.update(relationship("Knows", std::int64_t{9}, std::int64_t{9}, {{"w", 0.1}}));
  e.remove(entity("Person", std::int64_t{7}));
  e.remove(entity("Person"));
  e.remove(relationship("Knows", null_t{}, null_t{}));
  EXPECT_EQ(e.object_count(), 8u);
  EXPECT_EQ(e.add_count(), 3u);
  EXPECT_EQ(e.update_count(), 2u);
  EXPECT_EQ(e.delete_count(), 3u);

  const Request request = encode_ok(e);
  ASSERT_EQ(request.frames.size(), 1u);
  const pb::GraphApplyEditsFrame& f = request.frames[0];

  const auto& person_adds = f.adds().entities().at("Person").adds();
  ASSERT_EQ(person_adds.size(), 2);
  const pb::NamedObjectAdd& first = person_adds[0].named_object();
  EXPECT_FALSE(first.has_id());  // a null identifier is left out
  ASSERT_EQ(first.properties_size(), 3);
  EXPECT_EQ(first.properties(0).key(), "b");  // the object's order, not sorted
  EXPECT_EQ(first.properties(0).value().primitive_value().int_value(), 2);
  EXPECT_EQ(first.properties(1).value().primitive_value().string_value(), "x");
  EXPECT_EQ(first.properties(2).value().primitive_value().bool_value(), true);
  EXPECT_EQ(person_adds[1].named_object().id().primitive_value().uuid_value(),
            std::string(uuid.bytes.begin(), uuid.bytes.end()));

  const auto& knows = f.adds().relationships().at("Knows").adds();
  ASSERT_EQ(knows.size(), 1);
  EXPECT_EQ(knows[0].named_object().id().primitive_value().int_value(), 100);
  EXPECT_EQ(knows[0].origin_id().primitive_value().int_value(), 1);
  EXPECT_EQ(knows[0].destination_id().primitive_value().string_value(), "two");

  const auto& person_updates = f.updates().entities().at("Person").updates();
  ASSERT_EQ(person_updates.size(), 1);
  EXPECT_EQ(person_updates[0].id().primitive_value().value_case(), pb::PrimitiveValue::kNullValue);
  EXPECT_EQ(person_updates[0].properties(0).key(), "a");
  EXPECT_EQ(f.updates().relationships().at("Knows").updates(0).properties(0).value().primitive_value().double_value(),
            0.1);

  // Identifiers of deletes travel one AnyValue each, a null one as the null value.
  const pb::ArrayValue& deleted = f.deletes().deleted_entity_ids().at("Person").identifiers();
  ASSERT_EQ(deleted.values_case(), pb::ArrayValue::kAnyValues);
  ASSERT_EQ(deleted.any_values().value_size(), 2);
  EXPECT_EQ(deleted.any_values().value(0).primitive_value().int_value(), 7);
  EXPECT_EQ(deleted.any_values().value(1).primitive_value().value_case(), pb::PrimitiveValue::kNullValue);
  EXPECT_EQ(f.deletes().deleted_relationship_ids().at("Knows").identifiers().any_values().value(0).primitive_value()
                .int_value(),
            100);
}

enum class Op { add, update, remove };

kg_error_t run(GraphApplyEditsEncoder& e, Op op, const value_t& v) {
  switch (op) {
    case Op::add: return e.add(v);
    case Op::update: return e.update(v);
    default: return e.remove(v);
  }
}

TEST(ApplyEditsEncoder, SkippedObjectsLeaveTheirReasonAndNoTrace) {
  const char* kAddEncoding = "Unexpected error while encoding object to be added!";
  const char* kUpdateEncoding = "Unexpected error while encoding object to be updated!";
  const char* kDeleteEncoding = "Unexpected error while encoding object to be deleted!";
  struct Case {
    const char* name;
    Op op;
    std::function<value_t()> object;
    std::int64_t code;
    const char* message;
    bool quantized = false;
  };
  const value_t one = std::int64_t{1};
  const Case cases[] = {
      {"add without type name", Op::add, [] { return entity(""); }, -9, "Input object has no type name!"},
      {"update without type name", Op::update, [] { return entity("", null_t{}, {{"a", true}}); }, -3,
       "Input object has no type name!"},
      {"delete without type name", Op::remove, [] { return entity("", std::int64_t{1}); }, -3,
       "Input object has no type name!"},
      {"relationship without origin", Op::add, [&] { return relationship("R", null_t{}, one); }, -3,
       "Relationship must have origin and desination IDs!"},
      {"relationship without destination", Op::add, [&] { return relationship("R", one, null_t{}); }, -3,
       "Relationship must have origin and desination IDs!"},
      {"update without properties", Op::update, [] { return entity("T", std::int64_t{1}); }, -3,
       "Empty input object."},
      {"add, identifier refused", Op::add, [] { return entity("T", path()); }, -8,
       "Unexpected error while encoding ID of object to be added!"},
      {"add, geometry identifier without quantization", Op::add,
       [] { return entity("T", broken_polyline()); }, -8, "Unexpected error while encoding ID of object to be added!"},
      {"add, origin refused", Op::add, [&] { return relationship("R", path(), one); }, -8,
       "Unexpected error while encoding origin ID of object to be added!"},
      {"add, destination refused", Op::add, [&] { return relationship("R", one, path()); }, -8,
       "Unexpected error while encoding destination ID of object to be added!"},
      {"add, property refused", Op::add,
       [] { return entity("T", std::int64_t{1}, {{"a", std::string("x")}, {"p", path()}}); }, -8, kAddEncoding},
      {"add, relationship property refused", Op::add,
       [&] { return relationship("R", one, one, {{"p", path()}}); }, -8, kAddEncoding},
      {"add, invalid geometry throws", Op::add,
       [] { return entity("T", null_t{}, {{"g", broken_polyline()}}); }, -8, kAddEncoding, true},
      {"add, nested too deep throws", Op::add, [] { return entity("T", null_t{}, {{"a", nested_arrays(1001)}}); },
       -8, kAddEncoding},
      {"update, identifier refused", Op::update, [] { return entity("T", path(), {{"a", true}}); }, -8,
       "Unexpected error while encoding ID of object to be updated!"},
      {"update, property refused", Op::update, [&] { return entity("T", one, {{"a", true}, {"p", path()}}); }, -8,
       kUpdateEncoding},
      {"update, invalid geometry throws", Op::update,
       [] { return relationship("R", null_t{}, null_t{}, {{"g", broken_polyline()}}); }, -8, kUpdateEncoding, true},
      {"delete, identifier refused", Op::remove, [] { return entity("T", path()); }, -8, kDeleteEncoding},
      {"delete, relationship identifier throws", Op::remove,
       [] {
         auto r = relationship("R", null_t{}, null_t{});
         r->id = broken_polyline();
         return r;
       },
       -8, kDeleteEncoding, true},
      {"delete, identifier nested too deep", Op::remove, [] { return entity("T", nested_arrays(1001)); }, -8,
       kDeleteEncoding},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GraphApplyEditsEncoder e = make_encoder(c.quantized ? unit_quantization() : InputQuantizationParameters{});
    expect_error(run(e, c.op, c.object()), c.code, c.message);
    expect_error(e.last_rejection(), c.code, c.message);
    EXPECT_EQ(e.object_count() + e.add_count() + e.update_count() + e.delete_count(), 0u);

    // Nothing was accepted, so there is nothing to send.
    e.encode();
    expect_error(e.get_encoding_result()->error, -7, "GraphApplyEditsEncoder: empty input.");

    // The skipped object left no element, identifier or half-written value behind.
    EXPECT_TRUE(e.add(entity("Ok")).empty());
    EXPECT_TRUE(e.last_rejection().empty());
    const Request request = encode_ok(e);
    EXPECT_EQ(frame_counts(request), std::vector<int>{1});
  }
}

TEST(ApplyEditsEncoder, SkippedAddKeepsItsListAndItsProperties) {
  GraphApplyEditsEncoder e = make_encoder();
  auto r = relationship("R", std::int64_t{1}, null_t{}, {{"p", std::int64_t{5}}});
  e.add(r);
  auto refused = entity("T", null_t{}, {{"a", std::string("x")}, {"p", path()}});
  e.add(refused);
  // Neither was cleared; the value handed to the codec before the refusal is consumed.
  EXPECT_EQ(r->type_name, "R");
  EXPECT_EQ(r->properties.key_count(), 1);
  EXPECT_EQ(std::get<std::int64_t>(*r->properties.query_value("p")), 5);
  EXPECT_EQ(refused->type_name, "T");
  EXPECT_EQ(refused->properties.key_count(), 2);

  auto accepted = entity("T", null_t{}, {{"a", std::int64_t{1}}});
  e.add(accepted);
  EXPECT_EQ(accepted->properties.key_count(), 0);  // cleared on success only
  EXPECT_EQ(accepted->type_name, "T");             // an add keeps the type name

  const Request request = encode_ok(e);
  ASSERT_EQ(request.frames.size(), 1u);
  // The list made for a skipped relationship stays, empty.
  ASSERT_EQ(request.frames[0].adds().relationships().count("R"), 1u);
  EXPECT_EQ(request.frames[0].adds().relationships().at("R").adds_size(), 0);
  EXPECT_EQ(request.frames[0].adds().entities().at("T").adds_size(), 1);
}

TEST(ApplyEditsEncoder, UpdateAndDeleteClearTheTypeName) {
  struct Case {
    const char* name;
    Op op;
    value_t id;
    std::vector<PropertyList::Pair> properties;
    bool accepted;
  };
  const Case cases[] = {
      {"update", Op::update, std::int64_t{1}, {{"a", std::int64_t{2}}}, true},
      {"update without properties", Op::update, std::int64_t{1}, {}, false},
      {"update, identifier refused", Op::update, path(), {{"a", std::int64_t{2}}}, false},
      {"delete", Op::remove, std::int64_t{1}, {{"a", std::int64_t{2}}}, true},
      {"delete, identifier refused", Op::remove, path(), {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GraphApplyEditsEncoder e = make_encoder();
    auto object = entity("T", c.id, c.properties);
    EXPECT_EQ(run(e, c.op, object).empty(), c.accepted);
    EXPECT_EQ(object->type_name, "");
    // A successful update empties the properties; a delete never reads them.
    const bool properties_cleared = c.accepted && c.op == Op::update;
    EXPECT_EQ(object->properties.key_count(), properties_cleared ? 0 : static_cast<int>(c.properties.size()));
  }
}

TEST(ApplyEditsEncoder, AFrameHoldsAtMost2049Objects) {
  struct Case {
    const char* name;
    int adds, updates, deletes;
    std::vector<int> frames;
  };
  const Case cases[] = {
      {"2049 adds", 2049, 0, 0, {2049}},
      {"2050 adds", 2050, 0, 0, {2049, 1}},
      {"all operations count together", 2000, 40, 10, {2049, 1}},
      {"4099 objects", 4099, 0, 0, {2049, 2049, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GraphApplyEditsEncoder e = make_encoder();
    for (int i = 0; i < c.adds; ++i) e.add(entity("T", std::int64_t{i}));
    for (int i = 0; i < c.updates; ++i) e.update(entity("T", std::int64_t{i}, {{"a", true}}));
    for (int i = 0; i < c.deletes; ++i) e.remove(entity("T", std::int64_t{i}));
    EXPECT_EQ(e.frame_count(), c.frames.size());
    const Request request = encode_ok(e);
    EXPECT_EQ(frame_counts(request), c.frames);
    EXPECT_EQ(e.frame_count(), 0u);  // released after a successful encoding
  }
}

TEST(ApplyEditsEncoder, SkippedCallAfterAFullFrameStillOpensTheNext) {
  GraphApplyEditsEncoder e = make_encoder();
  for (int i = 0; i < 2049; ++i) e.add(entity("T"));
  EXPECT_FALSE(e.add(entity("")).empty());
  EXPECT_EQ(e.frame_count(), 2u);
  // The new frame stays empty and is not written at all.
  EXPECT_EQ(frame_counts(encode_ok(e)), std::vector<int>{2049});

  GraphApplyEditsEncoder f = make_encoder();
  for (int i = 0; i < 2049; ++i) f.add(entity("T"));
  EXPECT_FALSE(f.add(relationship("R", null_t{}, null_t{})).empty());
  f.add(entity("T"));
  EXPECT_EQ(f.frame_count(), 2u);
  EXPECT_EQ(frame_counts(encode_ok(f)), (std::vector<int>{2049, 1}));
}

TEST(ApplyEditsEncoder, EncodesOnlyOnce) {
  GraphApplyEditsEncoder e = make_encoder();
  EXPECT_EQ(e.get_encoding_result(), nullptr);

  // Nothing accepted: an error, and the encoder still collects.
  e.encode();
  ASSERT_NE(e.get_encoding_result(), nullptr);
  expect_error(e.get_encoding_result()->error, -7, "GraphApplyEditsEncoder: empty input.");
  EXPECT_TRUE(e.get_encoding_result()->byte_buffer.bytes.empty());

  e.add(entity("T"));
  encode_ok(e);
  const std::string first = e.get_encoding_result()->byte_buffer.bytes;
  EXPECT_EQ(first.substr(0, 3), "\x02\x22\x00"s);

  auto later = entity("T", std::int64_t{1}, {{"a", true}});
  for (Op op : {Op::add, Op::update, Op::remove}) {
    expect_throw<std::runtime_error>([&] { run(e, op, later); }, "Cannot reuse encoder!");
  }
  EXPECT_EQ(later->type_name, "T");  // refused before anything of the object was touched
  EXPECT_EQ(later->properties.key_count(), 1);
  EXPECT_EQ(e.object_count(), 1u);

  e.encode();
  expect_error(e.get_encoding_result()->error, -7, "GraphApplyEditsEncoder: Encode() has already been called!");
  EXPECT_EQ(e.get_encoding_result()->byte_buffer.bytes, first);
}

// ---- Decoder --------------------------------------------------------------------------------

pb::ArrayValue int_ids(std::initializer_list<std::int64_t> ids) {
  pb::ArrayValue a;
  for (std::int64_t id : ids) a.mutable_int_values()->add_value(id);
  return a;
}

using ErrorsByKey = std::vector<std::pair<std::uint64_t, kg_error_t>>;

pb::EditResults edit_results(std::initializer_list<std::int64_t> ids, const ErrorsByKey& errors = {}) {
  pb::EditResults r;
  *r.mutable_ids() = int_ids(ids);
  for (const auto& [key, error] : errors) {
    pb::Error& e = (*r.mutable_errors())[key];
    e.set_error_code(error.error_code);
    e.set_error_message(error.error_message);
  }
  return r;
}

std::string serialized(const pb::GraphApplyEditsResult& response) { return response.SerializeAsString(); }

template <class FirstSeen>
std::vector<std::string> type_names(const FirstSeen& first_seen) {
  std::vector<std::string> names;
  for (const auto& entry : first_seen.entries()) names.push_back(entry.first);
  return names;
}

std::vector<std::int64_t> ids_of(const std::vector<EditResult>& records) {
  std::vector<std::int64_t> ids;
  for (const EditResult& r : records) ids.push_back(std::get<std::int64_t>(r.id));
  return ids;
}

TEST(ApplyEditsDecoder, RefusesWhatIsNoResponse) {
  const google::protobuf::LogSilencer quiet;
  pb::GraphApplyEditsResult bad_name;
  (*bad_name.mutable_entity_add_results())["\xFF"] = edit_results({1});
  const std::string inputs[] = {"", "\xFF"s, "\x0A\x05\x08"s, "\x12\x80"s, serialized(bad_name)};
  for (const std::string& input : inputs) {
    GraphApplyEditsDecoder d;
    expect_error(d.decode(input), -3, "Error decoding ApplyEdits response!");
    EXPECT_TRUE(d.edit_results().entries().empty());
    EXPECT_TRUE(d.service_error().empty());
  }
}

TEST(ApplyEditsDecoder, ServiceErrorIsKeptUntilTheNextResponseCarryingOne) {
  GraphApplyEditsDecoder d;
  pb::GraphApplyEditsResult failed;
  failed.mutable_error()->set_error_code(5);
  failed.mutable_error()->set_error_message("Service says no.");
  EXPECT_TRUE(d.decode(serialized(failed)).empty());  // the service's error is no decoding error
  expect_error(d.service_error(), 5, "Service says no.");
  EXPECT_FALSE(d.object_error_seen());

  pb::GraphApplyEditsResult without_error;
  (*without_error.mutable_entity_add_results())["A"] = edit_results({1});
  EXPECT_TRUE(d.decode(serialized(without_error)).empty());
  expect_error(d.service_error(), 5, "Service says no.");

  pb::GraphApplyEditsResult empty_error;
  empty_error.mutable_error();
  EXPECT_TRUE(d.decode(serialized(empty_error)).empty());
  EXPECT_TRUE(d.service_error().empty());
}

TEST(ApplyEditsDecoder, ResultsAccumulatePerTypeInFirstSeenOrder) {
  pb::GraphApplyEditsResult first;
  (*first.mutable_entity_add_results())["A"] = edit_results({1, 2});
  (*first.mutable_relationship_add_results())["B"] = edit_results({3});
  (*first.mutable_entity_update_results())["A"] = edit_results({4});
  (*first.mutable_relationship_delete_results())["A"] = edit_results({5});
  pb::GraphApplyEditsResult second;
  (*second.mutable_entity_delete_results())["C"] = edit_results({6});
  (*second.mutable_relationship_update_results())["A"] = edit_results({7});

  GraphApplyEditsDecoder d;
  EXPECT_TRUE(d.decode(serialized(first)).empty());
  EXPECT_TRUE(d.decode(serialized(second)).empty());
  EXPECT_TRUE(d.decode(serialized(first)).empty());
  EXPECT_EQ(type_names(d.edit_results()), (std::vector<std::string>{"A", "B", "C"}));
  const TypeEditResults& a = d.edit_results().entries()[0].second;
  // Entities and relationships of one type name share its lists.
  EXPECT_EQ(ids_of(a.add_results), (std::vector<std::int64_t>{1, 2, 1, 2}));
  EXPECT_EQ(ids_of(a.update_results), (std::vector<std::int64_t>{4, 7, 4}));
  EXPECT_EQ(ids_of(a.delete_results), (std::vector<std::int64_t>{5, 5}));
  EXPECT_EQ(ids_of(d.edit_results().entries()[1].second.add_results), (std::vector<std::int64_t>{3, 3}));
  EXPECT_EQ(ids_of(d.edit_results().entries()[2].second.delete_results), std::vector<std::int64_t>{6});
  EXPECT_FALSE(d.object_error_seen());
}

TEST(ApplyEditsDecoder, ErrorsBelongToThePositionOfTheirKey) {
  struct Case {
    const char* name;
    ErrorsByKey errors;
    std::vector<kg_error_t> records;
    bool seen;
  };
  const kg_error_t none;
  const kg_error_t failed{12, "Locked."};
  const Case cases[] = {
      {"error under key 1", {{1, failed}}, {none, failed, none}, true},
      {"keys past the identifiers are ignored", {{3, failed}, {1u << 31, failed}}, {none, none, none}, false},
      {"an error of code 0 and no message still counts", {{0, none}}, {none, none, none}, true},
      {"a message alone", {{2, kg_error_t{0, "Note."}}}, {none, none, kg_error_t{0, "Note."}}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    pb::GraphApplyEditsResult response;
    (*response.mutable_entity_add_results())["A"] = edit_results({1, 2, 3}, c.errors);
    GraphApplyEditsDecoder d;
    EXPECT_TRUE(d.decode(serialized(response)).empty());
    const auto& records = d.edit_results().entries().at(0).second.add_results;
    ASSERT_EQ(records.size(), c.records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
      expect_error(records[i].error, c.records[i].error_code, c.records[i].error_message);
    }
    EXPECT_EQ(d.object_error_seen(), c.seen);
  }
}

TEST(ApplyEditsDecoder, CascadedDeletesNeedArraysOfOneLength) {
  pb::GraphApplyEditsResult good;
  auto& cascade = (*good.mutable_cascading_relationship_delete_results())["R"];
  *cascade.mutable_results() = edit_results({1, 2}, {{1, kg_error_t{4, "Gone."}}});
  *cascade.mutable_origin_ids() = int_ids({10, 20});
  *cascade.mutable_destination_ids() = int_ids({11, 21});

  GraphApplyEditsDecoder d;
  EXPECT_TRUE(d.decode(serialized(good)).empty());
  ASSERT_EQ(type_names(d.cascaded_deletes()), std::vector<std::string>{"R"});
  const auto& records = d.cascaded_deletes().entries()[0].second;
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(std::get<std::int64_t>(records[1].id), 2);
  EXPECT_EQ(std::get<std::int64_t>(records[1].origin_id), 20);
  EXPECT_EQ(std::get<std::int64_t>(records[1].destination_id), 21);
  EXPECT_TRUE(records[0].error.empty());
  expect_error(records[1].error, 4, "Gone.");
  EXPECT_TRUE(d.object_error_seen());

  // One origin for two identifiers: refused, but what the response held before stays.
  pb::GraphApplyEditsResult bad = good;
  *bad.mutable_cascading_relationship_delete_results()->at("R").mutable_origin_ids() = int_ids({10});
  bad.mutable_error()->set_error_code(3);
  (*bad.mutable_entity_add_results())["A"] = edit_results({7});
  (*bad.mutable_rel_type_schema_changes())["S"];
  GraphApplyEditsDecoder e;
  expect_error(e.decode(serialized(bad)), -3, "Error decoding ApplyEdits response!");
  expect_error(e.service_error(), 3, "");
  ASSERT_EQ(type_names(e.edit_results()), std::vector<std::string>{"A"});
  EXPECT_EQ(e.edit_results().entries()[0].second.add_results.size(), 1u);
  EXPECT_TRUE(e.cascaded_deletes().entries().empty());
  EXPECT_TRUE(e.schema_changes().entries().empty());  // not reached
  // and the decoder keeps working
  EXPECT_TRUE(e.decode(serialized(good)).empty());
  EXPECT_EQ(e.cascaded_deletes().entries()[0].second.size(), 2u);
}

TEST(ApplyEditsDecoder, SchemaChangesKeepTheirEndPointsAsTheyAre) {
  pb::GraphApplyEditsResult response;
  (*response.mutable_rel_type_schema_changes())["Empty"];
  auto* end_point = (*response.mutable_rel_type_schema_changes())["Knows"].add_new_end_points();
  end_point->set_origin_entity_type("Person");
  (*response.mutable_rel_type_schema_changes())["Knows"].add_new_end_points()->set_destination_entity_type("X");
  GraphApplyEditsDecoder d;
  EXPECT_TRUE(d.decode(serialized(response)).empty());
  EXPECT_TRUE(d.decode(serialized(response)).empty());
  std::size_t knows_size = 0;
  for (const auto& [name, end_points] : d.schema_changes().entries()) {
    if (name == "Empty") {
      EXPECT_TRUE(end_points.empty());
    }
    if (name != "Knows") continue;
    knows_size = end_points.size();
    EXPECT_EQ(end_points[0].origin_entity_type, "Person");
    EXPECT_EQ(end_points[0].destination_entity_type, "");
  }
  EXPECT_EQ(d.schema_changes().entries().size(), 2u);
  EXPECT_EQ(knows_size, 4u);
}

TEST(ApplyEditsDecoder, InvalidGeometryIdentifierThrowsAndKeepsEarlierResults) {
  pb::GraphApplyEditsResult response;
  (*response.mutable_entity_add_results())["A"] = edit_results({1});
  auto* geometry = (*response.mutable_entity_delete_results())["B"]
                       .mutable_ids()
                       ->mutable_geometry_values()
                       ->add_value();
  geometry->set_geometry_type(ovraPBuffer::OvraTypes::ovraGeometryTypePolyline);
  geometry->mutable_default_geometry()->add_lengths(5);
  geometry->mutable_default_geometry()->add_coords(1);
  geometry->mutable_default_geometry()->add_coords(2);
  GraphApplyEditsDecoder d;
  expect_throw<std::invalid_argument>([&] { d.decode(serialized(response)); }, "Invalid geometry.");
  ASSERT_FALSE(d.edit_results().entries().empty());
  EXPECT_EQ(d.edit_results().entries()[0].first, "A");
  EXPECT_EQ(d.edit_results().entries()[0].second.add_results.size(), 1u);
}

// ---- Decoder fuzz ---------------------------------------------------------------------------

constexpr int kFuzzIterations = 6000;
constexpr std::uint32_t kFuzzSeed = 20240917;

// Valid responses touching every field, as starting points for mutation.
std::vector<std::string> response_seeds() {
  std::vector<std::string> seeds;
  pb::GraphApplyEditsResult full;
  full.mutable_error()->set_error_code(2);
  full.mutable_error()->set_error_message("Partly failed.");
  (*full.mutable_entity_add_results())["Person"] = edit_results({1, 2, 3}, {{1, kg_error_t{7, "Bad."}}});
  (*full.mutable_relationship_add_results())["Knows"] = edit_results({4});
  (*full.mutable_entity_update_results())["Person"] = edit_results({5, 6});
  (*full.mutable_relationship_update_results())["Knows"] = edit_results({7}, {{0, kg_error_t{1, ""}}});
  (*full.mutable_entity_delete_results())["Place"] = edit_results({8});
  (*full.mutable_relationship_delete_results())["Near"] = edit_results({9, 10});
  auto& cascade = (*full.mutable_cascading_relationship_delete_results())["Knows"];
  *cascade.mutable_results() = edit_results({11, 12}, {{1, kg_error_t{3, "No."}}});
  *cascade.mutable_origin_ids() = int_ids({13, 14});
  *cascade.mutable_destination_ids() = int_ids({15, 16});
  auto* end_point = (*full.mutable_rel_type_schema_changes())["Knows"].add_new_end_points();
  end_point->set_origin_entity_type("Person");
  end_point->set_destination_entity_type("Place");
  seeds.push_back(serialized(full));

  // Identifiers of other kinds: strings, uuids, nulls, a geometry, a mix.
  pb::GraphApplyEditsResult kinds;
  auto& strings = (*kinds.mutable_entity_add_results())["S"];
  strings.mutable_ids()->mutable_string_values()->add_value("a");
  strings.mutable_ids()->mutable_string_values()->add_value("b");
  (*kinds.mutable_entity_update_results())["U"].mutable_ids()->set_uuid_values(std::string(32, '\x5A'));
  (*kinds.mutable_entity_delete_results())["N"].mutable_ids()->mutable_null_values()->set_count(3);
  auto* geometry =
      (*kinds.mutable_relationship_delete_results())["G"].mutable_ids()->mutable_geometry_values()->add_value();
  geometry->set_geometry_type(ovraPBuffer::OvraTypes::ovraGeometryTypePolyline);
  for (std::int64_t c : {0, 0, 5, 5}) geometry->mutable_default_geometry()->add_coords(c);
  geometry->mutable_default_geometry()->add_lengths(2);
  auto* mixed = (*kinds.mutable_relationship_add_results())["M"].mutable_ids()->mutable_any_values();
  mixed->add_value()->mutable_primitive_value()->set_int_value(1);
  mixed->add_value()->mutable_primitive_value()->set_string_value("x");
  mixed->add_value()->mutable_wrapped_value()->mutable_primitive_value()->set_double_value(0.5);
  seeds.push_back(serialized(kinds));
  return seeds;
}

class Mutator {
 public:
  explicit Mutator(std::uint32_t seed) : rng_(seed) {}

  std::string mutate(const std::vector<std::string>& seeds) {
    std::string s = seeds[below(seeds.size())];
    for (std::size_t n = 1 + below(2); n > 0; --n) step(s, seeds);
    return s;
  }

 private:
  std::size_t below(std::size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }

  void step(std::string& s, const std::vector<std::string>& seeds) {
    const std::size_t at = below(s.size() + 1);
    switch (below(8)) {
      case 0:
      case 1:  // in place, so every length around stays right
        if (!s.empty()) s[below(s.size())] ^= static_cast<char>(1 << below(8));
        break;
      case 2:
        if (!s.empty()) s[below(s.size())] = static_cast<char>(below(256));
        break;
      case 3:
        s.insert(at, 1 + below(4), static_cast<char>(below(256)));
        break;
      case 4:
        s.erase(at, 1 + below(8));
        break;
      case 5: {  // a stretch of some seed, as a repeated or misplaced field
        const std::string& other = seeds[below(seeds.size())];
        s.insert(at, other.substr(below(other.size()), 1 + below(32)));
        break;
      }
      case 6:  // a whole response after it: the parser merges the two
        s += seeds[below(seeds.size())];
        break;
      default:
        s.resize(at);
        break;
    }
  }

  std::mt19937 rng_;
};

TEST(ApplyEditsDecoderFuzz, MutatedResponsesGiveAnErrorRecordOrTheDocumentedFailure) {
  const std::vector<std::string> seeds = response_seeds();
  for (const std::string& seed : seeds) {
    GraphApplyEditsDecoder d;
    ASSERT_TRUE(d.decode(seed).empty());
  }
  const google::protobuf::LogSilencer quiet;  // the parser logs each string that is not UTF-8
  Mutator mutator(kFuzzSeed);
  int decoded = 0;
  int refused = 0;
  int thrown = 0;
  for (int i = 0; i < kFuzzIterations; ++i) {
    const std::string input = mutator.mutate(seeds);
    GraphApplyEditsDecoder d;
    const std::string where = "iteration " + std::to_string(i);
    try {
      const kg_error_t error = d.decode(input);
      if (error.empty()) {
        ++decoded;
      } else {
        ++refused;
        ASSERT_EQ(error.error_code, -3) << where;
        ASSERT_EQ(error.error_message, "Error decoding ApplyEdits response!") << where;
      }
      // A decoder that has seen anything keeps decoding the healthy response.
      ASSERT_TRUE(d.decode(seeds[0]).empty()) << where;
    } catch (const std::invalid_argument& e) {
      ++thrown;
      ASSERT_EQ(std::string(e.what()), "Invalid geometry.") << where;
    } catch (const std::length_error& e) {
      ++thrown;
      ASSERT_EQ(std::string(e.what()), "Null array count out of range.") << where;
    }
  }
  RecordProperty("decoded", decoded);
  RecordProperty("refused", refused);
  RecordProperty("thrown", thrown);
  EXPECT_GT(decoded, kFuzzIterations / 10);
  EXPECT_GT(refused, kFuzzIterations / 10);
}

}  // namespace
}  // namespace lorengraph
