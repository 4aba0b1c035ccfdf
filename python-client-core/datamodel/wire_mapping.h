// The data model's wire enumerations mapped to the in-memory ones.
#pragma once

#include <cstdint>
#include <optional>

#include "enums.h"

namespace lorengraph {

// The graph package counts field types from 1; nothing outside 1..13 has an in-memory type.
std::optional<ovraFieldType> field_type_from_wire(std::int32_t wire);

// Unknown roles read as Regular.
ovraGraphNamedObjectTypeRole named_object_type_role_from_wire(std::int32_t wire);

// Roles outside 1..9 read as unspecified.
ovraGraphPropertyRole graph_property_role_from_wire(std::int32_t wire);

// Unknown hints read as unspecified.
ovraUUIDMethodHint uuid_method_hint_from_wire(std::int32_t wire);

// Entity 1, relationship 2, both 3 on the wire; anything else has no category.
std::optional<ovraNamedTypeCategory> named_type_category_from_wire(std::int32_t wire);

}  // namespace lorengraph
