"""NumPy arrays in and out of the tracker: types, layouts and copies, as the detection masks
and frames of the list functions show them."""
import sys
import threading

import numpy as np
import pytest

from conftest import HEIGHT, WIDTH, box_mask, records, scene, unpack

BOX = (100, 80, 48, 64)


@pytest.fixture
def track(tracker, ids):
    """A tracker with one track on BOX; yields its id."""
    tid = next(ids)
    tracker.init(scene([BOX]), records((tid, BOX)))
    return tid


def returned_mask(tracker, tid, mask):
    """The mask of the detection record that update hands back."""
    return unpack(tracker.update(scene([BOX]), records((tid, BOX, mask))))[0][8]


def test_float16_frame_is_refused_with_the_type_number(tracker):
    with pytest.raises(TypeError, match=r"^<unknown> data type = 23 is not supported$"):
        tracker.update(np.zeros((HEIGHT, WIDTH, 3), np.float16), [0, 10])


def test_int64_mask_is_cast_to_int32(tracker, track):
    mask = box_mask(BOX, dtype=np.int64)
    back = returned_mask(tracker, track, mask)
    assert back is not mask and back.dtype == np.int32 and np.array_equal(back, mask)
    # Non-zero marks the object: the track keeps the same mask as from uint8.
    track_mask = unpack(tracker.purge([]))[0][8]
    assert np.array_equal(track_mask, box_mask(BOX))


@pytest.mark.parametrize("layout, shared", [
    (lambda m: m, True),                                           # C-contiguous: shared
    (lambda m: np.ascontiguousarray(np.pad(m, ((0, HEIGHT), (0, 0)))[::2][:HEIGHT]), True),
    (lambda m: np.vstack([m, m])[::2], True),                      # padded rows: still shared
    (lambda m: np.asfortranarray(m), False),                       # column-major: copied
    (lambda m: np.ascontiguousarray(m[:, ::-1])[:, ::-1], False),  # flipped: copied
])
def test_mask_layouts_are_shared_or_copied(tracker, track, layout, shared):
    mask = layout(box_mask(BOX))
    back = returned_mask(tracker, track, mask)
    assert (back is mask) == shared
    assert back.flags.c_contiguous or shared
    assert np.array_equal(back, mask)


def test_frame_views_are_read_like_their_contiguous_copy(tracker, ids):
    """Transposed, row-strided and flipped views of an H x W x 3 frame are taken (copied where
    the layout needs it) and give what the contiguous frame gives."""
    frame = scene([BOX])
    views = {
        "contiguous": lambda f: f,
        "transposed": lambda f: np.ascontiguousarray(f.transpose(1, 0, 2)).transpose(1, 0, 2),
        "row-strided": lambda f: np.repeat(f, 2, axis=0)[::2],
        "flipped": lambda f: np.ascontiguousarray(f[::-1])[::-1],
    }
    outputs = {}
    for name, view in views.items():
        tid = next(ids)
        tracker.init(view(frame), records((tid, BOX)))
        for _ in range(3):
            result = tracker.update(view(frame), records((tid, BOX, box_mask(BOX))))
        outputs[name] = [r[2:8] + (r[9],) for r in unpack(result)[1:]]
    assert outputs["contiguous"] == [(4, 1.0, *BOX, 16)]
    assert all(out == outputs["contiguous"] for out in outputs.values())


def test_arrays_are_not_kept_by_the_tracker(tracker, ids):
    frame = scene([BOX])
    mask = box_mask(BOX)
    before = sys.getrefcount(frame), sys.getrefcount(mask)
    tid = next(ids)
    tracker.init(frame, records((tid, BOX)))
    for _ in range(3):
        result = tracker.update(frame, records((tid, BOX, mask)))
    del result
    tracker.purge([])
    assert (sys.getrefcount(frame), sys.getrefcount(mask)) == before


def test_calls_from_several_threads_do_not_block(tracker, ids):
    frame = scene([BOX])
    tids = [next(ids) for _ in range(4)]
    tracker.init(frame, records(*[(t, BOX) for t in tids]))
    failures = []

    def feed(tid):
        try:
            for _ in range(10):
                result = tracker.update(frame, records((tid, BOX, box_mask(BOX))))
                assert result[0] == 1 + len(tids)
        except Exception as e:  # reported below
            failures.append(e)

    threads = [threading.Thread(target=feed, args=(t,)) for t in tids]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=120)
    assert not any(t.is_alive() for t in threads) and failures == []
