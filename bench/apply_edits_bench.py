"""Apply-edits requests in Python: our encoder against the Python protocol-buffer runtime.

100,000 entity adds of two types with 8 properties each (text, int, double, bool, uuid,
datetime, a short note and a polyline), fed to GraphApplyEditsEncoder as EntityValue objects
and as dictionary forms, and built and serialized as the same frames with applyedits_pb2.
Both requests are checked to hold the same messages before anything is timed.

Every figure is the median of the timed repetitions (time.perf_counter); the best is shown too.
Run: bench/run.sh, or  python3 bench/apply_edits_bench.py --build build
"""

import datetime
import math
import random
import uuid

import benchlib

OBJECTS = 100000
FRAME_LIMIT = 2049  # objects per frame
TYPE_NAMES = ("Site", "Sensor")
XY_RESOLUTION = 1e-9  # InputQuantizationParameters.WGS84_lossless()
ZM_RESOLUTION = 0.00001


def parse_arguments():
    parser = benchlib.common_arguments(__doc__.splitlines()[0])
    parser.add_argument("--objects", type=int, default=OBJECTS, help="entities per request (default: 100000)")
    return parser.parse_args()


# ---- The input data --------------------------------------------------------------------------

def make_entities(count, seed=20261211):
    """[(type name, {property: plain Python value})]; the shape is a geometry dictionary form."""
    rng = random.Random(seed)
    base = datetime.datetime(2024, 1, 1)
    entities = []
    for i in range(count):
        x, y = -120 + rng.random() * 60, 30 + rng.random() * 20
        path = []
        for _ in range(4 + rng.randrange(5)):
            x += (rng.random() - 0.5) * 0.01
            y += (rng.random() - 0.5) * 0.01
            path.append([x, y])
        entities.append((TYPE_NAMES[i % 2], {
            "name": f"site-{rng.randrange(10 ** 6)}",
            "count": rng.randrange(10 ** 6),
            "weight": rng.random() * 1000,
            "active": rng.random() < 0.5,
            "uid": uuid.UUID(int=rng.getrandbits(128), version=4),
            "created": base + datetime.timedelta(milliseconds=rng.randrange(31536000000)),
            "note": rng.choice(("ok", "check", "replaced", "new")),
            "shape": {"_objectType": "geometry", "paths": [path]},
        }))
    return entities


def dictionary_forms(entities):
    return [{"_objectType": "entity", "_typeName": t, "_id": None, "_properties": p} for t, p in entities]


def entity_values(lorengraph, entities):
    """EntityValue objects; adding them consumes them, so every repetition builds new ones."""
    EntityValue, GeometryValue = lorengraph.EntityValue, lorengraph.GeometryValue
    polyline = lorengraph.ovraGeometryType.ovraGeometryPolyline
    out = []
    for type_name, properties in entities:
        e = EntityValue()
        e.type_name = type_name
        append = e.append_key_value
        for key, value in properties.items():
            if isinstance(value, dict):
                g = GeometryValue()
                g.geometry_type = polyline
                g.lengths = [len(part) for part in value["paths"]]
                g.coords = [c for part in value["paths"] for point in part for c in point]
                value = g
            append(key, value)
        out.append(e)
    return out


# ---- Our encoder -----------------------------------------------------------------------------

def new_encoder(lorengraph):
    return lorengraph.GraphApplyEditsEncoder(
        False, "", "", lorengraph.SpatialReference.WGS84(),
        lorengraph.InputQuantizationParameters.WGS84_lossless())


def add_all(encoder, objects):
    add = encoder.add
    for o in objects:
        add(o)
    return encoder


def encode(encoder):
    encoder.encode()
    error = encoder.get_encoding_result().error
    if error.error_code != 0:
        raise RuntimeError(error.error_message)
    return encoder


def request_bytes(encoder):
    return encoder.get_encoding_result().byte_buffer


# ---- The same request through the Python protobuf runtime ------------------------------------

def recip(a):
    """1/a as the encoder computes it, so decimal resolutions give exact powers of ten."""
    if abs(a) >= 1:
        return 1 / a
    p = math.pow(10.0, math.ceil(math.log10(abs(1 / a))))
    return p / (a * p)


class ProtobufWriter:
    """Plain Python values into AnyValue messages, choosing the members the encoder chooses."""

    def __init__(self, pb):
        self.pb = pb
        self.grid = recip(XY_RESOLUTION)  # coordinates to grid units, false origin 0

    def header(self):
        header = self.pb["applyedits_pb2"].GraphApplyEditsHeader()
        transform = header.input_quantization_transform
        transform.scale.xScale = transform.scale.yScale = recip(self.grid)
        transform.scale.zScale = transform.scale.mScale = recip(recip(ZM_RESOLUTION))
        transform.translate.SetInParent()
        return header

    def value(self, v, message):
        p = message.primitive_value
        if v is None:
            p.null_value = False
        elif v is True or v is False:
            p.bool_value = v
        elif isinstance(v, int):
            p.int_value = v
        elif isinstance(v, float):
            # Integral doubles go as integers; the rest (random data is never float32-exact) as doubles.
            if v.is_integer() and abs(v) < 2 ** 48:
                p.double_int_value = int(v)
            else:
                p.double_value = v
        elif isinstance(v, str):
            p.string_value = v
        elif isinstance(v, uuid.UUID):
            p.uuid_value = v.bytes
        elif isinstance(v, datetime.datetime):
            p.date_time_value = int(v.timestamp()) * 1000 + v.microsecond // 1000
        elif isinstance(v, dict) and "paths" in v:
            self.polyline(v["paths"], p.geometry_value)
        else:
            raise TypeError(f"no wire form for {type(v).__name__} in this benchmark")

    def polyline(self, paths, g):
        g.geometry_type = 2  # polyline
        d = g.default_geometry
        grid = self.grid
        coords = []
        for path in paths:
            d.lengths.append(len(path))
            px = py = 0
            for x, y in path:
                qx, qy = round(x * grid), round(y * grid)  # ties to even, like the encoder
                coords += (qx - px, qy - py)
                px, py = qx, qy
        d.coords.extend(coords)

    def request(self, entities):
        """Frames of at most 2049 adds."""
        Frame = self.pb["applyedits_pb2"].GraphApplyEditsFrame
        frames, lists, fill = [], {}, FRAME_LIMIT
        value = self.value
        for type_name, properties in entities:
            if fill == FRAME_LIMIT:
                frames.append(Frame())
                lists, fill = {}, 0
            adds = lists.get(type_name)
            if adds is None:
                adds = lists[type_name] = frames[-1].adds.entities[type_name].adds
            target = adds.add().named_object
            target.SetInParent()
            pairs = target.properties
            for key, v in properties.items():
                pair = pairs.add()
                pair.key = key
                value(v, pair.value)
            fill += 1
        return frames

    def serialize(self, frames):
        from google.protobuf.internal.encoder import _VarintBytes
        out = bytearray()
        for message in [self.header()] + frames:
            data = message.SerializeToString()
            out += _VarintBytes(len(data))
            out += data
        return bytes(out)




def same_request(pb, ours, theirs):
    """Both byte streams hold equal messages. Bytes alone cannot tell: the runtime writes map
    entries (here the two type names of a frame) in an order that changes from run to run."""
    a, b = benchlib.split_messages(ours), benchlib.split_messages(theirs)
    if len(a) != len(b):
        return False
    Header, Frame = pb["applyedits_pb2"].GraphApplyEditsHeader, pb["applyedits_pb2"].GraphApplyEditsFrame
    return Header.FromString(a[0]) == Header.FromString(b[0]) and all(
        Frame.FromString(x) == Frame.FromString(y) for x, y in zip(a[1:], b[1:]))


# ---- Main ------------------------------------------------------------------------------------

def main():
    args = parse_arguments()
    benchlib.use_build(args.build)
    import _lorengraph as lorengraph
    import applyedits_pb2
    pb = {"applyedits_pb2": applyedits_pb2}

    entities = make_entities(args.objects)
    forms = dictionary_forms(entities)
    writer = ProtobufWriter(pb)
    ours = request_bytes(encode(add_all(new_encoder(lorengraph), forms)))
    theirs = writer.serialize(writer.request(entities))
    if not same_request(pb, ours, theirs):
        raise SystemExit("our request and the protobuf runtime's differ: the comparison would be unfair")
    from_values = request_bytes(encode(add_all(new_encoder(lorengraph), entity_values(lorengraph, entities))))
    if not same_request(pb, from_values, ours):
        raise SystemExit("EntityValue objects and dictionary forms give different requests")

    reps, n, size = args.repetitions, len(entities), len(ours)
    t = {}

    def timed(name, run, prepare=None):
        t[name] = benchlib.measure(run, reps, prepare, keep_result=False)

    timed("build", lambda: entity_values(lorengraph, entities))
    timed("add_values", lambda objs: add_all(new_encoder(lorengraph), objs),
          prepare=lambda: entity_values(lorengraph, entities))
    timed("add_forms", lambda: add_all(new_encoder(lorengraph), forms))
    timed("encode", encode, prepare=lambda: add_all(new_encoder(lorengraph), forms))
    # The first large allocation after encode() also pays for the frames encode() released.
    timed("bytes", request_bytes, prepare=lambda: encode(add_all(new_encoder(lorengraph), forms)))
    timed("pb_build", lambda: writer.request(entities))
    timed("pb_serialize", writer.serialize, prepare=lambda: writer.request(entities))

    wall = {k: v.value for k, v in t.items()}
    best = {k: v.best for k, v in t.items()}
    cpu = {k: v.cpu for k, v in t.items()}

    def total(times, *keys):
        return sum(times[k] for k in keys)

    ends = {"ours_values": ("build", "add_values", "encode", "bytes"),
            "ours_forms": ("add_forms", "encode", "bytes"),
            "ours_add_encode": ("add_values", "encode", "bytes"), "encode_bytes": ("encode", "bytes"),
            "python_pb": ("pb_build", "pb_serialize")}
    for name, keys in ends.items():
        wall[name], cpu[name] = total(wall, *keys), total(cpu, *keys)

    def objects(key):
        return ["objects/s", n / wall[key], n / best[key] if key in best else "", n / cpu[key]]

    def megabytes(key):
        return ["MB/s", size / wall[key] / 1e6, size / best[key] / 1e6, size / cpu[key] / 1e6]

    rows = [
        ["ours: build EntityValue objects (Python)", *objects("build")],
        ["ours: add(EntityValue)", *objects("add_values")],
        ["ours: add(dictionary form)", *objects("add_forms")],
        ["ours: encode()", *megabytes("encode")],
        ["ours: byte_buffer, first read after encode()", *megabytes("bytes")],
        ["ours, EntityValue: build + add + encode + bytes", *objects("ours_values")],
        ["ours, dictionary forms: add + encode + bytes", *objects("ours_forms")],
        ["Python protobuf: build frames", *objects("pb_build")],
        ["Python protobuf: SerializeToString", *megabytes("pb_serialize")],
        ["Python protobuf: build + serialize", *objects("python_pb")],
    ]
    benchlib.print_table(
        f"Apply-edits request of {n:,} entity adds x 8 properties ({size:,} bytes, the same messages "
        f"both ways; median of {reps} repetitions)", ["measure", "unit", "median", "best", "CPU median"], rows)

    def ratio(label, a, b, target=False):
        r = wall[a] / wall[b]
        return [label, r, cpu[a] / cpu[b], benchlib.verdict(r, 5, True) if target else ""]

    ratios = [
        ratio("Python protobuf / ours, dictionary forms (end to end)", "python_pb", "ours_forms", True),
        ratio("Python protobuf / ours, EntityValue incl. building them", "python_pb", "ours_values", True),
        ratio("Python protobuf / ours, EntityValue without building them", "python_pb", "ours_add_encode"),
        ratio("build frames / add(dictionary form)", "pb_build", "add_forms"),
        ratio("SerializeToString / encode() + byte_buffer", "pb_serialize", "encode_bytes"),
    ]
    benchlib.print_table(
        "Ratios of the medians, above 1 when ours is faster (the target is judged on the wall clock)",
        ["ratio", "wall", "CPU", "target"], ratios)


if __name__ == "__main__":
    main()
