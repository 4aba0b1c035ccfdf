"""Detections made from ground-truth boxes, flawed the way a real detector is.

Three flaws, all drawn from one seeded generator, so that a seed gives the same detections
on every run:

- jitter: each box's centre moves by a Gaussian share of its size and its width and height
  scale by a log-normal factor, independently in every frame;
- dropout: an object is missed while the objects in front of it (lower bottom edge, so
  nearer the camera) cover more than `occlusion` of its box, and, besides, runs of misses
  start at random (`miss_rate` per detected frame, lengths drawn from `miss_run`);
- false detections: with `false_rate` per frame a box appears somewhere on the ground the
  objects walk on and stays for a run of frames (`false_run`), under a fresh id.

Objects keep their ground-truth ids: the tracker follows ids and does no association of its
own, so this is a detector that knows which object it sees whenever it sees it.
"""

from dataclasses import dataclass
from typing import Dict, Mapping, Sequence, Tuple

import numpy as np

from .records import Box, Frames

FALSE_ID_BASE = 1000  # false detections take ids from here up, above every object id


@dataclass(frozen=True)
class DetectorModel:
    position_noise: float = 0.05      # sd of the centre shift, as a share of width / height
    size_noise: float = 0.05          # sd of the log of the width and height factors
    occlusion: float = 0.4            # a box covered more than this by ones in front is missed
    miss_rate: float = 0.04           # chance per detected frame that a run of misses starts
    miss_run: Tuple[int, int] = (3, 10)   # least and most frames of a run of misses
    false_rate: float = 0.08          # chance per frame that a false detection appears
    false_run: Tuple[int, int] = (1, 4)   # least and most frames it stays

    def __post_init__(self):
        for name in ("position_noise", "size_noise", "occlusion", "miss_rate", "false_rate"):
            if not 0.0 <= getattr(self, name) <= 1.0:
                raise ValueError(f"{name} must be in [0, 1], got {getattr(self, name)}")
        for name in ("miss_run", "false_run"):
            low, high = getattr(self, name)
            if not 1 <= low <= high:
                raise ValueError(f"{name} must be (least, most) with 1 <= least <= most, "
                                 f"got {(low, high)}")


def covered_share(box: Box, others: Sequence[Box]) -> float:
    """The share of `box` covered by the union of `others`, on a one-pixel raster."""
    w, h = int(np.ceil(box.w)), int(np.ceil(box.h))
    if w <= 0 or h <= 0:
        return 0.0
    covered = np.zeros((h, w), bool)
    for o in others:
        x0, y0 = max(o.x - box.x, 0.0), max(o.y - box.y, 0.0)
        x1, y1 = min(o.x + o.w - box.x, w), min(o.y + o.h - box.y, h)
        if x1 > x0 and y1 > y0:
            covered[int(y0):int(np.ceil(y1)), int(x0):int(np.ceil(x1))] = True
    return float(covered.mean())


def occluded(boxes: Sequence[Box], share: float) -> set:
    """Ids of the boxes that objects nearer the camera cover by more than `share`."""
    hidden = set()
    for b in boxes:
        front = [o for o in boxes if o.id != b.id and o.y + o.h > b.y + b.h]
        if front and covered_share(b, front) > share:
            hidden.add(b.id)
    return hidden


def _jitter(box: Box, model: DetectorModel, rng: np.random.Generator) -> Box:
    dx, dy = rng.normal(0.0, model.position_noise, 2)
    sw, sh = np.exp(rng.normal(0.0, model.size_noise, 2))
    w, h = box.w * sw, box.h * sh
    cx, cy = box.x + box.w / 2 + dx * box.w, box.y + box.h / 2 + dy * box.h
    return Box(box.id, round(cx - w / 2, 2), round(cy - h / 2, 2), round(w, 2), round(h, 2))


def _random_misses(ids: Sequence[int], frames: Sequence[int], model: DetectorModel,
                   rng: np.random.Generator) -> Dict[int, set]:
    """{object id: frames in which a random run of misses hides it}. A run starts after a
    frame in which the object was not hidden, so two runs never merge into a longer one."""
    missed: Dict[int, set] = {}
    for object_id in ids:
        hidden, left = set(), 0
        for frame in frames:
            if left:
                hidden.add(frame)
                left -= 1
            elif rng.random() < model.miss_rate:
                left = int(rng.integers(model.miss_run[0], model.miss_run[1] + 1))
        missed[object_id] = hidden
    return missed


def _false_detections(gt: Mapping[int, Sequence[Box]], frames: Sequence[int],
                      model: DetectorModel, rng: np.random.Generator) -> Frames:
    """Short-lived boxes of an object's usual size somewhere in the area objects use."""
    boxes = [b for bs in gt.values() for b in bs]
    if not boxes:
        return {}
    left, top = min(b.x for b in boxes), min(b.y for b in boxes)
    right, bottom = max(b.x + b.w for b in boxes), max(b.y + b.h for b in boxes)
    sizes = np.array([(b.w, b.h) for b in boxes])
    out: Frames = {}
    next_id = FALSE_ID_BASE
    for i, frame in enumerate(frames):
        if rng.random() >= model.false_rate:
            continue
        w, h = sizes[rng.integers(len(sizes))]
        x = rng.uniform(left, max(left, right - w))
        y = rng.uniform(top, max(top, bottom - h))
        stay = int(rng.integers(model.false_run[0], model.false_run[1] + 1))
        for later in frames[i:i + stay]:
            out.setdefault(later, []).append(_jitter(Box(next_id, x, y, w, h), model, rng))
        next_id += 1
    return out


def make_detections(gt: Mapping[int, Sequence], model: DetectorModel, seed: int) -> Frames:
    """Detections for the frames of `gt` ({frame: [(id, x, y, w, h, ...), ...]}):
    {frame: [Box, ...]} with the objects first, by id, then the false detections."""
    rng = np.random.default_rng(seed)
    truth = {f: sorted((Box(*b[:5]) for b in bs), key=lambda b: b.id)
             for f, bs in sorted(gt.items())}
    frames = list(truth)
    ids = sorted({b.id for bs in truth.values() for b in bs})
    if ids and ids[-1] >= FALSE_ID_BASE:
        raise ValueError(f"object ids must be below {FALSE_ID_BASE}, got {ids[-1]}")
    random_misses = _random_misses(ids, frames, model, rng)
    false = _false_detections(truth, frames, model, rng)
    out: Frames = {}
    for frame, boxes in truth.items():
        hidden = occluded(boxes, model.occlusion) if model.occlusion < 1.0 else set()
        seen = [_jitter(b, model, rng) for b in boxes
                if b.id not in hidden and frame not in random_misses[b.id]]
        seen += false.get(frame, [])
        if seen:
            out[frame] = seen
    return out
