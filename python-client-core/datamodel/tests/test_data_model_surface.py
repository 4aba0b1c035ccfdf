"""The data model's Python surface: registration, initial states, read-only members, lookups."""
import datetime

import pytest

import _lorengraph as lg
import datamodel_pb2 as dm
import query_pb2
from dm_wire import GT, add_entity_type, add_property, add_relationship_type, add_search_index, minimal_model

decode = lg.decode_data_model_from_protocol_buffer


def test_registration_order():
    order = [
        "ovraGeometryType", "GraphProperty", "EntityType", "RelationshipType", "FieldIndex",
        "SpatialReference", "DatabaseNativeIdentifier", "UniformPropertyIdentifier",
        "IdentifierMappingInfo", "ovraUUIDMethodHint", "IdentifierGenerationInfo", "IdentifierInfo",
        "SearchAnalyzer", "SearchIndexProperties", "SearchIndex", "DataModel", "GeometryValue",
        "ArrayValue", "decode_data_model_from_protocol_buffer", "Error"]
    assert [n for n in vars(lg) if n in order] == order


def test_fresh_objects_have_their_initial_state():
    p = lg.GraphProperty()
    assert (p.name, p.alias, p.field_type, p.geometry_type, p.role, p.default_value) == (
        "", "", lg.ovraFieldTypeString, lg.ovraGeometryNull, lg.ovraGraphPropertyUNSPECIFIED, None)
    assert (p.nullable, p.editable) == (True, True)
    assert not any((p.has_m, p.has_z, p.required, p.default_visibility, p.system_maintained))

    for cls in (lg.EntityType, lg.RelationshipType):
        t = cls()
        assert (t.name, t.alias, t.role, t.strict, t.properties) == ("", "", lg.Regular, False, [])
        assert t.get_property("") is None
    assert lg.RelationshipType().end_points == []
    assert lg.RelationshipType().get_end_point(0) is None

    f = lg.FieldIndex()
    assert (f.name, f.fields, f.ascending, f.unique, f.description) == ("", [], False, False, "")
    assert lg.UniformPropertyIdentifier().identifier_property_name == ""
    mapping = lg.IdentifierMappingInfo()
    assert mapping.database_native_identifier is None and mapping.uniform_property_identifier is None
    assert lg.IdentifierGenerationInfo().uuid_method_hint == lg.ovraMethodHintUNSPECIFIED
    info = lg.IdentifierInfo()
    assert info.identifier_mapping_info is None and info.identifier_generation_info is None

    s = lg.SearchIndex()
    assert (s.name, int(s.supported_category), s.analyzers, s.search_properties) == ("", 0, [], {})

    d = lg.DataModel()
    assert d.timestamp == datetime.datetime.fromtimestamp(0)
    sr = d.spatial_reference
    assert (sr.wkid, sr.latestWkid, sr.vcsWkid, sr.latestVcsWkid, sr.wkt) == (0, 0, 0, 0, "")
    assert (d.strict, d.objectid_property, d.globalid_property, d.loren_managed) == (False, "", "", False)
    assert d.identifier_info is None
    assert (d.entity_types, d.relationship_types, d.search_indexes) == ([], [], [])
    assert d.query_entity_type("x") is None


@pytest.mark.parametrize("cls, member", [
    (lg.GraphProperty, "name"), (lg.GraphProperty, "field_type"), (lg.GraphProperty, "default_value"),
    (lg.GraphProperty, "nullable"), (lg.EntityType, "name"), (lg.EntityType, "properties"),
    (lg.RelationshipType, "end_points"), (lg.FieldIndex, "fields"), (lg.FieldIndex, "description"),
    (lg.UniformPropertyIdentifier, "identifier_property_name"),
    (lg.IdentifierMappingInfo, "database_native_identifier"),
    (lg.IdentifierGenerationInfo, "uuid_method_hint"), (lg.IdentifierInfo, "identifier_mapping_info"),
    (lg.SearchIndex, "name"), (lg.SearchIndex, "search_properties"), (lg.DataModel, "timestamp"),
    (lg.DataModel, "spatial_reference"), (lg.DataModel, "entity_types"), (lg.DataModel, "identifier_info"),
])
def test_members_are_read_only(cls, member):
    with pytest.raises(AttributeError):
        setattr(cls(), member, getattr(cls(), member))


def test_plain_value_classes_are_writable_copies():
    a = lg.SearchAnalyzer()
    a.name = "standard"
    p = lg.SearchIndexProperties()
    p.property_names = ["x", "y"]
    assert (a.name, p.property_names) == ("standard", ["x", "y"])
    p.property_names.append("z")  # a new list on each access
    assert p.property_names == ["x", "y"]


def sample_model():
    m = minimal_model()
    m.timestamp = 86_400_000
    m.spatial_reference.wkid = 4326
    m.objectid_property, m.globalid_property, m.loren_managed = "oid", "gid", True
    m.identifier_info.identifier_mapping_info.uniform_property_identifier.identifier_property_name = "gid"
    m.identifier_info.identifier_generation_info.uuid_method_hint = dm.UUID_RFC_4122
    person = add_entity_type(m, "Person", alias="People", role=dm.ovraGraphNamedObjectDocument)
    add_property(person, "name", dm.ovraFieldTypeString, alias="Name", not_nullable=True, role=dm.Document_Title)
    add_property(person, "dropped", dm.ovraFieldTypeBigInteger)
    add_property(person, "born", dm.ovraFieldTypeDate).default_value.add().int_value = 1000
    add_property(person, "shape", dm.ovraFieldTypeGeometry, geometry_type=GT.ovraGeometryTypePolygon, has_z=True)
    add_property(person, "name", dm.ovraFieldTypeInteger, alias="second")
    index = person.field_indexes.add()
    index.name, index.fields, index.isUnique = "by_name", ",name,,born", True
    add_entity_type(m, "Person", alias="Again")
    add_relationship_type(m, "Knows", [("Person", "Person"), ("Person", "Company")])
    add_search_index(m, "search", query_pb2.ovraTypeBoth, analyzers=["b", "a", "b"],
                     properties={"zeta": ["z"], "Alpha": ["p2", "p1"], "alpha": []})
    return m.SerializeToString()


def test_decoded_model_members_and_lookups():
    model = decode(sample_model())
    assert isinstance(model, lg.DataModel)
    assert model.timestamp == datetime.datetime.fromtimestamp(86_400)
    assert model.spatial_reference.wkid == 4326
    assert (model.objectid_property, model.globalid_property, model.loren_managed, model.strict) == (
        "oid", "gid", True, False)
    mapping = model.identifier_info.identifier_mapping_info
    assert mapping.database_native_identifier is None
    assert mapping.uniform_property_identifier.identifier_property_name == "gid"
    assert model.identifier_info.identifier_generation_info.uuid_method_hint == lg.ovraUUIDRFC4122

    assert [t.alias for t in model.entity_types] == ["People", "Again"]
    person = model.query_entity_type("Person")
    assert person.alias == "People" and person.role == lg.Document and person.role == 2
    assert model.query_entity_type("person") is None
    assert [(p.name, p.alias) for p in person.properties] == [
        ("name", "Name"), ("born", ""), ("shape", ""), ("name", "second")]
    assert person.get_property("dropped") is None and person.get_property("NAME") is None
    name = person.get_property("name")
    assert (name.alias, name.field_type, name.nullable, name.role) == (
        "Name", lg.ovraFieldTypeString, False, lg.ovraGraphPropertyDocumentTitle)
    assert person.get_property("born").default_value == datetime.datetime.fromtimestamp(1)
    shape = person.get_property("shape")
    assert (shape.geometry_type, shape.has_z, shape.has_m) == (lg.ovraGeometryPolygon, True, False)

    knows = model.query_relationship_type("Knows")
    assert knows.end_points == [{"origin_entity_type": "Person", "dest_entity_type": "Person"},
                                {"origin_entity_type": "Person", "dest_entity_type": "Company"}]
    assert knows.get_end_point(1) == {"origin_entity_type": "Person", "dest_entity_type": "Company"}
    assert knows.get_end_point(2) is None and knows.get_end_point(-1) is None
    assert model.query_relationship_type("Person") is None


def test_search_index_lookups_and_key_order():
    index = decode(sample_model()).query_search_index("search")
    assert index.supported_category == lg.both and index.supported_category != 4
    assert [a.name for a in index.analyzers] == ["b", "a", "b"]
    assert index.query_analyzer("a").name == "a" and index.query_analyzer("c") is None
    assert list(index.search_properties) == ["Alpha", "alpha", "zeta"]
    assert index.search_properties["Alpha"].property_names == ["p2", "p1"]
    assert index.query_search_property("zeta").property_names == ["z"]
    assert index.query_search_property("ALPHA") is None


def test_elements_outlive_the_model():
    model = decode(sample_model())
    person = model.entity_types[0]
    prop = person.properties[0]
    del model
    assert person.name == "Person" and prop.name == "name"


def test_bytes_and_str_are_accepted():
    data = minimal_model().SerializeToString()
    assert data.isascii()
    assert isinstance(decode(data), lg.DataModel)
    assert isinstance(decode(data.decode("ascii")), lg.DataModel)


@pytest.mark.parametrize("data", [
    b"", "", b"\xff\xff", b"\x0a\x05abc",  # empty, not a message, truncated
    dm.GraphDataModel(objectid_property="x").SerializeToString(),  # no identifier info
])
def test_rejected_data_give_none(data):
    assert decode(data) is None


def test_rejects_without_raising_for_bad_category_or_identifier():
    bad_category = minimal_model()
    add_search_index(bad_category, "s", category=0)
    no_hint = minimal_model()
    no_hint.identifier_info.identifier_generation_info.Clear()
    for m in (bad_category, no_hint):
        assert decode(m.SerializeToString()) is None


def test_wrong_argument_type_raises_type_error():
    with pytest.raises(TypeError):
        decode(5)
    with pytest.raises(TypeError):
        decode(data=b"")
