"""The generated Python classes write the same bytes as the C++ ones, so Python
tests can build wire fixtures with them."""
import pytest

import applyedits_pb2
import datamodel_pb2
import ovra_types_pb2
import query_pb2
import value_pb2


def null_primitive():
    m = value_pb2.PrimitiveValue()
    m.null_value = False
    return m


def wrapped_string():
    m = value_pb2.AnyValue()
    m.wrapped_value.primitive_value.string_value = "a"
    return m


def empty_array_in_any():
    m = value_pb2.AnyValue()
    m.array_value.SetInParent()
    return m


def date_times():
    return value_pb2.DateTimeArray(value=[-1])


def point():
    m = value_pb2.GeometryValue(geometry_type=ovra_types_pb2.OvraTypes.ovraGeometryTypePoint)
    m.default_geometry.lengths.append(1)
    m.default_geometry.coords.extend([5, -3])
    return m


def envelope():
    m = ovra_types_pb2.OvraTypes.Envelope(xmin=1, xmax=2, ymin=3, ymax=4)
    m.spatialReference.wkid = 4326
    return m


def query_with_null_parameter():
    m = query_pb2.GraphQueryRequest()
    m.parameters["a"].primitive_value.null_value = False
    return m


def search_two_byte_tags():
    m = query_pb2.GraphSearchRequest(max_num_results=10, return_search_context=True)
    m.ids_filter.SetInParent()
    return m


def property_with_unspecified_role():
    return datamodel_pb2.GraphProperty(role=datamodel_pb2.UNSPECIFIED)


def edit_results_error_five():
    m = applyedits_pb2.EditResults()
    m.errors[5].SetInParent()
    return m


F64 = {1: "000000000000f03f", 2: "0000000000000040", 3: "0000000000000840", 4: "0000000000001040"}

CASES = [
    (null_primitive, "6000"),
    (wrapped_string, "a201050a030a0161"),
    (empty_array_in_any, "1200"),
    (date_times, "0a0a" + "ff" * 9 + "01"),
    (point, "12071a010122020a05"),
    (envelope, f"09{F64[1]}11{F64[2]}19{F64[3]}21{F64[4]}2a0308e621"),
    (query_with_null_parameter, "12090a016112040a026000"),
    (search_two_byte_tags, "800114880101920100"),
    (property_with_unspecified_role, "800100"),
    (edit_results_error_five, "1a0408051200"),
]


@pytest.mark.parametrize("build, expected", CASES, ids=[c[0].__name__ for c in CASES])
def test_python_writes_the_same_bytes(build, expected):
    message = build()
    assert message.SerializeToString().hex() == expected
    parsed = type(message).FromString(bytes.fromhex(expected))
    assert parsed == message


def test_full_type_names():
    names = {
        value_pb2.GeometryValue.OvraDefaultGeometry: "ovraPBuffer.graph.GeometryValue.OvraDefaultGeometry",
        ovra_types_pb2.OvraTypes.DatumTransformation: "ovraPBuffer.OvraTypes.DatumTransformation",
        query_pb2.GraphQueryRequest.ParametersEntry: "ovraPBuffer.graph.GraphQueryRequest.ParametersEntry",
        datamodel_pb2.SearchIndex.SearchPropertiesEntry: "ovraPBuffer.graph.SearchIndex.SearchPropertiesEntry",
        applyedits_pb2.Adds.EntitiesEntry: "ovraPBuffer.graph.Adds.EntitiesEntry",
        applyedits_pb2.EditResults.ErrorsEntry: "ovraPBuffer.graph.EditResults.ErrorsEntry",
        applyedits_pb2.GraphApplyEditsResult.RelTypeSchemaChangesEntry:
            "ovraPBuffer.graph.GraphApplyEditsResult.RelTypeSchemaChangesEntry",
    }
    for cls, name in names.items():
        assert cls.DESCRIPTOR.full_name == name
