"""One video's tracking session on the tracker of `_halvern_py`.

The tracker takes a new object only under an id above every id it accepted before in the
process, and it takes masks with every detection. The session hides both: it gives each
object of the detection file a tracker id of its own (rising across the process), makes the
whole-frame mask of each box, seeds new objects, feeds the known ones, and purges tracks that
are lost for good, so that an object detected again later starts a new track.
"""

import itertools
from typing import Dict, List, Mapping, NamedTuple, Optional, Sequence, Tuple

import numpy as np

import _halvern_py

STATUS_TRACKING = 16   # following its object
STATUS_SEARCHING = 8   # lost, being searched for
STATUS_LOST = 0        # lost for good

RECORD_SIZE = 10
CLASS_NAME = "object"

# The tracker's settings, in the order of its configuration list, with their defaults.
SETTINGS = (
    ("detect_track_failure", bool, True),
    ("recover_track", bool, True),
    ("stab_period", int, 6),
    ("detect_fail_interval", int, 5),
    ("min_obj_size", int, 10),
    ("template_queue_size", int, 25),
    ("status_queue_size", int, 60),
    ("search_status_threshold", float, 0.6),
    ("max_search_interval", int, 60),
    ("knn_distance_ratio", float, 0.75),
    ("detect_conf_threshold", float, 0.1),
    ("detect_iou_threshold", float, 0.8),
)

# Tracker ids in use anywhere in this process rise from here.
_tracker_ids = itertools.count(1)

Box = Tuple[int, int, int, int]  # x, y, width, height in whole pixels


class Detection(NamedTuple):
    box: Tuple[float, float, float, float]  # x, y, width, height as the file gives them
    score: float


class Track(NamedTuple):
    object_id: int  # the id of the detection file
    box: Box
    status: int
    age: int


def config_list(settings: Optional[Mapping[str, object]] = None) -> list:
    """The configuration list of `_halvern_py.create`; unknown names raise KeyError."""
    settings = dict(settings or {})
    known = {name for name, _, _ in SETTINGS}
    unknown = sorted(set(settings) - known)
    if unknown:
        raise KeyError(f"unknown tracker setting(s): {', '.join(unknown)} "
                       f"(known: {', '.join(name for name, _, _ in SETTINGS)})")
    return [kind(settings.get(name, default)) for name, kind, default in SETTINGS]


def frame_box(box: Sequence[float], width: int, height: int) -> Optional[Box]:
    """The box rounded to whole pixels and cut to the frame; None when nothing is left."""
    x0, y0 = round(box[0]), round(box[1])
    x1, y1 = round(box[0] + box[2]), round(box[1] + box[3])
    x0, y0, x1, y1 = max(x0, 0), max(y0, 0), min(x1, width), min(y1, height)
    if x1 <= x0 or y1 <= y0:
        return None
    return x0, y0, x1 - x0, y1 - y0


def box_mask(box: Box, shape: Tuple[int, int]) -> np.ndarray:
    """The whole-frame mask of a box: 255 inside, 0 outside."""
    mask = np.zeros(shape, np.uint8)
    x, y, w, h = box
    mask[y:y + h, x:x + w] = 255
    return mask


def _records(entries: List[Tuple[int, Box, float, Optional[np.ndarray]]]) -> list:
    out = [len(entries), RECORD_SIZE]
    for tracker_id, (x, y, w, h), score, mask in entries:
        out += [tracker_id, CLASS_NAME, 0, float(score), x, y, w, h, mask, 0]
    return out


class TrackingSession:
    """Tracks one video: call `step` with each frame, in order, and its detections."""

    def __init__(self, settings: Optional[Mapping[str, object]] = None):
        _halvern_py.create(config_list(settings))
        self._tracker_id: Dict[int, int] = {}   # object id -> id of its live track
        self._object_id: Dict[int, int] = {}    # tracker id -> object id
        self._frames = 0

    def step(self, frame: np.ndarray, detections: Mapping[int, Detection]) -> List[Track]:
        """Runs one frame and returns its tracks: the live tracks after the frame, then the
        objects first seen in it (at their detected boxes), in object id order within each."""
        height, width = frame.shape[:2]
        fed, fresh = [], []
        for object_id in sorted(detections):
            detection = detections[object_id]
            box = frame_box(detection.box, width, height)
            if box is None:
                continue
            if object_id in self._tracker_id:
                fed.append((object_id, box, detection.score))
            else:
                fresh.append((object_id, box, detection.score))

        tracks = self._update(frame, fed) if self._frames else []
        tracks += self._seed(frame, fresh)
        self._frames += 1
        self._purge([t for t in tracks if t.status == STATUS_LOST])
        return tracks

    def _update(self, frame, fed) -> List[Track]:
        shape = frame.shape[:2]
        entries = [(self._tracker_id[o], box, score, box_mask(box, shape))
                   for o, box, score in fed]
        result = _halvern_py.update(frame, _records(entries))
        count, stride = result[0], result[1]
        tracks = []
        for i in range(len(entries), count):
            r = result[2 + i * stride: 2 + i * stride + RECORD_SIZE]
            tracks.append(Track(self._object_id[r[0]], (r[4], r[5], r[6], r[7]), r[9], r[2]))
        live = {self._tracker_id[t.object_id] for t in tracks}
        missing = set(self._object_id) - live
        if missing:
            raise RuntimeError(f"the tracker has no track for ids {sorted(missing)}: another "
                               f"user of _halvern_py in this process took higher ids")
        return sorted(tracks, key=lambda t: t.object_id)

    def _seed(self, frame, fresh) -> List[Track]:
        if not fresh:
            return []
        entries = [(next(_tracker_ids), box, score, None) for _, box, score in fresh]
        (_halvern_py.add if self._frames else _halvern_py.init)(frame, _records(entries))
        for (object_id, _, _), (tracker_id, _, _, _) in zip(fresh, entries):
            self._tracker_id[object_id] = tracker_id
            self._object_id[tracker_id] = object_id
        return [Track(o, box, STATUS_TRACKING, 1) for o, box, _ in fresh]

    def _purge(self, lost: List[Track]) -> None:
        if not lost:
            return
        ids = [self._tracker_id.pop(t.object_id) for t in lost]
        for tracker_id in ids:
            del self._object_id[tracker_id]
        _halvern_py.purge(ids)
