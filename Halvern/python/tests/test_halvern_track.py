"""halvern-track end to end on a generated clip: the tracks file, the annotated video, the
errors, and outputs that appear only when complete."""
import os
import subprocess
import sys

import cv2
import pytest

from conftest import FRAMES, HEIGHT, TOOL, WIDTH, truth
from halvern_tools.mot_io import read_mot
from halvern_track import pipeline
from halvern_track.errors import ToolError
from halvern_track.pipeline import track_video


def run_tool(*args):
    return subprocess.run([sys.executable, TOOL, *args], capture_output=True, text=True,
                          timeout=300)


def test_tracks_a_clip_from_the_command_line(clip, tmp_path):
    video, detections = clip
    tracks, annotated = tmp_path / "tracks.txt", tmp_path / "annotated.avi"
    out = run_tool(video, detections, "-o", str(tracks), "--annotate", str(annotated))
    assert out.returncode == 0, out.stderr
    assert f"{FRAMES} frames in" in out.stdout and "2 objects" in out.stdout

    rows = read_mot(tracks, unique_ids=True)
    assert sorted(rows) == list(range(1, FRAMES + 1))
    for frame, boxes in rows.items():
        assert {b.id for b in boxes} == {4, 7}
        for b in boxes:
            x, y, w, h = truth(frame)[b.id]
            assert abs(b.x - x) <= 3 and abs(b.y - y) <= 3 and (b.w, b.h) == (w, h)
            assert b.conf == 1

    capture = cv2.VideoCapture(str(annotated))
    assert int(capture.get(cv2.CAP_PROP_FRAME_COUNT)) == FRAMES
    assert (capture.get(cv2.CAP_PROP_FRAME_WIDTH), capture.get(cv2.CAP_PROP_FRAME_HEIGHT)) == \
        (WIDTH, HEIGHT)
    assert sorted(os.listdir(tmp_path)) == ["annotated.avi", "clip.avi", "dets.txt",
                                            "tracks.txt"]


def test_objects_first_seen_under_lower_ids_are_tracked(clip, tmp_path):
    video, detections = clip
    lines = open(detections).read().splitlines()
    # Object 4 is detected only from frame 5 on, after 7 was seeded.
    kept = [l for l in lines if not (l.split(",")[1] == "4" and int(l.split(",")[0]) < 5)]
    later = tmp_path / "later.txt"
    later.write_text("\n".join(kept) + "\n")
    summary = track_video(video, str(later), str(tmp_path / "t.txt"), progress=False)
    assert summary.objects[4].first_frame == 5 and summary.objects[4].tracked == FRAMES - 4
    assert summary.objects[7].tracked == FRAMES


@pytest.mark.parametrize("make_inputs, message", [
    (lambda v, d, tmp: ("missing.avi", d), "video 'missing.avi': no such file"),
    (lambda v, d, tmp: (write(tmp / "x.avi", ""), d), "video '"),
    (lambda v, d, tmp: (write(tmp / "x.avi", "RIFF\x00\x00junk" * 50), d), "cannot be read"),
    (lambda v, d, tmp: (v, "missing.txt"), "detections 'missing.txt': no such file"),
    (lambda v, d, tmp: (v, write(tmp / "d.txt", "1,1,0,0,10,10\n2,1,zero,0,10,10\n")),
     "d.txt:2: bb_left is not a number: 'zero'"),
    (lambda v, d, tmp: (v, write(tmp / "d.txt", "1,1,0,0,10,10\n\n1,1,5,5,10,10\n")),
     "d.txt:3: id 1 appears twice in frame 1"),
    (lambda v, d, tmp: (v, write(tmp / "d.txt", "1,1,0,0\n")), "d.txt:1: expected 6 to 10"),
])
def test_bad_input_is_reported_and_writes_nothing(clip, tmp_path, make_inputs, message):
    video, detections = make_inputs(*clip, tmp_path)
    tracks = tmp_path / "tracks.txt"
    tracks.write_text("earlier run\n")
    out = run_tool(video, detections, "-o", str(tracks), "--annotate",
                   str(tmp_path / "a.avi"))
    assert out.returncode == 1
    assert out.stderr.startswith("halvern-track: error: ") and message in out.stderr
    assert tracks.read_text() == "earlier run\n"
    assert not [n for n in os.listdir(tmp_path) if n.startswith(".") or n == "a.avi"]


@pytest.mark.parametrize("args, message", [
    (["--set", "stab_period=many"], "stab_period takes a int"),
    (["--set", "speed=3"], "expected NAME=VALUE"),
])
def test_bad_settings_are_usage_errors(clip, tmp_path, args, message):
    out = run_tool(*clip, "-o", str(tmp_path / "t.txt"), *args)
    assert out.returncode == 2 and message in out.stderr


def test_annotated_video_needs_a_known_container(clip, tmp_path):
    with pytest.raises(ToolError, match="must end in .mp4 or .avi"):
        track_video(*clip, str(tmp_path / "t.txt"), annotated=str(tmp_path / "a.mkv"))


def test_a_run_that_fails_midway_leaves_no_output(clip, tmp_path, monkeypatch):
    steps = []
    real_step = pipeline.TrackingSession.step

    def failing_step(self, frame, detections):
        steps.append(1)
        if len(steps) == 5:
            raise RuntimeError("disk on fire")
        return real_step(self, frame, detections)

    monkeypatch.setattr(pipeline.TrackingSession, "step", failing_step)
    out_dir = tmp_path / "out"
    out_dir.mkdir()
    with pytest.raises(RuntimeError, match="disk on fire"):
        track_video(*clip, str(out_dir / "t.txt"), annotated=str(out_dir / "a.mp4"))
    assert os.listdir(out_dir) == []


def write(path, text):
    path.write_text(text)
    return str(path)
