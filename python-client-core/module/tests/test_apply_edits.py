"""GraphApplyEditsEncoder and GraphApplyEditsDecoder as Python sees them."""
import copy
import uuid

import pytest

import _lorengraph as lg
import applyedits_pb2
import value_pb2
from builders import entity

NOT_AN_OBJECT = "Argument must be valid Entity or Relationship!"
DECODE_FAILURE = "Error decoding ApplyEdits response!"


# ---- encoder helpers ------------------------------------------------------------------------

def make_encoder(xy_resolution=None):
    q = lg.InputQuantizationParameters()
    if xy_resolution is not None:
        q.xy_resolution = xy_resolution
    return lg.GraphApplyEditsEncoder(False, "", "", lg.SpatialReference(), q)




def relationship(type_name, origin, destination, id_=None, **properties):
    r = lg.RelationshipValue()
    r.type_name = type_name
    r.set_id(id_)
    r.set_related_entity_ids(origin, destination)
    for k, v in properties.items():
        r.set_key_value(k, v)
    return r


def entity_dict(type_name, id_=None, **properties):
    return {"_objectType": "entity", "_typeName": type_name, "_id": id_, "_properties": properties}


def relationship_dict(type_name, origin, destination, id_=None, **properties):
    return {"_objectType": "relationship", "_typeName": type_name, "_id": id_,
            "_originEntityId": origin, "_destinationEntityId": destination, "_properties": properties}


def point():
    g = lg.GeometryValue()
    g.geometry_type, g.coords, g.lengths = lg.ovraGeometryPoint, [1.0, 2.0], [1]
    return g


def split_stream(data):
    """The length-prefixed messages of a stream."""
    messages, at = [], 0
    while at < len(data):
        length = shift = 0
        while True:
            byte = data[at]
            at += 1
            length |= (byte & 0x7F) << shift
            shift += 7
            if byte < 0x80:
                break
        messages.append(data[at:at + length])
        at += length
        assert at <= len(data), "torn stream"
    return messages


def encoded_frames(encoder):
    """Encodes, expects success, and parses the frames."""
    assert encoder.encode() is None
    return frames_of(encoder)


def frames_of(encoder):
    result = encoder.get_encoding_result()
    assert result.error.empty(), (result.error.error_code, result.error.error_message)
    messages = split_stream(result.byte_buffer)
    header = applyedits_pb2.GraphApplyEditsHeader.FromString(messages[0])
    assert header.HasField("input_quantization_transform")
    return [applyedits_pb2.GraphApplyEditsFrame.FromString(m) for m in messages[1:]]


def assert_encode_error(encoder, message):
    encoder.encode()
    error = encoder.get_encoding_result().error
    assert (error.error_code, error.error_message) == (-7, message)


# ---- encoder --------------------------------------------------------------------------------

SEVENTEEN_BYTES = bytes([0x02, 0x22, 0x00, 0x0D, 0x0A, 0x0B, 0x0A, 0x09, 0x0A, 0x01, 0x54,
                         0x12, 0x04, 0x0A, 0x02, 0x0A, 0x00])


@pytest.mark.parametrize("make", [lambda: entity("T"), lambda: entity_dict("T")])
def test_one_bare_entity_is_the_seventeen_byte_request(make):
    e = make_encoder()
    assert e.get_encoding_result() is None
    assert e.add(make()) is None
    e.encode()
    result = e.get_encoding_result()
    assert result.error.empty()
    assert result.byte_buffer == SEVENTEEN_BYTES


def test_zero_resolution_makes_no_encoder():
    with pytest.raises(ValueError, match=r"^cannot divide 1 by 0\.$"):
        make_encoder(0.0)


@pytest.mark.parametrize("argument", [
    None, 5, "T", lg.ObjectValue(), lg.PathValue(), lg.ArrayValue(),
    {"_objectType": "object", "_properties": {}},
    {"_objectType": "geometry", "x": 1, "y": 2},
    {"_objectType": "path"},
], ids=["None", "int", "str", "ObjectValue", "PathValue", "ArrayValue", "object form", "geometry form",
        "path form"])
@pytest.mark.parametrize("method", ["add", "update", "delete"])
def test_anything_but_entities_and_relationships_raises(method, argument):
    e = make_encoder()
    with pytest.raises(ValueError, match=f"^{NOT_AN_OBJECT}$"):
        getattr(e, method)(argument)


@pytest.mark.parametrize("argument, error", [
    ({"_objectType": "entity", "_typeName": "T", "_id": 1}, KeyError),
    ({"_typeName": "T", "_id": 1, "_properties": {}}, KeyError),
    ({k: v for k, v in relationship_dict("R", 1, 2).items() if k != "_originEntityId"}, KeyError),
    ({"_objectType": 5}, RuntimeError),
    (entity_dict("T") | {"_properties": {1: 2}}, RuntimeError),
])
def test_dictionary_forms_that_do_not_convert_raise_as_the_conversion_does(argument, error):
    with pytest.raises(error):
        make_encoder().add(argument)


def test_objects_and_dictionary_forms_write_the_same_request():
    u = uuid.UUID("01020304-0506-0708-090a-0b0c0d0e0f10")

    def fill(e, make_entity, make_relationship):
        e.add(make_entity("Person", u, name="Ada", age=36))
        e.add(make_relationship("Knows", 1, "two", 3, since=2001))
        e.update(make_entity("Person", u, age=37))
        e.delete(make_entity("Person", 8))
        e.delete(make_relationship("Knows", 1, 2, None))

    by_object, by_dict = make_encoder(), make_encoder()
    fill(by_object, entity, relationship)
    fill(by_dict, entity_dict, relationship_dict)
    by_object.encode()
    by_dict.encode()
    assert by_object.get_encoding_result().byte_buffer == by_dict.get_encoding_result().byte_buffer

    [frame] = frames_of(by_dict)
    person = frame.adds.entities["Person"].adds[0].named_object
    assert person.id.primitive_value.uuid_value == u.bytes
    assert [(p.key, p.value.primitive_value.WhichOneof("value")) for p in person.properties] == [
        ("name", "string_value"), ("age", "int_value")]
    knows = frame.adds.relationships["Knows"].adds[0]
    assert knows.origin_id.primitive_value.int_value == 1
    assert knows.destination_id.primitive_value.string_value == "two"
    assert knows.named_object.id.primitive_value.int_value == 3
    assert frame.updates.entities["Person"].updates[0].properties[0].value.primitive_value.int_value == 37
    deleted = frame.deletes.deleted_entity_ids["Person"].identifiers
    assert deleted.WhichOneof("values") == "any_values"
    assert [v.primitive_value.int_value for v in deleted.any_values.value] == [8]
    null_id = frame.deletes.deleted_relationship_ids["Knows"].identifiers.any_values.value[0]
    assert null_id.primitive_value.WhichOneof("value") == "null_value"


def test_operations_change_the_object_but_never_the_dictionary():
    e = make_encoder()
    added, updated, deleted = entity("T", 1, a=1, b="x"), entity("T", 2, a=2), entity("T", 3, a=3)
    assert e.add(added) is None
    assert e.update(updated) is None
    assert e.delete(deleted) is None
    assert (added.type_name, added.key_count()) == ("T", 0)      # properties taken on success
    assert (updated.type_name, updated.key_count()) == ("", 0)
    assert (deleted.type_name, deleted.key_count()) == ("", 1)   # a delete reads only the identifier

    forms = [entity_dict("T", 1, a=1, b="x"), entity_dict("T", 2, a=2), relationship_dict("R", 1, 2, 3, c=[1, 2])]
    before = copy.deepcopy(forms)
    e.add(forms[0])
    e.update(forms[1])
    e.delete(forms[2])
    assert forms == before
    assert [len(f.adds.entities["T"].adds) for f in encoded_frames(e)] == [2]


def test_skipped_objects_return_none_and_leave_the_object_as_it_was():
    e = make_encoder()
    no_destination = relationship("R", 1, None, p=5)
    assert e.add(no_destination) is None
    assert (no_destination.type_name, no_destination.key_value_pairs) == ("R", [("p", 5)])
    no_properties = entity("T", 1)
    assert e.update(no_properties) is None
    assert no_properties.type_name == ""   # cleared even though skipped
    assert e.add(entity("")) is None
    assert e.delete(entity_dict("", 1)) is None
    geometry = entity("T", 1)
    geometry.set_key_value("g", point())
    assert e.add(geometry) is None          # no input quantization: the geometry cannot go
    assert geometry.key_count() == 1
    assert_encode_error(e, "GraphApplyEditsEncoder: empty input.")
    assert e.get_encoding_result().byte_buffer == b""

    e.add(entity("T"))                      # still collecting
    assert [len(f.adds.entities["T"].adds) for f in encoded_frames(e)] == [1]


def test_geometry_in_dictionary_form_is_quantized_when_the_encoder_has_a_resolution():
    e = make_encoder(0.5)
    broken = point()
    broken.geometry_type, broken.lengths = lg.ovraGeometryPolyline, [5]   # more points than it has
    skipped = entity("Place", 1)
    skipped.set_key_value("where", broken)
    assert e.add(skipped) is None           # skipped, not raised
    e.add(entity_dict("Place", 1, where={"_objectType": "geometry", "x": 1, "y": 2}))
    [frame] = encoded_frames(e)
    geometry = frame.adds.entities["Place"].adds[0].named_object.properties[0].value.primitive_value.geometry_value
    assert list(geometry.default_geometry.coords) == [2, 4]


def test_a_frame_holds_at_most_2049_objects():
    e = make_encoder()
    for i in range(2049):
        e.add(entity_dict("T", i))
    e.delete(entity_dict("T", 0))
    frames = encoded_frames(e)
    assert [len(f.adds.entities["T"].adds) for f in frames] == [2049, 0]
    assert [len(f.deletes.deleted_entity_ids["T"].identifiers.any_values.value) for f in frames] == [0, 1]


def test_encoder_is_single_use():
    e = make_encoder()
    e.add(entity("T"))
    e.encode()
    first = e.get_encoding_result().byte_buffer
    assert first == SEVENTEEN_BYTES
    later = entity("T", 1, a=1)
    for method in ("add", "update", "delete"):
        with pytest.raises(RuntimeError, match=r"^Cannot reuse encoder!$"):
            getattr(e, method)(later)
        with pytest.raises(RuntimeError, match=r"^Cannot reuse encoder!$"):
            getattr(e, method)(entity_dict("T", 1, a=1))
    assert (later.type_name, later.key_count()) == ("T", 1)
    # Anything not an entity is still refused as such first.
    with pytest.raises(ValueError, match=f"^{NOT_AN_OBJECT}$"):
        e.add(1)
    assert_encode_error(e, "GraphApplyEditsEncoder: Encode() has already been called!")
    assert e.get_encoding_result().byte_buffer == first


# ---- decoder helpers ------------------------------------------------------------------------

def int_ids(*ids):
    a = value_pb2.ArrayValue()
    a.int_values.value.extend(ids)
    return a


def edit_results(ids, errors=None):
    r = applyedits_pb2.EditResults()
    r.ids.CopyFrom(ids if isinstance(ids, value_pb2.ArrayValue) else int_ids(*ids))
    for key, (code, message) in (errors or {}).items():
        r.errors[key].error_code = code
        r.errors[key].error_message = message
    return r


def response(**maps):
    """A serialized GraphApplyEditsResult; each keyword names a map field."""
    r = applyedits_pb2.GraphApplyEditsResult()
    for field, entries in maps.items():
        if field == "error":
            r.error.error_code, r.error.error_message = entries
            continue
        for name, value in entries.items():
            getattr(r, field)[name].CopyFrom(value)
    return r.SerializeToString()


def decoded(*responses):
    d = lg.GraphApplyEditsDecoder()
    for data in responses:
        result = d.decode(data)
        assert isinstance(result, lg.Error)
        assert result.empty(), (result.error_code, result.error_message)
    return d.get_results()


EMPTY = {"editsResult": {}, "cascadedDeletes": {}, "relationshipSchemaChanges": {}}


# ---- decoder --------------------------------------------------------------------------------

def test_fresh_decoder():
    results = lg.GraphApplyEditsDecoder().get_results()
    assert results == EMPTY
    assert list(results) == ["editsResult", "cascadedDeletes", "relationshipSchemaChanges"]


# Empty; a cut tag; a cut entry; a type name that is not UTF-8.
@pytest.mark.parametrize("data", [b"", b"\xff", b"\x12\x05\x0a", b"\x12\x03\x0a\x01\xff"])
def test_bad_data_give_an_error_record(data):
    d = lg.GraphApplyEditsDecoder()
    error = d.decode(data)
    assert isinstance(error, lg.Error)
    assert (error.error_code, error.error_message) == (-3, DECODE_FAILURE)
    assert d.get_results() == EMPTY


@pytest.mark.parametrize("data", ["text", bytearray(b"\x0a\x00"), memoryview(b"\x0a\x00"), None, 5])
def test_decode_takes_only_bytes(data):
    with pytest.raises(TypeError):
        lg.GraphApplyEditsDecoder().decode(data)


def test_service_error_only():
    d = lg.GraphApplyEditsDecoder()
    error = d.decode(response(error=(5, "Service says no.")))
    assert (error.error_code, error.error_message) == (0, "")
    results = d.get_results()
    assert results == {"error": {"code": 5, "message": "Service says no."}, **EMPTY}
    assert list(results) == ["error", "editsResult", "cascadedDeletes", "relationshipSchemaChanges"]
    assert list(results["error"]) == ["code", "message"]
    # A later response with an empty error replaces it; one without an error does not.
    d.decode(response(entity_add_results={"A": edit_results([1])}))
    assert d.get_results()["error"] == {"code": 5, "message": "Service says no."}
    d.decode(response(error=(0, "")))
    assert "error" not in d.get_results()


def test_errors_under_their_position():
    errors = {1: (7, "Bad."), 9: (8, "Ignored.")}
    results = decoded(response(entity_add_results={"Person": edit_results([1, 2, 3], errors)}))
    assert results == {
        "error": {"code": 0, "message": ""},
        "editsResult": {"Person": {"addResults": [
            {"id": 1}, {"id": 2, "error": {"code": 7, "message": "Bad."}}, {"id": 3}]}},
        "cascadedDeletes": {},
        "relationshipSchemaChanges": {},
    }
    assert list(results["editsResult"]["Person"]["addResults"][1]) == ["id", "error"]
    # A key past the identifiers alone is no object error.
    assert "error" not in decoded(response(entity_add_results={"A": edit_results([1], {1: (8, "Past.")})}))


def test_per_type_keys_and_order():
    data = response(
        entity_update_results={"Nothing": applyedits_pb2.EditResults()},
        entity_delete_results={"A": edit_results([5])},
        relationship_update_results={"B": edit_results([4])},
        entity_add_results={"C": edit_results([1])},
        relationship_add_results={"A": edit_results([2])})
    edits = decoded(data)["editsResult"]
    assert list(edits) == ["C", "A", "Nothing", "B"]   # adds are read first, then updates, then deletes
    assert edits == {"C": {"addResults": [{"id": 1}]},
                     "A": {"addResults": [{"id": 2}], "deleteResults": [{"id": 5}]},
                     "Nothing": {},
                     "B": {"updateResults": [{"id": 4}]}}
    assert list(edits["A"]) == ["addResults", "deleteResults"]


def test_decoding_twice_doubles_every_list():
    def cascade():
        c = applyedits_pb2.CascadingRelationshipDeletes()
        c.results.CopyFrom(edit_results([1]))
        c.origin_ids.CopyFrom(int_ids(2))
        c.destination_ids.CopyFrom(int_ids(3))
        return c

    schema = applyedits_pb2.RelationshipTypeSchemaChanges()
    schema.new_end_points.add(origin_entity_type="P", destination_entity_type="Q")
    data = response(entity_add_results={"A": edit_results([1, 2])}, entity_update_results={"A": edit_results([3])},
                    relationship_delete_results={"R": edit_results([4])},
                    cascading_relationship_delete_results={"R": cascade()},
                    rel_type_schema_changes={"R": schema})
    once, twice = decoded(data), decoded(data, data)
    assert twice["editsResult"]["A"]["addResults"] == [{"id": 1}, {"id": 2}] * 2
    assert twice["editsResult"]["A"]["updateResults"] == [{"id": 3}] * 2
    assert twice["editsResult"]["R"]["deleteResults"] == [{"id": 4}] * 2
    assert twice["cascadedDeletes"] == {"R": [{"id": 1, "originId": 2, "destId": 3}] * 2}
    end_point = {"origin_entity_type": "P", "dest_entity_type": "Q"}
    assert once["relationshipSchemaChanges"] == {"R": {"new_end_points": [end_point]}}
    assert twice["relationshipSchemaChanges"] == {"R": {"new_end_points": [end_point] * 2}}


def test_cascade():
    good = applyedits_pb2.CascadingRelationshipDeletes()
    good.results.CopyFrom(edit_results([1, 2], {0: (4, "Gone.")}))
    good.origin_ids.CopyFrom(int_ids(10, 20))
    good.destination_ids.CopyFrom(int_ids(11, 21))
    records = decoded(response(cascading_relationship_delete_results={"R": good}))["cascadedDeletes"]["R"]
    assert records == [{"id": 1, "originId": 10, "destId": 11, "error": {"code": 4, "message": "Gone."}},
                       {"id": 2, "originId": 20, "destId": 21}]
    assert list(records[0]) == ["id", "originId", "destId", "error"]

    bad = applyedits_pb2.CascadingRelationshipDeletes()
    bad.CopyFrom(good)
    bad.origin_ids.CopyFrom(int_ids(10))
    d = lg.GraphApplyEditsDecoder()
    error = d.decode(response(entity_add_results={"A": edit_results([7])},
                              cascading_relationship_delete_results={"R": bad}))
    assert (error.error_code, error.error_message) == (-3, DECODE_FAILURE)
    # What came before the cascade stays.
    assert d.get_results() == {**EMPTY, "editsResult": {"A": {"addResults": [{"id": 7}]}}}


def test_empty_schema_change_gives_an_empty_dictionary():
    results = decoded(response(rel_type_schema_changes={"R": applyedits_pb2.RelationshipTypeSchemaChanges()}))
    assert results["relationshipSchemaChanges"] == {"R": {}}


@pytest.mark.parametrize("origin, destination", [("", "Q"), ("P", ""), ("", "")])
def test_end_point_with_an_empty_name_fails_get_results(origin, destination):
    schema = applyedits_pb2.RelationshipTypeSchemaChanges()
    schema.new_end_points.add(origin_entity_type=origin, destination_entity_type=destination)
    d = lg.GraphApplyEditsDecoder()
    assert d.decode(response(rel_type_schema_changes={"R": schema})).empty()
    with pytest.raises(ValueError, match=r"^EndPoint must include both origin and destination entity type\.$"):
        d.get_results()


def test_identifiers_in_plain_form():
    u = uuid.UUID("01020304-0506-0708-090a-0b0c0d0e0f10")
    uuids = value_pb2.ArrayValue(uuid_values=u.bytes + uuid.UUID(int=1).bytes)
    strings = value_pb2.ArrayValue()
    strings.string_values.value.extend(["a", "b"])
    mixed = value_pb2.ArrayValue()
    mixed.any_values.value.add().primitive_value.int_value = 1
    mixed.any_values.value.add().primitive_value.null_value = False
    mixed.any_values.value.add().primitive_value.uuid_value = u.bytes
    edits = decoded(response(entity_add_results={"U": edit_results(uuids), "S": edit_results(strings),
                                                 "M": edit_results(mixed)}))["editsResult"]
    assert edits["U"]["addResults"] == [{"id": u}, {"id": uuid.UUID(int=1)}]
    assert all(type(r["id"]) is uuid.UUID for r in edits["U"]["addResults"])
    assert edits["S"]["addResults"] == [{"id": "a"}, {"id": "b"}]
    assert edits["M"]["addResults"] == [{"id": 1}, {"id": None}, {"id": u}]


def test_invalid_geometry_identifier_raises_and_keeps_earlier_results():
    ids = value_pb2.ArrayValue()
    g = ids.geometry_values.value.add()
    g.geometry_type = 2  # polyline
    g.default_geometry.lengths.append(5)
    g.default_geometry.coords.extend([1, 2])
    d = lg.GraphApplyEditsDecoder()
    with pytest.raises(ValueError, match=r"^Invalid geometry\.$"):
        d.decode(response(entity_add_results={"A": edit_results([1])},
                          entity_delete_results={"B": edit_results(ids)}))
    assert d.get_results()["editsResult"]["A"] == {"addResults": [{"id": 1}]}
