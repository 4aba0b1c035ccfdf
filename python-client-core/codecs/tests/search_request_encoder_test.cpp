// The search request encoder: its exact bytes, the category and relation numbers, the
// filters it consumes, the filter geometry's failures and the order of its checks.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "encoder_checks.h"
#include "objects.h"
#include "query.pb.h"
#include "search_request_encoder.h"

namespace lorengraph {
namespace {

using namespace test_encoders;
namespace pb = ovraPBuffer::graph;

GraphSearchRequestEncoder encoder_for(const std::string& query) {
  GraphSearchRequestEncoder e;
  e.search_query = query;
  return e;
}

TEST(SearchRequestEncoder, FreshEncoderWritesItsDefaultsExactly) {
  GraphSearchRequestEncoder e = encoder_for("abc");
  e.encode();
  ASSERT_NE(e.get_encoding_result(), nullptr);
  // query, category 1, empty input transform, return_geometry, feature encoding 1
  EXPECT_EQ(e.get_encoding_result()->byte_buffer.bytes,
            bytes("\x0A\x03" "abc" "\x20\x01" "\x32\x00" "\x48\x01" "\x50\x01"));
}

TEST(SearchRequestEncoder, PagingAndFlagsTravelUnchanged) {
  GraphSearchRequestEncoder e = encoder_for("abc");
  e.start_index = -3;
  e.max_num_results = 10;
  e.return_geometry = false;
  e.return_search_context = true;
  e.encode();
  const std::string& wire = e.get_encoding_result()->byte_buffer.bytes;
  EXPECT_NE(wire.find(bytes("\x78\x05")), std::string::npos);          // sint32 -3
  EXPECT_NE(wire.find(bytes("\x80\x01\x14")), std::string::npos);      // max_num_results 10
  EXPECT_NE(wire.find(bytes("\x88\x01\x01")), std::string::npos);      // return_search_context
  EXPECT_EQ(wire.find(bytes("\x48")), std::string::npos);              // return_geometry false
}

TEST(SearchRequestEncoder, CategoriesAndRelationsMapToTheirWireNumbers) {
  const std::pair<ovraNamedTypeCategory, int> categories[] = {
      {ovraNamedTypeCategory::entity, 1}, {ovraNamedTypeCategory::relationship, 2}, {ovraNamedTypeCategory::both, 3}};
  for (const auto& [category, wire] : categories) {
    GraphSearchRequestEncoder e = encoder_for("q");
    e.type_category_filter = category;
    EXPECT_EQ(encode_ok<pb::GraphSearchRequest>(e).type_category_filter(), wire);
  }
  for (int relation = 0; relation <= 7; ++relation) {
    GraphSearchRequestEncoder e = encoder_for("q");
    e.spatial_filter_relation = static_cast<ovraSpatialRelation>(relation);
    EXPECT_EQ(encode_ok<pb::GraphSearchRequest>(e).spatial_filter_relation(), relation);
  }
  for (int bad : {0, 3, 5}) {
    GraphSearchRequestEncoder e = encoder_for("q");
    e.type_category_filter = static_cast<ovraNamedTypeCategory>(bad);
    expect_encode_error(e, -1, "Not implemented.");
  }
  for (int bad : {-1, 8}) {
    GraphSearchRequestEncoder e = encoder_for("q");
    e.spatial_filter_relation = static_cast<ovraSpatialRelation>(bad);
    expect_encode_error(e, -1, "Not implemented.");
  }
}

TEST(SearchRequestEncoder, FiltersAreWrittenAndConsumed) {
  GraphSearchRequestEncoder e = encoder_for("q");
  EXPECT_FALSE(encode_ok<pb::GraphSearchRequest>(e).has_ids_filter());  // empty: not written

  e.named_types_filter = {"A", "", "B"};
  e.ids_filter->add_value(std::string("id-1"));
  e.ids_filter->add_value(std::string("id-2"));
  e.ids_filter->add_value(std::int64_t{3});
  const auto request = encode_ok<pb::GraphSearchRequest>(e);
  EXPECT_EQ(std::vector<std::string>(request.named_type_filter().begin(), request.named_type_filter().end()),
            (std::vector<std::string>{"A", "", "B"}));
  EXPECT_EQ(e.named_types_filter, (std::vector<std::string>{"", "", ""}));

  // Identifiers always travel one AnyValue each, never as a typed array.
  ASSERT_EQ(request.ids_filter().values_case(), pb::ArrayValue::kAnyValues);
  const auto& ids = request.ids_filter().any_values().value();
  ASSERT_EQ(ids.size(), 3);
  EXPECT_EQ(ids[0].primitive_value().string_value(), "id-1");
  EXPECT_EQ(ids[2].primitive_value().int_value(), 3);
  EXPECT_EQ(std::get<std::string>(e.ids_filter->values[0]), "");
  EXPECT_EQ(std::get<std::string>(e.ids_filter->values[1]), "");

  GraphSearchRequestEncoder strings_only = encoder_for("q");
  strings_only.ids_filter->add_value(std::string("x"));
  strings_only.ids_filter->add_value(std::string("y"));
  EXPECT_EQ(encode_ok<pb::GraphSearchRequest>(strings_only).ids_filter().any_values().value_size(), 2);
}

TEST(SearchRequestEncoder, InputSpatialReferenceFollowsTheWkidOrWktRule) {
  GraphSearchRequestEncoder e = encoder_for("q");
  e.input_spatial_reference = SpatialReference{0, 4326, 0, 0, ""};
  EXPECT_FALSE(encode_ok<pb::GraphSearchRequest>(e).has_input_spatial_reference());
  e.input_spatial_reference = SpatialReference{-1, 0, 0, 0, "GEOGCS[]"};
  EXPECT_EQ(encode_ok<pb::GraphSearchRequest>(e).input_spatial_reference().SerializeAsString(),
            wire_spatial_reference(0, "GEOGCS[]").SerializeAsString());
  e.input_spatial_reference = SpatialReference::WGS84();
  EXPECT_EQ(encode_ok<pb::GraphSearchRequest>(e).input_spatial_reference().wkid(), 4326u);
}

TEST(SearchRequestEncoder, FilterGeometryIsQuantizedInPlace) {
  GraphSearchRequestEncoder e = encoder_for("q");
  e.input_quantization_parameters.xy_resolution = 1;
  auto line = polyline({0.4, 0.6, 1.6, 2.5});
  e.spatial_filter_geometry = line;
  const auto request = encode_ok<pb::GraphSearchRequest>(e);
  EXPECT_EQ(line->coords, (std::vector<double>{0, 1, 2, 1}));
  EXPECT_EQ(request.spatial_filter_geometry().geometry_type(), ovraPBuffer::OvraTypes::ovraGeometryTypePolyline);
  EXPECT_EQ(request.spatial_filter_geometry().default_geometry().coords_size(), 4);
}

TEST(SearchRequestEncoder, FilterGeometryFailures) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  auto typed = [](ovraGeometryType type) {
    auto g = polyline({1, 2});
    g->geometry_type = type;
    return g;
  };
  auto bad_parts = polyline({1, 2});
  bad_parts->lengths = {2};
  struct Case {
    const char* name;
    double xy_resolution;
    std::shared_ptr<geometry_t> geometry;
    std::string message;
  };
  const Case cases[] = {
      {"no input quantization", nan, polyline({1, 2}), "Invalid spatial filter geometry provided."},
      {"no input quantization, null type", nan, typed(ovraGeometryNull), "Invalid spatial filter geometry provided."},
      {"multipatch", 1, typed(ovraGeometryMultiPatch), "Invalid spatial filter geometry provided."},
      {"null type", 1, typed(ovraGeometryNull), "unsupported geometry type"},
      {"any type", 1, typed(ovraGeometryAny), "unsupported geometry type"},
      {"unnumbered type", 1, typed(static_cast<ovraGeometryType>(6)), "unsupported geometry type"},
      {"parts that do not fit", 1, bad_parts, "Invalid geometry."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GraphSearchRequestEncoder e = encoder_for("q");
    e.input_quantization_parameters.xy_resolution = c.xy_resolution;
    e.spatial_filter_geometry = c.geometry;
    expect_encode_error(e, -1, c.message);
  }
}

TEST(SearchRequestEncoder, FirstFailureInCheckOrderIsReported) {
  struct Case {
    const char* name;
    std::string query;
    int category, relation, quantize_mode;
    bool bad_id, geometry;
    std::string message;
  };
  const Case cases[] = {
      {"empty query first", "", 3, 8, 7, true, true, "Empty search query."},
      {"category before the geometry", "q", 3, 8, 7, false, true, "Not implemented."},
      {"identifiers before the geometry", "q", 1, 8, 7, true, true, "Not implemented."},
      {"geometry before the relation", "q", 1, 8, 7, false, true, "Invalid spatial filter geometry provided."},
      {"relation before the output quantization", "q", 1, 8, 7, false, false, "Not implemented."},
      {"output quantization last", "q", 1, 0, 7, false, false, "Invalid argument."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GraphSearchRequestEncoder e = encoder_for(c.query);
    e.type_category_filter = static_cast<ovraNamedTypeCategory>(c.category);
    e.spatial_filter_relation = static_cast<ovraSpatialRelation>(c.relation);
    e.output_quantization_parameters.extent = Envelope{0, 1, 0, 1};
    e.output_quantization_parameters.quantize_mode = static_cast<ovraQuantizeMode>(c.quantize_mode);
    if (c.bad_id) e.ids_filter->add_value(std::make_shared<PathValue>());
    if (c.geometry) e.spatial_filter_geometry = polyline({1, 2});  // no input quantization set
    expect_encode_error(e, -1, c.message);
  }
}

}  // namespace
}  // namespace lorengraph
