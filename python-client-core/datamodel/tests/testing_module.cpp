// _lorengraph_datamodel_testing: builds data models that the decoder never produces, so
// Python tests can reach the plain form's answers to them. Import _lorengraph first, so
// that DataModel is registered.
#include <pybind11/pybind11.h>

#include <stdexcept>
#include <string>

#include "data_model.h"

namespace py = pybind11;
using namespace lorengraph;

namespace {

// A complete model with one entity type, one property and one field index, then `change`.
std::shared_ptr<DataModel> model_with(const std::string& change) {
  auto model = std::make_shared<DataModel>();
  model->identifier_info = std::make_shared<IdentifierInfo>();
  auto mapping = std::make_shared<IdentifierMappingInfo>();
  mapping->database_native_identifier = std::make_shared<DatabaseNativeIdentifier>();
  model->identifier_info->identifier_mapping_info = mapping;
  model->identifier_info->identifier_generation_info = std::make_shared<IdentifierGenerationInfo>();
  auto type = std::make_shared<EntityType>();
  type->name = "E";
  auto property = std::make_shared<GraphProperty>();
  property->name = "p";
  type->properties.add(property->name, property);
  auto index = std::make_shared<FieldIndex>();
  index->name = "i";
  index->fields = {"p"};
  type->field_indexes.push_back(index);
  model->entity_types.add(type->name, type);
  auto search = std::make_shared<SearchIndex>();
  search->name = "s";
  model->search_indexes.add(search->name, search);

  if (change == "role") {
    type->role = static_cast<ovraGraphNamedObjectTypeRole>(3);
  } else if (change == "field_type") {
    property->field_type = static_cast<ovraFieldType>(14);
  } else if (change == "big_integer") {
    property->field_type = ovraFieldTypeBigInteger;
  } else if (change == "both_identifiers") {
    mapping->uniform_property_identifier = std::make_shared<UniformPropertyIdentifier>();
  } else if (change == "no_mapping") {
    model->identifier_info->identifier_mapping_info = nullptr;
  } else if (change == "no_generation") {
    model->identifier_info->identifier_generation_info = nullptr;
  } else if (change == "description") {
    index->description = "by name";
  } else if (change == "category_3") {
    search->supported_category = static_cast<ovraNamedTypeCategory>(3);
  } else if (change != "none") {
    throw std::invalid_argument("unknown change: " + change);
  }
  return model;
}

}  // namespace

PYBIND11_MODULE(_lorengraph_datamodel_testing, m) { m.def("model_with", &model_with); }
