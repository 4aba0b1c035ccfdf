// The in-memory geometry. The quantization arithmetic that rewrites `coords` lives beside it.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

namespace lorengraph {

// Unscoped on purpose: the Python enumeration compares equal to plain integers.
// 6 and 8 have no member; a decoded geometry may still carry any 32-bit value.
enum ovraGeometryType : std::int32_t {
  ovraGeometryNull = 0,
  ovraGeometryPoint = 1,
  ovraGeometryMultipoint = 2,
  ovraGeometryPolyline = 3,
  ovraGeometryPolygon = 4,
  ovraGeometryEnvelope = 5,
  ovraGeometryAny = 7,
  ovraGeometryMultiPatch = 9,
};

// Whether the service quantizes result geometries for display or for editing.
enum class ovraQuantizeMode : std::int32_t { view = 0, edit = 1 };

struct geometry_t : std::enable_shared_from_this<geometry_t> {
  bool has_z = false;
  bool has_m = false;
  ovraGeometryType geometry_type = ovraGeometryNull;
  std::vector<std::int32_t> lengths;  // points per part, in part order
  std::vector<double> coords;         // x, y[, z][, m] per point, part after part
};

// Values per point: x, y, then z and m when present.
inline std::size_t point_width(const geometry_t& g) { return 2u + g.has_z + g.has_m; }

// Calls fn(index of the part's first value, number of points) for each part in order, after
// checking that the part starts inside `coords` and ends within it; a part that does not
// fit raises std::invalid_argument("Invalid geometry.").
template <class Fn>
void for_each_part(const geometry_t& g, Fn&& fn) {
  const std::uint64_t width = point_width(g);
  const std::uint64_t size = g.coords.size();
  std::uint64_t start = 0;  // in points
  for (const std::int32_t length : g.lengths) {
    // start * width < size keeps start small, so none of these products can overflow.
    if (length < 0 || start * width >= size ||
        (start + static_cast<std::uint64_t>(length)) * width > size) {
      throw std::invalid_argument("Invalid geometry.");
    }
    fn(static_cast<std::size_t>(start * width), static_cast<std::size_t>(length));
    start += static_cast<std::uint64_t>(length);
  }
}

}  // namespace lorengraph
