// Full-text search indexes of a graph.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "enums.h"
#include "named_table.h"

namespace lorengraph {

struct SearchAnalyzer {
  std::string name;
};

struct SearchIndexProperties {
  std::vector<std::string> property_names;
};

struct SearchIndex : std::enable_shared_from_this<SearchIndex> {
  std::string name;
  ovraNamedTypeCategory supported_category = ovraNamedTypeCategory{};  // 0: no member
  NamedTable<SearchAnalyzer> analyzers;
  std::map<std::string, SearchIndexProperties> search_properties;  // ascending byte order

  // Pointers into this index, or nullptr for an unknown name.
  const SearchAnalyzer* query_analyzer(const std::string& analyzer_name) const {
    return analyzers.find(analyzer_name);
  }
  const SearchIndexProperties* query_search_property(const std::string& key) const {
    const auto it = search_properties.find(key);
    return it == search_properties.end() ? nullptr : &it->second;
  }
};

}  // namespace lorengraph
