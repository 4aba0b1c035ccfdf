"""The value objects as Python sees them."""
import pytest

import _lorengraph as lg

PROPERTY_CLASSES = [lg.ObjectValue, lg.EntityValue, lg.RelationshipValue]


@pytest.mark.parametrize("cls, kind", zip(PROPERTY_CLASSES, [lg.Object, lg.Entity, lg.Relationship]))
def test_property_list_operations(cls, kind):
    o = cls()
    assert o.object_value_type == kind
    assert not o.set_key_value("", 1) and not o.append_key_value("", 1)
    assert o.append_key_value("a", 1) and o.append_key_value("a", 2)
    assert o.key_count() == 2 and o.query_value("a") == 1
    assert o.set_key_value("a", 3)
    assert o.key_value_pairs == [("a", 3), ("a", 2)]
    assert not o.put_value_at(2, "x") and o.key_count() == 2
    assert o.put_value_at(1, "x") and o.get_value_at(1) == "x"
    for missing in (o.query_value(""), o.query_value("b"), o.get_value_at(-1), o.get_value_at(2)):
        assert missing is None
    o.clear()
    assert o.key_count() == 0


def test_null_is_stored_and_differs_from_missing():
    o = lg.ObjectValue()
    assert o.set_key_value("n", None)
    assert o.key_count() == 1 and o.query_value("n") is None


@pytest.mark.parametrize("cls", [lg.EntityValue, lg.RelationshipValue])
def test_named_types_keep_name_and_id_across_clear(cls):
    e = cls()
    assert e.type_name == "" and e.get_id() is None
    e.type_name = "Person"
    e.set_id(7)
    e.set_key_value("name", "Ada")
    e.clear()
    assert (e.type_name, e.get_id(), e.key_count()) == ("Person", 7, 0)


def test_relationship_end_points():
    r = lg.RelationshipValue()
    assert r.get_origin_entity_id() is None and r.get_destination_entity_id() is None
    r.set_related_entity_ids(1, "two")
    assert (r.get_origin_entity_id(), r.get_destination_entity_id()) == (1, "two")


def test_array_operations():
    a = lg.ArrayValue()
    assert a.put_value_at(2, "s")
    assert a.values == [None, None, "s"]
    assert a.put_value_at(0, 5) and a.values == [5, None, "s"]
    assert not a.put_value_at(-1, 1) and a.count() == 3
    assert a.get_value_at(3) is None and a.get_value_at(-1) is None
    a.values = [True, 1.5]
    assert a.count() == 2 and a.get_value_at(0) is True


def test_array_shows_later_changes_of_shared_objects():
    o = lg.ObjectValue()
    a = lg.ArrayValue()
    a.add_value(o)
    o.set_key_value("k", "v")
    assert a.get_value_at(0).query_value("k") == "v"


def test_path_is_empty_and_read_only():
    p = lg.PathValue()
    assert (p.entity_count(), p.relationship_count(), p.entities, p.relationships) == (0, 0, [], [])
    assert p.get_entity_at(0) is None and p.get_relationship_at(-1) is None
    with pytest.raises(AttributeError):
        p.entities = []


def test_geometry_fields():
    g = lg.GeometryValue()
    assert (g.has_z, g.has_m, g.geometry_type, g.lengths, g.coords) == (
        False, False, lg.ovraGeometryNull, [], [])
    g.geometry_type = lg.ovraGeometryPolyline
    g.lengths = [2]
    g.coords = [0, 1, 2, 3]
    assert g.coords == [0.0, 1.0, 2.0, 3.0] and g.lengths == [2]
