// Enumerations of the data model. The unscoped ones compare equal to plain integers
// in Python; ovraNamedTypeCategory compares only with its own members.
#pragma once

#include <cstdint>

namespace lorengraph {

enum ovraGraphNamedObjectTypeRole : std::int32_t {
  Regular = 0,
  Provenance = 1,
  Document = 2,
};

enum ovraFieldType : std::int32_t {
  ovraFieldTypeSmallInteger = 0,
  ovraFieldTypeInteger = 1,
  ovraFieldTypeSingle = 2,
  ovraFieldTypeDouble = 3,
  ovraFieldTypeString = 4,
  ovraFieldTypeDate = 5,
  ovraFieldTypeOID = 6,
  ovraFieldTypeGeometry = 7,
  ovraFieldTypeBlob = 8,
  ovraFieldTypeRaster = 9,
  ovraFieldTypeGUID = 10,
  ovraFieldTypeGlobalID = 11,
  ovraFieldTypeXML = 12,
  ovraFieldTypeBigInteger = 13,
};

enum ovraGraphPropertyRole : std::int32_t {
  ovraGraphPropertyUNSPECIFIED = 0,
  ovraGraphPropertyRegular = 1,
  ovraGraphPropertyDocumentName = 2,
  ovraGraphPropertyDocumentTitle = 3,
  ovraGraphPropertyDocumentUrl = 4,
  ovraGraphPropertyDocumentText = 5,
  ovraGraphPropertyDocumentKeywords = 6,
  ovraGraphPropertyDocumentContentType = 7,
  ovraGraphPropertyDocumentMetadata = 8,
  ovraGraphPropertyDocumentFileExtension = 9,
};

enum ovraUUIDMethodHint : std::int32_t {
  ovraMethodHintUNSPECIFIED = 0,
  ovraUUIDOVRA = 1,
  ovraUUIDRFC4122 = 2,
};

// 3 has no member; `both` is 4.
enum class ovraNamedTypeCategory : std::int32_t {
  entity = 1,
  relationship = 2,
  both = 4,
};

}  // namespace lorengraph
