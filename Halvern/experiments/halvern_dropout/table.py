"""The experiment's table, as plain text."""

import math
from typing import Sequence

from .experiment import Row

# (heading, metrics key, kind): "pct" a fraction as a percentage, "int" a count,
# "dist" a number with three decimals.
METRIC_COLUMNS = (
    ("MOTA", "mota", "pct"), ("IDF1", "idf1", "pct"), ("HOTA", "hota", "pct"),
    ("MOTP", "motp", "dist"), ("FP", "fp", "int"), ("FN", "fn", "int"),
    ("IDsw", "id_switches", "int"),
)
# (heading, Events attribute)
EVENT_COLUMNS = (
    ("coast", "coasted"), ("on obj", "coasted_on"), ("search", "searches"),
    ("found", "recoveries"), ("gave up", "given_up"),
)

NOTES = """\
MOTA, IDF1, HOTA: higher is better. MOTP: mean 1 - IoU of matched boxes, lower is better.
FP, FN, IDsw: false positives, misses, identity switches (IoU threshold 0.5).
coast: frames a track was reported without a detection of its object; on obj: of those,
frames whose box still overlapped the object with IoU >= 0.5. search: tracks reported lost
and searched for (one lost and re-found within a frame is not seen); found: searches that
ended with the track re-seeded; gave up: tracks lost for good. "same" rows filter the row
above: a track's box is shown only while its object was detected in the last N frames."""


def _metric(value: float, kind: str) -> str:
    if kind == "int":
        return str(int(value))
    if math.isnan(value):
        return "n/a"
    return f"{100.0 * value:.1f}%" if kind == "pct" else f"{value:.3f}"


def format_table(rows: Sequence[Row], notes: bool = True) -> str:
    heads = ["setting"] + [h for h, _, _ in METRIC_COLUMNS] + [h for h, _ in EVENT_COLUMNS]
    body = []
    for row in rows:
        cells = [row.label] + [_metric(row.metrics[k], kind) for _, k, kind in METRIC_COLUMNS]
        cells += [str(getattr(row.events, a)) if row.events else "-" for _, a in EVENT_COLUMNS]
        body.append(cells)
    widths = [max(len(r[i]) for r in [heads] + body) for i in range(len(heads))]
    split = 1 + len(METRIC_COLUMNS)  # a bar between the metrics and the tracker's events

    def line(cells):
        parts = [cells[0].ljust(widths[0])]
        parts += [c.rjust(w) for c, w in zip(cells[1:], widths[1:])]
        return " ".join(parts[:split]) + " | " + " ".join(parts[split:])

    text = "\n".join([line(heads)] + [line(r) for r in body])
    return text + ("\n\n" + NOTES if notes else "")
