#include "wire_mapping.h"

#include "datamodel.pb.h"
#include "query.pb.h"

namespace lorengraph {

namespace pb = ovraPBuffer::graph;

std::optional<ovraFieldType> field_type_from_wire(std::int32_t wire) {
  if (wire < pb::ovraFieldTypeSmallInteger || wire > pb::ovraFieldTypeXML) return std::nullopt;
  return static_cast<ovraFieldType>(wire - 1);
}

ovraGraphNamedObjectTypeRole named_object_type_role_from_wire(std::int32_t wire) {
  switch (wire) {
    case pb::ovraGraphNamedObjectProvenance: return Provenance;
    case pb::ovraGraphNamedObjectDocument: return Document;
    default: return Regular;
  }
}

ovraGraphPropertyRole graph_property_role_from_wire(std::int32_t wire) {
  if (wire < pb::Regular || wire > pb::Document_FileExtension) return ovraGraphPropertyUNSPECIFIED;
  return static_cast<ovraGraphPropertyRole>(wire);
}

ovraUUIDMethodHint uuid_method_hint_from_wire(std::int32_t wire) {
  switch (wire) {
    case pb::UUID_OVRA: return ovraUUIDOVRA;
    case pb::UUID_RFC_4122: return ovraUUIDRFC4122;
    default: return ovraMethodHintUNSPECIFIED;
  }
}

std::optional<ovraNamedTypeCategory> named_type_category_from_wire(std::int32_t wire) {
  switch (wire) {
    case pb::ovraTypeEntity: return ovraNamedTypeCategory::entity;
    case pb::ovraTypeRelationship: return ovraNamedTypeCategory::relationship;
    case pb::ovraTypeBoth: return ovraNamedTypeCategory::both;
    default: return std::nullopt;
  }
}

}  // namespace lorengraph
