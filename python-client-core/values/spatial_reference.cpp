#include "spatial_reference.h"

#include "ovra_types.pb.h"

namespace lorengraph {

void write_spatial_reference(const SpatialReference& sr,
                             ovraPBuffer::OvraTypes_SpatialReference* message) {
  if (!sr.wkt.empty()) message->set_wkt(sr.wkt);
  if (sr.wkid >= 0) message->set_wkid(static_cast<std::uint32_t>(sr.wkid));
  if (sr.latestWkid >= 0) message->set_latestwkid(static_cast<std::uint32_t>(sr.latestWkid));
  if (sr.vcsWkid >= 0) message->set_vcswkid(static_cast<std::uint32_t>(sr.vcsWkid));
  if (sr.latestVcsWkid >= 0) message->set_latestvcswkid(static_cast<std::uint32_t>(sr.latestVcsWkid));
}

SpatialReference read_spatial_reference(const ovraPBuffer::OvraTypes_SpatialReference* message) {
  SpatialReference sr;
  if (message == nullptr) return sr;
  sr.wkid = static_cast<std::int32_t>(message->wkid());
  sr.latestWkid = static_cast<std::int32_t>(message->latestwkid());
  sr.vcsWkid = static_cast<std::int32_t>(message->vcswkid());
  sr.latestVcsWkid = static_cast<std::int32_t>(message->latestvcswkid());
  sr.wkt = message->wkt();
  return sr;
}

}  // namespace lorengraph
