"""DataModel.to_value_object: the whole model as plain Python data, and its failures."""
import datetime

import pytest

import _lorengraph as lg
import _lorengraph_datamodel_testing as odd
import datamodel_pb2 as dm
import query_pb2
from dm_wire import GT, add_entity_type, add_property, add_relationship_type, add_search_index, minimal_model


def plain(m):
    model = lg.decode_data_model_from_protocol_buffer(m.SerializeToString())
    assert model is not None
    return model.to_value_object()


PROPERTY_KEYS = ["name", "alias", "fieldType", "hasZ", "hasM", "nullable", "editable", "visible",
                 "required", "isSystemMaintained", "role"]


def test_full_model():
    m = minimal_model()
    m.timestamp = 1000
    m.spatial_reference.wkid, m.spatial_reference.vcsWkid = 3857, 5
    m.objectid_property, m.globalid_property, m.loren_managed = "oid", "gid", True
    m.identifier_info.identifier_generation_info.uuid_method_hint = dm.UUID_OVRA
    person = add_entity_type(m, "Person", alias="People", role=dm.ovraGraphNamedObjectProvenance)
    add_property(person, "name", dm.ovraFieldTypeString, not_visible=True, system_maintained=True,
                 role=dm.Document_FileExtension)
    add_property(person, "age", dm.ovraFieldTypeInteger, required=True).default_value.add().string_value = "42 years"
    add_property(person, "shape", dm.ovraFieldTypeGeometry, geometry_type=GT.ovraGeometryTypeEnvelope,
                 has_m=True, not_editable=True)
    index = person.field_indexes.add()
    index.name, index.fields, index.isAscending, index.description = "i", "name,age", True, "not read"
    knows = add_relationship_type(m, "Knows", [("Person", "Person")])
    add_property(knows, "since", dm.ovraFieldTypeDate, not_nullable=True).default_value.add().int_value = 0
    add_search_index(m, "search", query_pb2.ovraTypeRelationship, analyzers=["standard"],
                     properties={"b": ["x"], "a": []})

    result = plain(m)
    assert list(result) == ["data_model_timestamp", "spatial_reference", "entity_types", "relationship_types",
                            "strict", "objectid_property", "globalid_property", "loren_managed",
                            "identifier_info", "search_indexes"]
    assert result["data_model_timestamp"] == datetime.datetime.fromtimestamp(1)
    assert result["spatial_reference"] == {"wkid": 3857}
    assert (result["strict"], result["objectid_property"], result["globalid_property"], result["loren_managed"]) == (
        False, "oid", "gid", True)
    assert result["identifier_info"] == {
        "identifier_mapping_info": {"native_identifier": ""},
        "identifier_generation_info": {"uuid_method_hint": "ovraUUIDOVRA"}}

    person_form = result["entity_types"]["Person"]
    assert list(person_form) == ["name", "alias", "role", "strict", "properties", "field_indexes"]
    assert (person_form["name"], person_form["alias"], person_form["role"], person_form["strict"]) == (
        "Person", "People", "ovraGraphNamedObjectProvenance", False)
    props = person_form["properties"]
    assert list(props) == ["name", "age", "shape"]
    assert props["name"] == {
        "name": "name", "alias": "", "fieldType": "ovraFieldTypeString", "hasZ": False, "hasM": False,
        "nullable": True, "editable": True, "visible": False, "required": False, "isSystemMaintained": True,
        "role": "ovraGraphPropertyDocumentFileExtension"}
    assert list(props["name"]) == PROPERTY_KEYS
    assert list(props["age"]) == PROPERTY_KEYS[:5] + ["defaultValue"] + PROPERTY_KEYS[5:]
    assert props["age"]["defaultValue"] == 42 and props["age"]["required"] is True
    assert props["age"]["role"] == "ovraGraphPropertyUNSPECIFIED"
    assert list(props["shape"]) == PROPERTY_KEYS[:3] + ["geometryType"] + PROPERTY_KEYS[3:]
    assert (props["shape"]["geometryType"], props["shape"]["hasM"], props["shape"]["editable"]) == (
        "ovraGeometryEnvelope", True, False)
    assert person_form["field_indexes"] == {
        "i": {"name": "i", "fields": ["name", "age"], "isAscending": True, "isUnique": False}}
    assert list(person_form["field_indexes"]["i"]) == ["name", "fields", "isAscending", "isUnique"]

    knows_form = result["relationship_types"]["Knows"]
    assert list(knows_form) == ["name", "alias", "role", "strict", "properties", "field_indexes", "end_points"]
    assert knows_form["role"] == "ovraGraphNamedObjectRegular"
    assert knows_form["end_points"] == [{"origin_entity_type": "Person", "dest_entity_type": "Person"}]
    assert knows_form["properties"]["since"]["defaultValue"] == datetime.datetime.fromtimestamp(0)

    assert result["search_indexes"] == {"search": {
        "name": "search", "supported_category": "Relationship", "analyzers": [{"name": "standard"}],
        "search_properties": {"a": {"property_names": []}, "b": {"property_names": ["x"]}}}}
    assert list(result["search_indexes"]["search"]["search_properties"]) == ["a", "b"]


def test_later_elements_replace_earlier_ones_of_equal_name():
    m = minimal_model()
    first = add_entity_type(m, "T", alias="first")
    add_property(first, "p", dm.ovraFieldTypeString, alias="one")
    add_property(first, "p", dm.ovraFieldTypeString, alias="two")
    add_entity_type(m, "T", alias="second")
    result = plain(m)
    assert result["entity_types"]["T"]["alias"] == "second"
    model = lg.decode_data_model_from_protocol_buffer(m.SerializeToString())
    assert model.query_entity_type("T").alias == "first"
    m.entity_types.pop()
    assert plain(m)["entity_types"]["T"]["properties"]["p"]["alias"] == "two"


@pytest.mark.parametrize("wire_hint, name", [
    (dm.MethodHint_UNSPECIFIED, "ovraMethodHintUNSPECIFIED"), (dm.UUID_OVRA, "ovraUUIDOVRA"),
    (dm.UUID_RFC_4122, "ovraUUIDRFC4122"), (9, "ovraMethodHintUNSPECIFIED")])
def test_identifier_forms(wire_hint, name):
    m = minimal_model()
    m.identifier_info.identifier_generation_info.uuid_method_hint = wire_hint
    m.identifier_info.identifier_mapping_info.uniform_property_identifier.identifier_property_name = "gid"
    assert plain(m)["identifier_info"] == {
        "identifier_mapping_info": {"uniform_property": {"identifier_property_name": "gid"}},
        "identifier_generation_info": {"uuid_method_hint": name}}


@pytest.mark.parametrize("wire_category, name", [
    (query_pb2.ovraTypeEntity, "Entity"), (query_pb2.ovraTypeRelationship, "Relationship"),
    (query_pb2.ovraTypeBoth, "Both")])
def test_search_categories(wire_category, name):
    m = minimal_model()
    add_search_index(m, "s", wire_category)
    assert plain(m)["search_indexes"]["s"]["supported_category"] == name


@pytest.mark.parametrize("wire_geometry", [GT.ovraGeometryTypeMultipatch, 6])
def test_geometry_property_without_plain_name_raises(wire_geometry):
    m = minimal_model()
    add_property(add_entity_type(m, "T"), "g", dm.ovraFieldTypeGeometry, geometry_type=wire_geometry)
    model = lg.decode_data_model_from_protocol_buffer(m.SerializeToString())
    assert model.entity_types[0].properties[0].geometry_type == (
        lg.ovraGeometryMultiPatch if wire_geometry == GT.ovraGeometryTypeMultipatch else lg.ovraGeometryNull)
    with pytest.raises(ValueError, match=r"^Unexpected geometry type\.$"):
        model.to_value_object()


@pytest.mark.parametrize("origin, destination", [("A", ""), ("", "B"), ("", "")])
def test_incomplete_end_point_raises_everywhere(origin, destination):
    m = minimal_model()
    add_relationship_type(m, "R", [("A", "B"), (origin, destination)])
    model = lg.decode_data_model_from_protocol_buffer(m.SerializeToString())
    message = r"^EndPoint must include both origin and destination entity type\.$"
    for call in (model.to_value_object, lambda: model.relationship_types[0].end_points,
                 lambda: model.relationship_types[0].get_end_point(1)):
        with pytest.raises(ValueError, match=message):
            call()
    assert model.relationship_types[0].get_end_point(0) == {"origin_entity_type": "A", "dest_entity_type": "B"}


MAPPING_MESSAGE = r"^IdentifierMappingInfo must have either DatabaseNativeIdentifier or UniformPropertyIdentifier\.$"


@pytest.mark.parametrize("change, message", [
    ("role", r"^Unexpected named object type role\.$"),
    ("field_type", r"^Unexpected field type\.$"),
    ("both_identifiers", MAPPING_MESSAGE),
    ("no_mapping", MAPPING_MESSAGE),
    ("no_generation", r"^IdentifierInfo must have IdentifierGenerationInfo\.$"),
])
def test_values_without_plain_form_raise(change, message):
    with pytest.raises(ValueError, match=message):
        odd.model_with(change).to_value_object()


def test_model_without_identifier_info_raises():
    with pytest.raises(ValueError, match=MAPPING_MESSAGE):
        lg.DataModel().to_value_object()


def test_members_the_decoder_never_sets():
    assert odd.model_with("none").to_value_object()["entity_types"]["E"]["field_indexes"]["i"] == {
        "name": "i", "fields": ["p"], "isAscending": False, "isUnique": False}
    described = odd.model_with("description").to_value_object()["entity_types"]["E"]["field_indexes"]["i"]
    assert list(described) == ["name", "fields", "isAscending", "isUnique", "description"]
    assert described["description"] == "by name"
    big = odd.model_with("big_integer").to_value_object()["entity_types"]["E"]["properties"]["p"]
    assert big["fieldType"] == "ovraFieldTypeBigInteger"
    assert odd.model_with("category_3").to_value_object()["search_indexes"]["s"]["supported_category"] == "UNSPECIFIED"
    assert odd.model_with("none").to_value_object()["search_indexes"]["s"]["supported_category"] == "UNSPECIFIED"
