"""What a tracker run did, frame by frame and object by object, against the ground truth."""

from dataclasses import dataclass, fields
from typing import Dict, List, Mapping, NamedTuple, Optional, Sequence

from .records import Frames, TrackFrames

STATUS_TRACKING, STATUS_SEARCHING, STATUS_LOST = 16, 8, 0
ON_TARGET_IOU = 0.5  # the metrics' match threshold

# Pooled runs are laid end to end: run k's frames and ids are shifted by k times this.
POOL_STRIDE = 100_000

MotRows = Dict[int, List[tuple]]  # {frame: [(id, x, y, w, h, conf), ...]}


def iou(a: Sequence[float], b: Sequence[float]) -> float:
    """Intersection over union of two (x, y, w, h) boxes; 0 when either is empty."""
    x0, y0 = max(a[0], b[0]), max(a[1], b[1])
    x1, y1 = min(a[0] + a[2], b[0] + b[2]), min(a[1] + a[3], b[1] + b[3])
    inter = max(x1 - x0, 0.0) * max(y1 - y0, 0.0)
    union = a[2] * a[3] + b[2] * b[3] - inter
    return inter / union if union > 0 else 0.0


def tracker_rows(tracks: TrackFrames) -> MotRows:
    """The tracker's output as a user sees it: the boxes of the tracks being tracked."""
    return {f: [(t.object_id, *t.box, 1.0) for t in ts if t.status == STATUS_TRACKING]
            for f, ts in tracks.items()}


def held_rows(tracks: TrackFrames, detections: Frames, hold: int) -> MotRows:
    """The tracker's output with each track's box shown only while its object was detected
    in one of the last `hold` + 1 frames: how long coasting is worth keeping."""
    undetected: Dict[int, int] = {}
    out: MotRows = {}
    for frame in sorted(tracks):
        seen = {b.id for b in detections.get(frame, [])}
        for t in tracks[frame]:
            undetected[t.object_id] = 0 if t.object_id in seen else \
                undetected.get(t.object_id, 0) + 1
        out[frame] = [r for r in tracker_rows({frame: tracks[frame]})[frame]
                      if undetected[r[0]] <= hold]
    return out


def detection_rows(detections: Frames) -> MotRows:
    return {f: [(b.id, b.x, b.y, b.w, b.h, 1.0) for b in bs] for f, bs in detections.items()}


def pool(runs: Sequence[Mapping[int, Sequence[tuple]]]) -> MotRows:
    """Several runs as one sequence, each with frames and ids of its own."""
    out: MotRows = {}
    for k, rows in enumerate(runs):
        shift = k * POOL_STRIDE
        for frame, boxes in rows.items():
            out[frame + shift] = [(b[0] + shift, *b[1:]) for b in boxes]
    return out


class Cell(NamedTuple):
    status: int
    on_target: bool  # tracking with IoU >= 0.5 against its own object's true box


def cells(tracks: TrackFrames, gt: Mapping[int, Sequence]) -> Dict[int, Dict[int, Cell]]:
    """{frame: {object id: Cell}} for every track reported in every frame."""
    out: Dict[int, Dict[int, Cell]] = {}
    for frame, states in tracks.items():
        truth = {b[0]: b[1:5] for b in gt.get(frame, [])}
        row = out.setdefault(frame, {})
        for t in states:
            true_box: Optional[Sequence[float]] = truth.get(t.object_id)
            hit = (t.status == STATUS_TRACKING and true_box is not None
                   and iou(t.box, true_box) >= ON_TARGET_IOU)
            row[t.object_id] = Cell(t.status, hit)
    return out


@dataclass
class Events:
    searches: int = 0       # tracking -> searching
    recoveries: int = 0     # searching -> tracking: the recovery search found the object
    given_up: int = 0       # tracks reported lost for good
    coasted: int = 0        # frames tracked without a detection of the object
    coasted_on: int = 0     # ... of them with the box still on the object

    def __iadd__(self, other: "Events") -> "Events":
        for f in fields(self):
            setattr(self, f.name, getattr(self, f.name) + getattr(other, f.name))
        return self


def count_events(tracks: TrackFrames, gt: Mapping[int, Sequence],
                 detections: Frames) -> Events:
    events = Events()
    previous: Dict[int, int] = {}
    grid = cells(tracks, gt)
    for frame in sorted(tracks):
        seen = {b.id for b in detections.get(frame, [])}
        for object_id, cell in grid[frame].items():
            before = previous.get(object_id)
            if cell.status == STATUS_SEARCHING and before == STATUS_TRACKING:
                events.searches += 1
            elif cell.status == STATUS_TRACKING and before == STATUS_SEARCHING:
                events.recoveries += 1
            elif cell.status == STATUS_LOST:
                events.given_up += 1
            if cell.status == STATUS_TRACKING and object_id not in seen:
                events.coasted += 1
                events.coasted_on += cell.on_target
            previous[object_id] = cell.status
        for object_id in set(previous) - set(grid[frame]):
            del previous[object_id]  # purged: a later track of this object starts afresh
    return events
