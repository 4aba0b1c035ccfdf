#include "quantization.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "error.h"
#include "ovra_types.pb.h"
#include "test_support.h"
#include "value.pb.h"

namespace lorengraph {
namespace {

using testing::expect_failure;
using testing::make_geometry;
using testing::unit_context;
namespace pb = ovraPBuffer::graph;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
const std::string kDivideByZero = "cannot divide 1 by 0.";
const std::string kCoefficients = "quantization should not be using XY or YX coefficients.";
const std::string kInvalidGeometry = "Invalid geometry.";

// ---- recip ------------------------------------------------------------------------------------

TEST(Recip, DecimalResolutionsInvertToExactPowersOfTen) {
  EXPECT_EQ(recip(0.0001), 10000.0);
  EXPECT_EQ(recip(1e-9), 1000000000.0);
  EXPECT_EQ(recip(0.00001), 100000.0);
  EXPECT_EQ(recip(0.001), 1000.0);
  EXPECT_EQ(recip(-0.0001), -10000.0);
  EXPECT_EQ(recip(0.5), 2.0);
  EXPECT_DOUBLE_EQ(recip(0.3), 1 / 0.3);
}

TEST(Recip, MagnitudesOfOneAndMoreArePlainDivision) {
  for (const double a : {1.0, -1.0, 2.0, 3.0, 10000.0, 1e9, -7.5, 1e300}) {
    EXPECT_EQ(recip(a), 1 / a) << a;
  }
  EXPECT_EQ(recip(10000.0), 0.0001);  // the way back from a scale to a resolution
  EXPECT_EQ(recip(1e9), 1e-9);
}

// ---- building the context ---------------------------------------------------------------------

TEST(BuildQuantizationContext, NonFiniteResolutionLeavesItUnsetButCopiesTheReference) {
  for (const double resolution : {kNaN, kInf, -kInf}) {
    InputQuantizationParameters input;
    input.xy_resolution = resolution;
    QuantizationContext context;
    build_quantization_context(context, SpatialReference::WGS84(), input, Envelope{});
    EXPECT_FALSE(context.is_set) << resolution;
    EXPECT_EQ(context.spatial_reference.wkid, 4326);
    EXPECT_EQ(context.transform.x_scale, 1);
    EXPECT_EQ(context.transform.x_translate, 0);
  }
  QuantizationContext context;
  build_quantization_context(context, SpatialReference{}, InputQuantizationParameters{}, Envelope{});
  EXPECT_FALSE(context.is_set);
}

TEST(BuildQuantizationContext, ZeroResolutionOnAnyAxisCannotBeInverted) {
  for (int axis = 0; axis < 3; ++axis) {
    InputQuantizationParameters input;
    input.xy_resolution = 0.001;
    (axis == 0 ? input.xy_resolution : axis == 1 ? input.z_resolution : input.m_resolution) = 0;
    QuantizationContext context;
    expect_failure<std::domain_error>(
        [&] { build_quantization_context(context, SpatialReference{}, input, Envelope{}); }, kDivideByZero);
    EXPECT_FALSE(context.is_set) << axis;
  }
}

TEST(BuildQuantizationContext, FalseOriginsBecomeTranslationsInGridUnits) {
  InputQuantizationParameters input;
  input.xy_resolution = 0.5;
  input.x_false_origin = 10;
  input.y_false_origin = -4;
  input.z_resolution = 0.25;
  input.z_false_origin = 3;
  input.m_resolution = 2;
  input.m_false_origin = 1;
  QuantizationContext context;
  build_quantization_context(context, SpatialReference{}, input, Envelope{});
  ASSERT_TRUE(context.is_set);
  const GeometryTransform& t = context.transform;
  EXPECT_EQ(t.x_scale, 2);
  EXPECT_EQ(t.y_scale, 2);  // y is not mirrored
  EXPECT_EQ(t.x_translate, -20);
  EXPECT_EQ(t.y_translate, 8);
  EXPECT_EQ(t.z_scale, 4);
  EXPECT_EQ(t.z_translate, -12);
  EXPECT_EQ(t.m_scale, 0.5);
  EXPECT_EQ(t.m_translate, -0.5);
  EXPECT_EQ(t.xy_coefficient, 0);
  EXPECT_EQ(t.yx_coefficient, 0);
}

TEST(BuildQuantizationContext, ASetEnvelopeCentreReplacesTheFalseOrigins) {
  InputQuantizationParameters input;
  input.xy_resolution = 1;
  input.x_false_origin = 1000;
  input.y_false_origin = 1000;

  QuantizationContext centred;
  build_quantization_context(centred, SpatialReference{}, input, Envelope{2, 10, 20, 40});
  EXPECT_EQ(centred.transform.x_translate, -6);
  EXPECT_EQ(centred.transform.y_translate, -30);

  Envelope partial{2, 10, 20, kNaN};  // one NaN: not set
  QuantizationContext by_origin;
  build_quantization_context(by_origin, SpatialReference{}, input, partial);
  EXPECT_TRUE(partial.empty());
  EXPECT_EQ(by_origin.transform.x_translate, -1000);
  EXPECT_EQ(by_origin.transform.y_translate, -1000);
}

TEST(BuildQuantizationContext, Wgs84LosslessUsesNanodegrees) {
  const InputQuantizationParameters input = InputQuantizationParameters::WGS84_lossless();
  EXPECT_EQ(input.xy_resolution, 1e-9);
  QuantizationContext context;
  build_quantization_context(context, SpatialReference::WGS84(), input, Envelope{});
  ASSERT_TRUE(context.is_set);
  EXPECT_EQ(context.transform.x_scale, 1000000000.0);
  EXPECT_EQ(context.transform.y_scale, 1000000000.0);
  EXPECT_EQ(context.transform.z_scale, 100000.0);
  EXPECT_EQ(context.transform.m_scale, 100000.0);
}

// ---- writing the input transform --------------------------------------------------------------

TEST(WriteInputTransform, ScaleIsTheResolutionAndTranslateTheOrigin) {
  InputQuantizationParameters input;
  input.xy_resolution = 0.0001;
  input.x_false_origin = -180;
  input.y_false_origin = 90;
  input.z_false_origin = 2;
  QuantizationContext context;
  build_quantization_context(context, SpatialReference{}, input, Envelope{});

  pb::Transform message;
  ASSERT_EQ(write_input_transform(context, &message), KG_OK);
  ASSERT_TRUE(message.has_scale());
  ASSERT_TRUE(message.has_translate());
  EXPECT_EQ(message.scale().xscale(), 0.0001);  // exact, not merely close
  EXPECT_EQ(message.scale().yscale(), 0.0001);
  EXPECT_EQ(message.scale().zscale(), 0.00001);
  EXPECT_EQ(message.scale().mscale(), 0.00001);
  EXPECT_DOUBLE_EQ(message.translate().xtranslate(), -180);
  EXPECT_DOUBLE_EQ(message.translate().ytranslate(), 90);
  EXPECT_DOUBLE_EQ(message.translate().ztranslate(), 2);
  EXPECT_EQ(message.translate().mtranslate(), 0);
}

TEST(WriteInputTransform, NoMessageOrUnsetContextWritesNothing) {
  EXPECT_EQ(write_input_transform(unit_context(), nullptr), KG_E_NULL);

  pb::Transform message;
  message.mutable_scale()->set_xscale(7);
  const std::string before = message.SerializeAsString();
  EXPECT_EQ(write_input_transform(QuantizationContext{}, &message), 1);
  EXPECT_EQ(message.SerializeAsString(), before);
}

TEST(WriteInputTransform, CoefficientsOtherThanExactZeroAreRefused) {
  for (const double c : {0.5, kNaN, -1e-300}) {
    for (const bool xy : {true, false}) {
      QuantizationContext context = unit_context();
      (xy ? context.transform.xy_coefficient : context.transform.yx_coefficient) = c;
      context.transform.x_scale = 0;  // the coefficients are checked first
      pb::Transform message;
      expect_failure<std::logic_error>([&] { write_input_transform(context, &message); }, kCoefficients);
    }
  }
}

TEST(WriteInputTransform, ZeroScaleOnAnyAxisCannotBeInverted) {
  for (int axis = 0; axis < 4; ++axis) {
    QuantizationContext context = unit_context();
    GeometryTransform& t = context.transform;
    (axis == 0 ? t.x_scale : axis == 1 ? t.y_scale : axis == 2 ? t.z_scale : t.m_scale) = 0;
    pb::Transform message;
    expect_failure<std::domain_error>([&] { write_input_transform(context, &message); }, kDivideByZero);
  }
}

// ---- writing the output quantization ----------------------------------------------------------

OutputQuantizationParameters output_with_extent() {
  OutputQuantizationParameters output;
  output.extent = Envelope{-10, 20, -30, 40};
  return output;
}

TEST(WriteOutputQuantization, EditModeAndZeroToleranceLeaveOnlyTheExtentOnTheWire) {
  const OutputQuantizationParameters output = output_with_extent();
  ASSERT_EQ(output.quantize_mode, ovraQuantizeMode::edit);
  pb::QuantizationParameters message;
  ASSERT_EQ(write_output_quantization(QuantizationContext{}, output, &message), KG_OK);
  EXPECT_EQ(message.quantize_mode(), pb::view);
  EXPECT_FALSE(message.extent().has_spatialreference());

  pb::QuantizationParameters expected;
  auto* extent = expected.mutable_extent();
  extent->set_xmin(-10);
  extent->set_xmax(20);
  extent->set_ymin(-30);
  extent->set_ymax(40);
  EXPECT_EQ(message.SerializeAsString(), expected.SerializeAsString());

  OutputQuantizationParameters tolerant = output_with_extent();
  tolerant.quantize_mode = ovraQuantizeMode::view;
  tolerant.tolerance = 0.25;
  pb::QuantizationParameters with_tolerance;
  ASSERT_EQ(write_output_quantization(QuantizationContext{}, tolerant, &with_tolerance), KG_OK);
  EXPECT_EQ(with_tolerance.tolerance(), 0.25);
}

TEST(WriteOutputQuantization, RefusesMissingMessageUnknownModeAndNaNExtent) {
  const QuantizationContext context;
  EXPECT_EQ(write_output_quantization(context, output_with_extent(), nullptr), KG_E_INVALIDARG);

  OutputQuantizationParameters bad_mode = output_with_extent();
  bad_mode.quantize_mode = static_cast<ovraQuantizeMode>(2);
  pb::QuantizationParameters untouched;
  EXPECT_EQ(write_output_quantization(context, bad_mode, &untouched), KG_E_INVALIDARG);
  EXPECT_EQ(untouched.ByteSizeLong(), 0u);

  for (int field = 0; field < 4; ++field) {
    OutputQuantizationParameters output = output_with_extent();
    Envelope& e = output.extent;
    (field == 0 ? e.xmin : field == 1 ? e.xmax : field == 2 ? e.ymin : e.ymax) = kNaN;
    pb::QuantizationParameters message;
    EXPECT_EQ(write_output_quantization(context, output, &message), KG_E_INVALIDARG) << field;
  }
  pb::QuantizationParameters unset;
  EXPECT_EQ(write_output_quantization(context, OutputQuantizationParameters{}, &unset), KG_E_INVALIDARG);
}

TEST(WriteOutputQuantization, SpatialReferenceGoesWithTheExtentOnlyWhenSet) {
  struct Case {
    SpatialReference sr;
    bool written;
  };
  const Case cases[] = {
      {SpatialReference{0, 3857, 5703, 0, ""}, false},  // other identifiers alone do not count
      {SpatialReference{4326, -2, 5703, 0, ""}, true},
      {SpatialReference{0, 0, 0, 0, "GEOGCS[]"}, true},
  };
  for (const Case& c : cases) {
    QuantizationContext context;
    context.spatial_reference = c.sr;
    pb::QuantizationParameters message;
    ASSERT_EQ(write_output_quantization(context, output_with_extent(), &message), KG_OK);
    ASSERT_EQ(message.extent().has_spatialreference(), c.written) << c.sr.wkid << c.sr.wkt;
    if (!c.written) continue;
    const auto& sr = message.extent().spatialreference();
    EXPECT_EQ(sr.wkid(), static_cast<std::uint32_t>(c.sr.wkid));
    EXPECT_EQ(sr.latestwkid(), 0u);  // negative identifiers are left at 0
    EXPECT_EQ(sr.vcswkid(), static_cast<std::uint32_t>(c.sr.vcsWkid));
    EXPECT_EQ(sr.wkt(), c.sr.wkt);
  }
}

// ---- datum transformation ---------------------------------------------------------------------

TEST(WriteDatumTransformation, WkidOnlyStillWritesBothEmptyReferences) {
  DatumTransformation datum;
  datum.wkid = 1188;
  ovraPBuffer::OvraTypes_DatumTransformation message;
  ASSERT_EQ(write_datum_transformation(datum, &message), KG_OK);
  // wkid 1188 = 0x4A4 as a varint after tag 0x08, then fields 5 and 6 as empty messages.
  EXPECT_EQ(message.SerializeAsString(), std::string("\x08\xA4\x09\x2A\x00\x32\x00", 7));

  EXPECT_EQ(write_datum_transformation(datum, nullptr), KG_E_FAIL);
}

TEST(WriteDatumTransformation, CopiesEveryField) {
  DatumTransformation datum;
  datum.wkid = -1;
  datum.wkt = "GEOGTRAN[]";
  datum.transform_direction = "forward";
  datum.transform_json = "{\"steps\":[]}";
  datum.from_spatial_reference = SpatialReference{4326, 4326, -3, 0, ""};
  datum.to_spatial_reference = SpatialReference{0, 0, 0, 0, "PROJCS[]"};
  ovraPBuffer::OvraTypes_DatumTransformation message;
  ASSERT_EQ(write_datum_transformation(datum, &message), KG_OK);
  EXPECT_EQ(message.wkid(), 0xFFFFFFFFu);  // the 32-bit pattern
  EXPECT_EQ(message.wkt(), "GEOGTRAN[]");
  EXPECT_EQ(message.transformdirection(), "forward");
  EXPECT_EQ(message.transformjson(), "{\"steps\":[]}");
  EXPECT_EQ(message.fromspatialreference().wkid(), 4326u);
  EXPECT_EQ(message.fromspatialreference().latestwkid(), 4326u);
  EXPECT_EQ(message.fromspatialreference().vcswkid(), 0u);
  EXPECT_EQ(message.tospatialreference().wkt(), "PROJCS[]");
  EXPECT_EQ(message.tospatialreference().wkid(), 0u);
}

// ---- reading the output transform -------------------------------------------------------------

TEST(ReadOutputTransform, TakesOnlyTheSubMessagesPresent) {
  pb::Transform scale_only;
  auto* s = scale_only.mutable_scale();
  s->set_xscale(0.5);
  s->set_yscale(0.25);
  s->set_zscale(2);
  s->set_mscale(4);
  GeometryTransform t;
  read_output_transform(scale_only, t);
  EXPECT_EQ(t.x_scale, 0.5);
  EXPECT_EQ(t.y_scale, 0.25);
  EXPECT_EQ(t.z_scale, 2);
  EXPECT_EQ(t.m_scale, 4);
  EXPECT_EQ(t.x_translate, 0);
  EXPECT_EQ(t.y_translate, 0);
  EXPECT_EQ(t.z_translate, 0);
  EXPECT_EQ(t.m_translate, 0);

  pb::Transform translate_only;
  auto* tr = translate_only.mutable_translate();
  tr->set_xtranslate(1);
  tr->set_ytranslate(2);
  tr->set_ztranslate(3);
  tr->set_mtranslate(4);
  read_output_transform(translate_only, t);
  EXPECT_EQ(t.x_scale, 0.5);  // kept from before
  EXPECT_EQ(t.x_translate, 1);
  EXPECT_EQ(t.y_translate, 2);
  EXPECT_EQ(t.z_translate, 3);
  EXPECT_EQ(t.m_translate, 4);
  EXPECT_EQ(t.xy_coefficient, 0);
  EXPECT_EQ(t.yx_coefficient, 0);

  read_output_transform(pb::Transform{}, t);
  EXPECT_EQ(t.y_scale, 0.25);
  EXPECT_EQ(t.m_translate, 4);
}

TEST(ReadOutputTransform, ScaleOnlyHeaderRestoresWithIdentityTranslations) {
  pb::Transform header;
  header.mutable_scale()->set_xscale(0.5);
  header.mutable_scale()->set_yscale(0.5);
  header.mutable_scale()->set_zscale(1);
  header.mutable_scale()->set_mscale(1);
  GeometryTransform t;
  read_output_transform(header, t);
  geometry_t g = make_geometry(ovraGeometryPolyline, {2}, {10, 20, 2, -4});
  restore_coordinates(g, t);
  EXPECT_EQ(g.coords, (std::vector<double>{5, 10, 6, 8}));
}

// ---- applying a transform ---------------------------------------------------------------------

TEST(ApplyTransform, IdentityForTheCarriedAxesChangesNothing) {
  GeometryTransform t;
  t.z_scale = 3;  // not carried by this geometry
  t.m_translate = 5;
  geometry_t g = make_geometry(ovraGeometryPolyline, {}, {-0.0, 1.5, kNaN, 2});
  apply_transform(g, t);
  EXPECT_TRUE(std::signbit(g.coords[0]));  // -0 + 0 would have been +0
  EXPECT_EQ(g.coords[1], 1.5);

  geometry_t with_z = make_geometry(ovraGeometryPoint, {}, {-0.0, 1, 2}, true);
  apply_transform(with_z, t);
  EXPECT_EQ(with_z.coords, (std::vector<double>{0, 1, 6}));
  EXPECT_FALSE(std::signbit(with_z.coords[0]));
}

TEST(ApplyTransform, ThirdValueIsZOrMAndAPartialPointIsLeftAlone) {
  GeometryTransform t;
  t.x_scale = 2;
  t.x_translate = 1;
  t.y_scale = 3;
  t.y_translate = -1;
  t.z_scale = 10;
  t.z_translate = 5;
  t.m_scale = 100;
  t.m_translate = 7;
  t.xy_coefficient = 1000;  // never applied
  t.yx_coefficient = 1000;

  struct Case {
    bool has_z, has_m;
    std::vector<double> in, out;
  };
  const Case cases[] = {
      {false, false, {1, 1, 2, 2, 9}, {3, 2, 5, 5, 9}},
      {true, false, {1, 1, 1, 9, 9}, {3, 2, 15, 9, 9}},
      {false, true, {1, 1, 1, 9, 9}, {3, 2, 107, 9, 9}},
      {true, true, {1, 1, 1, 1, 9, 9, 9}, {3, 2, 15, 107, 9, 9, 9}},
  };
  for (const Case& c : cases) {
    geometry_t g = make_geometry(ovraGeometryMultipoint, {}, c.in, c.has_z, c.has_m);
    apply_transform(g, t);
    EXPECT_EQ(g.coords, c.out) << c.has_z << c.has_m;
  }
}

// ---- quantizing -------------------------------------------------------------------------------

TEST(QuantizeCoordinates, PartsBecomeRoundedDeltasTiesToEven) {
  geometry_t g = make_geometry(ovraGeometryPolyline, {2}, {0.4, 0.6, 1.6, 2.5});
  quantize_coordinates(g, unit_context());
  EXPECT_EQ(g.coords, (std::vector<double>{0, 1, 2, 1}));
  EXPECT_EQ(g.lengths, (std::vector<std::int32_t>{2}));

  // Each part starts absolute; deltas come from rounded values, not rounded differences.
  geometry_t parts = make_geometry(ovraGeometryPolygon, {3, 1}, {0.5, 1.5, 1.4, 1.4, 2.6, -3.5, 10, 10});
  quantize_coordinates(parts, unit_context());
  EXPECT_EQ(parts.coords, (std::vector<double>{0, 2, 1, -1, 2, -5, 10, 10}));
}

TEST(QuantizeCoordinates, ContextTransformComesFirst) {
  InputQuantizationParameters input;
  input.xy_resolution = 0.5;
  input.x_false_origin = 10;
  input.y_false_origin = 20;
  QuantizationContext context;
  build_quantization_context(context, SpatialReference{}, input, Envelope{});
  geometry_t g = make_geometry(ovraGeometryMultipoint, {2}, {10.3, 20.6, 9.0, 21.0});
  quantize_coordinates(g, context);
  EXPECT_EQ(g.coords, (std::vector<double>{1, 1, -3, 1}));
}

TEST(QuantizeCoordinates, ZAndMAreTruncatedInPartsButRoundedInAPoint) {
  geometry_t line = make_geometry(ovraGeometryPolyline, {2}, {0, 0, 2.7, 0, 0, -2.7}, true);
  quantize_coordinates(line, unit_context());
  EXPECT_EQ(line.coords, (std::vector<double>{0, 0, 2, 0, 0, -2}));

  geometry_t point = make_geometry(ovraGeometryPoint, {}, {0.5, 1.5, 2.7, -2.5}, true, true);
  quantize_coordinates(point, unit_context());
  EXPECT_EQ(point.coords, (std::vector<double>{0, 2, 3, -2}));

  // A point rounds only its one point; anything after it is truncated.
  geometry_t extra = make_geometry(ovraGeometryPoint, {}, {1.7, 1.7, 1.7, 1.7});
  quantize_coordinates(extra, unit_context());
  EXPECT_EQ(extra.coords, (std::vector<double>{2, 2, 1, 1}));
}

TEST(QuantizeCoordinates, EnvelopesAndPartlessGeometriesAreTruncated) {
  // The envelope's lengths are not walked, so they need not fit.
  geometry_t envelope = make_geometry(ovraGeometryEnvelope, {9}, {-2.7, 2.7, 1.5, -0.5});
  quantize_coordinates(envelope, unit_context());
  EXPECT_EQ(envelope.coords, (std::vector<double>{-2, 2, 1, 0}));

  geometry_t no_parts = make_geometry(ovraGeometryPolyline, {}, {1.7, -1.7, 2.7, 3.9});
  quantize_coordinates(no_parts, unit_context());
  EXPECT_EQ(no_parts.coords, (std::vector<double>{1, -1, 2, 3}));
}

TEST(QuantizeCoordinates, PartsThatDoNotFitTheCoordinatesAreInvalid) {
  struct Case {
    std::vector<std::int32_t> lengths;
    std::vector<double> coords;
  };
  const Case cases[] = {
      {{2, 0}, {0, 0, 1, 1}},          // empty last part starts at the end
      {{-1}, {0, 0, 1, 1}},            // negative length
      {{3}, {0, 0, 1, 1}},             // reaches past the end
      {{1, 2}, {0, 0, 1, 1}},          // second part reaches past the end
      {{0}, {}},                       // starts at the end of nothing
      {{1, INT32_MAX}, {0, 0, 1, 1}},  // no overflow in the bounds check
  };
  for (const Case& c : cases) {
    for (const bool restoring : {false, true}) {
      geometry_t g = make_geometry(ovraGeometryPolyline, c.lengths, c.coords);
      expect_failure<std::invalid_argument>(
          [&] {
            if (restoring) {
              restore_coordinates(g, GeometryTransform{});
            } else {
              quantize_coordinates(g, unit_context());
            }
          },
          kInvalidGeometry);
    }
  }
  // An empty part inside the coordinates is fine.
  geometry_t ok = make_geometry(ovraGeometryPolyline, {0, 2}, {1, 1, 3, 4});
  quantize_coordinates(ok, unit_context());
  EXPECT_EQ(ok.coords, (std::vector<double>{1, 1, 2, 3}));
}

TEST(QuantizeCoordinates, ValuesNoGridIntegerHoldsAreInvalid) {
  for (const double bad : {kNaN, kInf, -kInf, 9223372036854775808.0, -1e19}) {
    for (const ovraGeometryType type : {ovraGeometryPoint, ovraGeometryPolyline, ovraGeometryEnvelope}) {
      geometry_t g = make_geometry(type, {2}, {0, 0, 1, bad});
      expect_failure<std::invalid_argument>([&] { quantize_coordinates(g, unit_context()); },
                                            kInvalidGeometry);
    }
  }
  // Nanodegrees of a coordinate far outside the earth overflow the grid too.
  QuantizationContext lossless;
  build_quantization_context(lossless, SpatialReference::WGS84(),
                             InputQuantizationParameters::WGS84_lossless(), Envelope{});
  geometry_t far = make_geometry(ovraGeometryPoint, {}, {1e11, 0});
  expect_failure<std::invalid_argument>([&] { quantize_coordinates(far, lossless); }, kInvalidGeometry);

  geometry_t edge = make_geometry(ovraGeometryPoint, {}, {-9223372036854775808.0, 9223372036854774784.0});
  quantize_coordinates(edge, unit_context());
  EXPECT_EQ(edge.coords[0], -9223372036854775808.0);
  EXPECT_EQ(edge.coords[1], 9223372036854774784.0);
}

// ---- restoring --------------------------------------------------------------------------------

TEST(RestoreCoordinates, RunningSumsOverXYOnlyThenTheTransform) {
  GeometryTransform t;
  t.x_scale = 2;
  t.y_scale = 2;
  t.z_scale = 10;
  t.x_translate = 100;
  geometry_t g = make_geometry(ovraGeometryPolyline, {2, 2}, {1, 1, 5, 2, 9, 7, 1, 1, 1, 2, 2, 2}, true);
  restore_coordinates(g, t);
  // First part: (1,1,z5) (3,10,z7); the second starts over: (1,1,z1) (3,3,z2).
  EXPECT_EQ(g.coords, (std::vector<double>{102, 2, 50, 106, 20, 70, 102, 2, 10, 106, 6, 20}));
}

TEST(RestoreCoordinates, WhichTypesSumTheirParts) {
  struct Case {
    ovraGeometryType type;
    std::vector<double> out;
  };
  const Case cases[] = {
      {ovraGeometryMultipoint, {1, 2, 4, 6}}, {ovraGeometryPolygon, {1, 2, 4, 6}},
      {ovraGeometryEnvelope, {1, 2, 4, 6}},   {ovraGeometryMultiPatch, {1, 2, 4, 6}},
      {ovraGeometryPoint, {1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    geometry_t g = make_geometry(c.type, {2}, {1, 2, 3, 4});
    restore_coordinates(g, GeometryTransform{});
    EXPECT_EQ(g.coords, c.out) << c.type;
  }
}

TEST(RestoreCoordinates, NullGeometryKeepsRawGridValues) {
  GeometryTransform t;
  t.x_scale = 5;
  geometry_t g = make_geometry(ovraGeometryNull, {7}, {1, 2, 3, 4});  // lengths not even checked
  restore_coordinates(g, t);
  EXPECT_EQ(g.coords, (std::vector<double>{1, 2, 3, 4}));
}

TEST(QuantizeAndRestore, RoundTripThroughTheWrittenTransform) {
  InputQuantizationParameters input;
  input.xy_resolution = 0.001;
  input.x_false_origin = -400;
  input.y_false_origin = -400;
  input.z_resolution = 0.01;
  input.z_false_origin = -100;
  input.m_resolution = 0.5;
  QuantizationContext context;
  build_quantization_context(context, SpatialReference::WGS84(), input, Envelope{});

  const std::vector<double> original = {12.3456, -45.6789, 10.126, 3.2,  //
                                        12.3401, -45.6,    -2.333, 7.9,  //
                                        -120.5,  33.75,    0.004,  0.1};
  geometry_t g = make_geometry(ovraGeometryPolygon, {2, 1}, original, true, true);
  quantize_coordinates(g, context);

  pb::Transform header;
  ASSERT_EQ(write_input_transform(context, &header), KG_OK);
  GeometryTransform back;
  read_output_transform(header, back);
  restore_coordinates(g, back);

  ASSERT_EQ(g.coords.size(), original.size());
  for (std::size_t i = 0; i < original.size(); ++i) {
    const std::size_t axis = i % 4;
    // x and y round to the grid, z and m are truncated toward the false origin.
    const double cell = axis < 2 ? 0.001 : axis == 2 ? 0.01 : 0.5;
    const double tolerance = axis < 2 ? cell / 2 + 1e-9 : cell + 1e-9;
    EXPECT_NEAR(g.coords[i], original[i], tolerance) << i;
  }
}

}  // namespace
}  // namespace lorengraph
