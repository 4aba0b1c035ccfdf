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

// The members shared by the request encoders: the geometry settings (live views on read,
// copies on write), encode() and the stored result (a live reference keeping the encoder
// alive, None while no result is present).
template <class Class>
void def_request_settings(Class& cls) {
  using T = typename Class::type;
  cls.def_readwrite("input_quantization_parameters", &T::input_quantization_parameters)
      .def_readwrite("output_spatial_reference", &T::output_spatial_reference)
      .def_readwrite("output_quantization_parameters", &T::output_quantization_parameters)
      .def_readwrite("datum_transformation", &T::datum_transformation)
      .def_readwrite("apply_vcs_projection", &T::apply_vcs_projection);
}

template <class Class>
void def_encode(Class& cls) {
  using T = typename Class::type;
  cls.def("encode", &T::encode)
      .def("get_encoding_result", &T::get_encoding_result, pybind11::return_value_policy::reference_internal);
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
void register_input_quantization_parameters(pybind11::module_& m);
void register_datum_transformation(pybind11::module_& m);
void register_envelope(pybind11::module_& m);
void register_output_quantization_parameters(pybind11::module_& m);

void register_spatial_reference(pybind11::module_& m);

// ObjectValueType and the value classes ObjectValue ... ArrayValue.
void register_value_classes(pybind11::module_& m);
// The module function giving the plain Python form of a value.
void register_to_value_object(pybind11::module_& m);

void register_error(pybind11::module_& m);

void register_spatial_relation(pybind11::module_& m);
void register_search_request_encoder(pybind11::module_& m);

void register_apply_edits_encoder(pybind11::module_& m);
void register_apply_edits_decoder(pybind11::module_& m);

// The query path.
void register_query_decoder(pybind11::module_& m);
void register_encoding_result(pybind11::module_& m);
void register_query_request_encoder(pybind11::module_& m);

}  // namespace lorengraph::bindings
