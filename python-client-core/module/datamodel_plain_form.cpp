#include "datamodel_plain_form.h"

#include <stdexcept>

#include <pybind11/stl.h>

#include "enum_names.h"
#include "plain_forms.h"
#include "time_convert.h"

namespace py = pybind11;

namespace lorengraph::py_values {

namespace {

const char* named_object_type_role_name(ovraGraphNamedObjectTypeRole role) {
  switch (role) {
    case Regular: return "ovraGraphNamedObjectRegular";
    case Provenance: return "ovraGraphNamedObjectProvenance";
    case Document: return "ovraGraphNamedObjectDocument";
  }
  throw std::invalid_argument("Unexpected named object type role.");
}

const char* field_type_name(ovraFieldType field_type) {
  if (const char* name = enum_member_name(kFieldTypeNames, field_type)) return name;
  throw std::invalid_argument("Unexpected field type.");
}

// Only the types a geometry property can sensibly hold have a plain name.
const char* geometry_type_name(ovraGeometryType geometry_type) {
  switch (geometry_type) {
    case ovraGeometryPoint: return "ovraGeometryPoint";
    case ovraGeometryMultipoint: return "ovraGeometryMultipoint";
    case ovraGeometryPolyline: return "ovraGeometryPolyline";
    case ovraGeometryPolygon: return "ovraGeometryPolygon";
    case ovraGeometryEnvelope: return "ovraGeometryEnvelope";
    default: throw std::invalid_argument("Unexpected geometry type.");
  }
}

const char* graph_property_role_name(ovraGraphPropertyRole role) {
  const char* name = enum_member_name(kGraphPropertyRoleNames, role);
  return name ? name : "ovraGraphPropertyUNSPECIFIED";
}

const char* uuid_method_hint_name(ovraUUIDMethodHint hint) {
  const char* name = enum_member_name(kUUIDMethodHintNames, hint);
  return name ? name : "ovraMethodHintUNSPECIFIED";
}

const char* named_type_category_name(ovraNamedTypeCategory category) {
  switch (static_cast<int>(category)) {
    case 1: return "Entity";
    case 2: return "Relationship";
    case 4: return "Both";
    default: return "UNSPECIFIED";
  }
}

py::dict property_dict(const GraphProperty& property) {
  py::dict d;
  d["name"] = property.name;
  d["alias"] = property.alias;
  d["fieldType"] = field_type_name(property.field_type);
  if (property.field_type == ovraFieldTypeGeometry) d["geometryType"] = geometry_type_name(property.geometry_type);
  d["hasZ"] = property.has_z;
  d["hasM"] = property.has_m;
  // The value's own plain form, without the model's spatial reference.
  if (!std::holds_alternative<null_t>(property.default_value))
    d["defaultValue"] = to_plain_object(property.default_value);
  d["nullable"] = property.nullable;
  d["editable"] = property.editable;
  d["visible"] = property.default_visibility;
  d["required"] = property.required;
  d["isSystemMaintained"] = property.system_maintained;
  d["role"] = graph_property_role_name(property.role);
  return d;
}

py::dict field_index_dict(const FieldIndex& index) {
  py::dict d;
  d["name"] = index.name;
  d["fields"] = py::cast(index.fields);
  d["isAscending"] = index.ascending;
  d["isUnique"] = index.unique;
  if (!index.description.empty()) d["description"] = index.description;
  return d;
}

// Keyed by name in list order, so a later element replaces an earlier one of equal name.
template <class T, class ToDict>
py::dict dict_by_name(const std::vector<std::shared_ptr<T>>& elements, ToDict to_dict) {
  py::dict d;
  for (const auto& element : elements) d[py::str(element->name)] = to_dict(*element);
  return d;
}

py::dict named_object_type_dict(const NamedObjectType& type) {
  py::dict d;
  d["name"] = type.name;
  d["alias"] = type.alias;
  d["role"] = named_object_type_role_name(type.role);
  d["strict"] = type.strict;
  d["properties"] = dict_by_name(type.properties.list(), property_dict);
  d["field_indexes"] = dict_by_name(type.field_indexes, field_index_dict);
  return d;
}

py::dict relationship_type_dict(const RelationshipType& type) {
  py::dict d = named_object_type_dict(type);
  d["end_points"] = end_point_list(type.end_points);
  return d;
}

[[noreturn]] void throw_incomplete_mapping() {
  throw std::invalid_argument(
      "IdentifierMappingInfo must have either DatabaseNativeIdentifier or UniformPropertyIdentifier.");
}

py::dict identifier_mapping_dict(const IdentifierMappingInfo& mapping) {
  if (bool(mapping.database_native_identifier) == bool(mapping.uniform_property_identifier))
    throw_incomplete_mapping();
  py::dict d;
  if (mapping.database_native_identifier) {
    d["native_identifier"] = "";
  } else {
    py::dict uniform_property;
    uniform_property["identifier_property_name"] = mapping.uniform_property_identifier->identifier_property_name;
    d["uniform_property"] = uniform_property;
  }
  return d;
}

// A model that was not decoded may lack its identifier info or parts of it; a missing
// mapping counts as one that holds neither identifier kind.
py::dict identifier_info_dict(const IdentifierInfo* info) {
  if (!info || !info->identifier_mapping_info) throw_incomplete_mapping();
  py::dict d;
  d["identifier_mapping_info"] = identifier_mapping_dict(*info->identifier_mapping_info);
  if (!info->identifier_generation_info)
    throw std::invalid_argument("IdentifierInfo must have IdentifierGenerationInfo.");
  py::dict generation;
  generation["uuid_method_hint"] = uuid_method_hint_name(info->identifier_generation_info->uuid_method_hint);
  d["identifier_generation_info"] = generation;
  return d;
}

py::dict search_index_dict(const SearchIndex& index) {
  py::dict d;
  d["name"] = index.name;
  d["supported_category"] = named_type_category_name(index.supported_category);
  py::list analyzers;
  for (const SearchAnalyzer& analyzer : index.analyzers.list()) {
    py::dict a;
    a["name"] = analyzer.name;
    analyzers.append(a);
  }
  d["analyzers"] = analyzers;
  py::dict search_properties;  // the map is ordered, so keys come ascending
  for (const auto& [key, properties] : index.search_properties) {
    py::dict p;
    p["property_names"] = py::cast(properties.property_names);
    search_properties[py::str(key)] = p;
  }
  d["search_properties"] = search_properties;
  return d;
}

}  // namespace

py::dict end_point_dict(const EndPoint& end_point) {
  if (end_point.origin_entity_type.empty() || end_point.destination_entity_type.empty()) {
    throw std::invalid_argument("EndPoint must include both origin and destination entity type.");
  }
  py::dict d;
  d["origin_entity_type"] = end_point.origin_entity_type;
  d["dest_entity_type"] = end_point.destination_entity_type;
  return d;
}

py::list end_point_list(const std::vector<EndPoint>& end_points) {
  py::list list;
  for (const EndPoint& end_point : end_points) list.append(end_point_dict(end_point));
  return list;
}

py::dict data_model_plain_form(const DataModel& model) {
  py::dict d;
  d["data_model_timestamp"] = time_point_to_python(model.timestamp);
  d["spatial_reference"] = spatial_reference_dict(model.spatial_reference);
  d["entity_types"] = dict_by_name(model.entity_types.list(), named_object_type_dict);
  d["relationship_types"] = dict_by_name(model.relationship_types.list(), relationship_type_dict);
  d["strict"] = model.strict;
  d["objectid_property"] = model.objectid_property;
  d["globalid_property"] = model.globalid_property;
  d["loren_managed"] = model.loren_managed;
  d["identifier_info"] = identifier_info_dict(model.identifier_info.get());
  d["search_indexes"] = dict_by_name(model.search_indexes.list(), search_index_dict);
  return d;
}

}  // namespace lorengraph::py_values
