// The shared value objects: key/value objects, entities, relationships, paths and arrays.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "property_list.h"
#include "value.h"

namespace lorengraph {

enum class ObjectValueType : int { Object = 0, Entity = 1, Relationship = 2 };

class ObjectValue : public std::enable_shared_from_this<ObjectValue> {
 public:
  static constexpr ObjectValueType object_value_type = ObjectValueType::Object;
  PropertyList properties;
};

// The part shared by entities and relationships; never created on its own.
class NamedTypeValue {
 public:
  std::string type_name;
  value_t id;
  PropertyList properties;

  void set_id(value_t value) { id = std::move(value); }
  const value_t& get_id() const { return id; }

 protected:
  NamedTypeValue() = default;
};

class EntityValue : public std::enable_shared_from_this<EntityValue>, public NamedTypeValue {
 public:
  static constexpr ObjectValueType object_value_type = ObjectValueType::Entity;
};

class RelationshipValue : public std::enable_shared_from_this<RelationshipValue>,
                          public NamedTypeValue {
 public:
  static constexpr ObjectValueType object_value_type = ObjectValueType::Relationship;

  value_t origin_id;
  value_t destination_id;

  void set_related_entity_ids(value_t origin, value_t destination) {
    origin_id = std::move(origin);
    destination_id = std::move(destination);
  }
  const value_t& get_origin_entity_id() const { return origin_id; }
  const value_t& get_destination_entity_id() const { return destination_id; }
};

// Entities and relationships alternate: entity 0, relationship 0, entity 1, ...
class PathValue : public std::enable_shared_from_this<PathValue> {
 public:
  std::vector<std::shared_ptr<EntityValue>> entities;
  std::vector<std::shared_ptr<RelationshipValue>> relationships;

  int entity_count() const { return static_cast<int>(entities.size()); }
  int relationship_count() const { return static_cast<int>(relationships.size()); }
  // nullptr for an index outside the sequence.
  std::shared_ptr<EntityValue> get_entity_at(int index) const;
  std::shared_ptr<RelationshipValue> get_relationship_at(int index) const;
};

class ArrayValue : public std::enable_shared_from_this<ArrayValue> {
 public:
  std::vector<value_t> values;

  int count() const { return static_cast<int>(values.size()); }
  // nullptr for an index outside the array.
  const value_t* get_value_at(int index) const;
  void add_value(value_t value) { values.push_back(std::move(value)); }
  // Grows the array with nulls up to `index`; false only for a negative index.
  bool put_value_at(int index, value_t value);
};

}  // namespace lorengraph
