// The ordered (key, value) list behind objects, entities, relationships and query parameters.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "value.h"

namespace lorengraph {

class PropertyList {
 public:
  using Pair = std::pair<std::string, value_t>;

  int key_count() const { return static_cast<int>(pairs_.size()); }

  // Lookups return nullptr for a miss; they never throw.
  const value_t* query_value(std::string_view key) const;
  const value_t* get_value_at(int index) const;

  void clear() { pairs_.clear(); }

  // The empty key is never stored: these return false and change nothing.
  bool set_key_value(std::string key, value_t value);
  bool append_key_value(std::string key, value_t value);
  bool put_value_at(int index, value_t value);

  const std::vector<Pair>& key_value_pairs() const { return pairs_; }
  // Direct access for the codecs, which fill and drain the list in order.
  std::vector<Pair>& mutable_pairs() { return pairs_; }

 private:
  std::vector<Pair> pairs_;
};

}  // namespace lorengraph
