// Reads the service's answers to apply-edits requests and keeps their results, per type
// name in the order the names were first met. Results of several answers accumulate.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "error.h"
#include "named_object_type.h"
#include "value.h"

namespace lorengraph {

// Values kept per name, listed in the order their names were first met.
template <class T>
class FirstSeenOrder {
 public:
  T& operator[](const std::string& name) {
    const auto [it, inserted] = index_.try_emplace(name, entries_.size());
    if (inserted) entries_.emplace_back(name, T{});
    return entries_[it->second].second;
  }
  const std::vector<std::pair<std::string, T>>& entries() const { return entries_; }

 private:
  std::unordered_map<std::string, std::size_t> index_;
  std::vector<std::pair<std::string, T>> entries_;
};

struct EditResult {
  value_t id;
  kg_error_t error;
};

struct TypeEditResults {
  std::vector<EditResult> add_results;
  std::vector<EditResult> update_results;
  std::vector<EditResult> delete_results;
};

struct CascadedDelete {
  value_t id;
  value_t origin_id;
  value_t destination_id;
  kg_error_t error;
};

class GraphApplyEditsDecoder : public std::enable_shared_from_this<GraphApplyEditsDecoder> {
 public:
  // Adds the results of one serialized response. Bad data give -3 "Error decoding
  // ApplyEdits response!"; an identifier whose geometry is invalid throws
  // std::invalid_argument, keeping what was decoded before it.
  kg_error_t decode(std::string_view data);

  // Set when any single object reported an error.
  bool object_error_seen() const { return object_error_seen_; }
  const kg_error_t& service_error() const { return service_error_; }
  const FirstSeenOrder<TypeEditResults>& edit_results() const { return edit_results_; }
  const FirstSeenOrder<std::vector<CascadedDelete>>& cascaded_deletes() const { return cascaded_deletes_; }
  const FirstSeenOrder<std::vector<EndPoint>>& schema_changes() const { return schema_changes_; }

 private:
  bool object_error_seen_ = false;
  kg_error_t service_error_;
  FirstSeenOrder<TypeEditResults> edit_results_;
  FirstSeenOrder<std::vector<CascadedDelete>> cascaded_deletes_;
  FirstSeenOrder<std::vector<EndPoint>> schema_changes_;
};

}  // namespace lorengraph
