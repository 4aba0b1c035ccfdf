"""Runs the tracker over a video's frames with given detections and keeps every state."""

from typing import List, Mapping, Sequence

import cv2
import numpy as np

from .records import Box, Frames, TrackFrames, TrackState


def read_frames(path: str, count: int) -> List[np.ndarray]:
    """The first `count` frames of a video (all when it is shorter), as BGR arrays."""
    capture = cv2.VideoCapture(path)
    try:
        if not capture.isOpened():
            raise OSError(f"video '{path}' cannot be opened")
        frames = []
        while len(frames) < count:
            ok, frame = capture.read()
            if not ok:
                break
            frames.append(frame)
    finally:
        capture.release()
    if not frames:
        raise OSError(f"video '{path}' has no readable frame")
    return frames


def run_tracker(frames: Sequence[np.ndarray], detections: Frames,
                settings: Mapping[str, object]) -> TrackFrames:
    """Tracks frames 1..len(frames) and returns {frame: [TrackState, ...]}: every track the
    tracker reports in that frame, whatever its status (a track given up appears once)."""
    # Imported here: the session loads the compiled module, which the rest does without.
    from halvern_track.session import Detection, TrackingSession

    session = TrackingSession(settings)
    out: TrackFrames = {}
    for number, frame in enumerate(frames, start=1):
        given: List[Box] = detections.get(number, [])
        tracks = session.step(frame, {b.id: Detection((b.x, b.y, b.w, b.h), 1.0)
                                      for b in given})
        out[number] = [TrackState(t.object_id, tuple(int(v) for v in t.box), t.status)
                       for t in tracks]
    return out
