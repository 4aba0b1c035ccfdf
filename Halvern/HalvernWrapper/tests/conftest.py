"""Shared pieces of the module tests: a textured scene, record lists and fresh ids.

The module keeps one tracker and one id watermark for the whole process: every test takes its
ids from `ids`, which rise across the session, and starts its own tracker with `tracker`.
"""
import itertools

import cv2
import numpy as np
import pytest

import _halvern_py

RECORD = 10
DEFAULT_CONFIG = [True, True, 6, 5, 10, 25, 60, 0.6, 60, 0.75, 0.1, 0.8]
HEIGHT, WIDTH = 240, 320

_ids = itertools.count(1)


def textured(height, width, seed):
    """Smooth noise with corners everywhere, as BGR: ORB finds plenty of features."""
    rng = np.random.default_rng(seed)
    coarse = rng.random((height // 4 + 2, width // 4 + 2)).astype(np.float32)
    fine = cv2.resize(coarse, None, fx=4, fy=4, interpolation=cv2.INTER_CUBIC)[:height, :width]
    grey = cv2.normalize(fine, None, 0, 255, cv2.NORM_MINMAX).astype(np.uint8)
    return cv2.cvtColor(grey, cv2.COLOR_GRAY2BGR)


def scene(boxes, seed=1):
    """A textured background with a distinct texture painted in each box."""
    frame = textured(HEIGHT, WIDTH, seed)
    for i, (x, y, w, h) in enumerate(boxes):
        frame[y:y + h, x:x + w] = textured(h, w, 100 + i)
    return frame


def box_mask(box, shape=(HEIGHT, WIDTH), dtype=np.uint8):
    x, y, w, h = box
    mask = np.zeros(shape, dtype)
    mask[y:y + h, x:x + w] = 255
    return mask


def records(*entries, stride=RECORD):
    """A record list of (id, box[, mask[, score]]) entries; extra elements are None."""
    out = [len(entries), stride]
    for entry in entries:
        tid, box = entry[0], entry[1]
        mask = entry[2] if len(entry) > 2 else None
        score = entry[3] if len(entry) > 3 else 0.9
        out += [tid, "person", 0, score, *box, mask, 0] + [None] * (stride - RECORD)
    return out


def unpack(result):
    """The records of a result list as tuples of their ten elements."""
    n, s = result[0], result[1]
    return [tuple(result[2 + i * s: 2 + i * s + RECORD]) for i in range(n)]


@pytest.fixture
def ids():
    """Ids above every id the module has accepted so far."""
    return _ids


@pytest.fixture
def tracker():
    """A new tracker with the default settings."""
    _halvern_py.create(list(DEFAULT_CONFIG))
    return _halvern_py
