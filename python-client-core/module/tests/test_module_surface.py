"""The module's Python surface: entry, enumerations, registration, calling conventions."""
import pickle

import pytest

import _lorengraph as lg

ENUMERATIONS = {
    "ovraGraphNamedObjectTypeRole": ([("Regular", 0), ("Provenance", 1), ("Document", 2)], True),
    "ovraFieldType": ([
        ("ovraFieldTypeSmallInteger", 0), ("ovraFieldTypeInteger", 1), ("ovraFieldTypeSingle", 2),
        ("ovraFieldTypeDouble", 3), ("ovraFieldTypeString", 4), ("ovraFieldTypeDate", 5),
        ("ovraFieldTypeOID", 6), ("ovraFieldTypeGeometry", 7), ("ovraFieldTypeBlob", 8),
        ("ovraFieldTypeRaster", 9), ("ovraFieldTypeGUID", 10), ("ovraFieldTypeGlobalID", 11),
        ("ovraFieldTypeXML", 12), ("ovraFieldTypeBigInteger", 13)], True),
    "ovraGraphPropertyRole": ([
        ("ovraGraphPropertyUNSPECIFIED", 0), ("ovraGraphPropertyRegular", 1),
        ("ovraGraphPropertyDocumentName", 2), ("ovraGraphPropertyDocumentTitle", 3),
        ("ovraGraphPropertyDocumentUrl", 4), ("ovraGraphPropertyDocumentText", 5),
        ("ovraGraphPropertyDocumentKeywords", 6), ("ovraGraphPropertyDocumentContentType", 7),
        ("ovraGraphPropertyDocumentMetadata", 8), ("ovraGraphPropertyDocumentFileExtension", 9)], True),
    "ovraGeometryType": ([
        ("ovraGeometryNull", 0), ("ovraGeometryPoint", 1), ("ovraGeometryMultipoint", 2),
        ("ovraGeometryPolyline", 3), ("ovraGeometryPolygon", 4), ("ovraGeometryEnvelope", 5),
        ("ovraGeometryAny", 7), ("ovraGeometryMultiPatch", 9)], True),
    "ovraUUIDMethodHint": ([
        ("ovraMethodHintUNSPECIFIED", 0), ("ovraUUIDOVRA", 1), ("ovraUUIDRFC4122", 2)], True),
    "ObjectValueType": ([("Object", 0), ("Entity", 1), ("Relationship", 2)], False),
    "ovraQuantizeMode": ([("edit", 1), ("view", 0)], False),
    "ovraSpatialRelation": ([
        ("intersects", 0), ("contains", 1), ("crosses", 2), ("envelope-intersects", 3),
        ("index-intersects", 4), ("overlaps", 5), ("touches", 6), ("within", 7)], False),
    "ovraNamedTypeCategory": ([("entity", 1), ("relationship", 2), ("both", 4)], False),
}

# Module attributes in registration order; classes of later work slot in between.
REGISTRATION_ORDER = [
    "ovraGraphNamedObjectTypeRole", "ovraFieldType", "ovraGraphPropertyRole", "ovraGeometryType",
    "SpatialReference", "ovraUUIDMethodHint", "GeometryValue", "ObjectValueType", "ObjectValue",
    "EntityValue", "RelationshipValue", "PathValue", "ArrayValue", "Error", "ovraQuantizeMode",
    "ovraSpatialRelation", "ovraNamedTypeCategory",
]


def test_docstring():
    assert lg.__doc__ == "Lorengraph client core for Python"


def test_registration_order():
    names = [n for n in vars(lg) if n in REGISTRATION_ORDER]
    assert names == REGISTRATION_ORDER


@pytest.mark.parametrize("enum_name", ENUMERATIONS)
def test_enumeration_members(enum_name):
    members, int_comparable = ENUMERATIONS[enum_name]
    enum = getattr(lg, enum_name)
    assert [(n, int(m)) for n, m in enum.__members__.items()] == members
    for name, value in members:
        member = enum.__members__[name]
        assert getattr(lg, name) is member  # exported as a module attribute
        assert member.name == name and member.value == value
        assert repr(member) == f"<{enum_name}.{name}: {value}>"
        assert str(member) == f"{enum_name}.{name}"
        assert member.__index__() == value and hash(member) == hash(value)
        assert enum(value) == member
        assert pickle.loads(pickle.dumps(member)) == member
        assert (member == value) is int_comparable
        assert member != object()


def test_same_named_members_of_different_enumerations():
    assert lg.entity is lg.ovraNamedTypeCategory.entity
    assert lg.Entity is lg.ObjectValueType.Entity
    assert lg.Entity != 1 and int(lg.Entity) == 1
    assert lg.ovraFieldTypeString == 4


def test_methods_are_callables_and_arguments_positional():
    o = lg.ObjectValue()
    assert o.key_count() == 0
    assert callable(o.key_count) and not isinstance(o.key_count, int)
    with pytest.raises(TypeError):
        o.query_value(key="a")
    with pytest.raises(TypeError, match="incompatible function arguments"):
        o.set_key_value(1, 2)


def test_str_arguments_accept_bytes():
    o = lg.ObjectValue()
    assert o.set_key_value(b"k", 1)
    assert o.query_value("k") == 1
    assert o.key_value_pairs == [("k", 1)]


def test_error_record():
    e = lg.Error()
    assert (e.error_code, e.error_message, e.empty()) == (0, "", True)
    with pytest.raises(AttributeError):
        e.error_code = 1


def test_spatial_reference():
    sr = lg.SpatialReference()
    assert (sr.wkid, sr.latestWkid, sr.vcsWkid, sr.latestVcsWkid, sr.wkt) == (0, 0, 0, 0, "")
    w = lg.SpatialReference.WGS84()
    assert (w.wkid, w.latestWkid, w.vcsWkid, w.latestVcsWkid, w.wkt) == (4326, 0, 0, 0, "")
    sr.wkt = b"GEOGCS[\xc3\xa9]"
    assert sr.wkt == "GEOGCS[\u00e9]"
    sr.wkid = -1
    assert sr.wkid == -1
    with pytest.raises(TypeError):
        sr.wkid = 2**31


def test_native_exception_reaches_python_as_its_class():
    # A date beyond the 64-bit nanosecond range raises std::overflow_error natively.
    import datetime
    with pytest.raises(OverflowError, match="64-bit nanosecond"):
        lg.ArrayValue().add_value(datetime.datetime(3000, 1, 1))
