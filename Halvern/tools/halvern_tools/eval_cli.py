"""halvern-eval GT_FILE TRACKS_FILE: prints the tracking metrics of a tracker output.

Exit status: 0 printed, 1 a file could not be read or is malformed, 2 bad usage.
"""

import argparse
import math
import sys
from typing import Dict, List, Optional

from .metrics import DEFAULT_IOU_THRESHOLD, evaluate
from .mot_io import MotFormatError, read_mot

PROG = "halvern-eval"

# (heading, result key, kind): kind "pct" prints a fraction as a percentage,
# "int" a count, "dist" a distance with three decimals.
COLUMNS = [
    ("IDF1", "idf1", "pct"), ("IDP", "idp", "pct"), ("IDR", "idr", "pct"),
    ("Rcll", "recall", "pct"), ("Prcn", "precision", "pct"),
    ("GT", "gt", "int"), ("MT", "mt", "int"), ("PT", "pt", "int"), ("ML", "ml", "int"),
    ("FP", "fp", "int"), ("FN", "fn", "int"), ("IDs", "id_switches", "int"),
    ("FM", "fragmentations", "int"), ("MOTA", "mota", "pct"), ("MOTP", "motp", "dist"),
    ("HOTA", "hota", "pct"), ("DetA", "deta", "pct"), ("AssA", "assa", "pct"),
]


def _cell(value, kind: str) -> str:
    if kind == "int":
        return str(int(value))
    if math.isnan(value):
        return "n/a"
    return f"{100.0 * value:.1f}%" if kind == "pct" else f"{value:.3f}"


def format_table(result: Dict[str, float]) -> str:
    """The metrics as a two-line table, with a note on the MOTP convention."""
    cells = [_cell(result[key], kind) for _, key, kind in COLUMNS]
    widths = [max(len(head), len(cell)) for (head, _, _), cell in zip(COLUMNS, cells)]
    head = " ".join(h.rjust(w) for (h, _, _), w in zip(COLUMNS, widths))
    row = " ".join(c.rjust(w) for c, w in zip(cells, widths))
    note = (f"IoU threshold {result['iou_threshold']:g}. MOTP: mean of 1 - IoU over matched "
            f"pairs (0 is perfect overlap).\n"
            f"HOTA, DetA, AssA: averaged over alpha = 0.05, 0.10, ..., 0.95.")
    return f"{head}\n{row}\n{note}"


def main(argv: Optional[List[str]] = None) -> int:
    parser = argparse.ArgumentParser(
        prog=PROG,
        description="Compares a tracker output with ground truth, both in the MOTChallenge "
                    "text format, and prints CLEAR MOT, identity and HOTA metrics.")
    parser.add_argument("gt_file", metavar="GT_FILE", help="ground truth")
    parser.add_argument("tracks_file", metavar="TRACKS_FILE", help="tracker output")
    parser.add_argument("--iou-threshold", type=float, default=DEFAULT_IOU_THRESHOLD,
                        help="least IoU for a match (default %(default)s)")
    args = parser.parse_args(argv)
    if not 0.0 < args.iou_threshold <= 1.0:
        parser.error(f"--iou-threshold must be in (0, 1], got {args.iou_threshold}")

    try:
        gt = read_mot(args.gt_file, unique_ids=True)
        tracks = read_mot(args.tracks_file, unique_ids=True)
    except MotFormatError as e:
        print(f"{PROG}: error: {e}", file=sys.stderr)
        return 1
    except OSError as e:
        print(f"{PROG}: error: cannot read {e.filename}: {e.strerror}", file=sys.stderr)
        return 1
    print(format_table(evaluate(gt, tracks, args.iou_threshold)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
