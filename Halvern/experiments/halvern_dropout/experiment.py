"""The experiment: one set of flawed detections per seed, the tracker run on them under each
setting, and the metrics of the detections and of every run against the ground truth."""

from dataclasses import dataclass, field
from typing import Dict, List, Mapping, NamedTuple, Optional, Sequence

import numpy as np

from halvern_tools.metrics import evaluate

from .analysis import Events, count_events, detection_rows, held_rows, pool, tracker_rows
from .records import Frames, TrackFrames
from .synthetic import DetectorModel, make_detections
from .tracking import run_tracker


class Setting(NamedTuple):
    name: str                      # short name for the command line
    label: str                     # what the table says
    values: Mapping[str, object]   # tracker settings that differ from the defaults


# The settings that decide what the tracker does when its detections fail it: whether a
# lost track is searched for, how often the feature check runs, and the check itself.
SETTINGS = (
    Setting("default", "recovery on, check every 5th update", {}),
    Setting("check1", "recovery on, check every update", {"detect_fail_interval": 1}),
    Setting("check15", "recovery on, check every 15th update", {"detect_fail_interval": 15}),
    Setting("no-recovery", "recovery off, check every 5th update", {"recover_track": False}),
    Setting("no-check", "no feature check, no recovery (Kalman only)",
            {"detect_track_failure": False, "recover_track": False}),
)
SETTING_NAMES = tuple(s.name for s in SETTINGS)


def setting(name: str) -> Setting:
    for s in SETTINGS:
        if s.name == name:
            return s
    raise KeyError(f"unknown setting '{name}' (known: {', '.join(SETTING_NAMES)})")


@dataclass
class Row:
    label: str
    metrics: Dict[str, float]
    events: Optional[Events] = None  # None for the detections row


@dataclass
class Outcome:
    rows: List[Row]
    # For the pictures: the first seed's detections and, per setting name, its tracks.
    detections: Frames = field(default_factory=dict)
    tracks: Dict[str, TrackFrames] = field(default_factory=dict)


def _held_label(hold: int) -> str:
    if hold == 0:
        return "  same, boxes only where detected"
    return f"  same, coasting cut after {hold} frame{'s' if hold > 1 else ''}"


def run_experiment(frames: Sequence[np.ndarray], gt: Mapping[int, Sequence],
                   settings: Sequence[Setting], seeds: Sequence[int],
                   model: DetectorModel = DetectorModel(), holds: Sequence[int] = ()) -> Outcome:
    """Runs every setting on every seed's detections over `frames` (frame 1 first); the
    ground truth is cut to those frames. Metrics pool all seeds into one sequence. For each
    of `holds`, a row shows the first setting's output with a track's box kept for at most
    that many frames without a detection of its object."""
    truth = {f: list(bs) for f, bs in gt.items() if 1 <= f <= len(frames)}
    per_seed = [make_detections(truth, model, seed) for seed in seeds]
    gt_pooled = pool([truth] * len(per_seed))
    outcome = Outcome([Row("detections alone (no tracker)",
                           evaluate(gt_pooled, pool([detection_rows(d) for d in per_seed])))],
                      per_seed[0])
    for i, s in enumerate(settings):
        runs, events = [], Events()
        for k, detections in enumerate(per_seed):
            tracks = run_tracker(frames, detections, s.values)
            if k == 0:
                outcome.tracks[s.name] = tracks
            runs.append(tracks)
            events += count_events(tracks, truth, detections)
        outcome.rows.append(Row(s.label, evaluate(gt_pooled, pool(map(tracker_rows, runs))),
                                events))
        for hold in holds if i == 0 else ():
            held = [held_rows(t, d, hold) for t, d in zip(runs, per_seed)]
            outcome.rows.append(Row(_held_label(hold), evaluate(gt_pooled, pool(held))))
    return outcome
