// The in-memory geometry. The quantization arithmetic that rewrites `coords` lives beside it.
#pragma once

#include <cstdint>
#include <memory>
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

}  // namespace lorengraph
