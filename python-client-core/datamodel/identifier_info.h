// How the objects of a graph are identified, and how new identifiers are generated.
#pragma once

#include <memory>
#include <string>

#include "enums.h"

namespace lorengraph {

// Its presence alone says that the database's own identifiers are used.
struct DatabaseNativeIdentifier : std::enable_shared_from_this<DatabaseNativeIdentifier> {};

struct UniformPropertyIdentifier : std::enable_shared_from_this<UniformPropertyIdentifier> {
  std::string identifier_property_name;
};

// A decoded model holds exactly one of the two.
struct IdentifierMappingInfo : std::enable_shared_from_this<IdentifierMappingInfo> {
  std::shared_ptr<DatabaseNativeIdentifier> database_native_identifier;
  std::shared_ptr<UniformPropertyIdentifier> uniform_property_identifier;
};

struct IdentifierGenerationInfo : std::enable_shared_from_this<IdentifierGenerationInfo> {
  ovraUUIDMethodHint uuid_method_hint = ovraMethodHintUNSPECIFIED;
};

// A decoded model holds both parts.
struct IdentifierInfo : std::enable_shared_from_this<IdentifierInfo> {
  std::shared_ptr<IdentifierMappingInfo> identifier_mapping_info;
  std::shared_ptr<IdentifierGenerationInfo> identifier_generation_info;
};

}  // namespace lorengraph
