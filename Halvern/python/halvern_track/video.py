"""Video input and the annotated video output, with OpenCV."""

import math
import os
from typing import Iterator, List, Optional, Tuple

import cv2
import numpy as np

from .errors import ToolError
from .session import STATUS_LOST, STATUS_SEARCHING, STATUS_TRACKING, Track

# Container by file extension, and the codec written into it.
CODECS = {".mp4": "mp4v", ".avi": "MJPG"}
DEFAULT_FPS = 25.0

# BGR colours of the track states.
COLOURS = {STATUS_TRACKING: (60, 200, 60), STATUS_SEARCHING: (0, 165, 255),
           STATUS_LOST: (40, 40, 230)}


class VideoInput:
    """The frames of a video file, as H x W x 3 uint8 BGR arrays."""

    def __init__(self, path: str):
        if not os.path.isfile(path):
            raise ToolError(f"video '{path}': no such file")
        self.path = path
        # FFmpeg only: the other backends would try (and log about) files that are no video.
        self._capture = cv2.VideoCapture(path, cv2.CAP_FFMPEG)
        ok, self._first = self._capture.read() if self._capture.isOpened() else (False, None)
        if not ok:
            self._capture.release()
            raise ToolError(f"video '{path}' cannot be read (not a video, or a codec "
                            f"OpenCV does not have)")
        fps = self._capture.get(cv2.CAP_PROP_FPS)
        self.fps = fps if math.isfinite(fps) and fps > 0 else DEFAULT_FPS
        count = int(self._capture.get(cv2.CAP_PROP_FRAME_COUNT))
        self.frame_count: Optional[int] = count if count > 0 else None
        self.size: Tuple[int, int] = (self._first.shape[1], self._first.shape[0])  # w, h

    def frames(self) -> Iterator[np.ndarray]:
        frame, self._first = self._first, None
        while frame is not None:
            yield frame
            ok, frame = self._capture.read()
            if not ok:
                frame = None

    def close(self) -> None:
        self._capture.release()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def codec_of(path: str) -> str:
    ext = os.path.splitext(path)[1].lower()
    if ext not in CODECS:
        raise ToolError(f"annotated video '{path}': the name must end in "
                        f"{' or '.join(CODECS)}")
    return CODECS[ext]


class AnnotatedVideo:
    """Writes each frame with its tracks drawn: box and object id, coloured by state."""

    def __init__(self, path: str, fps: float, size: Tuple[int, int]):
        fourcc = cv2.VideoWriter_fourcc(*codec_of(path))
        self._writer = cv2.VideoWriter(path, cv2.CAP_FFMPEG, fourcc, fps, size)
        if not self._writer.isOpened():
            raise ToolError(f"annotated video '{path}' cannot be written")

    def write(self, frame: np.ndarray, number: int, tracks: List[Track]) -> None:
        image = frame.copy()
        for t in tracks:
            x, y, w, h = t.box
            colour = COLOURS.get(t.status, COLOURS[STATUS_LOST])
            cv2.rectangle(image, (x, y), (x + w - 1, y + h - 1), colour, 2)
            label = str(t.object_id)
            (tw, th), _ = cv2.getTextSize(label, cv2.FONT_HERSHEY_SIMPLEX, 0.5, 1)
            top = max(y - th - 4, 0)
            cv2.rectangle(image, (x, top), (x + tw + 4, top + th + 4), colour, cv2.FILLED)
            cv2.putText(image, label, (x + 2, top + th + 1), cv2.FONT_HERSHEY_SIMPLEX, 0.5,
                        (0, 0, 0), 1, cv2.LINE_AA)
        cv2.putText(image, f"frame {number}", (8, 20), cv2.FONT_HERSHEY_SIMPLEX, 0.6,
                    (255, 255, 255), 2, cv2.LINE_AA)
        self._writer.write(image)

    def close(self) -> None:
        self._writer.release()
