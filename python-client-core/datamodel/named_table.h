// A list in message order plus a hash lookup by exact name. Elements with equal names all
// stay in the list; the lookup keeps the first of them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace lorengraph {

template <class T>
class NamedTable {
 public:
  void reserve(std::size_t count) {
    elements_.reserve(count);
    index_.reserve(count);
  }

  void add(const std::string& name, T element) {
    index_.emplace(name, elements_.size());  // no-op when the name is already taken
    elements_.push_back(std::move(element));
  }

  // nullptr when no element has exactly this name.
  const T* find(const std::string& name) const {
    const auto it = index_.find(name);
    return it == index_.end() ? nullptr : &elements_[it->second];
  }

  const std::vector<T>& list() const { return elements_; }
  std::size_t size() const { return elements_.size(); }

 private:
  std::vector<T> elements_;
  std::unordered_map<std::string, std::size_t> index_;
};

// The shared element under `name`, or an empty reference.
template <class T>
std::shared_ptr<T> find_shared(const NamedTable<std::shared_ptr<T>>& table, const std::string& name) {
  const std::shared_ptr<T>* found = table.find(name);
  return found ? *found : nullptr;
}

}  // namespace lorengraph
