// Member names of the data model enumerations, in registration order. The Python
// enumerations and the plain form both read them from here.
#pragma once

#include <array>
#include <cstddef>
#include <utility>

#include "enums.h"

namespace lorengraph {

template <class E, std::size_t N>
using EnumNames = std::array<std::pair<const char*, E>, N>;

inline constexpr EnumNames<ovraGraphNamedObjectTypeRole, 3> kNamedObjectTypeRoleNames{{
    {"Regular", Regular},
    {"Provenance", Provenance},
    {"Document", Document},
}};

inline constexpr EnumNames<ovraFieldType, 14> kFieldTypeNames{{
    {"ovraFieldTypeSmallInteger", ovraFieldTypeSmallInteger},
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
    {"ovraFieldTypeBigInteger", ovraFieldTypeBigInteger},
}};

inline constexpr EnumNames<ovraGraphPropertyRole, 10> kGraphPropertyRoleNames{{
    {"ovraGraphPropertyUNSPECIFIED", ovraGraphPropertyUNSPECIFIED},
    {"ovraGraphPropertyRegular", ovraGraphPropertyRegular},
    {"ovraGraphPropertyDocumentName", ovraGraphPropertyDocumentName},
    {"ovraGraphPropertyDocumentTitle", ovraGraphPropertyDocumentTitle},
    {"ovraGraphPropertyDocumentUrl", ovraGraphPropertyDocumentUrl},
    {"ovraGraphPropertyDocumentText", ovraGraphPropertyDocumentText},
    {"ovraGraphPropertyDocumentKeywords", ovraGraphPropertyDocumentKeywords},
    {"ovraGraphPropertyDocumentContentType", ovraGraphPropertyDocumentContentType},
    {"ovraGraphPropertyDocumentMetadata", ovraGraphPropertyDocumentMetadata},
    {"ovraGraphPropertyDocumentFileExtension", ovraGraphPropertyDocumentFileExtension},
}};

inline constexpr EnumNames<ovraUUIDMethodHint, 3> kUUIDMethodHintNames{{
    {"ovraMethodHintUNSPECIFIED", ovraMethodHintUNSPECIFIED},
    {"ovraUUIDOVRA", ovraUUIDOVRA},
    {"ovraUUIDRFC4122", ovraUUIDRFC4122},
}};

inline constexpr EnumNames<ovraNamedTypeCategory, 3> kNamedTypeCategoryNames{{
    {"entity", ovraNamedTypeCategory::entity},
    {"relationship", ovraNamedTypeCategory::relationship},
    {"both", ovraNamedTypeCategory::both},
}};

// The name of `value`, or nullptr when the enumeration has no such member.
template <class E, std::size_t N>
constexpr const char* enum_member_name(const EnumNames<E, N>& names, E value) {
  for (const auto& [name, member] : names)
    if (member == value) return name;
  return nullptr;
}

}  // namespace lorengraph
