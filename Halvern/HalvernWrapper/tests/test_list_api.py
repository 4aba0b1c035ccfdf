"""The list functions of _halvern_py: the layouts, the id watermark, the soft conditions and
the errors, and the checks of frames and masks."""
import subprocess
import sys
import textwrap

import numpy as np
import pytest

from conftest import (DEFAULT_CONFIG, HEIGHT, WIDTH, box_mask, records, scene, unpack)

BOX = (100, 80, 48, 64)


def run_fresh(code):
    """Runs `code` in a new interpreter (a process whose module state is untouched)."""
    return subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True,
                          text=True, timeout=120)


def test_functions_before_create_raise():
    out = run_fresh("""
        import numpy as np, _halvern_py as h
        f = np.zeros((8, 8, 3), np.uint8)
        for call in (lambda: h.init(f, [0, 10]), lambda: h.add(f, [0, 10]),
                     lambda: h.update(f, [0, 10]), lambda: h.purge([])):
            try:
                call()
            except RuntimeError as e:
                print(e)
        """)
    assert out.stdout.splitlines() == ["Controller not initialized"] * 4, out.stderr


def test_import_without_numpy_fails_with_import_error():
    out = run_fresh("""
        import sys
        sys.modules["numpy.core._multiarray_umath"] = None
        for attempt in range(2):
            try:
                import _halvern_py
            except ImportError as e:
                print(type(e).__name__, e)
        """)
    assert out.stdout.splitlines() == \
        ["ImportError numpy.core.multiarray failed to import"] * 2, out.stderr


def test_ids_must_rise_across_calls_and_trackers(tracker, ids):
    frame = scene([BOX])
    a = next(ids)
    b, c = next(ids), next(ids)
    # Records below an accepted id are skipped, within one list and across calls.
    tracker.init(frame, records((b, BOX), (a, BOX), (c, BOX)))
    tracker.add(frame, records((a, BOX)))
    assert [r[0] for r in unpack(tracker.purge([]))] == [b, c]
    # A new tracker drops the tracks but keeps the watermark.
    tracker.create(list(DEFAULT_CONFIG))
    tracker.init(frame, records((c, BOX)))
    assert tracker.purge([]) == [0, 10]


def test_empty_header_changes_nothing(tracker, ids, capfd):
    frame = scene([BOX])
    tid = next(ids)
    tracker.init(frame, records((tid, BOX)))
    tracker.init(frame, [0, 10])
    assert [r[0] for r in unpack(tracker.purge([]))] == [tid]
    assert capfd.readouterr().err == ""


def test_empty_lists_are_reported_not_raised(tracker, capfd):
    frame = scene([])
    assert tracker.update(frame, []) == []
    tracker.init(frame, [])
    tracker.add(frame, [])
    assert capfd.readouterr().err == "List of dets has size <= 0\n" * 3


def test_update_returns_detections_then_tracks(tracker, ids):
    frame = scene([BOX])
    tid, stranger = next(ids), next(ids)
    tracker.init(frame, records((tid, BOX)))
    mask = box_mask(BOX)
    result = tracker.update(frame, records((tid, BOX, mask, 0.9), (stranger, BOX, mask)))
    given, track = unpack(result)[:2], unpack(result)[2:]
    assert result[:2] == [3, 10]
    # The detections come back as given; score is stored as a 32-bit float.
    assert given[0][:8] == (tid, "person", 0, pytest.approx(0.9, abs=1e-7), *BOX)
    assert given[0][8] is mask and given[1][8] is mask
    # One record per track: its own copy of the accepted mask.
    (t,) = track
    assert t[:8] == (tid, "person", 2, 1.0, *BOX) and t[9] == 16
    assert t[8] is not mask and t[8].dtype == np.uint8 and t[8].shape == (HEIGHT, WIDTH)
    assert np.array_equal(t[8], mask)
    # Each result holds arrays of its own: writing one changes nothing the tracker reports.
    t[8][:] = 7
    assert np.array_equal(unpack(tracker.purge([]))[0][8], mask)


def test_purge_reports_the_tracks_left(tracker, ids):
    frame = scene([BOX, (200, 60, 48, 64)])
    a, b = next(ids), next(ids)
    tracker.init(frame, records((a, BOX), (b, (200, 60, 48, 64))))
    # Before its first update a track has no mask.
    assert [(r[0], r[8]) for r in unpack(tracker.purge([]))] == [(a, None), (b, None)]
    assert [r[0] for r in unpack(tracker.purge([a, 12345]))] == [b]
    assert tracker.purge([b]) == [0, 10]


def test_stride_is_echoed_and_extra_elements_unread(tracker, ids):
    frame = scene([BOX])
    tid = next(ids)
    wide = records((tid, BOX), stride=12)
    wide[2 + 10] = object()  # not a number: must stay unread
    tracker.init(frame, wide)
    result = tracker.update(frame, records((tid, BOX, box_mask(BOX)), stride=12))
    assert result[:2] == [2, 12] and len(result) == 2 + 2 * 12
    assert unpack(result)[1][0] == tid and result[2 + 12 + 10:] == [None, None]
    # The next lists come back with the stride of the last call.
    assert tracker.purge([])[:2] == [1, 12]


@pytest.mark.parametrize("bad, error", [
    (lambda l: l[:-3], IndexError),                            # shorter than its header
    (lambda l: l[:6] + [7.5] + l[7:], TypeError),              # a float box coordinate
    (lambda l: l[:2] + ["7"] + l[3:], TypeError),              # a string for the id
    (lambda l: [l[0], -10] + l[2:], ValueError),               # negative stride
])
def test_bad_lists_raise_and_leave_the_ids_usable(tracker, ids, bad, error):
    frame = scene([BOX])
    tid = next(ids)
    with pytest.raises(error):
        tracker.init(frame, bad(records((tid, BOX))))
    tracker.init(frame, records((tid, BOX)))
    assert [r[0] for r in unpack(tracker.purge([]))] == [tid]


def test_refused_seed_leaves_its_id_usable(tracker, ids):
    frame = scene([BOX])
    tid = next(ids)
    with pytest.raises(ValueError, match="does not lie inside"):
        tracker.init(frame, records((tid, (WIDTH - 10, 0, 48, 64))))
    tracker.init(frame, records((tid, BOX)))
    assert [r[0] for r in unpack(tracker.purge([]))] == [tid]


@pytest.mark.parametrize("frame, got", [
    (np.zeros((HEIGHT, WIDTH), np.uint8), f"{HEIGHT} x {WIDTH} uint8"),
    (np.zeros((HEIGHT, WIDTH, 4), np.uint8), f"{HEIGHT} x {WIDTH} x 4 uint8"),
    (np.zeros((HEIGHT, WIDTH, 1), np.uint8), f"{HEIGHT} x {WIDTH} uint8"),
    (np.zeros((HEIGHT, WIDTH, 3), np.float32), f"{HEIGHT} x {WIDTH} x 3 float32"),
    (np.zeros((2, HEIGHT, WIDTH, 3), np.uint8), f"2 x {HEIGHT} x {WIDTH} x 3 uint8"),
    (np.zeros((0, 0, 3), np.uint8), "an empty array"),
])
def test_frames_that_are_not_bgr_images_are_refused(tracker, frame, got):
    for call in (tracker.init, tracker.add, tracker.update):
        with pytest.raises(ValueError, match=r"H x W x 3 uint8 array .* not .*" + got):
            call(frame, [0, 10])


@pytest.mark.parametrize("mask, got", [
    (np.zeros((HEIGHT - 1, WIDTH), np.uint8), f"{HEIGHT - 1} x {WIDTH} uint8"),
    (np.zeros((HEIGHT, WIDTH, 3), np.uint8), f"{HEIGHT} x {WIDTH} x 3 uint8"),
    (np.zeros((HEIGHT, WIDTH), np.float32), f"{HEIGHT} x {WIDTH} float32"),
    (np.zeros(WIDTH, np.uint8), f"{WIDTH} x 1 uint8"),
])
def test_masks_that_do_not_fit_the_frame_are_refused(tracker, ids, mask, got):
    frame = scene([BOX])
    tid = next(ids)
    tracker.init(frame, records((tid, BOX)))
    with pytest.raises(ValueError, match=rf"detection {tid} must be a {HEIGHT} x {WIDTH} "
                                         rf"uint8 array .* not a {got} array"):
        tracker.update(frame, records((tid, BOX, mask)))
    # Nothing ran: the track has not been updated.
    assert unpack(tracker.purge([]))[0][2] == 1


def test_a_mask_that_is_not_an_array_fails_extraction(tracker, ids):
    frame = scene([BOX])
    tid = next(ids)
    tracker.init(frame, records((tid, BOX)))
    with pytest.raises(TypeError):
        tracker.update(frame, records((tid, BOX, None)))
