// Python bindings of the search request encoder.
#include <pybind11/stl.h>

#include "registration.h"
#include "search_request_encoder.h"
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

void register_search_request_encoder(py::module_& m) {
  using E = GraphSearchRequestEncoder;
  py::class_<E, std::shared_ptr<E>> encoder(m, "GraphSearchRequestEncoder");
  encoder.def(py::init<>())
      .def_readwrite("search_query", &E::search_query)
      .def_readwrite("return_geometry", &E::return_geometry)
      .def_readwrite("return_search_context", &E::return_search_context)
      .def_readwrite("type_category_filter", &E::type_category_filter)
      .def_readwrite("named_types_filter", &E::named_types_filter)
      .def_readonly("ids_filter", &E::ids_filter)
      .def_readwrite("start_index", &E::start_index)
      .def_readwrite("max_num_results", &E::max_num_results)
      // A copy on read as well as on write.
      .def_property("input_spatial_reference", [](const E& e) { return e.input_spatial_reference; },
                    [](E& e, const SpatialReference& sr) { e.input_spatial_reference = sr; })
      .def_readwrite("spatial_filter_geometry", &E::spatial_filter_geometry)
      .def_readwrite("spatial_filter_relation", &E::spatial_filter_relation);
  def_request_settings(encoder);
  def_encode(encoder);
}

}  // namespace lorengraph::bindings
