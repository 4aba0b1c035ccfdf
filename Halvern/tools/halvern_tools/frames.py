"""Per-frame data shared by every metric: box overlaps and dense id indices."""

from typing import Dict, List, Mapping, NamedTuple, Sequence

import numpy as np

# Overlaps within this of a threshold count as reaching it: IoU is a ratio of
# float areas, and an overlap of exactly 0.5 must not fail by a rounding error.
IOU_EPS = 1e-9


def iou_matrix(a: np.ndarray, b: np.ndarray) -> np.ndarray:
    """IoU of every box in `a` (n x 4, left/top/width/height) with every box in `b` (m x 4)."""
    a = np.asarray(a, dtype=np.float64).reshape(-1, 4)
    b = np.asarray(b, dtype=np.float64).reshape(-1, 4)
    ax0, ay0 = a[:, 0:1], a[:, 1:2]
    ax1, ay1 = ax0 + a[:, 2:3], ay0 + a[:, 3:4]
    bx0, by0 = b[:, 0], b[:, 1]
    bx1, by1 = bx0 + b[:, 2], by0 + b[:, 3]
    iw = np.clip(np.minimum(ax1, bx1) - np.maximum(ax0, bx0), 0.0, None)
    ih = np.clip(np.minimum(ay1, by1) - np.maximum(ay0, by0), 0.0, None)
    inter = iw * ih
    union = (a[:, 2:3] * a[:, 3:4]) + (b[:, 2] * b[:, 3]) - inter
    # Boxes of zero area overlap nothing.
    return np.divide(inter, union, out=np.zeros_like(inter), where=union > 0)


class Frame(NamedTuple):
    number: int
    gt: np.ndarray      # dense ground-truth indices of the objects in this frame
    hyp: np.ndarray     # dense hypothesis indices
    iou: np.ndarray     # len(gt) x len(hyp)


class Prepared(NamedTuple):
    frames: List[Frame]
    gt_ids: List[int]   # dense index -> id in the ground-truth file
    hyp_ids: List[int]

    @property
    def num_gt(self) -> int:
        return len(self.gt_ids)

    @property
    def num_hyp(self) -> int:
        return len(self.hyp_ids)


def _dense(ids: Dict[int, int], frame_ids: Sequence[int]) -> np.ndarray:
    return np.fromiter((ids.setdefault(i, len(ids)) for i in frame_ids),
                       dtype=np.int64, count=len(frame_ids))


def _boxes(rows) -> np.ndarray:
    return np.array([(r[1], r[2], r[3], r[4]) for r in rows], dtype=np.float64).reshape(-1, 4)


def prepare(gt: Mapping[int, Sequence], tracks: Mapping[int, Sequence]) -> Prepared:
    """Both inputs are {frame: [(id, x, y, w, h, ...), ...]}, as read_mot returns.
    Raises ValueError for an id that appears twice in one frame."""
    gt_index: Dict[int, int] = {}
    hyp_index: Dict[int, int] = {}
    frames = []
    for number in sorted(set(gt) | set(tracks)):
        g_rows, h_rows = gt.get(number, ()), tracks.get(number, ())
        for rows, what in ((g_rows, "ground truth"), (h_rows, "tracks")):
            ids = [r[0] for r in rows]
            if len(set(ids)) != len(ids):
                dup = next(i for i in ids if ids.count(i) > 1)
                raise ValueError(f"{what}: id {dup} appears twice in frame {number}")
        frames.append(Frame(number,
                            _dense(gt_index, [r[0] for r in g_rows]),
                            _dense(hyp_index, [r[0] for r in h_rows]),
                            iou_matrix(_boxes(g_rows), _boxes(h_rows))))
    return Prepared(frames, list(gt_index), list(hyp_index))
