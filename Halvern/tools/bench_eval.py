#!/usr/bin/python3
"""Times the evaluation of a synthetic sequence: objects walking across a frame,
tracks made from them with jitter, dropped runs, id changes and false positives.

    /usr/bin/python3 Halvern/tools/bench_eval.py [--frames 1000] [--objects 50]
"""

import argparse
import os
import sys
import tempfile
import time

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from halvern_tools.metrics import evaluate  # noqa: E402
from halvern_tools.mot_io import read_mot, write_mot  # noqa: E402


def synthetic(frames: int, objects: int, seed: int = 1):
    rng = np.random.default_rng(seed)
    start = rng.uniform(0, 1800, (objects, 2))
    speed = rng.uniform(-2, 2, (objects, 2))
    size = rng.uniform([30, 60], [80, 200], (objects, 2))
    gt, tracks = {}, {}
    next_id = objects + 1
    track_id = np.arange(1, objects + 1)
    for f in range(1, frames + 1):
        pos = (start + speed * f) % 1800
        gt[f] = [(o + 1, *pos[o], *size[o]) for o in range(objects)]
        # A track now and then loses its object and comes back under a new id.
        change = rng.random(objects) < 0.002
        track_id[change] = np.arange(next_id, next_id + change.sum())
        next_id += int(change.sum())
        seen = rng.random(objects) > 0.05
        jitter = rng.normal(0, 3, (objects, 2))
        rows = [(int(track_id[o]), *(pos[o] + jitter[o]), *size[o], 0.9)
                for o in range(objects) if seen[o]]
        rows += [(100000 + f * 10 + k, *rng.uniform(0, 1800, 2), 50, 100, 0.3)
                 for k in range(rng.poisson(1))]
        tracks[f] = rows
    return gt, tracks


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--frames", type=int, default=1000)
    parser.add_argument("--objects", type=int, default=50)
    args = parser.parse_args()
    gt, tracks = synthetic(args.frames, args.objects)
    with tempfile.TemporaryDirectory() as tmp:
        gt_path, tracks_path = os.path.join(tmp, "gt.txt"), os.path.join(tmp, "tracks.txt")
        write_mot(gt_path, gt)
        write_mot(tracks_path, tracks)
        t0 = time.perf_counter()
        gt_read, tracks_read = read_mot(gt_path), read_mot(tracks_path)
        t1 = time.perf_counter()
        result = evaluate(gt_read, tracks_read)
        t2 = time.perf_counter()
    boxes = result["num_gt_boxes"] + result["num_track_boxes"]
    print(f"{args.frames} frames, {args.objects} objects, {boxes} boxes: "
          f"read {t1 - t0:.3f} s, evaluate {t2 - t1:.3f} s "
          f"(MOTA {100 * result['mota']:.1f}%, IDF1 {100 * result['idf1']:.1f}%, "
          f"HOTA {100 * result['hota']:.1f}%)")


if __name__ == "__main__":
    main()
