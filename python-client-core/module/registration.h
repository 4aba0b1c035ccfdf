// The registration steps of the module, one per class or enumeration, each defined in the
// binding file of its subsystem. module.cpp calls them in the module's fixed order.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <utility>

#include <pybind11/pybind11.h>

namespace lorengraph::bindings {

// Registers an enumeration with its members in the given order and exports every member
// as a module attribute. Unscoped C++ enumerations compare equal to plain integers in
// Python; scoped ones only to their own members.
template <class E>
void register_enum(pybind11::module_& m, const char* name,
                   std::initializer_list<std::pair<const char*, E>> members) {
  pybind11::enum_<E> enumeration(m, name);
  for (const auto& [member_name, value] : members) enumeration.value(member_name, value);
  enumeration.export_values();
}

// The same for a member table kept beside other users of the names.
template <class E, std::size_t N>
void register_enum(pybind11::module_& m, const char* name,
                   const std::array<std::pair<const char*, E>, N>& members) {
  pybind11::enum_<E> enumeration(m, name);
  for (const auto& [member_name, value] : members) enumeration.value(member_name, value);
  enumeration.export_values();
}

// Data model enumerations.
void register_named_object_type_role(pybind11::module_& m);
void register_field_type(pybind11::module_& m);
void register_graph_property_role(pybind11::module_& m);
void register_uuid_method_hint(pybind11::module_& m);
void register_named_type_category(pybind11::module_& m);

// Data model classes, in the three groups that the registration order separates:
// GraphProperty, EntityType, RelationshipType, FieldIndex;
// DatabaseNativeIdentifier, UniformPropertyIdentifier, IdentifierMappingInfo;
// IdentifierGenerationInfo, IdentifierInfo, SearchAnalyzer, SearchIndexProperties,
// SearchIndex, DataModel. Then the module function decoding a data model.
void register_data_model_types(pybind11::module_& m);
void register_identifier_mapping_classes(pybind11::module_& m);
void register_data_model_classes(pybind11::module_& m);
void register_data_model_decoder(pybind11::module_& m);

// Geometry.
void register_geometry_type(pybind11::module_& m);
void register_geometry_value(pybind11::module_& m);
void register_quantize_mode(pybind11::module_& m);

void register_spatial_reference(pybind11::module_& m);

// ObjectValueType and the value classes ObjectValue ... ArrayValue.
void register_value_classes(pybind11::module_& m);

void register_error(pybind11::module_& m);

void register_spatial_relation(pybind11::module_& m);

}  // namespace lorengraph::bindings
