#include "objects.h"

namespace lorengraph {

namespace {

template <class T>
T element_or_empty(const std::vector<T>& items, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return T{};
  return items[static_cast<std::size_t>(index)];
}

}  // namespace

std::shared_ptr<EntityValue> PathValue::get_entity_at(int index) const {
  return element_or_empty(entities, index);
}

std::shared_ptr<RelationshipValue> PathValue::get_relationship_at(int index) const {
  return element_or_empty(relationships, index);
}

const value_t* ArrayValue::get_value_at(int index) const {
  if (index < 0 || index >= count()) return nullptr;
  return &values[static_cast<std::size_t>(index)];
}

bool ArrayValue::put_value_at(int index, value_t value) {
  if (index < 0) return false;
  const auto position = static_cast<std::size_t>(index);
  if (position >= values.size()) values.resize(position + 1);
  values[position] = std::move(value);
  return true;
}

}  // namespace lorengraph
