"""Values as plain Python data (to_value_object) and from dictionary forms."""
import datetime
import uuid

import pytest

import _lorengraph as lg
import _lorengraph_testing as lgt
from builders import entity, geometry






@pytest.mark.parametrize("value", [None, True, 7, 0.1, "text", b"\x00\x01",
                                   uuid.UUID(int=5), datetime.datetime(2020, 1, 2, 3, 4, 5, 6)])
def test_scalars_read_as_native_values(value):
    assert lg.to_value_object(value) == value


def test_entity_relationship_object_and_array():
    e = entity("Person", 7, name="Ada")
    assert lg.to_value_object(e) == {
        "_objectType": "entity", "_typeName": "Person", "_id": 7, "_properties": {"name": "Ada"}}
    assert list(lg.to_value_object(e)) == ["_objectType", "_typeName", "_id", "_properties"]

    r = lg.RelationshipValue()
    r.type_name = "Knows"
    r.set_id(1)
    r.set_related_entity_ids(7, 8)
    assert list(lg.to_value_object(r).items()) == [
        ("_objectType", "relationship"), ("_typeName", "Knows"), ("_id", 1),
        ("_originEntityId", 7), ("_destinationEntityId", 8), ("_properties", {})]

    o = lg.ObjectValue()
    o.append_key_value("a", 1)
    o.append_key_value("b", 2)
    o.append_key_value("a", 3)   # a later duplicate overwrites in place
    assert list(lg.to_value_object(o)["_properties"].items()) == [("a", 3), ("b", 2)]

    a = lg.ArrayValue()
    a.values = [1, e, [2] and None]
    assert lg.to_value_object(a) == [1, lg.to_value_object(e), None]


def test_keys_end_at_the_first_zero_byte_and_must_be_utf8():
    o = lg.ObjectValue()
    o.set_key_value(b"ab\x00cd", 1)
    assert lg.to_value_object(o)["_properties"] == {"ab": 1}
    o.set_key_value(b"\xff", 2)
    with pytest.raises(RuntimeError, match="Could not allocate string object!"):
        lg.to_value_object(o)


@pytest.mark.parametrize("g, expected", [
    (geometry(lg.ovraGeometryPoint, [1, 2]), {"x": 1.0, "y": 2.0}),
    (geometry(lg.ovraGeometryPoint, [1, 2, 3], has_m=True), {"x": 1.0, "y": 2.0, "m": 3.0}),
    (geometry(lg.ovraGeometryPoint, [1, 2, 3, 4], has_z=True, has_m=True),
     {"x": 1.0, "y": 2.0, "z": 3.0, "m": 4.0}),
    (geometry(lg.ovraGeometryMultipoint, [1, 2, 3, 4, 5, 6], lengths=[2, 1]),
     {"points": [[1.0, 2.0], [3.0, 4.0]]}),  # only the first part counts
    (geometry(lg.ovraGeometryPolyline, [0, 0, 1, 1, 1, 2, 2, 2, 3], lengths=[2, 1], has_z=True),
     {"hasZ": True, "paths": [[[0.0, 0.0, 1.0], [1.0, 1.0, 2.0]], [[2.0, 2.0, 3.0]]]}),
    (geometry(lg.ovraGeometryPolygon, [0, 0, 1, 1, 1, 0], lengths=[2], has_m=True),
     {"hasM": True, "rings": [[[0.0, 0.0, 1.0], [1.0, 1.0, 0.0]]]}),
])
def test_geometry_plain_forms(g, expected):
    got = lg.to_value_object(g)
    assert got == expected and list(got) == list(expected)
    with_sr = lgt.to_plain_object_with_spatial_reference(g, lg.SpatialReference.WGS84())
    assert with_sr == dict(expected, spatialReference={"wkid": 4326})


def test_spatial_reference_reaches_nested_geometries_only_when_set():
    a = lg.ArrayValue()
    a.add_value(entity("Site", 1, where=geometry(lg.ovraGeometryPoint, [1, 2])))
    sr = lg.SpatialReference()
    sr.vcsWkid = 5703                         # not set: only wkid or wkt count
    assert "spatialReference" not in lgt.to_plain_object_with_spatial_reference(a, sr)[0]["_properties"]["where"]
    sr.wkt = "GEOGCS[]"
    assert lgt.to_plain_object_with_spatial_reference(a, sr)[0]["_properties"]["where"]["spatialReference"] == {
        "wkt": "GEOGCS[]"}


@pytest.mark.parametrize("sr_fields, expected", [
    ({}, {}),
    ({"vcsWkid": 5703, "latestVcsWkid": 5703}, {}),
    ({"wkid": 4326, "latestWkid": 4326}, {"wkid": 4326, "latestWkid": 4326}),
    ({"wkid": -1, "wkt": "w"}, {"wkid": -1, "wkt": "w"}),
])
def test_spatial_reference_dictionary_form(sr_fields, expected):
    sr = lg.SpatialReference()
    for k, v in sr_fields.items():
        setattr(sr, k, v)
    assert lgt.spatial_reference_dict(sr) == expected


@pytest.mark.parametrize("g, message", [
    (geometry(lg.ovraGeometryEnvelope, [0, 0, 1, 1]), "Unknown or unsupported geometry type."),
    (geometry(lg.ovraGeometryNull, []), "Unknown or unsupported geometry type."),
    (geometry(lg.ovraGeometryPoint, [1]), "Invalid geometry."),
    (geometry(lg.ovraGeometryPolyline, [0, 0, 1, 1], lengths=[3]), "Invalid geometry."),
    (geometry(lg.ovraGeometryPolygon, [0, 0], lengths=[-1]), "Invalid geometry."),
])
def test_geometries_without_plain_form_raise_value_error(g, message):
    with pytest.raises(ValueError, match=message):
        lg.to_value_object(g)


def test_path_needs_one_more_entity_than_relationships():
    # Python cannot fill a path; an empty one (no entity at all) is already malformed.
    with pytest.raises(ValueError, match="incorrect number of entities vs number of relationships"):
        lg.to_value_object(lg.PathValue())


def test_value_containing_itself_raises_value_error():
    a = lg.ArrayValue()
    a.add_value(a)
    with pytest.raises(ValueError, match="contains itself"):
        lg.to_value_object(a)
    a.values = []  # break the cycle so the array can be freed


# ---- dictionary forms -----------------------------------------------------------------------

def test_entity_and_relationship_dictionary_forms():
    e = lgt.from_dictionary_form({"_objectType": "entity", "_typeName": "Person", "_id": 7,
                                  "_properties": {"name": "Ada", "": "dropped", "none": None}})
    assert isinstance(e, lg.EntityValue)
    assert (e.type_name, e.get_id(), e.key_value_pairs) == ("Person", 7, [("name", "Ada"), ("none", None)])

    r = lgt.from_dictionary_form({"_objectType": "relationship", "_typeName": "Knows", "_id": 1,
                                  "_originEntityId": 7, "_destinationEntityId": 8,
                                  "_properties": [("since", 2001)]})
    assert (r.get_origin_entity_id(), r.get_destination_entity_id(), r.key_value_pairs) == (7, 8, [("since", 2001)])


def test_nested_dictionary_forms_convert_recursively():
    e = lgt.from_dictionary_form({"_objectType": "entity", "_typeName": "Site", "_id": {
        "_objectType": "geometry", "x": 1, "y": 2}, "_properties": {
        "where": {"_objectType": "geometry", "x": 1, "y": 2, "z": 3}}})
    g = e.query_value("where")
    assert (g.geometry_type, g.lengths, g.coords, g.has_z, g.has_m) == (lg.ovraGeometryPoint, [1], [1.0, 2.0, 3.0], True, False)
    assert isinstance(e.get_id(), lg.GeometryValue)


@pytest.mark.parametrize("form, kind, lengths, coords, has_z, has_m", [
    ({"x": 1, "y": 2}, lg.ovraGeometryPoint, [1], [1.0, 2.0], False, False),
    ({"x": 1, "y": 2, "m": 4}, lg.ovraGeometryPoint, [1], [1.0, 2.0, 4.0], False, True),
    ({"points": [[1, 2], [3, 4]], "hasZ": False}, lg.ovraGeometryMultipoint, [2], [1, 2, 3, 4], False, False),
    ({"rings": [[[0, 0, 5], [1, 1, 5]], [[2, 2, 5]]], "hasZ": True}, lg.ovraGeometryPolygon, [2, 1],
     [0, 0, 5, 1, 1, 5, 2, 2, 5], True, False),
    ({"paths": [[[0, 0], [1, 1]]], "hasM": 1}, lg.ovraGeometryPolyline, [2], [0, 0, 1, 1], False, True),
])
def test_geometry_dictionary_forms(form, kind, lengths, coords, has_z, has_m):
    g = lgt.from_dictionary_form(dict(form, _objectType="geometry"))
    assert (g.geometry_type, g.lengths, g.coords, g.has_z, g.has_m) == (kind, lengths, coords, has_z, has_m)


@pytest.mark.parametrize("form", [
    {"_objectType": "geometry", "x": 1},          # neither a point nor parts
    {"_objectType": "object", "_properties": {}},
    {"_objectType": "path"},
    object(),                                     # no alternative accepts it
])
def test_forms_without_a_value_give_null(form):
    assert lgt.from_dictionary_form(form) is None


@pytest.mark.parametrize("form, error", [
    ({}, KeyError),
    ({"_objectType": 5}, RuntimeError),
    ({"_objectType": "entity", "_typeName": "T", "_id": 1}, KeyError),
    ({"_objectType": "relationship", "_typeName": "T", "_id": 1, "_properties": {}}, KeyError),
    ({"_objectType": "entity", "_typeName": "T", "_id": 1, "_properties": {5: 1}}, RuntimeError),
    ({"_objectType": "geometry", "x": "one", "y": 2}, RuntimeError),
])
def test_malformed_dictionary_forms_raise(form, error):
    with pytest.raises(error):
        lgt.from_dictionary_form(form)


def test_dictionary_containing_itself_raises_value_error():
    d = {"_objectType": "entity", "_typeName": "T", "_properties": {}}
    d["_id"] = d
    with pytest.raises(ValueError, match="contains itself"):
        lgt.from_dictionary_form(d)
