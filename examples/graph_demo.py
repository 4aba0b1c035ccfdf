"""The graph client core end to end, without a service: what a client sends, and what it makes
of the answers. The service's side (its data model, a result stream, an apply-edits answer) is
played here with the message classes generated from the same schema."""
import datetime
import gzip
import uuid

import _lorengraph as lg
import applyedits_pb2
import datamodel_pb2
import query_pb2
import value_pb2


def section(title):
    print(f"\n== {title} ==")


# ---- the service's side ----------------------------------------------------------------------

def service_data_model():
    m = datamodel_pb2.GraphDataModel()
    m.timestamp = 1700000000000
    m.spatial_reference.wkid = 4326
    m.identifier_info.identifier_mapping_info.uniform_property_identifier.identifier_property_name = "globalid"
    m.identifier_info.identifier_generation_info.uuid_method_hint = datamodel_pb2.UUID_RFC_4122
    site = m.entity_types.add().named_object_type
    site.name = "Site"
    for name, field_type in (("name", datamodel_pb2.ovraFieldTypeString), ("shape", datamodel_pb2.ovraFieldTypeGeometry)):
        p = site.properties.add()
        p.name, p.field_type = name, field_type
    return m.SerializeToString()


def service_result_stream(rows_per_frame, frames):
    """A header (output transform: grid units of 1e-6 degrees) and gzip-compressed frames."""
    header = query_pb2.GraphQueryResultHeader()
    header.field_names.extend(["id", "name", "visited", "shape"])
    header.transform.scale.xScale = header.transform.scale.yScale = 1e-6
    header.transform.translate.xTranslate, header.transform.translate.yTranslate = -0.2, 51.4
    header.frames_compressed = True
    messages = [header.SerializeToString()]
    n = 0
    for _ in range(frames):
        frame = query_pb2.GraphQueryResultFrame()
        for _ in range(rows_per_frame):
            row = frame.rows.add()
            row.values.add().primitive_value.uuid_value = uuid.UUID(int=n + 1).bytes
            row.values.add().primitive_value.string_value = f"site {n}"
            row.values.add().primitive_value.date_time_value = 1700000000000 + n * 3600_000
            g = row.values.add().primitive_value.geometry_value
            g.geometry_type = 2  # polyline
            g.default_geometry.lengths.append(2)
            g.default_geometry.coords.extend([n * 1000, n * 500, 2500, -1200])  # x, y, then deltas
            n += 1
        messages.append(gzip.compress(frame.SerializeToString()))
    return b"".join(varint(len(m)) + m for m in messages)


def varint(n):
    out = bytearray()
    while n >= 0x80:
        out.append(n & 0x7F | 0x80)
        n >>= 7
    out.append(n)
    return bytes(out)


def service_apply_edits_answer(ids):
    r = applyedits_pb2.GraphApplyEditsResult()
    adds = r.entity_add_results["Site"]
    adds.ids.any_values.value.add().primitive_value.int_value = ids[0]
    adds.ids.any_values.value.add().primitive_value.int_value = ids[1]
    adds.errors[1].error_code = 409
    adds.errors[1].error_message = "duplicate name"
    return r.SerializeToString()


# ---- the client ------------------------------------------------------------------------------

def main():
    section("data model")
    model = lg.decode_data_model_from_protocol_buffer(service_data_model())
    site = model.query_entity_type("Site")
    print("entity types:", [t.name for t in model.entity_types], "| spatial reference:", model.spatial_reference.wkid)
    print("Site properties:", [(p.name, p.field_type.name) for p in site.properties])

    section("query request")
    encoder = lg.GraphQueryRequestEncoder()
    encoder.open_cypher_query = "MATCH (s:Site) WHERE s.visited > $since AND intersects(s.shape, $area) RETURN s"
    encoder.input_quantization_parameters = lg.InputQuantizationParameters.WGS84_lossless()
    encoder.output_spatial_reference = lg.SpatialReference.WGS84()
    area = lg.GeometryValue()
    area.geometry_type, area.lengths = lg.ovraGeometryPolygon, [4]
    area.coords = [-0.2, 51.4, 0.1, 51.4, 0.1, 51.6, -0.2, 51.4]
    encoder.set_param_key_value("since", datetime.datetime(2023, 11, 1))
    encoder.set_param_key_value("area", area)
    encoder.encode()
    result = encoder.get_encoding_result()
    print(f"{len(result.byte_buffer)} request bytes, error {result.error.error_code}")
    print("the polygon now holds its grid deltas:", area.coords[:4], "...")

    section("query result, 3 gzip frames pushed in 7-byte chunks")
    stream = service_result_stream(rows_per_frame=2, frames=3)
    decoder = lg.GraphQueryDecoder()
    decoder.data_model = model  # geometries in plain rows carry its spatial reference
    rows = []
    for start in range(0, len(stream), 7):
        decoder.push_buffer(stream[start:start + 7])
        while decoder.next_row():
            rows.append(decoder.get_current_row())
    print(f"{len(stream)} bytes -> {len(rows)} rows, error: {decoder.has_error()}")
    for row in rows[:2]:
        print("   ", row)

    section("search request")
    search = lg.GraphSearchRequestEncoder()
    search.search_query = "bridge"
    search.named_types_filter = ["Site"]
    search.type_category_filter = lg.both
    search.ids_filter.add_value(uuid.UUID(int=1))
    search.encode()
    print(f"{len(search.get_encoding_result().byte_buffer)} request bytes, error "
          f"{search.get_encoding_result().error.error_code}")

    section("apply edits")
    edits = lg.GraphApplyEditsEncoder(False, "", "", lg.SpatialReference.WGS84(),
                                      lg.InputQuantizationParameters.WGS84_lossless())
    edits.add({"_objectType": "entity", "_typeName": "Site", "_id": 7, "_properties": {
        "name": "Tower Bridge", "shape": {"_objectType": "geometry", "x": -0.0754, "y": 51.5055}}})
    bridge = lg.EntityValue()
    bridge.type_name = "Site"
    bridge.set_id(8)
    bridge.set_key_value("name", "Tower Bridge")
    edits.add(bridge)
    edits.encode()
    print(f"{len(edits.get_encoding_result().byte_buffer)} request bytes for 2 adds")
    answer = lg.GraphApplyEditsDecoder()
    print("decode:", answer.decode(service_apply_edits_answer([7, 8])).error_code)
    print("results:", answer.get_results())


if __name__ == "__main__":
    main()
