"""Identity measures: one global one-to-one matching of whole trajectories.

Pairing an object trajectory with a hypothesis trajectory makes every frame where
both exist and overlap enough an identity true positive; the rest of both are
identity misses and false positives. Minimising misses plus false positives over
all pairings is the same as maximising the summed overlap counts, which a
linear assignment over the count matrix does.
"""

from typing import Dict

import numpy as np
from scipy.optimize import linear_sum_assignment

from .frames import IOU_EPS, Prepared


def pair_counts(seq: Prepared, threshold: float):
    """Frames in which each (object, hypothesis) pair overlaps by at least `threshold`,
    for the pairs that ever do: (objects, hypotheses, counts)."""
    keys = [frame.gt[i] * seq.num_hyp + frame.hyp[j]
            for frame in seq.frames
            for i, j in [np.nonzero(frame.iou >= threshold - IOU_EPS)]]
    if not keys:
        return (np.empty(0, np.int64),) * 3
    unique, counts = np.unique(np.concatenate(keys), return_counts=True)
    return unique // max(seq.num_hyp, 1), unique % max(seq.num_hyp, 1), counts


def identity(seq: Prepared, threshold: float) -> Dict[str, float]:
    num_gt_boxes = sum(len(f.gt) for f in seq.frames)
    num_hyp_boxes = sum(len(f.hyp) for f in seq.frames)
    objects, hyps, counts = pair_counts(seq, threshold)
    idtp = 0
    if counts.size:
        # Only trajectories that overlap some other one can gain from a pairing.
        rows, row_of = np.unique(objects, return_inverse=True)
        cols, col_of = np.unique(hyps, return_inverse=True)
        overlap = np.zeros((rows.size, cols.size), np.int64)
        overlap[row_of, col_of] = counts
        r, c = linear_sum_assignment(overlap, maximize=True)
        idtp = int(overlap[r, c].sum())
    total = num_gt_boxes + num_hyp_boxes
    return {
        "idtp": idtp,
        "idfn": num_gt_boxes - idtp,
        "idfp": num_hyp_boxes - idtp,
        "idf1": 2.0 * idtp / total if total else float("nan"),
        "idp": idtp / num_hyp_boxes if num_hyp_boxes else float("nan"),
        "idr": idtp / num_gt_boxes if num_gt_boxes else float("nan"),
    }
