"""Reading and writing the MOTChallenge text format.

One box per line, comma separated:

    frame, id, bb_left, bb_top, bb_width, bb_height, conf, x, y, z

Frames and ids are integers, the rest numbers. Only the first six fields are
required; conf defaults to -1 and the world coordinates x, y, z are not kept.
Blank lines are skipped. Anything else that does not parse is reported with
its file and line number.

    frames = read_mot("gt.txt")                # {frame: [MotBox, ...]}, frames ascending
    write_mot("out.txt", frames)               # same shape back; plain tuples are fine
"""

import math
import os
import uuid
from typing import Dict, Iterable, List, Mapping, NamedTuple, Optional, Sequence, Union

MIN_FIELDS = 6
MAX_FIELDS = 10


class MotBox(NamedTuple):
    id: int
    x: float
    y: float
    w: float
    h: float
    conf: float = -1.0


MotFrames = Dict[int, List[MotBox]]


class MotFormatError(ValueError):
    """A line that is not valid in the format; `source` and `line` (1-based) say where."""

    def __init__(self, source: str, line: Optional[int], message: str):
        where = f"{source}:{line}" if line is not None else source
        super().__init__(f"{where}: {message}")
        self.source = source
        self.line = line


def _integer(text: str, name: str) -> int:
    # Some writers print frames and ids as "12.0"; a fractional value is an error.
    try:
        return int(text)
    except ValueError:
        pass
    value = _number(text, name)
    if not value.is_integer():
        raise ValueError(f"{name} must be an integer, got '{text}'")
    return int(value)


def _number(text: str, name: str) -> float:
    try:
        value = float(text)
    except ValueError:
        raise ValueError(f"{name} is not a number: '{text}'") from None
    if not math.isfinite(value):
        raise ValueError(f"{name} is not finite: '{text}'")
    return value


def _parse_line(text: str):
    fields = [f.strip() for f in text.split(",")]
    if not MIN_FIELDS <= len(fields) <= MAX_FIELDS:
        raise ValueError(f"expected {MIN_FIELDS} to {MAX_FIELDS} comma-separated fields "
                         f"(frame, id, bb_left, bb_top, bb_width, bb_height, conf, x, y, z), "
                         f"got {len(fields)}")
    frame = _integer(fields[0], "frame")
    if frame < 0:
        raise ValueError(f"frame must not be negative, got {frame}")
    track_id = _integer(fields[1], "id")
    x, y, w, h = (_number(t, n) for t, n in
                  zip(fields[2:6], ("bb_left", "bb_top", "bb_width", "bb_height")))
    if w < 0 or h < 0:
        raise ValueError(f"box size must not be negative, got {w} x {h}")
    conf = _number(fields[6], "conf") if len(fields) > 6 else -1.0
    for name, t in zip(("x", "y", "z"), fields[7:]):
        _number(t, name)
    return frame, MotBox(track_id, x, y, w, h, conf)


def parse_mot(lines: Iterable[Union[str, bytes]], source: str = "<input>",
              unique_ids: bool = False) -> MotFrames:
    """Parses lines of the format. With `unique_ids`, an id seen twice in one frame
    is an error (a detection file, whose ids are all -1, needs it off)."""
    frames: MotFrames = {}
    seen = set()
    for number, raw in enumerate(lines, start=1):
        try:
            text = raw.decode("utf-8") if isinstance(raw, bytes) else raw
        except UnicodeDecodeError:
            raise MotFormatError(source, number, "not UTF-8 text") from None
        if number == 1:
            text = text.lstrip("\ufeff")
        if not text.strip():
            continue
        try:
            frame, box = _parse_line(text)
        except ValueError as e:
            raise MotFormatError(source, number, str(e)) from None
        if unique_ids:
            if (frame, box.id) in seen:
                raise MotFormatError(source, number,
                                     f"id {box.id} appears twice in frame {frame}")
            seen.add((frame, box.id))
        frames.setdefault(frame, []).append(box)
    return dict(sorted(frames.items()))


def read_mot(path: Union[str, os.PathLike], unique_ids: bool = False) -> MotFrames:
    """Reads a file of the format: {frame: [MotBox, ...]}, frames ascending, boxes in
    file order. Raises MotFormatError for a bad line and OSError if unreadable."""
    with open(path, "rb") as f:
        return parse_mot(f, os.fspath(path), unique_ids)


def _format_number(value: float) -> str:
    # Shortest text that reads back to the same float; whole numbers without ".0".
    value = float(value)
    if not math.isfinite(value):
        raise ValueError(f"cannot write a non-finite number: {value}")
    return str(int(value)) if value.is_integer() and abs(value) < 1e15 else repr(value)


def format_mot_line(frame: int, box: Sequence[float]) -> str:
    """One line for a box given as (id, x, y, w, h[, conf])."""
    if len(box) not in (5, 6):
        raise ValueError(f"a box is (id, x, y, w, h[, conf]), got {len(box)} values")
    track_id = box[0]
    if int(track_id) != track_id or int(frame) != frame or frame < 0:
        raise ValueError(f"frame and id must be integers, frame >= 0: {frame}, {track_id}")
    if box[3] < 0 or box[4] < 0:
        raise ValueError(f"box size must not be negative: {box[3]} x {box[4]}")
    conf = box[5] if len(box) == 6 else -1.0
    fields = [str(int(frame)), str(int(track_id))]
    fields += [_format_number(v) for v in (box[1], box[2], box[3], box[4], conf)]
    return ",".join(fields) + ",-1,-1,-1"


def write_mot(dest, frames: Mapping[int, Iterable[Sequence[float]]]) -> None:
    """Writes {frame: [(id, x, y, w, h[, conf]), ...]} sorted by frame, then id.

    `dest` is a path or an open text file. A path is written through a temporary
    file beside it and renamed into place, so a failed write leaves no partial file.
    """
    lines = [format_mot_line(frame, box)
             for frame in sorted(frames)
             for box in sorted(frames[frame], key=lambda b: b[0])]
    text = "".join(line + "\n" for line in lines)
    if hasattr(dest, "write"):
        dest.write(text)
        return
    path = os.fspath(dest)
    # A fresh name opened exclusively; unlike mkstemp it gets the usual permissions.
    tmp = f"{path}.{os.getpid()}-{uuid.uuid4().hex[:8]}.tmp"
    try:
        with open(tmp, "x", encoding="utf-8") as f:
            f.write(text)
        os.replace(tmp, path)
    except BaseException:
        try:
            os.unlink(tmp)
        except FileNotFoundError:
            pass
        raise
