"""Colours, text and the legend shared by the pictures (OpenCV drawing, BGR colours)."""

from typing import Optional, Sequence, Tuple

import cv2
import numpy as np

from .analysis import STATUS_LOST, STATUS_SEARCHING, STATUS_TRACKING, Cell

Colour = Tuple[int, int, int]

ON_OBJECT: Colour = (40, 170, 40)      # tracking, box on its object
OFF_OBJECT: Colour = (200, 60, 200)    # tracking, box off its object (or a false object)
SEARCHING: Colour = (0, 140, 255)
GIVEN_UP: Colour = (40, 40, 220)
DETECTION: Colour = (255, 200, 0)      # the detections handed to the tracker
NO_TRACK: Colour = (215, 215, 215)     # the object is there but has no track
BACKGROUND: Colour = (255, 255, 255)
INK: Colour = (30, 30, 30)
FAINT_INK: Colour = (120, 120, 120)

LEGEND = (
    (ON_OBJECT, "tracking, on its object"),
    (OFF_OBJECT, "tracking, off its object"),
    (SEARCHING, "lost, searched for"),
    (GIVEN_UP, "given up"),
)

FONT = cv2.FONT_HERSHEY_SIMPLEX


def cell_colour(cell: Cell) -> Colour:
    if cell.status == STATUS_TRACKING:
        return ON_OBJECT if cell.on_target else OFF_OBJECT
    if cell.status == STATUS_SEARCHING:
        return SEARCHING
    if cell.status == STATUS_LOST:
        return GIVEN_UP
    return FAINT_INK


def text_size(text: str, scale: float, thickness: int = 1) -> Tuple[int, int]:
    (w, h), _ = cv2.getTextSize(text, FONT, scale, thickness)
    return w, h


def put_text(image: np.ndarray, text: str, origin: Tuple[int, int], scale: float,
             colour: Colour = INK, thickness: int = 1) -> None:
    """Text whose baseline starts at `origin`."""
    cv2.putText(image, text, origin, FONT, scale, colour, thickness, cv2.LINE_AA)


def label(image: np.ndarray, text: str, corner: Tuple[int, int], colour: Colour,
          scale: float = 0.45) -> None:
    """A filled tag with `text`, its lower left corner at `corner`, kept inside the image."""
    w, h = text_size(text, scale)
    x = min(max(corner[0], 0), image.shape[1] - w - 4)
    y = min(max(corner[1], h + 4), image.shape[0])
    cv2.rectangle(image, (x, y - h - 4), (x + w + 4, y), colour, cv2.FILLED)
    ink = INK if sum(colour) > 400 else BACKGROUND
    put_text(image, text, (x + 2, y - 3), scale, ink)


def legend(width: int, extra: Sequence[Tuple[Colour, str, Optional[str]]] = (),
           scale: float = 0.5) -> np.ndarray:
    """A strip of colour swatches and their meaning. `extra` adds (colour, text, shape)
    entries; shape "line" draws a thin box outline instead of a filled swatch."""
    entries = [(c, t, None) for c, t in LEGEND] + list(extra)
    row_h, pad, swatch = 26, 10, 16
    x, y, rows = pad, 0, [[]]
    for colour, text, shape in entries:
        w = swatch + 6 + text_size(text, scale)[0] + 18
        if rows[-1] and x + w > width - pad:
            rows.append([])
            x = pad
        rows[-1].append((x, colour, text, shape))
        x += w
    strip = np.full((len(rows) * row_h + 6, width, 3), BACKGROUND, np.uint8)
    for i, row in enumerate(rows):
        y = 6 + i * row_h
        for x, colour, text, shape in row:
            if shape == "line":
                cv2.rectangle(strip, (x, y + 2), (x + swatch, y + swatch), colour, 2)
            else:
                cv2.rectangle(strip, (x, y + 2), (x + swatch, y + swatch), colour, cv2.FILLED)
            put_text(strip, text, (x + swatch + 6, y + swatch - 2), scale)
    return strip


def title_bar(width: int, text: str, scale: float = 0.6) -> np.ndarray:
    h = text_size(text, scale, 2)[1]
    bar = np.full((h + 16, width, 3), BACKGROUND, np.uint8)
    put_text(bar, text, (10, h + 8), scale, INK, 2)
    return bar
