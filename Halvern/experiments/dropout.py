#!/usr/bin/python3
"""Detector-dropout experiment: how the tracker copes when its detections fail.

    /usr/bin/python3 Halvern/experiments/dropout.py [--out DIR]

Makes flawed detections from the ground truth of the PETS sample (jittered boxes, objects
missed under occlusion and at random, false detections), runs the tracker on the video with
them under several settings, and prints the tracking metrics of the detections alone and of
each run as one table. DIR (default ./dropout-results) gets the table, the first seed's
detections and tracks in the MOTChallenge text format, a contact sheet and a timeline.
"""

import argparse
import os
import sys
import time

from halvern_dropout import paths


def _names(text):
    return [n.strip() for n in text.split(",") if n.strip()]


def _counts(text):
    try:
        counts = [int(n) for n in _names(text)]
    except ValueError:
        raise argparse.ArgumentTypeError(f"expected whole numbers, got '{text}'") from None
    if any(n < 0 for n in counts):
        raise argparse.ArgumentTypeError(f"counts must not be negative, got '{text}'")
    return counts


def parser(setting_names):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0].strip(),
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--out", metavar="DIR", default="dropout-results",
                   help="folder for the table, files and pictures (default %(default)s)")
    p.add_argument("--frames", type=int, default=0,
                   help="use only the first N frames (default: all)")
    p.add_argument("--seeds", type=int, default=3,
                   help="number of detection sets, pooled in the metrics (default %(default)s)")
    p.add_argument("--seed", type=int, default=1, help="the first seed (default %(default)s)")
    p.add_argument("--settings", type=_names, default=list(setting_names),
                   help=f"comma-separated settings to run (default all: "
                        f"{','.join(setting_names)})")
    p.add_argument("--pictures", metavar="SETTING",
                   help="the setting the pictures show (default: the first one run)")
    p.add_argument("--jitter", type=float, default=0.05,
                   help="sd of box jitter, a share of the box size (default %(default)s)")
    p.add_argument("--occlusion", type=float, default=0.4,
                   help="an object covered more than this by objects in front is missed "
                        "(default %(default)s; 1 turns it off)")
    p.add_argument("--miss-rate", type=float, default=0.04,
                   help="chance per frame that a run of 3-10 misses starts (default %(default)s)")
    p.add_argument("--false-rate", type=float, default=0.08,
                   help="chance per frame of a false detection lasting 1-4 frames "
                        "(default %(default)s)")
    p.add_argument("--hold", type=_counts, default=[0, 2],
                   help="comma-separated frame counts: rows showing the first setting's output "
                        "with boxes kept at most that many frames without a detection "
                        "(default 0,2; empty for none)")
    p.add_argument("--module-dir", metavar="DIR", help="folder holding _halvern_py.so")
    return p


def main(argv=None) -> int:
    paths.add_sources()
    from halvern_dropout.experiment import SETTING_NAMES, run_experiment, setting
    from halvern_dropout.outputs import write_outputs
    from halvern_dropout.synthetic import DetectorModel
    from halvern_dropout.table import format_table
    from halvern_dropout.tracking import read_frames
    from halvern_tools.mot_io import read_mot

    p = parser(SETTING_NAMES)
    args = p.parse_args(argv)
    if not args.settings:
        p.error("--settings names no setting")
    if args.frames < 0 or args.seeds < 1:
        p.error("--frames must be 0 or more and --seeds at least 1")
    try:
        settings = [setting(n) for n in args.settings]
        picture = setting(args.pictures) if args.pictures else settings[0]
        model = DetectorModel(position_noise=args.jitter, size_noise=args.jitter,
                              occlusion=args.occlusion, miss_rate=args.miss_rate,
                              false_rate=args.false_rate)
    except (KeyError, ValueError) as e:
        p.error(e.args[0])
    if picture not in settings:
        settings.append(picture)
    try:
        module = paths.import_tracker(args.module_dir)
    except ImportError as e:
        print(f"dropout.py: error: {e}", file=sys.stderr)
        return 1

    start = time.monotonic()
    try:
        os.makedirs(args.out, exist_ok=True)
        gt = read_mot(os.path.join(paths.DATA_DIR, "gt", "gt.txt"), unique_ids=True)
        frames = read_frames(os.path.join(paths.DATA_DIR, "video.mp4"),
                             args.frames or max(gt))
    except OSError as e:
        print(f"dropout.py: error: {e}", file=sys.stderr)
        return 1
    seeds = range(args.seed, args.seed + args.seeds)
    outcome = run_experiment(frames, gt, settings, seeds, model, args.hold)
    table = format_table(outcome.rows)
    header = (f"PETS09-S3-MF1, frames 1-{len(frames)}, {args.seeds} detection set(s) "
              f"(seeds {seeds[0]}-{seeds[-1]}) pooled; pictures: '{picture.name}', "
              f"seed {seeds[0]}")
    title = f"PETS09-S3-MF1, seed {seeds[0]}, tracker: {picture.label}"
    written = write_outputs(args.out, f"{header}\n\n{table}\n", frames, gt, outcome, picture,
                            title)
    print(header)
    print()
    print(table)
    print()
    print(f"{time.monotonic() - start:.1f} s with {module}")
    print(f"written to {args.out}: {', '.join(written)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
