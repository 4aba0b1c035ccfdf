"""Values, wire framing and encoder outcomes that several test files build."""
import _lorengraph as lg
import query_pb2


def varint(n):
    out = bytearray()
    while n >= 0x80:
        out.append((n & 0x7F) | 0x80)
        n >>= 7
    out.append(n)
    return bytes(out)


def framed(data):
    """`data` behind its varint length prefix, as streams carry messages."""
    return varint(len(data)) + data


def geometry(kind, coords, lengths=None, has_z=False, has_m=False):
    """A geometry; without `lengths`, one part holding every point."""
    g = lg.GeometryValue()
    g.geometry_type, g.coords, g.has_z, g.has_m = kind, list(coords), has_z, has_m
    g.lengths = list(lengths) if lengths is not None else [len(coords) // (2 + has_z + has_m)]
    return g


def polyline(coords, lengths=None):
    return geometry(lg.ovraGeometryPolyline, coords, lengths)


def entity(type_name, id_=None, **properties):
    e = lg.EntityValue()
    e.type_name = type_name
    e.set_id(id_)
    for k, v in properties.items():
        e.set_key_value(k, v)
    return e


_REQUESTS = {lg.GraphQueryRequestEncoder: query_pb2.GraphQueryRequest,
             lg.GraphSearchRequestEncoder: query_pb2.GraphSearchRequest}


def sent_request(enc):
    """Encodes and parses the request back; the encoding must succeed."""
    enc.encode()
    result = enc.get_encoding_result()
    assert result.error.empty(), result.error.error_message
    return _REQUESTS[type(enc)].FromString(result.byte_buffer)


def stored_error(enc):
    """Encodes, expecting a stored failure: (code, message)."""
    enc.encode()
    result = enc.get_encoding_result()
    assert result.byte_buffer == b""
    return result.error.error_code, result.error.error_message
