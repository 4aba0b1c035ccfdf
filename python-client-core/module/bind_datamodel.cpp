// Python bindings of the data model.
#include "enums.h"
#include "registration.h"

namespace py = pybind11;

namespace lorengraph::bindings {

void register_named_object_type_role(py::module_& m) {
  register_enum<ovraGraphNamedObjectTypeRole>(
      m, "ovraGraphNamedObjectTypeRole",
      {{"Regular", Regular}, {"Provenance", Provenance}, {"Document", Document}});
}

void register_field_type(py::module_& m) {
  register_enum<ovraFieldType>(m, "ovraFieldType",
                               {{"ovraFieldTypeSmallInteger", ovraFieldTypeSmallInteger},
                                {"ovraFieldTypeInteger", ovraFieldTypeInteger},
                                {"ovraFieldTypeSingle", ovraFieldTypeSingle},
                                {"ovraFieldTypeDouble", ovraFieldTypeDouble},
                                {"ovraFieldTypeString", ovraFieldTypeString},
                                {"ovraFieldTypeDate", ovraFieldTypeDate},
                                {"ovraFieldTypeOID", ovraFieldTypeOID},
                                {"ovraFieldTypeGeometry", ovraFieldTypeGeometry},
                                {"ovraFieldTypeBlob", ovraFieldTypeBlob},
                                {"ovraFieldTypeRaster", ovraFieldTypeRaster},
                                {"ovraFieldTypeGUID", ovraFieldTypeGUID},
                                {"ovraFieldTypeGlobalID", ovraFieldTypeGlobalID},
                                {"ovraFieldTypeXML", ovraFieldTypeXML},
                                {"ovraFieldTypeBigInteger", ovraFieldTypeBigInteger}});
}

void register_graph_property_role(py::module_& m) {
  register_enum<ovraGraphPropertyRole>(
      m, "ovraGraphPropertyRole",
      {{"ovraGraphPropertyUNSPECIFIED", ovraGraphPropertyUNSPECIFIED},
       {"ovraGraphPropertyRegular", ovraGraphPropertyRegular},
       {"ovraGraphPropertyDocumentName", ovraGraphPropertyDocumentName},
       {"ovraGraphPropertyDocumentTitle", ovraGraphPropertyDocumentTitle},
       {"ovraGraphPropertyDocumentUrl", ovraGraphPropertyDocumentUrl},
       {"ovraGraphPropertyDocumentText", ovraGraphPropertyDocumentText},
       {"ovraGraphPropertyDocumentKeywords", ovraGraphPropertyDocumentKeywords},
       {"ovraGraphPropertyDocumentContentType", ovraGraphPropertyDocumentContentType},
       {"ovraGraphPropertyDocumentMetadata", ovraGraphPropertyDocumentMetadata},
       {"ovraGraphPropertyDocumentFileExtension", ovraGraphPropertyDocumentFileExtension}});
}

void register_uuid_method_hint(py::module_& m) {
  register_enum<ovraUUIDMethodHint>(m, "ovraUUIDMethodHint",
                                    {{"ovraMethodHintUNSPECIFIED", ovraMethodHintUNSPECIFIED},
                                     {"ovraUUIDOVRA", ovraUUIDOVRA},
                                     {"ovraUUIDRFC4122", ovraUUIDRFC4122}});
}

void register_named_type_category(py::module_& m) {
  register_enum<ovraNamedTypeCategory>(m, "ovraNamedTypeCategory",
                                       {{"entity", ovraNamedTypeCategory::entity},
                                        {"relationship", ovraNamedTypeCategory::relationship},
                                        {"both", ovraNamedTypeCategory::both}});
}

}  // namespace lorengraph::bindings
