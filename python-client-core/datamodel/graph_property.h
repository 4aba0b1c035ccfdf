// One property of an entity or relationship type.
#pragma once

#include <memory>
#include <string>

#include "enums.h"
#include "geometry.h"
#include "value.h"

namespace lorengraph {

struct GraphProperty : std::enable_shared_from_this<GraphProperty> {
  std::string name;
  std::string alias;
  ovraFieldType field_type = ovraFieldTypeString;
  // The next three describe geometry properties only.
  ovraGeometryType geometry_type = ovraGeometryNull;
  bool has_m = false;
  bool has_z = false;
  bool nullable = true;
  bool editable = true;
  bool required = false;
  bool default_visibility = false;
  bool system_maintained = false;
  ovraGraphPropertyRole role = ovraGraphPropertyUNSPECIFIED;
  // Already converted to the field type; null when the property has no default.
  value_t default_value;
};

}  // namespace lorengraph
