// Python bindings of the value objects.
#include <pybind11/stl.h>

#include "objects.h"
#include "plain_forms.h"
#include "registration.h"
#include "value_caster.h"

namespace py = pybind11;

namespace lorengraph::bindings {

namespace {

using py_values::value_or_none;

// The property-list members are identical on ObjectValue, EntityValue and RelationshipValue.
template <class T>
void def_property_list(py::class_<T, std::shared_ptr<T>>& cls) {
  cls.def_property_readonly("object_value_type", [](const T&) { return T::object_value_type; })
      .def("key_count", [](const T& o) { return o.properties.key_count(); })
      .def("query_value", [](const T& o, const std::string& key) {
        return value_or_none(o.properties.query_value(key));
      })
      .def("get_value_at", [](const T& o, int index) {
        return value_or_none(o.properties.get_value_at(index));
      })
      .def("clear", [](T& o) { o.properties.clear(); })
      .def("set_key_value", [](T& o, std::string key, value_t value) {
        return o.properties.set_key_value(std::move(key), std::move(value));
      })
      .def("append_key_value", [](T& o, std::string key, value_t value) {
        return o.properties.append_key_value(std::move(key), std::move(value));
      })
      .def("put_value_at", [](T& o, int index, value_t value) {
        return o.properties.put_value_at(index, std::move(value));
      })
      .def_property_readonly("key_value_pairs",
                             [](const T& o) { return o.properties.key_value_pairs(); });
}

// Type name and identifier, shared by EntityValue and RelationshipValue.
template <class T>
void def_named_type(py::class_<T, std::shared_ptr<T>>& cls) {
  def_property_list(cls);
  cls.def_readwrite("type_name", &T::type_name)
      .def("set_id", [](T& o, value_t id) { o.set_id(std::move(id)); })
      .def("get_id", [](const T& o) { return o.get_id(); });
}

}  // namespace

void register_value_classes(py::module_& m) {
  register_enum<ObjectValueType>(m, "ObjectValueType",
                                 {{"Object", ObjectValueType::Object},
                                  {"Entity", ObjectValueType::Entity},
                                  {"Relationship", ObjectValueType::Relationship}});

  py::class_<ObjectValue, std::shared_ptr<ObjectValue>> object(m, "ObjectValue");
  object.def(py::init<>());
  def_property_list(object);

  py::class_<EntityValue, std::shared_ptr<EntityValue>> entity(m, "EntityValue");
  entity.def(py::init<>());
  def_named_type(entity);

  py::class_<RelationshipValue, std::shared_ptr<RelationshipValue>> relationship(m, "RelationshipValue");
  relationship.def(py::init<>());
  def_named_type(relationship);
  relationship
      .def("set_related_entity_ids",
           [](RelationshipValue& r, value_t origin, value_t destination) {
             r.set_related_entity_ids(std::move(origin), std::move(destination));
           })
      .def("get_origin_entity_id", [](const RelationshipValue& r) { return r.get_origin_entity_id(); })
      .def("get_destination_entity_id",
           [](const RelationshipValue& r) { return r.get_destination_entity_id(); });

  py::class_<PathValue, std::shared_ptr<PathValue>>(m, "PathValue")
      .def(py::init<>())
      .def("entity_count", &PathValue::entity_count)
      .def("get_entity_at", &PathValue::get_entity_at)
      .def("relationship_count", &PathValue::relationship_count)
      .def("get_relationship_at", &PathValue::get_relationship_at)
      .def_property_readonly("entities", [](const PathValue& p) { return p.entities; })
      .def_property_readonly("relationships", [](const PathValue& p) { return p.relationships; });

  py::class_<ArrayValue, std::shared_ptr<ArrayValue>>(m, "ArrayValue")
      .def(py::init<>())
      .def("count", &ArrayValue::count)
      .def("get_value_at", [](const ArrayValue& a, int index) { return value_or_none(a.get_value_at(index)); })
      .def("add_value", [](ArrayValue& a, value_t value) { a.add_value(std::move(value)); })
      .def("put_value_at", [](ArrayValue& a, int index, value_t value) {
        return a.put_value_at(index, std::move(value));
      })
      .def_readwrite("values", &ArrayValue::values);
}

void register_to_value_object(py::module_& m) {
  m.def("to_value_object", [](const value_t& value) { return py_values::to_plain_object(value); });
}

}  // namespace lorengraph::bindings
