"""The timeline: one row per object, frames left to right, the track's state in colour and
above it a thin strip marking the frames in which the object was detected."""

from typing import Mapping, Sequence

import cv2
import numpy as np

from .analysis import cells
from .records import Frames, TrackFrames
from .style import (BACKGROUND, DETECTION, FAINT_INK, INK, NO_TRACK, cell_colour, legend,
                    put_text, text_size, title_bar)
from .synthetic import FALSE_ID_BASE

ROW = 24          # height of one object's row
STRIP = 5         # height of the detection strip
BAR = 14          # height of the state bar
PLOT_WIDTH = 960  # width of the frame axis, whatever the number of frames
SCALE = 0.45


def _tick_step(count: int) -> int:
    return next(s for s in (1, 2, 5, 10, 20, 50, 100, 200, 500) if count / s <= 12)


def timeline(frame_count: int, gt: Mapping[int, Sequence], detections: Frames,
             tracks: TrackFrames, title: str) -> np.ndarray:
    grid = cells(tracks, gt)
    present = {(f, b[0]) for f, bs in gt.items() if f <= frame_count for b in bs}
    detected = {(f, b.id) for f, bs in detections.items() if f <= frame_count for b in bs}
    ids = sorted({i for _, i in present | detected}
                 | {i for f in range(1, frame_count + 1) for i in grid.get(f, {})})
    names = {i: (f"id {i}" if i < FALSE_ID_BASE else f"false {i}") for i in ids}
    left = max(text_size(n, SCALE)[0] for n in list(names.values()) + ["frame"]) + 16
    col = max(PLOT_WIDTH // max(frame_count, 1), 1)
    width = left + col * frame_count + 16
    height = ROW * len(ids) + 40
    plot = np.full((height, width, 3), BACKGROUND, np.uint8)

    def x_of(frame):  # left edge of a frame's column
        return left + (frame - 1) * col

    for r, object_id in enumerate(ids):
        y = 4 + r * ROW
        ink = INK if object_id < FALSE_ID_BASE else FAINT_INK
        put_text(plot, names[object_id], (6, y + STRIP + BAR - 2), SCALE, ink)
        for f in range(1, frame_count + 1):
            x = x_of(f)
            if (f, object_id) in detected:
                cv2.rectangle(plot, (x, y), (x + col - 1, y + STRIP - 1), DETECTION, cv2.FILLED)
            cell = grid.get(f, {}).get(object_id)
            colour = (cell_colour(cell) if cell else
                      NO_TRACK if (f, object_id) in present else None)
            if colour:
                cv2.rectangle(plot, (x, y + STRIP + 1), (x + col - 1, y + STRIP + BAR),
                              colour, cv2.FILLED)

    # The frame axis.
    axis = 4 + ROW * len(ids)
    cv2.line(plot, (left, axis), (x_of(frame_count) + col, axis), INK, 1)
    step = _tick_step(frame_count)
    for f in [1] + list(range(step, frame_count + 1, step)):
        x = x_of(f) + col // 2
        cv2.line(plot, (x, axis), (x, axis + 4), INK, 1)
        w, h = text_size(str(f), SCALE)
        put_text(plot, str(f), (x - w // 2, axis + 8 + h), SCALE)
    put_text(plot, "frame", (6, axis + 8 + text_size("frame", SCALE)[1]), SCALE, FAINT_INK)

    key = legend(width, [(DETECTION, "detected", None),
                         (NO_TRACK, "object there, no track", None)])
    return np.vstack([title_bar(width, title), plot, key])
