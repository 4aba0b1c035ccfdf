#include "result_stream.h"

#include <zlib.h>

#include <array>
#include <cmath>
#include <stdexcept>

#include "length_prefix.h"
#include "query.pb.h"

namespace pb = ovraPBuffer::graph;

namespace lorengraph::bench {

namespace {

// Result geometries travel as grid units of a nanodegree, shifted so that they stay positive.
constexpr double kGridScale = 1e-9;
constexpr double kGridTranslate = -400;

const std::array<const char*, 8> kColumns = {"id", "score", "name", "active", "shape", "uid", "updated", "tags"};
const std::array<const char*, 8> kSyllables = {"ka", "lo", "ren", "mi", "tas", "vel", "do", "ran"};
const std::array<const char*, 6> kTags = {"red", "green", "road", "river", "rail", "bridge"};

// splitmix64: tiny, and the same sequence on every platform and compiler.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::uint64_t below(std::uint64_t n) { return next() % n; }
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

 private:
  std::uint64_t state_;
};

pb::PrimitiveValue* primitive(pb::GraphQueryRow* row) { return row->add_values()->mutable_primitive_value(); }

std::string short_name(Random& random) {
  std::string name;
  const std::uint64_t parts = 2 + random.below(4);
  for (std::uint64_t i = 0; i < parts; ++i) name += kSyllables[random.below(kSyllables.size())];
  return name + "-" + std::to_string(random.below(1000));
}

// One path of 4 to 8 points near a random place; first point absolute, then deltas.
void add_polyline(Random& random, pb::GeometryValue* geometry) {
  geometry->set_geometry_type(ovraPBuffer::OvraTypes::ovraGeometryTypePolyline);
  auto* shape = geometry->mutable_default_geometry();
  const int points = 4 + static_cast<int>(random.below(5));
  shape->add_lengths(static_cast<std::uint32_t>(points));
  double x = -120 + random.unit() * 60, y = 30 + random.unit() * 20;
  std::int64_t previous_x = 0, previous_y = 0;
  for (int i = 0; i < points; ++i) {
    x += (random.unit() - 0.5) * 0.01;
    y += (random.unit() - 0.5) * 0.01;
    const auto qx = static_cast<std::int64_t>(std::nearbyint((x - kGridTranslate) / kGridScale));
    const auto qy = static_cast<std::int64_t>(std::nearbyint((y - kGridTranslate) / kGridScale));
    shape->add_coords(qx - previous_x);
    shape->add_coords(qy - previous_y);
    previous_x = qx;
    previous_y = qy;
  }
}

void add_row(Random& random, std::size_t index, pb::GraphQueryRow* row) {
  primitive(row)->set_int_value(1000000000 + static_cast<std::int64_t>(index) * 37);
  primitive(row)->set_double_value(random.unit() * 1000);
  if (index % 20 == 7) {
    primitive(row)->set_null_value(false);
  } else {
    primitive(row)->set_string_value(short_name(random));
  }
  primitive(row)->set_bool_value(random.below(2) == 1);
  if (index % 10 == 3) {
    add_polyline(random, primitive(row)->mutable_geometry_value());
  } else {
    primitive(row)->set_null_value(false);
  }
  std::string uuid(16, '\0');
  for (char& byte : uuid) byte = static_cast<char>(random.below(256));
  uuid[6] = static_cast<char>((uuid[6] & 0x0F) | 0x40);  // version 4
  uuid[8] = static_cast<char>((uuid[8] & 0x3F) | 0x80);  // RFC 4122 variant
  primitive(row)->set_uuid_value(uuid);
  primitive(row)->set_date_time_value(1700000000000 + static_cast<std::int64_t>(random.below(31536000000ull)));
  auto* tags = row->add_values()->mutable_array_value();
  if (index % 3 == 0) {
    auto* strings = tags->mutable_string_values();
    for (int i = 0; i < 2; ++i) strings->add_value(kTags[random.below(kTags.size())]);
  } else {
    auto* ints = tags->mutable_int_values();
    for (int i = 0; i < 3; ++i) ints->add_value(static_cast<std::int64_t>(random.below(100000)));
  }
}

void append_message(std::string& out, const std::string& bytes) {
  append_length_prefix(out, static_cast<std::uint32_t>(bytes.size()));
  out += bytes;
}

std::string gzip(const std::string& bytes) {
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::string out(deflateBound(&z, bytes.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (status != Z_STREAM_END) throw std::runtime_error("deflate failed");
  return out;
}

std::string header_bytes(bool compressed) {
  pb::GraphQueryResultHeader header;
  auto* transform = header.mutable_transform();
  auto* scale = transform->mutable_scale();
  scale->set_xscale(kGridScale);
  scale->set_yscale(kGridScale);
  scale->set_zscale(1e-5);
  scale->set_mscale(1e-5);
  transform->mutable_translate()->set_xtranslate(kGridTranslate);
  transform->mutable_translate()->set_ytranslate(kGridTranslate);
  for (const char* name : kColumns) header.add_field_names(name);
  header.set_frames_compressed(compressed);
  return header.SerializeAsString();
}

}  // namespace

ResultStream build_result_stream(const ResultStreamShape& shape) {
  if (shape.rows_per_frame == 0) throw std::invalid_argument("rows_per_frame must be positive");
  ResultStream stream;
  stream.columns = kColumns.size();
  append_message(stream.plain, header_bytes(false));
  append_message(stream.gzip, header_bytes(true));
  Random random(shape.seed);
  pb::GraphQueryResultFrame frame;
  for (std::size_t first = 0; first < shape.rows; first += shape.rows_per_frame) {
    frame.Clear();
    for (std::size_t i = first; i < shape.rows && i < first + shape.rows_per_frame; ++i) {
      add_row(random, i, frame.add_rows());
    }
    const std::string bytes = frame.SerializeAsString();
    append_message(stream.plain, bytes);
    append_message(stream.gzip, gzip(bytes));
    ++stream.frames;
  }
  stream.rows = shape.rows;
  return stream;
}

std::vector<std::string_view> cut_into_chunks(std::string_view stream, std::size_t size) {
  std::vector<std::string_view> chunks;
  for (std::size_t at = 0; at < stream.size(); at += size) chunks.push_back(stream.substr(at, size));
  return chunks;
}

}  // namespace lorengraph::bench
