// value_t <-> AnyValue. Numbers go into the narrowest member that holds them exactly,
// homogeneous arrays into the narrowest typed array, geometries as quantized grid deltas.
#pragma once

#include <cstdint>
#include <memory>

#include "property_list.h"
#include "quantization.h"
#include "value.h"

namespace google::protobuf {
template <class T>
class RepeatedPtrField;
}  // namespace google::protobuf

namespace ovraPBuffer::graph {
class AnyValue;
class ArrayValue;
class KeyValuePair;
class GeometryValue;
class PrimitiveValue;
}  // namespace ovraPBuffer::graph

namespace lorengraph {

// The in-memory geometry type on the wire, and back: -1 for types the wire cannot carry;
// wire numbers outside the table read as ovraGeometryNull, wire 4 as MultiPatch.
int geometry_type_to_wire(ovraGeometryType type);
ovraGeometryType geometry_type_from_wire(int wire);

// Null elements one decoding run may create. A null array carries only its count, so a few
// bytes could otherwise ask for any amount of memory.
constexpr std::int64_t kMaxNullElements = 16777216;

// What decoding needs besides the message: the transform from grid units to coordinates, and
// the null elements still allowed. Every decode with one context draws on the same budget;
// a null array beyond it throws std::length_error.
struct DecodingContext {
  GeometryTransform output_transform;
  mutable std::int64_t null_budget = kMaxNullElements;
};

// Encoding consumes its input: strings and blobs are moved out, property lists of encoded
// objects emptied, geometry coordinates rewritten into grid deltas. Returns a status:
// 0 (1 for an empty array) on success, a negative code on failure.
std::int32_t encode_any_value(const QuantizationContext& context, value_t& value,
                              ovraPBuffer::graph::AnyValue* message);
std::int32_t encode_geometry(const QuantizationContext& context, const std::shared_ptr<geometry_t>& geometry,
                             ovraPBuffer::graph::GeometryValue* message);

// Appends one KeyValuePair per property, in order; the list is emptied once all are written.
std::int32_t encode_property_list(const QuantizationContext& context, PropertyList& properties,
                                  google::protobuf::RepeatedPtrField<ovraPBuffer::graph::KeyValuePair>* out);

// Decoding moves strings and blobs out of the message. Malformed input gives null or an
// object alternative holding no object; a geometry whose parts do not fit its coordinates
// raises std::invalid_argument("Invalid geometry.").
value_t decode_any_value(const DecodingContext& context, ovraPBuffer::graph::AnyValue& message);
value_t decode_array_value(const DecodingContext& context, ovraPBuffer::graph::ArrayValue& message);
value_t decode_primitive_value(const DecodingContext& context, ovraPBuffer::graph::PrimitiveValue& message);
value_t decode_geometry(const DecodingContext& context, const ovraPBuffer::graph::GeometryValue& message);

}  // namespace lorengraph
