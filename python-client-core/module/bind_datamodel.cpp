// Python bindings of the data model.
#include <string>

#include <pybind11/stl.h>

#include "data_model.h"
#include "data_model_decoder.h"
#include "datamodel_plain_form.h"
#include "enum_names.h"
#include "registration.h"
#include "time_convert.h"
#include "value_caster.h"

namespace py = pybind11;

namespace lorengraph::bindings {

namespace {

template <class T>
using shared_class = py::class_<T, std::shared_ptr<T>>;

// The members EntityType and RelationshipType share through NamedObjectType.
template <class T>
void def_named_object_type(shared_class<T>& cls) {
  cls.def(py::init<>())
      .def_readonly("name", &T::name)
      .def_readonly("alias", &T::alias)
      .def_readonly("role", &T::role)
      .def_readonly("strict", &T::strict)
      .def_property_readonly("properties", [](const T& type) { return type.properties.list(); })
      .def("get_property", &T::get_property);
}

// Nothing rather than an exception for an index outside the list.
py::object end_point_at(const RelationshipType& type, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= type.end_points.size()) return py::none();
  return py_values::end_point_dict(type.end_points[static_cast<std::size_t>(index)]);
}

}  // namespace

void register_named_object_type_role(py::module_& m) {
  register_enum(m, "ovraGraphNamedObjectTypeRole", kNamedObjectTypeRoleNames);
}

void register_field_type(py::module_& m) { register_enum(m, "ovraFieldType", kFieldTypeNames); }

void register_graph_property_role(py::module_& m) {
  register_enum(m, "ovraGraphPropertyRole", kGraphPropertyRoleNames);
}

void register_uuid_method_hint(py::module_& m) { register_enum(m, "ovraUUIDMethodHint", kUUIDMethodHintNames); }

void register_named_type_category(py::module_& m) {
  register_enum(m, "ovraNamedTypeCategory", kNamedTypeCategoryNames);
}

void register_data_model_types(py::module_& m) {
  shared_class<GraphProperty>(m, "GraphProperty")
      .def(py::init<>())
      .def_readonly("name", &GraphProperty::name)
      .def_readonly("alias", &GraphProperty::alias)
      .def_readonly("field_type", &GraphProperty::field_type)
      .def_readonly("geometry_type", &GraphProperty::geometry_type)
      .def_readonly("has_m", &GraphProperty::has_m)
      .def_readonly("has_z", &GraphProperty::has_z)
      .def_readonly("nullable", &GraphProperty::nullable)
      .def_readonly("editable", &GraphProperty::editable)
      .def_readonly("required", &GraphProperty::required)
      .def_readonly("default_visibility", &GraphProperty::default_visibility)
      .def_readonly("system_maintained", &GraphProperty::system_maintained)
      .def_readonly("role", &GraphProperty::role)
      .def_property_readonly("default_value", [](const GraphProperty& p) { return p.default_value; });

  shared_class<EntityType> entity_type(m, "EntityType");
  def_named_object_type(entity_type);

  shared_class<RelationshipType> relationship_type(m, "RelationshipType");
  def_named_object_type(relationship_type);
  relationship_type
      .def_property_readonly("end_points",
                             [](const RelationshipType& type) { return py_values::end_point_list(type.end_points); })
      .def("get_end_point", &end_point_at);

  shared_class<FieldIndex>(m, "FieldIndex")
      .def(py::init<>())
      .def_readonly("name", &FieldIndex::name)
      .def_readonly("unique", &FieldIndex::unique)
      .def_readonly("ascending", &FieldIndex::ascending)
      .def_readonly("description", &FieldIndex::description)
      .def_property_readonly("fields", [](const FieldIndex& index) { return index.fields; });
}

void register_identifier_mapping_classes(py::module_& m) {
  shared_class<DatabaseNativeIdentifier>(m, "DatabaseNativeIdentifier").def(py::init<>());

  shared_class<UniformPropertyIdentifier>(m, "UniformPropertyIdentifier")
      .def(py::init<>())
      .def_readonly("identifier_property_name", &UniformPropertyIdentifier::identifier_property_name);

  shared_class<IdentifierMappingInfo>(m, "IdentifierMappingInfo")
      .def(py::init<>())
      .def_readonly("database_native_identifier", &IdentifierMappingInfo::database_native_identifier)
      .def_readonly("uniform_property_identifier", &IdentifierMappingInfo::uniform_property_identifier);
}

void register_data_model_classes(py::module_& m) {
  shared_class<IdentifierGenerationInfo>(m, "IdentifierGenerationInfo")
      .def(py::init<>())
      .def_readonly("uuid_method_hint", &IdentifierGenerationInfo::uuid_method_hint);

  shared_class<IdentifierInfo>(m, "IdentifierInfo")
      .def(py::init<>())
      .def_readonly("identifier_mapping_info", &IdentifierInfo::identifier_mapping_info)
      .def_readonly("identifier_generation_info", &IdentifierInfo::identifier_generation_info);

  py::class_<SearchAnalyzer>(m, "SearchAnalyzer")
      .def(py::init<>())
      .def_readwrite("name", &SearchAnalyzer::name);

  py::class_<SearchIndexProperties>(m, "SearchIndexProperties")
      .def(py::init<>())
      .def_readwrite("property_names", &SearchIndexProperties::property_names);

  shared_class<SearchIndex>(m, "SearchIndex")
      .def(py::init<>())
      .def_readonly("name", &SearchIndex::name)
      .def_readonly("supported_category", &SearchIndex::supported_category)
      .def_property_readonly("analyzers", [](const SearchIndex& index) { return index.analyzers.list(); })
      .def("query_analyzer", &SearchIndex::query_analyzer, py::return_value_policy::copy)
      .def_property_readonly("search_properties", [](const SearchIndex& index) { return index.search_properties; })
      .def("query_search_property", &SearchIndex::query_search_property, py::return_value_policy::copy);

  shared_class<DataModel>(m, "DataModel")
      .def(py::init<>())
      .def_property_readonly("timestamp",
                             [](const DataModel& model) { return py_values::time_point_to_python(model.timestamp); })
      // A copy: the decoded model is a read-only snapshot.
      .def_property_readonly("spatial_reference", [](const DataModel& d) { return d.spatial_reference; })
      .def_readonly("strict", &DataModel::strict)
      .def_readonly("objectid_property", &DataModel::objectid_property)
      .def_readonly("globalid_property", &DataModel::globalid_property)
      .def_readonly("loren_managed", &DataModel::loren_managed)
      .def_readonly("identifier_info", &DataModel::identifier_info)
      .def_property_readonly("search_indexes", [](const DataModel& model) { return model.search_indexes.list(); })
      .def("query_search_index", &DataModel::query_search_index)
      .def_property_readonly("entity_types", [](const DataModel& model) { return model.entity_types.list(); })
      .def("query_entity_type", &DataModel::query_entity_type)
      .def_property_readonly("relationship_types",
                             [](const DataModel& model) { return model.relationship_types.list(); })
      .def("query_relationship_type", &DataModel::query_relationship_type)
      .def("to_value_object", &py_values::data_model_plain_form);
}

void register_data_model_decoder(py::module_& m) {
  m.def("decode_data_model_from_protocol_buffer", [](const std::string& bytes) {
    return decode_data_model_from_protocol_buffer(bytes.data(), bytes.size());
  });
}

}  // namespace lorengraph::bindings
