import os
import subprocess
import sys

import cv2
import pytest

from conftest import EXPERIMENTS_DIR
from halvern_dropout.analysis import Events, count_events, held_rows
from halvern_dropout.records import Box, TrackState
from halvern_dropout.synthetic import FALSE_ID_BASE, DetectorModel, make_detections
from halvern_tools.mot_io import read_mot

SCRIPT = os.path.join(EXPERIMENTS_DIR, "dropout.py")
PERFECT = DetectorModel(position_noise=0, size_noise=0, occlusion=1, miss_rate=0, false_rate=0)

# Object 1 walks right over frames 1-20, behind object 2, which stands still and reaches
# lower (so is nearer the camera). Object 2 covers 0.8 * (2f - 12) / 20 of object 1's box in
# frame f from frame 6 on, 80% from frame 16 on.
GT = {f: [(1, 30.0 + 2 * (f - 1), 10.0, 20.0, 50.0), (2, 60.0, 20.0, 30.0, 60.0)]
      for f in range(1, 21)}


def ids_by_frame(detections):
    return {f: sorted(b.id for b in bs) for f, bs in detections.items()}


def test_perfect_detector_returns_the_ground_truth():
    detections = make_detections(GT, PERFECT, seed=1)
    assert detections == {f: [Box(*b) for b in bs] for f, bs in GT.items()}


@pytest.mark.parametrize("occlusion, hidden_from", [(0.5, 13), (0.7, 15), (0.85, None)])
def test_objects_behind_others_are_missed(occlusion, hidden_from):
    model = DetectorModel(position_noise=0, size_noise=0, occlusion=occlusion, miss_rate=0,
                          false_rate=0)
    seen = ids_by_frame(make_detections(GT, model, seed=1))
    for f in range(1, 21):
        expected = [2] if hidden_from and f >= hidden_from else [1, 2]
        assert seen[f] == expected, f


def test_dropout_runs_and_false_detections_follow_the_model():
    model = DetectorModel(occlusion=1, miss_rate=0.2, miss_run=(3, 5), false_rate=0.3,
                          false_run=(2, 2))
    detections = make_detections(GT, model, seed=7)
    assert detections == make_detections(GT, model, seed=7)
    assert detections != make_detections(GT, model, seed=8)
    seen = ids_by_frame(detections)
    # Misses come in runs of 3 to 5 frames, apart (the last may be cut by the sequence's end).
    for object_id in (1, 2):
        present = [object_id in seen.get(f, []) for f in range(1, 21)] + [True]
        runs, length = [], 0
        for p in present:
            if not p:
                length += 1
            elif length:
                runs.append(length)
                length = 0
        assert runs and all(3 <= r <= 5 for r in runs[:-1] or runs), runs
    # Each false detection has a fresh id above the objects' and stays 2 frames.
    false = [(f, i) for f, ids in seen.items() for i in ids if i >= FALSE_ID_BASE]
    assert false
    for i in {i for _, i in false}:
        frames = sorted(f for f, j in false if j == i)
        assert frames == list(range(frames[0], frames[0] + len(frames)))
        assert len(frames) == 2 or frames[-1] == 20


def test_events_and_coasting_cut_against_hand_counts():
    truth = {f: [(1, 0.0, 0.0, 10.0, 10.0)] for f in range(1, 9)}
    detections = {1: [Box(1, 0, 0, 10, 10)], 2: [Box(1, 0, 0, 10, 10)]}
    states = [(16, (0, 0, 10, 10)), (16, (0, 0, 10, 10)),   # detected
              (16, (1, 0, 10, 10)),                         # coasting, on the object
              (16, (8, 0, 10, 10)),                         # coasting, off it
              (8, (8, 0, 10, 10)), (16, (0, 0, 10, 10)),    # lost, found again
              (8, (0, 0, 10, 10)), (0, (0, 0, 10, 10))]     # lost, given up
    tracks = {f: [TrackState(1, box, status)] for f, (status, box) in enumerate(states, 1)}
    assert count_events(tracks, truth, detections) == Events(
        searches=2, recoveries=1, given_up=1, coasted=3, coasted_on=2)
    kept = held_rows(tracks, detections, hold=1)
    assert [f for f, rows in sorted(kept.items()) if rows] == [1, 2, 3]


def test_command_prints_the_table_and_writes_the_pictures(tmp_path):
    out = tmp_path / "out"
    run = subprocess.run([sys.executable, SCRIPT, "--out", str(out), "--frames", "12",
                          "--seeds", "1", "--settings", "default", "--hold", "0"],
                         capture_output=True, text=True, timeout=300)
    assert run.returncode == 0, run.stderr
    lines = run.stdout.splitlines()
    head = next(i for i, line in enumerate(lines) if line.startswith("setting "))
    for column in ("MOTA", "IDF1", "HOTA", "MOTP", "FP", "FN", "IDsw", "coast", "search"):
        assert column in lines[head].split()
    rows = [r.strip() for r in lines[head + 1:head + 5]]
    labels = ["detections alone (no tracker)", "recovery on, check every 5th update",
              "same, boxes only where detected"]
    assert all(r.startswith(label) and "%" in r for r, label in zip(rows, labels)), rows
    assert rows[3] == ""
    assert (out / "table.txt").read_text().count("detections alone") == 1

    tracks = read_mot(out / "tracks-default.txt", unique_ids=True)
    assert set(tracks) <= set(range(1, 13)) and {1, 2, 3} <= {b.id for bs in tracks.values()
                                                             for b in bs}
    for name in ("contact-sheet.png", "timeline.png"):
        image = cv2.imread(str(out / name))
        assert image is not None and image.shape[0] > 200 and image.shape[1] > 600, name


def test_command_rejects_an_unknown_setting(tmp_path):
    run = subprocess.run([sys.executable, SCRIPT, "--out", str(tmp_path), "--settings", "fast"],
                         capture_output=True, text=True, timeout=120)
    assert run.returncode == 2
    assert "unknown setting 'fast'" in run.stderr
    assert not os.listdir(tmp_path)
