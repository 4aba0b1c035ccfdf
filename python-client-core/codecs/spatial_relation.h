// Spatial relation of a search's filter geometry to the results.
#pragma once

#include <cstdint>

namespace lorengraph {

// Python names two members with hyphens: "envelope-intersects" and "index-intersects".
enum class ovraSpatialRelation : std::int32_t {
  intersects = 0,
  contains = 1,
  crosses = 2,
  envelope_intersects = 3,
  index_intersects = 4,
  overlaps = 5,
  touches = 6,
  within = 7,
};

}  // namespace lorengraph
