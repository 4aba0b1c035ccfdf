"""Tracking metrics of a tracker output against ground truth.

    from halvern_tools.mot_io import read_mot
    from halvern_tools.metrics import evaluate
    result = evaluate(read_mot("gt.txt"), read_mot("tracks.txt"))
    result["mota"], result["idf1"], result["hota"]

Rates are fractions (0.526, not 52.6); a rate whose denominator is zero is NaN.
MOTP is the mean of 1 - IoU over matched pairs: 0 is perfect overlap.
"""

from typing import Dict, Mapping, Sequence

from .clear_mot import clear_mot
from .frames import prepare
from .hota import hota
from .identity import identity

DEFAULT_IOU_THRESHOLD = 0.5


def evaluate(gt: Mapping[int, Sequence], tracks: Mapping[int, Sequence],
             iou_threshold: float = DEFAULT_IOU_THRESHOLD) -> Dict[str, float]:
    """Both inputs are {frame: [(id, x, y, w, h, ...), ...]}. Returns the CLEAR MOT
    counts and rates, the identity measures (idf1, idp, idr) and HOTA (hota, deta, assa).
    Raises ValueError for a bad threshold or an id seen twice in one frame."""
    if not 0.0 < iou_threshold <= 1.0:
        raise ValueError(f"IoU threshold must be in (0, 1], got {iou_threshold}")
    seq = prepare(gt, tracks)
    result = clear_mot(seq, iou_threshold)
    result.update(identity(seq, iou_threshold))
    result.update(hota(seq))
    result["iou_threshold"] = iou_threshold
    return result
