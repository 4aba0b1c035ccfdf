"""CLEAR MOT counts: per-frame matching, misses, false positives, identity switches,
fragmentations and the mostly tracked / lost split."""

from typing import Dict

import numpy as np
from scipy.optimize import linear_sum_assignment

from .frames import IOU_EPS, Prepared

NO_MATCH = -1
MOSTLY_TRACKED = 0.8
MOSTLY_LOST = 0.2


def _assign(iou: np.ndarray, valid: np.ndarray):
    """Pairs (rows, cols) of a minimum-cost assignment over cost 1 - IoU, allowing only
    valid pairs and taking as many of them as possible."""
    if not valid.any():
        return np.empty(0, np.int64), np.empty(0, np.int64)
    # A forbidden pair costs more than any set of allowed ones, so the solver
    # maximises the number of allowed pairs first and their overlap second.
    forbidden = float(min(iou.shape) + 1)
    rows, cols = linear_sum_assignment(np.where(valid, 1.0 - iou, forbidden))
    keep = valid[rows, cols]
    return rows[keep], cols[keep]


def _match_frame(frame, last: np.ndarray, owner: np.ndarray, threshold: float):
    """Matched (row, col) pairs of one frame: correspondences still in force (each side
    last matched to the other) that still overlap enough are kept; the remaining objects
    and hypotheses go to the assignment."""
    valid = frame.iou >= threshold - IOU_EPS
    col_of = {h: j for j, h in enumerate(frame.hyp)}
    free_rows = np.ones(len(frame.gt), bool)
    free_cols = np.ones(len(frame.hyp), bool)
    pairs = []
    for i, g in enumerate(frame.gt):
        j = col_of.get(last[g])
        if j is not None and owner[frame.hyp[j]] == g and valid[i, j]:
            pairs.append((i, j))
            free_rows[i] = free_cols[j] = False
    rows, cols = np.flatnonzero(free_rows), np.flatnonzero(free_cols)
    r, c = _assign(frame.iou[np.ix_(rows, cols)], valid[np.ix_(rows, cols)])
    pairs.extend(zip(rows[r], cols[c]))
    return pairs


def clear_mot(seq: Prepared, threshold: float) -> Dict[str, float]:
    last = np.full(seq.num_gt, NO_MATCH, np.int64)    # last matched hypothesis per object
    owner = np.full(seq.num_hyp, NO_MATCH, np.int64)  # last matched object per hypothesis
    present = np.zeros(seq.num_gt, np.int64)
    tracked = np.zeros(seq.num_gt, np.int64)
    interrupted = np.zeros(seq.num_gt, bool)  # lost since it was last tracked
    switches = fragmentations = matches = 0
    distance = 0.0
    num_hyp_boxes = 0

    for frame in seq.frames:
        num_hyp_boxes += len(frame.hyp)
        present[frame.gt] += 1
        matched = np.zeros(len(frame.gt), bool)
        for i, j in _match_frame(frame, last, owner, threshold):
            g, h = frame.gt[i], frame.hyp[j]
            if last[g] != NO_MATCH and last[g] != h:
                switches += 1
            if interrupted[g]:
                fragmentations += 1
                interrupted[g] = False
            last[g], owner[h] = h, g
            matched[i] = True
            distance += 1.0 - frame.iou[i, j]
        matches += int(matched.sum())
        tracked[frame.gt[matched]] += 1
        lost = frame.gt[~matched]
        interrupted[lost] |= last[lost] != NO_MATCH

    num_gt_boxes = int(present.sum())
    ratio = np.divide(tracked, present, out=np.zeros(seq.num_gt), where=present > 0)
    mostly_tracked = int((ratio >= MOSTLY_TRACKED).sum())
    mostly_lost = int((ratio < MOSTLY_LOST).sum())
    fn = num_gt_boxes - matches
    fp = num_hyp_boxes - matches
    return {
        "num_gt_boxes": num_gt_boxes,
        "num_track_boxes": num_hyp_boxes,
        "matches": matches,
        "fp": fp,
        "fn": fn,
        "id_switches": switches,
        "fragmentations": fragmentations,
        "gt": seq.num_gt,
        "mt": mostly_tracked,
        "pt": seq.num_gt - mostly_tracked - mostly_lost,
        "ml": mostly_lost,
        "recall": _ratio(matches, num_gt_boxes),
        "precision": _ratio(matches, num_hyp_boxes),
        "mota": 1.0 - _ratio(fn + fp + switches, num_gt_boxes),
        "motp": _ratio(distance, matches),
    }


def _ratio(num: float, den: float) -> float:
    return num / den if den else float("nan")
