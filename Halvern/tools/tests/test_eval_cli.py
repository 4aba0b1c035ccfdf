import os
import subprocess
import sys

import pytest

TESTS = os.path.dirname(os.path.abspath(__file__))
LAUNCHER = os.path.join(os.path.dirname(TESTS), "halvern-eval")
GT = os.path.join(TESTS, "data", "tud-campus", "gt.txt")
HYPOTHESIS = os.path.join(TESTS, "data", "tud-campus", "hypothesis.txt")


def run(*args):
    return subprocess.run([sys.executable, LAUNCHER, *args], capture_output=True, text=True,
                          timeout=60)


def table(stdout):
    head, row = stdout.splitlines()[:2]
    return dict(zip(head.split(), row.split()))


def test_prints_the_published_figures():
    done = run(GT, HYPOTHESIS)
    assert done.returncode == 0, done.stderr
    figures = table(done.stdout)
    assert {k: figures[k] for k in ("IDF1", "IDP", "IDR", "Rcll", "Prcn", "GT", "MT", "PT",
                                    "ML", "FP", "FN", "IDs", "FM", "MOTA", "MOTP")} == {
        "IDF1": "55.8%", "IDP": "73.0%", "IDR": "45.1%", "Rcll": "58.2%", "Prcn": "94.1%",
        "GT": "8", "MT": "1", "PT": "6", "ML": "1", "FP": "13", "FN": "150", "IDs": "7",
        "FM": "7", "MOTA": "52.6%", "MOTP": "0.277"}
    assert {"HOTA", "DetA", "AssA"} <= figures.keys()
    assert "MOTP: mean of 1 - IoU over matched pairs" in done.stdout


def test_empty_tracks_file_is_all_misses(tmp_path):
    empty = tmp_path / "tracks.txt"
    empty.write_text("")
    done = run(GT, str(empty))
    assert done.returncode == 0, done.stderr
    figures = table(done.stdout)
    assert (figures["FN"], figures["FP"], figures["MOTA"], figures["Prcn"]) == \
        ("359", "0", "0.0%", "n/a")


@pytest.mark.parametrize("content, expected", [
    ("1,1,10,20,30,40,1,-1,-1,-1\n1,2,10,20,x,40,1,-1,-1,-1\n",
     "tracks.txt:2: bb_width is not a number: 'x'"),
    ("1,1,10,20,30,40,1,-1,-1,-1\n1,1,50,20,30,40,1,-1,-1,-1\n",
     "tracks.txt:2: id 1 appears twice in frame 1"),
])
def test_malformed_tracks_file_fails_with_its_line(tmp_path, content, expected):
    tracks = tmp_path / "tracks.txt"
    tracks.write_text(content)
    done = run(GT, str(tracks))
    assert done.returncode == 1
    assert done.stdout == ""
    assert done.stderr.startswith("halvern-eval: error: ") and expected in done.stderr


@pytest.mark.parametrize("args, status, expected", [
    (["/nonexistent/missing.txt", HYPOTHESIS], 1,
     "cannot read /nonexistent/missing.txt: No such file or directory"),
    ([GT], 2, "usage: halvern-eval"),
    ([GT, HYPOTHESIS, "--iou-threshold", "0"], 2, "--iou-threshold must be in (0, 1]"),
])
def test_usage_and_file_errors(args, status, expected):
    done = run(*args)
    assert done.returncode == status
    assert expected in done.stderr
