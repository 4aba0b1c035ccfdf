// Python bindings of the search request encoder.
#include "registration.h"
#include "spatial_relation.h"

namespace py = pybind11;

namespace lorengraph::bindings {

void register_spatial_relation(py::module_& m) {
  register_enum<ovraSpatialRelation>(m, "ovraSpatialRelation",
                                     {{"intersects", ovraSpatialRelation::intersects},
                                      {"contains", ovraSpatialRelation::contains},
                                      {"crosses", ovraSpatialRelation::crosses},
                                      {"envelope-intersects", ovraSpatialRelation::envelope_intersects},
                                      {"index-intersects", ovraSpatialRelation::index_intersects},
                                      {"overlaps", ovraSpatialRelation::overlaps},
                                      {"touches", ovraSpatialRelation::touches},
                                      {"within", ovraSpatialRelation::within}});
}

}  // namespace lorengraph::bindings
