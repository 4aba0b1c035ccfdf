// Quantization settings and the exact arithmetic that maps coordinates onto the integer grid
// of the wire and back.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "geometry.h"
#include "spatial_reference.h"

namespace ovraPBuffer {
class OvraTypes_DatumTransformation;
namespace graph {
class QuantizationParameters;
class Transform;
}  // namespace graph
}  // namespace ovraPBuffer

namespace lorengraph {

// A rectangle; set only when none of its values is NaN.
struct Envelope {
  double xmin = std::numeric_limits<double>::quiet_NaN();
  double xmax = std::numeric_limits<double>::quiet_NaN();
  double ymin = std::numeric_limits<double>::quiet_NaN();
  double ymax = std::numeric_limits<double>::quiet_NaN();

  bool empty() const;
};

// How the client quantizes the geometries it sends. A NaN xy_resolution means none.
struct InputQuantizationParameters {
  double xy_resolution = std::numeric_limits<double>::quiet_NaN();
  double x_false_origin = 0;
  double y_false_origin = 0;
  double z_resolution = 0.00001;
  double z_false_origin = 0;
  double m_resolution = 0.00001;
  double m_false_origin = 0;

  static InputQuantizationParameters WGS84_lossless();
};

// Quantization the client asks the service to apply to result geometries.
struct OutputQuantizationParameters {
  ovraQuantizeMode quantize_mode = ovraQuantizeMode::edit;
  Envelope extent;
  double tolerance = 0;
};

struct DatumTransformation {
  std::int32_t wkid = 0;
  std::string wkt;
  std::string transform_direction;
  std::string transform_json;
  SpatialReference from_spatial_reference;
  SpatialReference to_spatial_reference;
};

// Per-axis affine transform. The two coefficients are never applied.
struct GeometryTransform {
  double x_scale = 1;
  double xy_coefficient = 0;
  double x_translate = 0;
  double yx_coefficient = 0;
  double y_scale = 1;
  double y_translate = 0;
  double z_translate = 0;
  double z_scale = 1;
  double m_translate = 0;
  double m_scale = 1;
};

// Built once per encoding run: coordinates to grid units.
struct QuantizationContext {
  bool is_set = false;
  GeometryTransform transform;
  SpatialReference spatial_reference;
};

// 1/a, computed so that decimal resolutions give exact powers of ten.
double recip(double a);

void build_quantization_context(QuantizationContext& context, const SpatialReference& sr,
                                const InputQuantizationParameters& input, const Envelope& envelope);

// 0 written, 1 nothing to write (context not set), KG_E_NULL without a message.
std::int32_t write_input_transform(const QuantizationContext& context,
                                   ovraPBuffer::graph::Transform* message);
std::int32_t write_output_quantization(const QuantizationContext& context,
                                       const OutputQuantizationParameters& output,
                                       ovraPBuffer::graph::QuantizationParameters* message);
std::int32_t write_datum_transformation(const DatumTransformation& datum,
                                        ovraPBuffer::OvraTypes_DatumTransformation* message);

// Takes the scale and translate sub-messages that are present; the rest keeps its value.
void read_output_transform(const ovraPBuffer::graph::Transform& message, GeometryTransform& transform);

// These rewrite `coords` in place.
void apply_transform(geometry_t& geometry, const GeometryTransform& transform);
void quantize_coordinates(geometry_t& geometry, const QuantizationContext& context);
void restore_coordinates(geometry_t& geometry, const GeometryTransform& output_transform);

}  // namespace lorengraph
