// The whole schema of a graph. Built once by the decoder and not changed afterwards.
#pragma once

#include <memory>
#include <string>

#include "identifier_info.h"
#include "named_object_type.h"
#include "named_table.h"
#include "search_index.h"
#include "spatial_reference.h"
#include "value.h"

namespace lorengraph {

struct DataModel : std::enable_shared_from_this<DataModel> {
  time_point_t timestamp{};
  SpatialReference spatial_reference;
  NamedTable<std::shared_ptr<EntityType>> entity_types;
  NamedTable<std::shared_ptr<RelationshipType>> relationship_types;
  bool strict = false;
  std::string objectid_property;
  std::string globalid_property;
  bool loren_managed = false;
  std::shared_ptr<IdentifierInfo> identifier_info;
  NamedTable<std::shared_ptr<SearchIndex>> search_indexes;

  // The first element named exactly `name`, or an empty reference.
  std::shared_ptr<EntityType> query_entity_type(const std::string& name) const {
    return find_shared(entity_types, name);
  }
  std::shared_ptr<RelationshipType> query_relationship_type(const std::string& name) const {
    return find_shared(relationship_types, name);
  }
  std::shared_ptr<SearchIndex> query_search_index(const std::string& name) const {
    return find_shared(search_indexes, name);
  }
};

}  // namespace lorengraph
