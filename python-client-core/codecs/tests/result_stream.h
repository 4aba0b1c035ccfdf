// Test helpers that write query result streams the way the service does: wire messages
// behind varint length prefixes, frames optionally gzip or zlib compressed with zlib itself,
// and a printable description of decoded values to compare rows with.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "geometry.h"
#include "objects.h"
#include "query.pb.h"
#include "value.h"
#include "value.pb.h"

namespace lorengraph::test_streams {

namespace pb = ovraPBuffer::graph;

inline std::string varint(std::uint64_t value) {
  std::string out;
  while (value >= 0x80) {
    out.push_back(static_cast<char>((value & 0x7F) | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<char>(value));
  return out;
}

// The message's bytes behind their length prefix.
inline std::string framed(std::string_view bytes) { return varint(bytes.size()) + std::string(bytes); }
inline std::string framed(const google::protobuf::MessageLite& message) {
  return framed(message.SerializeAsString());
}

enum class Compression { none, gzip, zlib };

// Compresses with zlib's own deflate: window bits 15 write a zlib stream, 15 + 16 a gzip one.
inline std::string compress(std::string_view in, Compression kind, int level = Z_DEFAULT_COMPRESSION) {
  if (kind == Compression::none) return std::string(in);
  z_stream z{};
  const int window_bits = kind == Compression::gzip ? 15 + 16 : 15;
  if (deflateInit2(&z, level, Z_DEFLATED, window_bits, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::string out(deflateBound(&z, static_cast<uLong>(in.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (status != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
  return out;
}

// A header naming `columns`, with a transform holding `scale` (all four axes) and, when
// `with_translate`, the given translations.
inline pb::GraphQueryResultHeader header(const std::vector<std::string>& columns, double scale = 1,
                                         double x_translate = 0, double y_translate = 0,
                                         bool compressed = false) {
  pb::GraphQueryResultHeader h;
  auto* s = h.mutable_transform()->mutable_scale();
  s->set_xscale(scale);
  s->set_yscale(scale);
  s->set_zscale(scale);
  s->set_mscale(scale);
  auto* t = h.mutable_transform()->mutable_translate();
  t->set_xtranslate(x_translate);
  t->set_ytranslate(y_translate);
  for (const std::string& c : columns) h.add_field_names(c);
  h.set_frames_compressed(compressed);
  return h;
}

inline pb::AnyValue int_cell(std::int64_t v) {
  pb::AnyValue a;
  a.mutable_primitive_value()->set_int_value(v);
  return a;
}
inline pb::AnyValue double_cell(double v) {
  pb::AnyValue a;
  a.mutable_primitive_value()->set_double_value(v);
  return a;
}
inline pb::AnyValue string_cell(const std::string& v) {
  pb::AnyValue a;
  a.mutable_primitive_value()->set_string_value(v);
  return a;
}
inline pb::AnyValue bool_cell(bool v) {
  pb::AnyValue a;
  a.mutable_primitive_value()->set_bool_value(v);
  return a;
}
inline pb::AnyValue null_cell() {
  pb::AnyValue a;
  a.mutable_primitive_value()->set_null_value(false);
  return a;
}
// A geometry cell as the service writes it: wire type, grid values (deltas within parts).
inline pb::AnyValue geometry_cell(int wire_type, const std::vector<std::uint32_t>& lengths,
                                  const std::vector<std::int64_t>& grid, bool has_z = false) {
  pb::AnyValue a;
  auto* g = a.mutable_primitive_value()->mutable_geometry_value();
  g->set_geometry_type(static_cast<ovraPBuffer::OvraTypes::GeometryType>(wire_type));
  auto* d = g->mutable_default_geometry();
  d->set_has_z(has_z);
  for (std::uint32_t l : lengths) d->add_lengths(l);
  for (std::int64_t c : grid) d->add_coords(c);
  return a;
}

inline pb::GraphQueryRow row(std::vector<pb::AnyValue> cells) {
  pb::GraphQueryRow r;
  for (auto& c : cells) *r.add_values() = std::move(c);
  return r;
}

inline pb::GraphQueryResultFrame frame(std::vector<pb::GraphQueryRow> rows) {
  pb::GraphQueryResultFrame f;
  for (auto& r : rows) *f.add_rows() = std::move(r);
  return f;
}

inline pb::GraphQueryResultFrame error_frame(std::int64_t code, const std::string& message) {
  pb::GraphQueryResultFrame f;
  f.mutable_error()->set_error_code(code);
  f.mutable_error()->set_error_message(message);
  return f;
}

// A frame behind its prefix, its bytes compressed as the header announces.
inline std::string framed_frame(const pb::GraphQueryResultFrame& f, Compression kind = Compression::none) {
  return framed(compress(f.SerializeAsString(), kind));
}

// ---- Describing values, so rows can be compared as text ----

inline std::string hex_double(double v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%a", v);
  return buffer;
}

inline std::string describe(const value_t& value);

inline std::string describe_properties(const PropertyList& list) {
  std::string out = "{";
  for (const auto& [key, v] : list.key_value_pairs()) out += key + "=" + describe(v) + ",";
  return out + "}";
}

inline std::string describe_geometry(const geometry_t& g) {
  std::string out = "g" + std::to_string(static_cast<int>(g.geometry_type)) + (g.has_z ? "z" : "") +
                    (g.has_m ? "m" : "") + "(";
  for (std::int32_t l : g.lengths) out += std::to_string(l) + ",";
  out += ";";
  for (double c : g.coords) out += hex_double(c) + ",";
  return out + ")";
}

inline std::string describe(const value_t& value) {
  return std::visit(
      [](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, null_t>) {
          return "null";
        } else if constexpr (std::is_same_v<T, bool>) {
          return v ? "true" : "false";
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          return "i" + std::to_string(v);
        } else if constexpr (std::is_same_v<T, float>) {
          return "f" + hex_double(v);
        } else if constexpr (std::is_same_v<T, double>) {
          return "d" + hex_double(v);
        } else if constexpr (std::is_same_v<T, uuid_t>) {
          std::string out = "u";
          for (auto b : v.bytes) out += std::to_string(b) + ".";
          return out;
        } else if constexpr (std::is_same_v<T, time_point_t>) {
          return "t" + std::to_string(v.time_since_epoch().count());
        } else if constexpr (std::is_same_v<T, std::string>) {
          return "s" + std::to_string(v.size()) + ":" + v;
        } else if constexpr (std::is_same_v<T, blob_t>) {
          return "x" + std::to_string(v.bytes.size()) + ":" + v.bytes;
        } else if constexpr (std::is_same_v<T, std::shared_ptr<geometry_t>>) {
          return v ? describe_geometry(*v) : "g-";
        } else if constexpr (std::is_same_v<T, std::shared_ptr<ObjectValue>>) {
          return v ? "o" + describe_properties(v->properties) : "o-";
        } else if constexpr (std::is_same_v<T, std::shared_ptr<EntityValue>>) {
          return v ? "e:" + v->type_name + "#" + describe(v->id) + describe_properties(v->properties) : "e-";
        } else if constexpr (std::is_same_v<T, std::shared_ptr<RelationshipValue>>) {
          return v ? "r:" + v->type_name + "#" + describe(v->id) + ">" + describe(v->origin_id) + ">" +
                         describe(v->destination_id) + describe_properties(v->properties)
                   : "r-";
        } else if constexpr (std::is_same_v<T, std::shared_ptr<PathValue>>) {
          if (!v) return "p-";
          std::string out = "p[";
          for (const auto& e : v->entities) out += describe(value_t(e)) + ",";
          for (const auto& r : v->relationships) out += describe(value_t(r)) + ",";
          return out + "]";
        } else {
          static_assert(std::is_same_v<T, std::shared_ptr<ArrayValue>>);
          if (!v) return "a-";
          std::string out = "a[";
          for (const value_t& e : v->values) out += describe(e) + ",";
          return out + "]";
        }
      },
      value);
}

inline std::string describe_row(const value_t* cells, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) out += (i ? " | " : "") + describe(cells[i]);
  return out;
}

}  // namespace lorengraph::test_streams
