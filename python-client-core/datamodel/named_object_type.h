// Entity and relationship types: named sets of properties with their attribute indexes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "enums.h"
#include "graph_property.h"
#include "named_table.h"

namespace lorengraph {

// An attribute index over some properties of a type.
struct FieldIndex : std::enable_shared_from_this<FieldIndex> {
  std::string name;
  std::vector<std::string> fields;  // the indexed property names
  bool ascending = false;
  bool unique = false;
  std::string description;
};

// One allowed pair of entity types at the two ends of a relationship.
struct EndPoint {
  std::string origin_entity_type;
  std::string destination_entity_type;
};

// What entity and relationship types share; never created on its own.
class NamedObjectType {
 public:
  virtual ~NamedObjectType() = default;

  std::string name;
  std::string alias;
  ovraGraphNamedObjectTypeRole role = Regular;
  bool strict = false;
  NamedTable<std::shared_ptr<GraphProperty>> properties;
  std::vector<std::shared_ptr<FieldIndex>> field_indexes;

  // The first property named exactly `property_name`, or an empty reference.
  std::shared_ptr<GraphProperty> get_property(const std::string& property_name) const {
    return find_shared(properties, property_name);
  }

 protected:
  NamedObjectType() = default;
  NamedObjectType(const NamedObjectType&) = default;
  NamedObjectType& operator=(const NamedObjectType&) = default;
};

class EntityType : public NamedObjectType, public std::enable_shared_from_this<EntityType> {};

class RelationshipType : public NamedObjectType, public std::enable_shared_from_this<RelationshipType> {
 public:
  std::vector<EndPoint> end_points;
};

}  // namespace lorengraph
