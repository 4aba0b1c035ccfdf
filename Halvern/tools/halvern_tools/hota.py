"""HOTA: the geometric mean of detection accuracy (DetA) and association accuracy
(AssA), averaged over localisation thresholds alpha = 0.05, 0.10, ..., 0.95.

Each frame is matched once for all thresholds: a linear assignment maximising, per
pair, IoU times the pair's global alignment (how much of the two trajectories
overlap over the whole sequence, in the Jaccard sense). A matched pair counts as a
true positive at every alpha not above its IoU.
"""

from typing import Dict

import numpy as np
from scipy.optimize import linear_sum_assignment

from .frames import IOU_EPS, Prepared

ALPHAS = np.arange(1, 20) * 0.05


def _keys(seq: Prepared, frame, rows, cols) -> np.ndarray:
    return frame.gt[rows] * seq.num_hyp + frame.hyp[cols]


def _global_alignment(seq: Prepared, gt_count, hyp_count):
    """Sorted pair keys and each pair's alignment score, for pairs that ever overlap.

    A pair's per-frame weight is its IoU divided by the overlap its two boxes share
    with all boxes of the frame (so ambiguous overlaps count for less); summed over
    frames it is a soft count of frames the two trajectories share."""
    keys, weights = [], []
    for frame in seq.frames:
        s = frame.iou
        rows, cols = np.nonzero(s > 0)
        if rows.size == 0:
            continue
        denom = s.sum(axis=0)[cols] + s.sum(axis=1)[rows] - s[rows, cols]
        keys.append(_keys(seq, frame, rows, cols))
        weights.append(s[rows, cols] / denom)
    if not keys:
        return np.empty(0, np.int64), np.empty(0)
    unique, inverse = np.unique(np.concatenate(keys), return_inverse=True)
    soft = np.bincount(inverse, weights=np.concatenate(weights))
    g, h = unique // seq.num_hyp, unique % seq.num_hyp
    return unique, soft / (gt_count[g] + hyp_count[h] - soft)


def _matches(seq: Prepared, keys, alignment):
    """Pair keys and IoU of every matched pair over all frames."""
    matched_keys, matched_iou = [], []
    for frame in seq.frames:
        s = frame.iou
        rows, cols = np.nonzero(s > 0)
        if rows.size == 0:
            continue
        score = np.zeros_like(s)
        score[rows, cols] = alignment[np.searchsorted(keys, _keys(seq, frame, rows, cols))]
        score[rows, cols] *= s[rows, cols]
        r, c = linear_sum_assignment(score, maximize=True)
        keep = s[r, c] > 0
        matched_keys.append(_keys(seq, frame, r[keep], c[keep]))
        matched_iou.append(s[r[keep], c[keep]])
    if not matched_keys:
        return np.empty(0, np.int64), np.empty(0)
    return np.concatenate(matched_keys), np.concatenate(matched_iou)


def hota(seq: Prepared) -> Dict[str, float]:
    gt_count = np.zeros(seq.num_gt, np.int64)
    hyp_count = np.zeros(seq.num_hyp, np.int64)
    for frame in seq.frames:
        gt_count[frame.gt] += 1
        hyp_count[frame.hyp] += 1
    num_gt_boxes, num_hyp_boxes = int(gt_count.sum()), int(hyp_count.sum())
    if num_gt_boxes + num_hyp_boxes == 0:
        return {"hota": float("nan"), "deta": float("nan"), "assa": float("nan")}

    keys, alignment = _global_alignment(seq, gt_count, hyp_count)
    matched_keys, matched_iou = _matches(seq, keys, alignment)
    det, ass = [], []
    for alpha in ALPHAS:
        tp_keys = matched_keys[matched_iou >= alpha - IOU_EPS]
        tp = tp_keys.size
        det.append(tp / (num_gt_boxes + num_hyp_boxes - tp))
        # Each true positive scores the Jaccard overlap of its two trajectories' matches.
        pairs, together = np.unique(tp_keys, return_counts=True)
        g, h = pairs // max(seq.num_hyp, 1), pairs % max(seq.num_hyp, 1)
        pair_score = together / (gt_count[g] + hyp_count[h] - together)
        ass.append(float((together * pair_score).sum()) / tp if tp else 0.0)
    det, ass = np.array(det), np.array(ass)
    return {"hota": float(np.sqrt(det * ass).mean()),
            "deta": float(det.mean()),
            "assa": float(ass.mean())}
