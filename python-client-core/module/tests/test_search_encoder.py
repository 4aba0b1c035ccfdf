"""The search request encoder from Python: its properties, what encoding consumes, and the
failures it stores."""
import gc

import pytest

import _lorengraph as lg
import query_pb2
from builders import geometry, sent_request, stored_error


def encoder(query="ada"):
    enc = lg.GraphSearchRequestEncoder()
    enc.search_query = query
    return enc








def test_defaults():
    enc = lg.GraphSearchRequestEncoder()
    assert enc.search_query == "" and enc.get_encoding_result() is None
    assert enc.return_geometry and not enc.return_search_context
    assert enc.type_category_filter == lg.entity
    assert enc.named_types_filter == [] and enc.ids_filter.count() == 0
    assert (enc.start_index, enc.max_num_results) == (0, 0)
    assert enc.spatial_filter_geometry is None
    assert enc.spatial_filter_relation == lg.intersects
    enc.search_query = "abc"
    enc.encode()
    assert enc.get_encoding_result().byte_buffer == b"\x0a\x03abc\x20\x01\x32\x00\x48\x01\x50\x01"


def test_result_is_a_live_reference_that_keeps_the_encoder_alive():
    enc = encoder()
    enc.encode()
    result = enc.get_encoding_result()
    enc.search_query = ""
    enc.encode()
    assert (result.error.error_code, result.error.error_message) == (-1, "Empty search query.")
    del enc
    gc.collect()
    assert result.byte_buffer == b""


def test_input_spatial_reference_is_a_copy_on_read_and_on_assignment():
    enc = encoder()
    enc.input_spatial_reference.wkid = 4326
    assert enc.input_spatial_reference.wkid == 0
    sr = lg.SpatialReference.WGS84()
    enc.input_spatial_reference = sr
    sr.wkid = 3857
    assert enc.input_spatial_reference.wkid == 4326
    enc.output_spatial_reference.wkid = 3857  # a live view, by contrast
    request = sent_request(enc)
    assert (request.input_spatial_reference.wkid, request.output_spatial_reference.wkid) == (4326, 3857)


def test_categories_and_relations():
    enc = encoder()
    enc.type_category_filter = lg.both
    enc.spatial_filter_relation = lg.within
    request = sent_request(enc)
    assert (request.type_category_filter, request.spatial_filter_relation) == (3, 7)

    enc.type_category_filter = lg.ovraNamedTypeCategory(3)  # no member has the wire's number
    assert stored_error(enc) == (-1, "Not implemented.")
    enc.type_category_filter = lg.relationship
    enc.spatial_filter_relation = lg.ovraSpatialRelation(8)
    assert stored_error(enc) == (-1, "Not implemented.")


def test_encoding_consumes_the_filters():
    enc = encoder()
    enc.named_types_filter = ["A", "B"]
    enc.ids_filter.add_value("id-1")
    enc.ids_filter.add_value("id-2")
    enc.input_quantization_parameters.xy_resolution = 1
    line = geometry(lg.ovraGeometryPolyline, [0.4, 0.6, 1.6, 2.5])
    enc.spatial_filter_geometry = line
    assert enc.spatial_filter_geometry is line  # shared, not copied

    request = sent_request(enc)
    assert list(request.named_type_filter) == ["A", "B"]
    assert enc.named_types_filter == ["", ""]
    assert request.ids_filter.WhichOneof("values") == "any_values"
    assert [v.primitive_value.string_value for v in request.ids_filter.any_values.value] == ["id-1", "id-2"]
    assert enc.ids_filter.values == ["", ""]
    assert line.coords == [0.0, 1.0, 2.0, 1.0]
    assert list(request.spatial_filter_geometry.default_geometry.coords) == [0, 1, 2, 1]


def test_named_types_filter_reads_as_a_new_list():
    enc = encoder()
    enc.named_types_filter = ["A"]
    enc.named_types_filter.append("B")
    assert enc.named_types_filter == ["A"]


def test_empty_ids_filter_and_paging():
    enc = encoder()
    enc.start_index = 20
    enc.max_num_results = 10
    request = sent_request(enc)
    assert not request.HasField("ids_filter")
    assert (request.start_index, request.max_num_results) == (20, 10)
    assert b"\x80\x01\x14" in enc.get_encoding_result().byte_buffer


@pytest.mark.parametrize("resolution, kind, message", [
    (float("nan"), lg.ovraGeometryPolyline, "Invalid spatial filter geometry provided."),
    (1.0, lg.ovraGeometryMultiPatch, "Invalid spatial filter geometry provided."),
    (1.0, lg.ovraGeometryNull, "unsupported geometry type"),
])
def test_filter_geometry_failures(resolution, kind, message):
    enc = encoder()
    enc.input_quantization_parameters.xy_resolution = resolution
    enc.spatial_filter_geometry = geometry(kind, [1.0, 2.0])
    assert stored_error(enc) == (-1, message)


def test_empty_query_is_reported_whatever_else_is_wrong():
    enc = encoder("")
    enc.type_category_filter = lg.ovraNamedTypeCategory(3)
    enc.spatial_filter_geometry = geometry(lg.ovraGeometryPolyline, [1.0, 2.0])
    enc.input_quantization_parameters.xy_resolution = 0.0
    assert stored_error(enc) == (-1, "Empty search query.")
    enc.search_query = "q"
    assert stored_error(enc) == (-998, "cannot divide 1 by 0.")
