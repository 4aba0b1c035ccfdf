"""The contact sheet: a grid of frames with the detections and the tracks drawn."""

from typing import List, Mapping, Sequence, Tuple

import cv2
import numpy as np

from .analysis import STATUS_TRACKING, Cell, cells
from .records import Frames, TrackFrames
from .style import (BACKGROUND, DETECTION, INK, cell_colour, label, legend, put_text,
                    text_size, title_bar)

TILE_WIDTH = 480
COLUMNS = 3
GAP = 6
MARGIN = 24  # pixels of video kept around the area the objects use


def scene_area(gt: Mapping[int, Sequence], shape: Tuple[int, int]) -> Tuple[int, int, int, int]:
    """The part of the frame (x0, y0, x1, y1) where the objects go, with a margin."""
    boxes = [b for bs in gt.values() for b in bs]
    if not boxes:
        return 0, 0, shape[1], shape[0]
    x0 = int(min(b[1] for b in boxes)) - MARGIN
    y0 = int(min(b[2] for b in boxes)) - MARGIN
    x1 = int(max(b[1] + b[3] for b in boxes)) + MARGIN
    y1 = int(max(b[2] + b[4] for b in boxes)) + MARGIN
    return max(x0, 0), max(y0, 0), min(x1, shape[1]), min(y1, shape[0])


def _trouble(row: Mapping[int, Cell]) -> bool:
    return any(c.status != STATUS_TRACKING or not c.on_target for c in row.values())


def pick_frames(grid: Mapping[int, Mapping[int, Cell]], count: int, last: int) -> List[int]:
    """`count` frames from 1..last: up to half where a track starts to go wrong (spread over
    the run), then each time the frame farthest from those chosen, so the sheet spans it."""
    starts = [f for f in range(1, last + 1)
              if _trouble(grid.get(f, {})) and not _trouble(grid.get(f - 1, {}))]
    take = min(count // 2, len(starts))
    chosen = {starts[round(i)] for i in np.linspace(0, len(starts) - 1, take)} if take else {1}
    while len(chosen) < min(count, last):
        chosen.add(max(range(1, last + 1), key=lambda f: min(abs(f - c) for c in chosen)))
    return sorted(chosen)


def _tile(frame: np.ndarray, number: int, area, scale: float, detections, tracks,
          row: Mapping[int, Cell]) -> np.ndarray:
    x0, y0, x1, y1 = area
    size = (round((x1 - x0) * scale), round((y1 - y0) * scale))
    image = cv2.resize(frame[y0:y1, x0:x1], size, interpolation=cv2.INTER_AREA)

    def corners(box):
        x, y, w, h = box
        return ((round((x - x0) * scale), round((y - y0) * scale)),
                (round((x + w - x0) * scale), round((y + h - y0) * scale)))

    for b in detections:
        cv2.rectangle(image, *corners((b.x, b.y, b.w, b.h)), DETECTION, 1, cv2.LINE_AA)
    for t in tracks:
        colour = cell_colour(row[t.object_id])
        top_left, bottom_right = corners(t.box)
        cv2.rectangle(image, top_left, bottom_right, colour, 2)
        label(image, str(t.object_id), (top_left[0] - 1, top_left[1] - 1), colour)
    caption = f"frame {number}"
    w, h = text_size(caption, 0.55, 2)
    cv2.rectangle(image, (0, 0), (w + 12, h + 12), BACKGROUND, cv2.FILLED)
    put_text(image, caption, (6, h + 6), 0.55, INK, 2)
    return image


def contact_sheet(frames: Sequence[np.ndarray], gt: Mapping[int, Sequence],
                  detections: Frames, tracks: TrackFrames, title: str,
                  count: int = 12) -> np.ndarray:
    """The sheet of `count` frames (fewer for a short run), three to a row."""
    grid = cells(tracks, gt)
    numbers = pick_frames(grid, min(count, len(frames)), len(frames))
    area = scene_area({f: b for f, b in gt.items() if f <= len(frames)}, frames[0].shape)
    scale = TILE_WIDTH / (area[2] - area[0])
    tiles = [_tile(frames[n - 1], n, area, scale, detections.get(n, []), tracks.get(n, []),
                   grid.get(n, {}))
             for n in numbers]
    th, tw = tiles[0].shape[:2]
    columns = min(COLUMNS, len(tiles))
    rows = -(-len(tiles) // columns)
    width = columns * tw + (columns + 1) * GAP
    body = np.full((rows * th + (rows + 1) * GAP, width, 3), BACKGROUND, np.uint8)
    for i, tile in enumerate(tiles):
        r, c = divmod(i, columns)
        y, x = GAP + r * (th + GAP), GAP + c * (tw + GAP)
        body[y:y + th, x:x + tw] = tile
    key = legend(width, [(DETECTION, "detection given to the tracker", "line")])
    return np.vstack([title_bar(width, title), body, key])
