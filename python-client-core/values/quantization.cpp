#include "quantization.h"

#include <cmath>
#include <stdexcept>

#include "error.h"
#include "ovra_types.pb.h"
#include "value.pb.h"

namespace lorengraph {

namespace {

constexpr const char* kDivideByZero = "cannot divide 1 by 0.";
constexpr const char* kInvalidGeometry = "Invalid geometry.";

bool has_parts(const geometry_t& g) {
  switch (g.geometry_type) {
    case ovraGeometryMultipoint:
    case ovraGeometryPolyline:
    case ovraGeometryPolygon:
      return true;
    default:
      return false;
  }
}

double inverse_checked(double resolution) {
  if (resolution == 0) throw std::domain_error(kDivideByZero);
  return recip(resolution);
}

bool is_identity_for(const geometry_t& g, const GeometryTransform& t) {
  return t.x_scale == 1 && t.y_scale == 1 && t.xy_coefficient == 0 && t.yx_coefficient == 0 &&
         t.x_translate == 0 && t.y_translate == 0 &&
         (!g.has_z || (t.z_scale == 1 && t.z_translate == 0)) &&
         (!g.has_m || (t.m_scale == 1 && t.m_translate == 0));
}

// Doubles in [-2^63, 2^63) convert to a signed 64-bit integer.
constexpr double kInt64Limit = 9223372036854775808.0;  // 2^63

}  // namespace

bool Envelope::empty() const {
  return std::isnan(xmin) || std::isnan(xmax) || std::isnan(ymin) || std::isnan(ymax);
}

InputQuantizationParameters InputQuantizationParameters::WGS84_lossless() {
  InputQuantizationParameters p;
  p.xy_resolution = 1e-9;
  return p;
}

double recip(double a) {
  if (std::fabs(a) >= 1) return 1 / a;
  // Scaling by a power of ten first makes 1/0.0001 exactly 10000.
  const double p = std::pow(10.0, std::ceil(std::log10(std::fabs(1 / a))));
  return p / (a * p);
}

void build_quantization_context(QuantizationContext& context, const SpatialReference& sr,
                                const InputQuantizationParameters& input, const Envelope& envelope) {
  context.spatial_reference = sr;
  if (!std::isfinite(input.xy_resolution)) return;

  double origin_x = input.x_false_origin;
  double origin_y = input.y_false_origin;
  if (!envelope.empty()) {
    origin_x = (envelope.xmax - envelope.xmin) * 0.5 + envelope.xmin;
    origin_y = (envelope.ymax - envelope.ymin) * 0.5 + envelope.ymin;
  }
  const double s = inverse_checked(input.xy_resolution);
  const double sz = inverse_checked(input.z_resolution);
  const double sm = inverse_checked(input.m_resolution);

  GeometryTransform& t = context.transform;
  t.x_scale = s;
  t.xy_coefficient = 0;
  t.x_translate = -origin_x * s;
  t.yx_coefficient = 0;
  t.y_scale = s;
  t.y_translate = -origin_y * s;
  t.z_translate = -input.z_false_origin * sz;
  t.z_scale = sz;
  t.m_translate = -input.m_false_origin * sm;
  t.m_scale = sm;
  context.is_set = true;
}

std::int32_t write_input_transform(const QuantizationContext& context,
                                   ovraPBuffer::graph::Transform* message) {
  if (message == nullptr) return KG_E_NULL;
  if (!context.is_set) return 1;
  const GeometryTransform& t = context.transform;
  if (!(t.xy_coefficient == 0 && t.yx_coefficient == 0)) {  // NaN counts as non-zero
    throw std::logic_error("quantization should not be using XY or YX coefficients.");
  }
  for (const double scale : {t.x_scale, t.y_scale, t.z_scale, t.m_scale}) {
    if (scale == 0) throw std::domain_error(kDivideByZero);
  }
  auto* scale = message->mutable_scale();
  scale->set_xscale(recip(t.x_scale));
  scale->set_yscale(recip(t.y_scale));
  scale->set_zscale(recip(t.z_scale));
  scale->set_mscale(recip(t.m_scale));
  auto* translate = message->mutable_translate();
  translate->set_xtranslate(-t.x_translate * scale->xscale());
  translate->set_ytranslate(-t.y_translate * scale->yscale());
  translate->set_ztranslate(-t.z_translate * scale->zscale());
  translate->set_mtranslate(-t.m_translate * scale->mscale());
  return KG_OK;
}

std::int32_t write_output_quantization(const QuantizationContext& context,
                                       const OutputQuantizationParameters& output,
                                       ovraPBuffer::graph::QuantizationParameters* message) {
  if (message == nullptr) return KG_E_INVALIDARG;
  const auto mode = static_cast<std::int32_t>(output.quantize_mode);
  if (mode != 0 && mode != 1) return KG_E_INVALIDARG;
  // The mode is checked but not sent: the wire always carries view (0).
  message->set_quantize_mode(ovraPBuffer::graph::view);
  message->set_tolerance(output.tolerance);
  auto* extent = message->mutable_extent();
  if (output.extent.empty()) return KG_E_INVALIDARG;
  if (context.spatial_reference.is_set()) {
    write_spatial_reference(context.spatial_reference, extent->mutable_spatialreference());
  }
  extent->set_xmin(output.extent.xmin);
  extent->set_xmax(output.extent.xmax);
  extent->set_ymin(output.extent.ymin);
  extent->set_ymax(output.extent.ymax);
  return KG_OK;
}

std::int32_t write_datum_transformation(const DatumTransformation& datum,
                                        ovraPBuffer::OvraTypes_DatumTransformation* message) {
  if (message == nullptr) return KG_E_FAIL;
  message->set_wkid(static_cast<std::uint32_t>(datum.wkid));
  message->set_wkt(datum.wkt);
  message->set_transformdirection(datum.transform_direction);
  message->set_transformjson(datum.transform_json);
  // Both ends are always written, if need be as empty messages.
  write_spatial_reference(datum.from_spatial_reference, message->mutable_fromspatialreference());
  write_spatial_reference(datum.to_spatial_reference, message->mutable_tospatialreference());
  return KG_OK;
}

void read_output_transform(const ovraPBuffer::graph::Transform& message, GeometryTransform& t) {
  if (message.has_scale()) {
    const auto& s = message.scale();
    t.x_scale = s.xscale();
    t.y_scale = s.yscale();
    t.z_scale = s.zscale();
    t.m_scale = s.mscale();
  }
  if (message.has_translate()) {
    const auto& tr = message.translate();
    t.x_translate = tr.xtranslate();
    t.y_translate = tr.ytranslate();
    t.z_translate = tr.ztranslate();
    t.m_translate = tr.mtranslate();
  }
}

void apply_transform(geometry_t& g, const GeometryTransform& t) {
  if (is_identity_for(g, t)) return;
  const std::size_t width = point_width(g);
  const std::size_t end = g.coords.size() / width * width;  // trailing partial point untouched
  const std::size_t m_index = 2u + g.has_z;
  double* c = g.coords.data();
  for (std::size_t i = 0; i < end; i += width) {
    c[i] = c[i] * t.x_scale + t.x_translate;
    c[i + 1] = c[i + 1] * t.y_scale + t.y_translate;
    if (g.has_z) c[i + 2] = c[i + 2] * t.z_scale + t.z_translate;
    if (g.has_m) c[i + m_index] = c[i + m_index] * t.m_scale + t.m_translate;
  }
}

void quantize_coordinates(geometry_t& g, const QuantizationContext& context) {
  apply_transform(g, context.transform);
  std::vector<double>& c = g.coords;
  const std::size_t width = point_width(g);

  if (has_parts(g)) {
    for_each_part(g, [&](std::size_t first, std::size_t points) {
      double previous_x = 0, previous_y = 0;  // the first point is kept absolute
      for (std::size_t i = first; i < first + points * width; i += width) {
        const double x = std::nearbyint(c[i]);  // ties to even
        const double y = std::nearbyint(c[i + 1]);
        c[i] = x - previous_x;
        c[i + 1] = y - previous_y;
        previous_x = x;
        previous_y = y;
      }
    });
  } else if (g.geometry_type == ovraGeometryPoint) {
    for (std::size_t i = 0; i < width && i < c.size(); ++i) c[i] = std::nearbyint(c[i]);
  }

  // Whole grid units; z and m of multi-part geometries and envelopes are truncated here.
  // A value that no 64-bit integer holds (NaN, or beyond the range) cannot be sent.
  for (double& v : c) {
    if (!(v >= -kInt64Limit && v < kInt64Limit)) throw std::invalid_argument(kInvalidGeometry);
    v = static_cast<double>(static_cast<std::int64_t>(v));
  }
}

void restore_coordinates(geometry_t& g, const GeometryTransform& output_transform) {
  if (g.geometry_type == ovraGeometryNull) return;
  switch (g.geometry_type) {
    case ovraGeometryMultipoint:
    case ovraGeometryPolyline:
    case ovraGeometryPolygon:
    case ovraGeometryEnvelope:
    case ovraGeometryMultiPatch: {
      std::vector<double>& c = g.coords;
      const std::size_t width = point_width(g);
      for_each_part(g, [&](std::size_t first, std::size_t points) {
        for (std::size_t i = first + width; i < first + points * width; i += width) {
          c[i] += c[i - width];
          c[i + 1] += c[i + 1 - width];
        }
      });
      break;
    }
    default:
      break;
  }
  apply_transform(g, output_transform);
}

}  // namespace lorengraph
