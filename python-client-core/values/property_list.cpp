#include "property_list.h"

#include <algorithm>

namespace lorengraph {

namespace {

// First pair whose key has the same bytes; linear, as the lists are short and ordered.
template <class Pairs>
auto first_with_key(Pairs& pairs, std::string_view key) {
  return std::find_if(pairs.begin(), pairs.end(),
                      [key](const auto& pair) { return pair.first == key; });
}

}  // namespace

const value_t* PropertyList::query_value(std::string_view key) const {
  if (key.empty()) return nullptr;
  auto it = first_with_key(pairs_, key);
  return it == pairs_.end() ? nullptr : &it->second;
}

const value_t* PropertyList::get_value_at(int index) const {
  if (index < 0 || index >= key_count()) return nullptr;
  return &pairs_[static_cast<std::size_t>(index)].second;
}

bool PropertyList::set_key_value(std::string key, value_t value) {
  if (key.empty()) return false;
  auto it = first_with_key(pairs_, key);
  if (it != pairs_.end()) {
    it->second = std::move(value);
  } else {
    pairs_.emplace_back(std::move(key), std::move(value));
  }
  return true;
}

bool PropertyList::append_key_value(std::string key, value_t value) {
  if (key.empty()) return false;
  pairs_.emplace_back(std::move(key), std::move(value));
  return true;
}

bool PropertyList::put_value_at(int index, value_t value) {
  if (index < 0 || index >= key_count()) return false;
  pairs_[static_cast<std::size_t>(index)].second = std::move(value);
  return true;
}

}  // namespace lorengraph
