// Turns a full-text search with its filters into the bytes of one GraphSearchRequest.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "encoding_result.h"
#include "enums.h"
#include "geometry.h"
#include "objects.h"
#include "request_settings.h"
#include "spatial_relation.h"

namespace lorengraph {

class GraphSearchRequestEncoder : public std::enable_shared_from_this<GraphSearchRequestEncoder>,
                                  public RequestSettings {
 public:
  std::string search_query;
  bool return_geometry = true;
  bool return_search_context = false;
  ovraNamedTypeCategory type_category_filter = ovraNamedTypeCategory::entity;
  std::vector<std::string> named_types_filter;  // moved out by encoding
  std::shared_ptr<ArrayValue> ids_filter = std::make_shared<ArrayValue>();
  std::int32_t start_index = 0;
  std::int32_t max_num_results = 0;
  std::shared_ptr<geometry_t> spatial_filter_geometry;  // shared with the caller
  SpatialReference input_spatial_reference;
  ovraSpatialRelation spatial_filter_relation = ovraSpatialRelation::intersects;

  // Never throws: failures end in the result's error record.
  void encode();
  const EncodingResult* get_encoding_result() const { return result_.if_present(); }

 private:
  void encode_request();

  EncodingResult result_;
};

}  // namespace lorengraph
