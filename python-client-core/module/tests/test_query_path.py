"""The query path from Python: the request encoder and its result, the result decoder."""
import gc
import gzip
import zlib

import pytest

import _lorengraph as lg
import datamodel_pb2
import query_pb2
from builders import framed, polyline, sent_request

NO_QUANTIZATION = ("Geometry quantization not possible without valid spatial reference info. "
                   "Maybe XY resolution was not set?")








def query_encoder(query="MATCH (n) RETURN n"):
    enc = lg.GraphQueryRequestEncoder()
    enc.open_cypher_query = query
    return enc




# ---- The encoder's result ----

def test_encoding_result_has_no_constructor():
    with pytest.raises(TypeError):
        lg.EncodingResult()


def test_result_is_none_until_encoded_then_a_live_reference():
    enc = query_encoder("MATCH(n)")
    assert enc.get_encoding_result() is None
    enc.encode()
    result = enc.get_encoding_result()
    error = result.error
    assert result.byte_buffer == b"\x0a\x08MATCH(n)\x18\x01\x42\x00"
    assert error.empty() and (error.error_code, error.error_message) == (0, "")

    enc.open_cypher_query = ""
    assert enc.encode() is None  # failures are stored, never raised
    for record in (result.error, error):  # both read into the encoder's own result
        assert (record.error_code, record.error_message) == (-1, "Empty openCypher query.")
    assert result.byte_buffer == b""

    del enc, error
    gc.collect()
    assert result.error.error_code == -1  # the result keeps its encoder alive


def test_parameter_methods():
    enc = query_encoder()
    assert not enc.set_param_key_value("", 1) and not enc.append_param_key_value("", 1)
    assert enc.param_count() == 0
    assert enc.set_param_key_value("a", 1) and enc.set_param_key_value("a", 2)
    assert enc.append_param_key_value(b"b", "x")  # names may come as bytes
    assert enc.param_count() == 2
    assert not enc.put_param_value_at(-1, 0) and not enc.put_param_value_at(2, 0)
    assert enc.put_param_value_at(1, "y")
    request = sent_request(enc)
    assert request.parameters["a"].primitive_value.int_value == 2
    assert request.parameters["b"].primitive_value.string_value == "y"
    enc.clear_params()
    assert enc.param_count() == 0


def test_duplicate_names_and_geometries_without_quantization_fail_in_the_result():
    enc = query_encoder()
    enc.append_param_key_value("a", 1)
    enc.append_param_key_value("a", 2)
    enc.encode()
    assert enc.get_encoding_result().error.error_message == "Encountered duplicate bind parameter names."
    enc.clear_params()
    enc.set_param_key_value("g", polyline([1.0, 2.0]))
    enc.encode()
    error = enc.get_encoding_result().error
    assert (error.error_code, error.error_message) == (-1, NO_QUANTIZATION)


def test_encoding_consumes_what_python_shares_with_the_encoder():
    enc = query_encoder()
    enc.input_quantization_parameters.xy_resolution = 1
    line = polyline([0.4, 0.6, 1.6, 2.5])
    person = lg.EntityValue()
    person.type_name = "Person"
    person.set_key_value("name", "Ada")
    ids = lg.ArrayValue()
    ids.add_value("x")
    ids.add_value("y")
    for name, value in [("where", line), ("who", person), ("ids", ids), ("text", "abc")]:
        assert enc.set_param_key_value(name, value)

    request = sent_request(enc)
    assert line.coords == [0.0, 1.0, 2.0, 1.0]  # grid deltas, in the caller's own object
    assert person.key_count() == 0
    assert ids.values == ["", ""]
    assert list(request.parameters["where"].primitive_value.geometry_value.default_geometry.coords) == [0, 1, 2, 1]
    assert request.parameters["who"].entity_value.properties[0].value.primitive_value.string_value == "Ada"
    assert request.parameters["text"].primitive_value.string_value == "abc"
    assert enc.open_cypher_query == "MATCH (n) RETURN n"

    # The names were moved into the first request.
    assert enc.param_count() == 4
    enc.encode()
    assert enc.get_encoding_result().error.error_message == "Encountered empty bind parameter name."


# ---- Settings shared by both request encoders ----

def search_encoder():
    enc = lg.GraphSearchRequestEncoder()
    enc.search_query = "ada"
    return enc


@pytest.mark.parametrize("make, message", [(query_encoder, query_pb2.GraphQueryRequest),
                                           (search_encoder, query_pb2.GraphSearchRequest)])
def test_settings_read_as_live_views_and_assign_as_copies(make, message):
    enc = make()
    view = enc.output_spatial_reference
    view.wkid = 4326
    enc.input_quantization_parameters.xy_resolution = 0.5
    enc.output_quantization_parameters.extent.xmin = -1.0
    enc.datum_transformation.from_spatial_reference.wkid = 4269
    assert enc.output_spatial_reference.wkid == 4326
    assert enc.input_quantization_parameters.xy_resolution == 0.5
    assert enc.output_quantization_parameters.extent.xmin == -1.0
    assert enc.datum_transformation.from_spatial_reference.wkid == 4269

    datum = lg.DatumTransformation()
    datum.wkid = 1188
    enc.datum_transformation = datum
    extent = lg.Envelope()
    extent.xmin, extent.xmax, extent.ymin, extent.ymax = 0.0, 10.0, 0.0, 5.0
    out = lg.OutputQuantizationParameters()
    out.extent = extent
    enc.output_quantization_parameters = out
    datum.wkid = 1
    out.tolerance = 3.0
    assert enc.datum_transformation.wkid == 1188  # copied on assignment
    assert enc.output_quantization_parameters.tolerance == 0

    enc.encode()
    request = message.FromString(enc.get_encoding_result().byte_buffer)
    assert request.output_spatial_reference.wkid == 4326
    assert request.datum_transformation.wkid == 1188
    assert request.output_quantization_parameters.extent.xmax == 10.0
    assert request.input_quantization_transform.scale.xScale == 0.5


# ---- The result decoder ----

COLUMNS = ["name", "where", "n"]


def header(compressed=False, **extra):
    h = query_pb2.GraphQueryResultHeader(field_names=COLUMNS, frames_compressed=compressed, **extra)
    h.transform.scale.xScale = h.transform.scale.yScale = 0.5
    h.transform.scale.zScale = h.transform.scale.mScale = 1
    h.transform.translate.xTranslate = 100
    h.transform.translate.yTranslate = -3.5
    return h


def result_frame(rows):
    f = query_pb2.GraphQueryResultFrame()
    for name, deltas, n in rows:
        r = f.rows.add()
        r.values.add().primitive_value.string_value = name
        g = r.values.add().primitive_value.geometry_value
        g.geometry_type = 2  # polyline on the wire
        g.default_geometry.lengths.append(len(deltas) // 2)
        g.default_geometry.coords.extend(deltas)
        r.values.add().primitive_value.int_value = n
    return f.SerializeToString()


def compressed_stream():
    frames = [result_frame([("a", [2, 4, 1, -1], 1), ("b", [0, 0], 2)]), result_frame([("c", [6, 6, -2, 0], 3)])]
    return (framed(header(compressed=True).SerializeToString()) +
            framed(gzip.compress(frames[0])) + framed(zlib.compress(frames[1])))


def decode_all(decoder, data, chunk=7):
    """Pushes `data` in chunks and yields the decoder once per current row."""
    for i in range(0, len(data), chunk):
        assert decoder.push_buffer(data[i:i + chunk])
        while decoder.next_row():
            yield decoder


def test_compressed_multi_frame_stream_with_native_values():
    d = lg.GraphQueryDecoder()
    seen = []
    for row in decode_all(d, compressed_stream()):
        g = row.get_value(1)
        seen.append((row.get_value(0), g.geometry_type, g.lengths, g.coords, row.get_value(2)))
        assert row.get_value(-1) is None and row.get_value(3) is None
    assert not d.has_error()
    # Sums along the part, then x * 0.5 + 100 and y * 0.5 - 3.5.
    assert seen == [
        ("a", lg.ovraGeometryPolyline, [2], [101.0, -1.5, 101.5, -2.0], 1),
        ("b", lg.ovraGeometryPolyline, [1], [100.0, -3.5], 2),
        ("c", lg.ovraGeometryPolyline, [2], [103.0, -0.5, 102.0, -0.5], 3),
    ]


def wgs84_data_model():
    if not hasattr(lg, "decode_data_model_from_protocol_buffer"):
        pytest.skip("decode_data_model_from_protocol_buffer is not registered in this build")
    m = datamodel_pb2.GraphDataModel()
    m.spatial_reference.wkid = 4326
    m.identifier_info.identifier_mapping_info.database_native_identifier.SetInParent()
    m.identifier_info.identifier_generation_info.uuid_method_hint = datamodel_pb2.UUID_RFC_4122
    return lg.decode_data_model_from_protocol_buffer(m.SerializeToString())


def test_plain_rows_carry_the_data_models_spatial_reference():
    model = wgs84_data_model()
    d = lg.GraphQueryDecoder()
    assert d.data_model is None
    d.data_model = model
    assert d.data_model is model
    rows = [row.get_current_row() for row in decode_all(d, compressed_stream(), chunk=1)]
    assert rows[0] == ["a", {"paths": [[[101.0, -1.5], [101.5, -2.0]]], "spatialReference": {"wkid": 4326}}, 1]
    assert [r[0] for r in rows] == ["a", "b", "c"]

    without = lg.GraphQueryDecoder()
    first = next(decode_all(without, compressed_stream()))
    assert first.get_current_row()[1] == {"paths": [[[101.0, -1.5], [101.5, -2.0]]]}


def test_rows_before_a_header_and_between_rows():
    d = lg.GraphQueryDecoder()
    assert not d.next_row() and not d.has_error()
    assert d.get_value(0) is None
    with pytest.raises(ValueError, match="Decoder has not parsed the header yet."):
        d.get_current_row()
    assert not d.push_buffer(b"")
    assert d.push_buffer(framed(header().SerializeToString()))
    assert not d.next_row()
    assert d.get_current_row() == [None, None, None]  # a header, no current row


def test_str_chunks_are_taken_as_utf8():
    h = query_pb2.GraphQueryResultHeader(field_names=["s"])
    h.transform.SetInParent()  # an empty transform keeps every byte ASCII
    f = query_pb2.GraphQueryResultFrame()
    f.rows.add().values.add().primitive_value.string_value = "hi"
    data = framed(h.SerializeToString()) + framed(f.SerializeToString())
    d = lg.GraphQueryDecoder()
    assert d.push_buffer(data.decode("ascii"))
    assert d.next_row() and d.get_value(0) == "hi"


def test_error_is_a_live_view_that_keeps_the_decoder_alive():
    d = lg.GraphQueryDecoder()
    error = d.error
    assert error.empty()
    failed = header()
    failed.error.error_code = 42
    failed.error.error_message = "Query failed."
    d.push_buffer(framed(failed.SerializeToString()))
    assert not d.next_row()
    assert d.has_error() and (error.error_code, error.error_message) == (42, "Query failed.")
    assert not d.push_buffer(b"more")
    del d
    gc.collect()
    assert error.error_message == "Query failed."


def test_damaged_compressed_frame_reports_zlib():
    bad = gzip.compress(result_frame([("a", [0, 0], 1)]))[:-4]
    d = lg.GraphQueryDecoder()
    d.push_buffer(framed(header(compressed=True).SerializeToString()) + framed(bad))
    assert not d.next_row()
    assert d.error.error_code == -1 and d.error.error_message.startswith("zlib: ")
