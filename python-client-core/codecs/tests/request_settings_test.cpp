// The geometry settings that both request encoders write the same way: output spatial
// reference, datum transformation, output quantization, the input transform, and the
// failures of building the quantization context.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "encoder_checks.h"
#include "query.pb.h"
#include "query_request_encoder.h"
#include "search_request_encoder.h"

namespace lorengraph {
namespace {

using namespace test_encoders;
namespace pb = ovraPBuffer::graph;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

template <class Encoder>
struct Traits;
template <>
struct Traits<GraphQueryRequestEncoder> {
  using Request = pb::GraphQueryRequest;
  static void set_text(GraphQueryRequestEncoder& e) { e.open_cypher_query = "MATCH (n) RETURN n"; }
};
template <>
struct Traits<GraphSearchRequestEncoder> {
  using Request = pb::GraphSearchRequest;
  static void set_text(GraphSearchRequestEncoder& e) { e.search_query = "ada"; }
};

template <class Encoder>
class RequestSettings : public ::testing::Test {
 protected:
  using Request = typename Traits<Encoder>::Request;
  RequestSettings() { Traits<Encoder>::set_text(encoder); }
  Request encoded() { return encode_ok<Request>(encoder); }
  Encoder encoder;
};

using Encoders = ::testing::Types<GraphQueryRequestEncoder, GraphSearchRequestEncoder>;
TYPED_TEST_SUITE(RequestSettings, Encoders);

TYPED_TEST(RequestSettings, DefaultsWriteOnlyAnEmptyInputTransform) {
  const auto request = this->encoded();
  EXPECT_FALSE(request.has_output_spatial_reference());
  EXPECT_FALSE(request.has_datum_transformation());
  EXPECT_FALSE(request.has_output_quantization_parameters());
  EXPECT_FALSE(request.apply_vcs_projection());
  ASSERT_TRUE(request.has_input_quantization_transform());
  EXPECT_EQ(request.input_quantization_transform().ByteSizeLong(), 0u);
  EXPECT_EQ(request.feature_encoding(), ovraPBuffer::OvraTypes::ovraDefault);
}

TYPED_TEST(RequestSettings, OutputSpatialReferenceOnlyWhenWkidOrWktIsSet) {
  struct Case {
    SpatialReference sr;
    bool present;
    std::uint32_t wkid, latest, vcs, latest_vcs;
    std::string wkt;
  };
  const Case cases[] = {
      {{4326, 0, 0, 0, ""}, true, 4326, 0, 0, 0, ""},
      {{0, 0, 0, 0, ""}, false, 0, 0, 0, 0, ""},
      {{0, 4326, 5703, 5703, ""}, false, 0, 0, 0, 0, ""},  // only wkid and wkt count
      {{-1, 0, 0, 0, "PROJCS[]"}, true, 0, 0, 0, 0, "PROJCS[]"},
      {{3857, -2, 5703, 115700, ""}, true, 3857, 0, 5703, 115700, ""},  // negatives left out
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sr.wkid);
    this->encoder.output_spatial_reference = c.sr;
    const auto request = this->encoded();
    ASSERT_EQ(request.has_output_spatial_reference(), c.present);
    const auto& sr = request.output_spatial_reference();
    EXPECT_EQ(sr.wkid(), c.wkid);
    EXPECT_EQ(sr.latestwkid(), c.latest);
    EXPECT_EQ(sr.vcswkid(), c.vcs);
    EXPECT_EQ(sr.latestvcswkid(), c.latest_vcs);
    EXPECT_EQ(sr.wkt(), c.wkt);
  }
}

TYPED_TEST(RequestSettings, DatumTransformationOnlyWhenWkidOrWktIsSet) {
  DatumTransformation& datum = this->encoder.datum_transformation;
  datum.transform_direction = "forward";  // alone it does not make the message present
  EXPECT_FALSE(this->encoded().has_datum_transformation());

  datum.wkid = 1188;
  auto request = this->encoded();
  ASSERT_TRUE(request.has_datum_transformation());
  const std::string wire = request.datum_transformation().SerializeAsString();
  EXPECT_EQ(wire.substr(wire.size() - 4), bytes("\x2A\x00\x32\x00"));  // both ends, empty
  EXPECT_EQ(request.datum_transformation().transformdirection(), "forward");

  datum.wkid = -5;  // the 32-bit pattern travels in the unsigned field
  datum.from_spatial_reference = SpatialReference::WGS84();
  datum.to_spatial_reference = SpatialReference{-1, 0, 0, 0, "GEOGCS[]"};
  datum.transform_json = "{}";
  request = this->encoded();
  const auto& d = request.datum_transformation();
  EXPECT_EQ(d.wkid(), 4294967291u);
  EXPECT_EQ(d.transformjson(), "{}");
  EXPECT_EQ(d.fromspatialreference().SerializeAsString(), wire_spatial_reference(4326).SerializeAsString());
  EXPECT_EQ(d.tospatialreference().SerializeAsString(), wire_spatial_reference(0, "GEOGCS[]").SerializeAsString());

  datum = DatumTransformation{};
  datum.wkt = "GEOGTRAN[]";
  EXPECT_EQ(this->encoded().datum_transformation().wkt(), "GEOGTRAN[]");
}

TYPED_TEST(RequestSettings, OutputQuantizationOnlyWithACompleteExtent) {
  OutputQuantizationParameters& out = this->encoder.output_quantization_parameters;
  out.extent = Envelope{-10, 10, -5, kNaN};
  EXPECT_FALSE(this->encoded().has_output_quantization_parameters());

  out.extent.ymax = 5;
  auto request = this->encoded();
  ASSERT_TRUE(request.has_output_quantization_parameters());
  const auto& q = request.output_quantization_parameters();
  EXPECT_EQ(q.quantize_mode(), pb::view);  // the mode is checked, never sent
  EXPECT_EQ(q.tolerance(), 0);
  EXPECT_FALSE(q.extent().has_spatialreference());
  EXPECT_EQ(q.extent().xmin(), -10);
  EXPECT_EQ(q.extent().xmax(), 10);
  EXPECT_EQ(q.extent().ymin(), -5);
  EXPECT_EQ(q.extent().ymax(), 5);

  out.tolerance = 0.25;
  out.quantize_mode = ovraQuantizeMode::view;
  EXPECT_EQ(this->encoded().output_quantization_parameters().tolerance(), 0.25);

  out.quantize_mode = static_cast<ovraQuantizeMode>(7);
  expect_encode_error(this->encoder, -1, "Invalid argument.");
  out.extent.xmin = kNaN;  // not written, so the mode is not checked either
  this->encoded();
}

TYPED_TEST(RequestSettings, InputTransformCarriesResolutionAndOrigin) {
  InputQuantizationParameters& in = this->encoder.input_quantization_parameters;
  in.xy_resolution = 0.0001;
  in.x_false_origin = -180;
  in.y_false_origin = -90;
  in.z_resolution = 0.001;
  in.z_false_origin = -100;
  const auto t = this->encoded().input_quantization_transform();
  EXPECT_EQ(t.scale().xscale(), 0.0001);  // exact: no 1/(1/r) drift
  EXPECT_EQ(t.scale().yscale(), 0.0001);
  EXPECT_EQ(t.scale().zscale(), 0.001);
  EXPECT_EQ(t.scale().mscale(), 0.00001);
  EXPECT_DOUBLE_EQ(t.translate().xtranslate(), -180);
  EXPECT_DOUBLE_EQ(t.translate().ytranslate(), -90);
  EXPECT_DOUBLE_EQ(t.translate().ztranslate(), -100);
  EXPECT_EQ(t.translate().mtranslate(), 0);

  in.xy_resolution = std::numeric_limits<double>::infinity();  // no input quantization
  EXPECT_EQ(this->encoded().input_quantization_transform().ByteSizeLong(), 0u);
}

TYPED_TEST(RequestSettings, ZeroResolutionsFailAsDomainErrors) {
  InputQuantizationParameters& in = this->encoder.input_quantization_parameters;
  in.z_resolution = 0;  // irrelevant while the XY resolution is NaN
  this->encoded();
  for (double* zero : {&in.xy_resolution, &in.z_resolution, &in.m_resolution}) {
    in = InputQuantizationParameters::WGS84_lossless();
    *zero = 0;
    expect_encode_error(this->encoder, -998, "cannot divide 1 by 0.");
  }
}

TYPED_TEST(RequestSettings, FlagAndSettingsObjectsStayAsTheyWere) {
  this->encoder.apply_vcs_projection = true;
  this->encoder.output_spatial_reference = SpatialReference::WGS84();
  this->encoder.input_quantization_parameters = InputQuantizationParameters::WGS84_lossless();
  EXPECT_TRUE(this->encoded().apply_vcs_projection());
  EXPECT_EQ(this->encoder.output_spatial_reference.wkid, 4326);
  EXPECT_EQ(this->encoder.input_quantization_parameters.xy_resolution, 1e-9);
}

TYPED_TEST(RequestSettings, ResultIsAbsentBeforeEncodingAndResetByEachEncode) {
  EXPECT_EQ(this->encoder.get_encoding_result(), nullptr);
  this->encoded();
  const EncodingResult* first = this->encoder.get_encoding_result();
  this->encoder.input_quantization_parameters.xy_resolution = 0;
  expect_encode_error(this->encoder, -998, "cannot divide 1 by 0.");
  EXPECT_EQ(this->encoder.get_encoding_result(), first);  // the same stored result, rewritten
  this->encoder.input_quantization_parameters.xy_resolution = 1;
  this->encoded();
}

}  // namespace
}  // namespace lorengraph
