// The coordinate system of geometries, and its copies to and from the wire.
#pragma once

#include <cstdint>
#include <string>

namespace ovraPBuffer {
class OvraTypes_SpatialReference;
}

namespace lorengraph {

struct SpatialReference {
  std::int32_t wkid = 0;
  std::int32_t latestWkid = 0;
  std::int32_t vcsWkid = 0;
  std::int32_t latestVcsWkid = 0;
  std::string wkt;

  static SpatialReference WGS84() { return SpatialReference{4326, 0, 0, 0, {}}; }

  // Only wkid and wkt count; the other identifiers alone do not make a reference.
  bool is_set() const { return wkid != 0 || !wkt.empty(); }
};

// Negative identifiers are left out, so they read back as 0.
void write_spatial_reference(const SpatialReference& sr, ovraPBuffer::OvraTypes_SpatialReference* message);

// Identifiers keep the 32-bit pattern of the unsigned wire values; nullptr reads as all zero.
SpatialReference read_spatial_reference(const ovraPBuffer::OvraTypes_SpatialReference* message);

}  // namespace lorengraph
