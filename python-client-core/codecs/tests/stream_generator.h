// Random but reproducible query result streams together with the rows a decoder must hand
// out for them: mixed cell kinds (numbers, strings, geometries restored with the header's
// transform, arrays, entities), empty and row-less frames, frames big enough for two- and
// three-byte length prefixes, plain or with every frame gzip or zlib compressed.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "result_stream.h"

namespace lorengraph::test_streams {

struct GeneratedStream {
  std::string bytes;
  std::vector<std::string> rows;  // as describe_row prints them
  struct Prefix {
    std::size_t offset;  // where the prefix starts in `bytes`
    std::size_t size;    // its bytes
  };
  std::vector<Prefix> prefixes;  // one per message, header first
};

class StreamGenerator {
 public:
  explicit StreamGenerator(std::uint32_t seed) : rng_(seed) {}

  GeneratedStream generate(bool compressed) {
    GeneratedStream s;
    const int columns = pick(1, 4);
    std::vector<std::string> names;
    for (int c = 0; c < columns; ++c) names.push_back("col" + std::to_string(c));
    static const double kScales[] = {1, 0.5, 0.25, 2};
    static const double kTranslates[] = {0, 100, -3.5};
    scale_ = kScales[pick(0, 3)];
    x_translate_ = kTranslates[pick(0, 2)];
    y_translate_ = kTranslates[pick(0, 2)];
    append(s, framed(header(names, scale_, x_translate_, y_translate_, compressed)));

    const int frames = pick(0, 6);
    for (int f = 0; f < frames; ++f) {
      if (pick(0, 9) == 0) {  // an empty message stands for an empty frame
        append(s, framed(""));
        continue;
      }
      pb::GraphQueryResultFrame message;
      const int rows = pick(0, 5);
      for (int r = 0; r < rows; ++r) {
        pb::GraphQueryRow* row = message.add_rows();
        std::vector<value_t> expected;
        for (int c = 0; c < columns; ++c) {
          auto [cell, value] = random_cell();
          *row->add_values() = std::move(cell);
          expected.push_back(std::move(value));
        }
        s.rows.push_back(describe_row(expected.data(), expected.size()));
      }
      const Compression kind = !compressed ? Compression::none : pick(0, 1) ? Compression::gzip : Compression::zlib;
      append(s, framed(compress(message.SerializeAsString(), kind)));
    }
    return s;
  }

  std::mt19937& rng() { return rng_; }

 private:
  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }

  static void append(GeneratedStream& s, const std::string& message) {
    std::size_t prefix = 1;
    while (static_cast<unsigned char>(message[prefix - 1]) & 0x80) ++prefix;
    s.prefixes.push_back({s.bytes.size(), prefix});
    s.bytes += message;
  }

  std::string random_text() {
    // Now and then a long text, so frames need two- or three-byte length prefixes.
    const int length = pick(0, 30) == 0 ? pick(200, 20000) : pick(0, 12);
    std::string text;
    for (int i = 0; i < length; ++i) text.push_back(static_cast<char>('a' + pick(0, 25)));
    return text;
  }

  std::pair<pb::AnyValue, value_t> random_cell() {
    switch (pick(0, 8)) {
      case 0: {
        const std::int64_t v = std::uniform_int_distribution<std::int64_t>(INT64_MIN, INT64_MAX)(rng_) >> pick(0, 62);
        return {int_cell(v), v};
      }
      case 1: {
        const double v = std::uniform_real_distribution<double>(-1e6, 1e6)(rng_);
        return {double_cell(v), v};
      }
      case 2: {
        std::string text = random_text();
        return {string_cell(text), text};
      }
      case 3: {
        const bool v = pick(0, 1) == 1;
        return {bool_cell(v), v};
      }
      case 4:
        return {null_cell(), null_t{}};
      case 5:
        return random_geometry();
      case 6: {
        pb::AnyValue cell;
        auto* ints = cell.mutable_array_value()->mutable_int_values();
        auto array = std::make_shared<ArrayValue>();
        for (int n = pick(0, 5); n > 0; --n) {
          const std::int64_t v = pick(-1000000, 1000000);
          ints->add_value(v);
          array->values.emplace_back(v);
        }
        return {cell, array};
      }
      case 7: {
        pb::AnyValue cell;
        auto* e = cell.mutable_entity_value();
        e->set_label("Person");
        const std::int64_t id = pick(0, 1000);
        e->mutable_id()->mutable_primitive_value()->set_int_value(id);
        std::string name = random_text();
        auto* p = e->add_properties();
        p->set_key("name");
        p->mutable_value()->mutable_primitive_value()->set_string_value(name);
        auto entity = std::make_shared<EntityValue>();
        entity->type_name = "Person";
        entity->id = id;
        entity->properties.append_key_value("name", std::move(name));
        return {cell, entity};
      }
      default: {
        pb::AnyValue cell;
        uuid_t id;
        for (auto& b : id.bytes) b = static_cast<std::uint8_t>(pick(0, 255));
        cell.mutable_primitive_value()->set_uuid_value(std::string(id.bytes.begin(), id.bytes.end()));
        return {cell, id};
      }
    }
  }

  // A point or a polyline in grid units, and the coordinates the header's transform gives:
  // x and y summed along each part, z not, then scaled and translated.
  std::pair<pb::AnyValue, value_t> random_geometry() {
    auto g = std::make_shared<geometry_t>();
    g->has_z = pick(0, 1) == 1;
    const bool point = pick(0, 3) == 0;
    g->geometry_type = point ? ovraGeometryPoint : ovraGeometryPolyline;
    std::vector<std::uint32_t> lengths;
    std::vector<std::int64_t> grid;
    const int parts = point ? 1 : pick(1, 2);
    for (int p = 0; p < parts; ++p) {
      const int points = point ? 1 : pick(1, 4);
      if (!point) {
        lengths.push_back(static_cast<std::uint32_t>(points));
        g->lengths.push_back(points);
      }
      double x = 0, y = 0;
      for (int i = 0; i < points; ++i) {
        const std::int64_t dx = pick(-1000, 1000), dy = pick(-1000, 1000);
        grid.push_back(dx);
        grid.push_back(dy);
        x += static_cast<double>(dx);
        y += static_cast<double>(dy);
        g->coords.push_back(x * scale_ + x_translate_);
        g->coords.push_back(y * scale_ + y_translate_);
        if (g->has_z) {
          const std::int64_t z = pick(-50, 50);
          grid.push_back(z);
          g->coords.push_back(static_cast<double>(z) * scale_);
        }
      }
    }
    return {geometry_cell(point ? 0 : 2, lengths, grid, g->has_z), g};
  }

  std::mt19937 rng_;
  double scale_ = 1;
  double x_translate_ = 0;
  double y_translate_ = 0;
};

}  // namespace lorengraph::test_streams
