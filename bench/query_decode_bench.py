"""Query result rows in Python: our decoder against the Python protocol-buffer runtime, JSON
and msgpack, on the stream that query_decode_bench (C++) writes.

  (2) our decoder to Python rows (next_row + get_current_row), streaming and keeping all rows
  (3) the same bytes parsed by the Python protobuf runtime and converted to the same rows in Python
  (4) the same rows as JSON (json, ujson) and msgpack documents, one per frame
  (1)/(5) the C++ figures, read from the C++ benchmark's JSON output when given

Every figure is the median of the timed repetitions (time.perf_counter); the best is shown too.
Run: bench/run.sh, or
  python3 bench/query_decode_bench.py --build build [--streams DIR] [--cpp-results FILE]
"""

import datetime
import json
import os
import subprocess
import tempfile
import uuid

import benchlib

CHUNK_SIZE = 64 * 1024  # what one network read typically delivers


def parse_arguments():
    parser = benchlib.common_arguments(__doc__.splitlines()[0])
    parser.add_argument("--streams", help="directory with result_plain.bin and result_gzip.bin "
                        "(default: written now by <build>/bench/query_decode_bench)")
    parser.add_argument("--cpp-results", help="the C++ benchmark's --benchmark_out JSON file, "
                        "for the (1)/(5) figures")
    return parser.parse_args()


def read_streams(args):
    """{"plain": bytes, "gzip": bytes}: the C++ program is the one source of the data."""
    directory = args.streams
    if directory is None:
        directory = tempfile.mkdtemp(prefix="lorengraph-bench-")
        program = os.path.join(args.build, "bench", "query_decode_bench")
        subprocess.run([program, "--write-stream", directory], check=True)
    streams = {}
    for name in ("plain", "gzip"):
        with open(os.path.join(directory, f"result_{name}.bin"), "rb") as f:
            streams[name] = f.read()
    return streams


# ---- (3) the Python protobuf runtime, and rows converted in Python ------------------------

class CellConverter:
    """AnyValue messages to the plain Python values get_current_row gives.

    uuid_from and datetime_from turn 16 bytes and epoch milliseconds into values; the JSON
    and msgpack documents use the same converter with text and plain integers instead.
    """

    def __init__(self, transform, uuid_from, datetime_from):
        scale, translate = transform.scale, transform.translate
        self.x = (scale.xScale, translate.xTranslate)
        self.y = (scale.yScale, translate.yTranslate)
        self.z = (scale.zScale, translate.zTranslate)
        self.m = (scale.mScale, translate.mTranslate)
        self.uuid_from = uuid_from
        self.datetime_from = datetime_from
        self.primitives = {
            "string_value": lambda p: p.string_value,
            "int_value": lambda p: p.int_value,
            "double_value": lambda p: p.double_value,
            "float_value": lambda p: p.float_value,
            "float_int_value": lambda p: float(p.float_int_value),
            "double_float_value": lambda p: p.double_float_value,
            "double_int_value": lambda p: float(p.double_int_value),
            "bool_value": lambda p: p.bool_value,
            "uuid_value": lambda p: uuid_from(p.uuid_value) if len(p.uuid_value) == 16 else None,
            "blob_value": lambda p: p.blob_value,
            "geometry_value": lambda p: self.geometry(p.geometry_value),
            "null_value": lambda p: None,
            "date_time_value": lambda p: datetime_from(p.date_time_value),
        }
        self.arrays = {
            "int_values": lambda a: list(a.int_values.value),
            "double_values": lambda a: list(a.double_values.value),
            "bool_values": lambda a: list(a.bool_values.value),
            "string_values": lambda a: list(a.string_values.value),
            "date_time_values": lambda a: [datetime_from(v) for v in a.date_time_values.value],
            "null_values": lambda a: [None] * a.null_values.count,
            "any_values": lambda a: [self.cell(v) for v in a.any_values.value],
        }

    def cell(self, value):
        kind = value.WhichOneof("value")
        if kind == "primitive_value":
            p = value.primitive_value
            member = p.WhichOneof("value")
            return self.primitives[member](p) if member else None
        if kind == "array_value":
            a = value.array_value
            member = a.WhichOneof("values")
            return self.arrays[member](a) if member else None
        if kind is None:
            return None
        if kind == "wrapped_value":
            return self.cell(value.wrapped_value)
        raise NotImplementedError(f"{kind} cells are not in the benchmark stream")

    def row(self, row):
        cell = self.cell
        return [cell(v) for v in row.values]

    def geometry(self, g):
        if g.WhichOneof("geometry") != "default_geometry":
            return None
        d = g.default_geometry
        kind = {2: "paths", 3: "rings"}.get(g.geometry_type)
        if kind is None:
            raise NotImplementedError("only polylines and polygons are in the benchmark stream")
        axes = [self.x, self.y] + ([self.z] if d.has_z else []) + ([self.m] if d.has_m else [])
        width = len(axes)
        coords = d.coords
        parts, start = [], 0
        for length in d.lengths:
            # Deltas summed in doubles, then scaled and shifted, exactly as the decoder does.
            running = [0.0] * width
            points = []
            for i in range(start, start + length):
                base = i * width
                point = []
                for k, (scale, translate) in enumerate(axes):
                    v = float(coords[base + k])
                    if i > start and k < 2:
                        v += running[k]
                    running[k] = v
                    point.append(v * scale + translate)
                points.append(point)
            parts.append(points)
            start += length
        out = {}
        if d.has_z:
            out["hasZ"] = True
        if d.has_m:
            out["hasM"] = True
        out[kind] = parts
        return out


def local_datetime(ms):
    """As the decoder builds it: local time, whole microseconds, rounded down."""
    return datetime.datetime.fromtimestamp(ms // 1000).replace(microsecond=(ms % 1000) * 1000)


def python_converter(header):
    return CellConverter(header.transform, lambda b: uuid.UUID(bytes=b), local_datetime)


def parse_header(message):
    import query_pb2
    return query_pb2.GraphQueryResultHeader.FromString(message)


def protobuf_rows(stream, consume):
    """(3): the whole stream parsed and converted in Python; consume(row) for each row."""
    import zlib
    import query_pb2
    messages = benchlib.split_messages(stream)
    header = parse_header(messages[0])
    convert = python_converter(header).row
    parse = query_pb2.GraphQueryResultFrame.FromString
    compressed = header.frames_compressed
    count = 0
    for message in messages[1:]:
        if not message:
            continue
        frame = parse(zlib.decompress(message, 15 + 32) if compressed else message)
        for row in frame.rows:
            consume(convert(row))
            count += 1
    return count


# ---- (2) our decoder -------------------------------------------------------------------------

def our_rows(lorengraph, chunks, consume):
    """(2): chunks pushed as they arrive, each row taken as soon as it is decoded."""
    decoder = lorengraph.GraphQueryDecoder()
    push, next_row, current_row = decoder.push_buffer, decoder.next_row, decoder.get_current_row
    count = 0
    for chunk in chunks:
        push(chunk)
        while next_row():
            consume(current_row())
            count += 1
    if decoder.has_error():
        raise RuntimeError(decoder.error.error_message)
    return count


def drop(row):
    """A streaming consumer: looks at the row and lets it go."""


# ---- (4) JSON and msgpack --------------------------------------------------------------------

def plain_documents(stream):
    """The plain stream's rows as one JSON and one msgpack document per frame: uuids as text,
    datetimes as epoch milliseconds, as a JSON service would send them."""
    import msgpack
    import query_pb2
    messages = benchlib.split_messages(stream)
    header = parse_header(messages[0])
    convert = CellConverter(header.transform, lambda b: str(uuid.UUID(bytes=b)), lambda ms: ms).row
    json_docs, msgpack_docs = [], []
    for message in messages[1:]:
        rows = [convert(r) for r in query_pb2.GraphQueryResultFrame.FromString(message).rows]
        json_docs.append(json.dumps(rows, separators=(",", ":")).encode())
        msgpack_docs.append(msgpack.packb(rows))
    return json_docs, msgpack_docs


def document_rows(documents, loads):
    count = 0
    for document in documents:
        for row in loads(document):
            drop(row)
            count += 1
    return count


# ---- The C++ figures -------------------------------------------------------------------------

def cpp_seconds(path):
    """{"decoder_native/plain": (wall, CPU) seconds per pass, ...}: the C++ medians."""
    if not path or not os.path.exists(path):
        return {}
    factor = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    with open(path) as f:
        report = json.load(f)
    seconds = {}
    for b in report.get("benchmarks", []):
        if b.get("aggregate_name", "median") == "median" and "error_occurred" not in b:
            unit = factor[b["time_unit"]]
            seconds[b["run_name"]] = (b["real_time"] * unit, b["cpu_time"] * unit)
    return seconds


# ---- Main ------------------------------------------------------------------------------------

def check_same_rows(lorengraph, streams):
    """The figures compare like with like only if both paths give the same rows."""
    for name, stream in streams.items():
        ours, theirs = [], []
        our_rows(lorengraph, [stream], ours.append)
        protobuf_rows(stream, theirs.append)
        if ours != theirs:
            first = next((i for i, (a, b) in enumerate(zip(ours, theirs)) if a != b), min(len(ours), len(theirs)))
            raise SystemExit(f"{name}: rows differ ({len(ours)} and {len(theirs)} rows, first difference at {first})")


def main():
    args = parse_arguments()
    benchlib.use_build(args.build)
    import _lorengraph as lorengraph
    import msgpack
    import ujson

    streams = read_streams(args)
    chunks = {name: [s[i:i + CHUNK_SIZE] for i in range(0, len(s), CHUNK_SIZE)] for name, s in streams.items()}
    header = parse_header(benchlib.split_messages(streams["plain"])[0])
    columns = len(header.field_names)
    check_same_rows(lorengraph, streams)
    json_docs, msgpack_docs = plain_documents(streams["plain"])

    reps = args.repetitions
    timings = {}  # (measure, stream) -> Timing
    for name in ("plain", "gzip"):
        timings[("(2) ours, streaming", name)] = benchlib.measure(
            lambda: our_rows(lorengraph, chunks[name], drop), reps)
        # The kept rows are freed after the clock stops, as a caller would free them later.
        timings[("(2) ours, keeping all rows", name)] = benchlib.measure(
            lambda kept: our_rows(lorengraph, chunks[name], kept.append), reps, prepare=list)
        timings[("(3) Python protobuf + conversion, streaming", name)] = benchlib.measure(
            lambda: protobuf_rows(streams[name], drop), reps)
    for label, documents, loads in (("(4) json.loads, streaming", json_docs, json.loads),
                                    ("(4) ujson.loads, streaming", json_docs, ujson.loads),
                                    ("(4) msgpack.unpackb, streaming", msgpack_docs, msgpack.unpackb)):
        timings[(label, "plain")] = benchlib.measure(lambda: document_rows(documents, loads), reps)

    rows = timings[("(2) ours, streaming", "plain")].result
    if any(t.result != rows for t in timings.values()):
        raise SystemExit("a measure saw a different number of rows")
    cells = rows * columns

    def per_cell(seconds):
        return seconds * 1e9 / cells

    cpp = cpp_seconds(args.cpp_results)
    def order(item):  # by measure number, plain before gzip
        (measure, name), _ = item
        return measure[:3], name != "plain"

    table = [[measure, name, per_cell(t.value), rows / t.value, per_cell(t.best), per_cell(t.cpu)]
             for (measure, name), t in sorted(timings.items(), key=order)]
    for name in ("plain", "gzip"):
        for key, label in ((f"decoder_native/{name}", "(1) C++ decoder to native values"),
                           (f"floor_arena/{name}", "(5) C++ protobuf parse, arena")):
            if key in cpp:
                wall, cpu = cpp[key]
                table.append([label, name, per_cell(wall), rows / wall, "", per_cell(cpu)])
    from google.protobuf.internal import api_implementation
    benchlib.print_table(
        f"Query result rows in Python ({rows:,} rows x {columns} cells; Python protobuf runtime: "
        f"{api_implementation.Type()}; stream {len(streams['plain']):,} B plain, "
        f"{len(streams['gzip']):,} B gzip; JSON {sum(map(len, json_docs)):,} B, msgpack "
        f"{sum(map(len, msgpack_docs)):,} B; median of {reps} repetitions)",
        ["measure", "stream", "ns/cell", "rows/s", "best ns/cell", "CPU ns/cell"], table)

    def ratio(a, b, name="plain"):
        """a/b by the wall clock and by CPU time; a and b name measures or C++ benchmarks."""
        def pick(key):
            if key in cpp:
                return cpp[key]
            t = timings[(key, name)]
            return t.value, t.cpu
        (wa, ca), (wb, cb) = pick(a), pick(b)
        return wa / wb, ca / cb

    lines = []

    def add(label, a, b, name="plain", limit=None, at_least=False):
        wall, cpu = ratio(a, b, name)
        lines.append([label, wall, cpu, benchlib.verdict(wall, limit, at_least) if limit else ""])

    for name in ("plain", "gzip"):
        add(f"(3)/(2) streaming, {name}: ours faster by", "(3) Python protobuf + conversion, streaming",
            "(2) ours, streaming", name, 10, True)
    add("(2) streaming / msgpack.unpackb, plain", "(2) ours, streaming", "(4) msgpack.unpackb, streaming",
        limit=2)
    add("(2) streaming / json.loads, plain", "(2) ours, streaming", "(4) json.loads, streaming")
    add("(2) streaming / ujson.loads, plain", "(2) ours, streaming", "(4) ujson.loads, streaming")
    for name in ("plain", "gzip"):
        add(f"(2) keeping all / (2) streaming, {name}", "(2) ours, keeping all rows", "(2) ours, streaming", name)
        if f"decoder_native/{name}" in cpp:
            lines.append([f"(2) streaming / (1) native, {name}",
                          timings[("(2) ours, streaming", name)].value / cpp[f"decoder_native/{name}"][0],
                          timings[("(2) ours, streaming", name)].cpu / cpp[f"decoder_native/{name}"][1], ""])
            if f"floor_arena/{name}" in cpp:
                add(f"(1)/(5 arena), {name}", f"decoder_native/{name}", f"floor_arena/{name}", name, 2)
    benchlib.print_table("Ratios of the medians (the target is judged on the wall clock)",
                         ["ratio", "wall", "CPU", "target"], lines)


if __name__ == "__main__":
    main()
