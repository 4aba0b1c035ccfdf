"""halvern-track VIDEO DETECTIONS -o TRACKS: follows the objects of a video.

Exit status: 0 done, 1 an input could not be read or an output written, 2 bad usage,
130 interrupted. Outputs appear only when complete.
"""

import argparse
import sys
from typing import Dict, List, Optional

from .errors import ToolError
from .pipeline import Summary, track_video
from .session import SETTINGS

PROG = "halvern-track"

DESCRIPTION = """\
Follows the objects of a video with the Halvern tracker. DETECTIONS gives, per frame, the
boxes of the objects in the MOTChallenge text format (frame, id, bb_left, bb_top, bb_width,
bb_height[, conf, x, y, z]; frames count from 1). The tracker does no association of its own:
each object must keep its id across frames. A box is used as the object's mask. The tracks
file gets, per frame, the box of every object being tracked, in the same format (conf 1)."""

SETTINGS_HELP = "tracker settings: " + ", ".join(
    f"{name} ({kind.__name__}, default {default})" for name, kind, default in SETTINGS)


def _setting(text: str):
    name, sep, value = text.partition("=")
    kinds = {n: k for n, k, _ in SETTINGS}
    if not sep or name not in kinds:
        raise argparse.ArgumentTypeError(
            f"expected NAME=VALUE with NAME one of {', '.join(kinds)}, got '{text}'")
    kind = kinds[name]
    try:
        if kind is bool:
            words = {"true": True, "1": True, "yes": True, "on": True,
                     "false": False, "0": False, "no": False, "off": False}
            return name, words[value.lower()]
        return name, kind(value)
    except (KeyError, ValueError):
        raise argparse.ArgumentTypeError(
            f"{name} takes a {kind.__name__}, got '{value}'") from None


def parser() -> argparse.ArgumentParser:
    p = argparse.ArgumentParser(prog=PROG, description=DESCRIPTION, epilog=SETTINGS_HELP)
    p.add_argument("video", metavar="VIDEO", help="the video file (any format OpenCV reads)")
    p.add_argument("detections", metavar="DETECTIONS", help="the detections file")
    p.add_argument("-o", "--output", metavar="TRACKS", required=True, help="the tracks file")
    p.add_argument("--annotate", metavar="VIDEO_OUT",
                   help="also write the video with the tracks drawn (.mp4 or .avi): green "
                        "tracked, orange searched for, red given up")
    p.add_argument("--set", metavar="NAME=VALUE", type=_setting, action="append", default=[],
                   help="a tracker setting (repeatable; see below)")
    bar = p.add_mutually_exclusive_group()
    bar.add_argument("--progress", dest="progress", action="store_true", default=None,
                     help="show the progress bar (default: when stderr is a terminal)")
    bar.add_argument("--no-progress", dest="progress", action="store_false")
    p.add_argument("-q", "--quiet", action="store_true", help="print nothing when done")
    return p


def report(summary: Summary) -> str:
    lines = [f"{summary.frames} frames in {summary.seconds:.1f} s "
             f"({summary.frames_per_second:.1f} frames/s), {len(summary.objects)} objects",
             f"tracks: {summary.tracks_path}"]
    if summary.annotated_path:
        lines.append(f"annotated video: {summary.annotated_path}")
    return "\n".join(lines)


def main(argv: Optional[List[str]] = None) -> int:
    args = parser().parse_args(argv)
    settings: Dict[str, object] = dict(args.set)
    try:
        summary = track_video(args.video, args.detections, args.output, args.annotate,
                              settings, args.progress)
    except ToolError as e:
        print(f"{PROG}: error: {e}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print(f"\n{PROG}: interrupted; no output written", file=sys.stderr)
        return 130
    if summary.unused_frames:
        frames = summary.unused_frames
        shown = ", ".join(map(str, frames[:5])) + (", ..." if len(frames) > 5 else "")
        print(f"{PROG}: warning: the video has no frame {shown}: "
              f"{len(frames)} frame(s) of detections not used", file=sys.stderr)
    if not args.quiet:
        print(report(summary))
    return 0
