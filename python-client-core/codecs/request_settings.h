// Geometry settings shared by the query and search request encoders, and how they are
// written into a request.
#pragma once

#include "error.h"
#include "quantization.h"
#include "spatial_reference.h"

namespace lorengraph {

struct RequestSettings {
  InputQuantizationParameters input_quantization_parameters;
  SpatialReference output_spatial_reference;
  DatumTransformation datum_transformation;
  bool apply_vcs_projection = false;
  OutputQuantizationParameters output_quantization_parameters;
};

// The context that quantizes request geometries: no spatial reference, no extent.
inline QuantizationContext request_quantization_context(const InputQuantizationParameters& input) {
  QuantizationContext context;
  build_quantization_context(context, SpatialReference{}, input, Envelope{});
  return context;
}

inline void check_status(std::int32_t status) {
  if (status < 0) throw_status_error(status);
}

// Writes the reference through make_message() only when it is set.
template <class MakeMessage>
void write_spatial_reference_if_set(const SpatialReference& sr, MakeMessage make_message) {
  if (sr.is_set()) write_spatial_reference(sr, make_message());
}

// Output spatial reference, datum transformation, the projection flag, the output
// quantization (when its extent is set) and the input transform (always), in this order.
template <class Request>
void write_request_settings(const RequestSettings& s, const QuantizationContext& context, Request& request) {
  write_spatial_reference_if_set(s.output_spatial_reference,
                                 [&] { return request.mutable_output_spatial_reference(); });
  const DatumTransformation& datum = s.datum_transformation;
  if (datum.wkid != 0 || !datum.wkt.empty()) {
    check_status(write_datum_transformation(datum, request.mutable_datum_transformation()));
  }
  request.set_apply_vcs_projection(s.apply_vcs_projection);
  if (!s.output_quantization_parameters.extent.empty()) {
    check_status(write_output_quantization(context, s.output_quantization_parameters,
                                           request.mutable_output_quantization_parameters()));
  }
  check_status(write_input_transform(context, request.mutable_input_quantization_transform()));
}

}  // namespace lorengraph
