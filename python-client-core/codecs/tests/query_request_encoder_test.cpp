// The query request encoder: its exact bytes, bind parameters, the order in which failures
// are found, and what encoding consumes.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "encoder_checks.h"
#include "objects.h"
#include "query.pb.h"
#include "query_request_encoder.h"

namespace lorengraph {
namespace {

using namespace test_encoders;
namespace pb = ovraPBuffer::graph;

const char kNoQuantization[] =
    "Geometry quantization not possible without valid spatial reference info. Maybe XY resolution was not set?";

GraphQueryRequestEncoder encoder_for(const std::string& query) {
  GraphQueryRequestEncoder e;
  e.open_cypher_query = query;
  return e;
}

TEST(QueryRequestEncoder, EightByteQueryEncodesExactly) {
  GraphQueryRequestEncoder e = encoder_for("MATCH(n)");
  e.encode();
  const EncodingResult* r = e.get_encoding_result();
  ASSERT_NE(r, nullptr);
  EXPECT_TRUE(r->error.empty());
  EXPECT_EQ(r->byte_buffer.bytes, bytes("\x0A\x08" "MATCH(n)" "\x18\x01\x42\x00"));
}

TEST(QueryRequestEncoder, NullParameterEncodesExactly) {
  GraphQueryRequestEncoder e = encoder_for("q");
  ASSERT_TRUE(e.params.set_key_value("a", null_t{}));
  e.encode();
  EXPECT_EQ(e.get_encoding_result()->byte_buffer.bytes,
            bytes("\x0A\x01q" "\x12\x09\x0A\x01\x61\x12\x04\x0A\x02\x60\x00" "\x18\x01\x42\x00"));
}

TEST(QueryRequestEncoder, ParametersArriveByName) {
  GraphQueryRequestEncoder e = encoder_for("MATCH (n) WHERE n.age > $age RETURN n");
  e.params.set_key_value("age", std::int64_t{30});
  e.params.set_key_value("name", std::string("Ada"));
  e.params.set_key_value("age", std::int64_t{40});  // replaces the first value
  const auto request = encode_ok<pb::GraphQueryRequest>(e);
  EXPECT_EQ(request.open_cypher_query(), e.open_cypher_query);
  ASSERT_EQ(request.parameters().size(), 2u);
  EXPECT_EQ(request.parameters().at("age").primitive_value().int_value(), 40);
  EXPECT_EQ(request.parameters().at("name").primitive_value().string_value(), "Ada");
}

TEST(QueryRequestEncoder, EncodingConsumesNamesStringsObjectsAndCoordinates) {
  GraphQueryRequestEncoder e = encoder_for("q");
  e.input_quantization_parameters.xy_resolution = 1;
  auto line = polyline({0.4, 0.6, 1.6, 2.5});
  auto person = std::make_shared<EntityValue>();
  person->type_name = "Person";
  person->properties.append_key_value("name", std::string("Ada"));
  e.params.append_key_value("where", line);
  e.params.append_key_value("text", std::string("abc"));
  e.params.append_key_value("who", person);
  const auto request = encode_ok<pb::GraphQueryRequest>(e);

  // The caller's geometry now holds the grid deltas that were sent.
  EXPECT_EQ(line->coords, (std::vector<double>{0, 1, 2, 1}));
  const auto& sent = request.parameters().at("where").primitive_value().geometry_value().default_geometry();
  EXPECT_EQ(std::vector<std::int64_t>(sent.coords().begin(), sent.coords().end()),
            (std::vector<std::int64_t>{0, 1, 2, 1}));
  EXPECT_EQ(person->properties.key_count(), 0);
  EXPECT_EQ(request.parameters().at("who").entity_value().label(), "Person");
  const auto& pairs = e.params.key_value_pairs();
  ASSERT_EQ(pairs.size(), 3u);
  for (const auto& [name, value] : pairs) EXPECT_EQ(name, "");
  EXPECT_EQ(std::get<std::string>(pairs[1].second), "");
  EXPECT_EQ(e.open_cypher_query, "q");  // copied, not consumed

  // The consumed names make a second encoding fail.
  expect_encode_error(e, -1, "Encountered empty bind parameter name.");
}

// Checks run in a fixed order; the first failure found is the one reported.
TEST(QueryRequestEncoder, FirstFailureInCheckOrderIsReported) {
  auto path = [] { return value_t(std::make_shared<PathValue>()); };
  struct Case {
    const char* name;
    std::string query;
    double xy_resolution;
    int quantize_mode;
    std::vector<std::pair<std::string, value_t>> params;
    std::int64_t code;
    std::string message;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {"empty query first", "", 0, 7, {{"a", path()}, {"a", path()}}, -1, "Empty openCypher query."},
      {"a blank query is not empty", " ", 0, 1, {}, -998, "cannot divide 1 by 0."},
      {"zero resolution before the settings", "q", 0, 7, {{"a", path()}}, -998, "cannot divide 1 by 0."},
      {"settings before parameters", "q", 1, 7, {{"a", path()}}, -1, "Invalid argument."},
      {"an unencodable value", "q", 1, 1, {{"a", path()}, {"a", null_t{}}}, -1, "Not implemented."},
      {"a duplicate name", "q", 1, 1, {{"a", null_t{}}, {"a", path()}}, -1,
       "Encountered duplicate bind parameter names."},
      {"a geometry without input quantization", "q", nan, 1, {{"g", polyline({1, 2})}, {"g", null_t{}}}, -1,
       kNoQuantization},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GraphQueryRequestEncoder e = encoder_for(c.query);
    e.input_quantization_parameters.xy_resolution = c.xy_resolution;
    e.output_quantization_parameters.extent = Envelope{0, 1, 0, 1};
    e.output_quantization_parameters.quantize_mode = static_cast<ovraQuantizeMode>(c.quantize_mode);
    for (const auto& [name, value] : c.params) e.params.append_key_value(name, value);
    expect_encode_error(e, c.code, c.message);
  }
}

}  // namespace
}  // namespace lorengraph
