"""A tiny generated video with two textured objects walking across a textured background,
and its detections file in the MOTChallenge text format."""
import os

import cv2
import numpy as np
import pytest

TOOL = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                    "halvern-track")
WIDTH, HEIGHT, FRAMES = 192, 144, 12
SIZE = (32, 48)


def textured(height, width, seed):
    rng = np.random.default_rng(seed)
    coarse = rng.random((height // 4 + 2, width // 4 + 2)).astype(np.float32)
    fine = cv2.resize(coarse, None, fx=4, fy=4, interpolation=cv2.INTER_CUBIC)[:height, :width]
    grey = cv2.normalize(fine, None, 0, 255, cv2.NORM_MINMAX).astype(np.uint8)
    return cv2.cvtColor(grey, cv2.COLOR_GRAY2BGR)


def truth(frame):
    """{object id: (x, y, w, h)} in frame `frame` (from 1): object 7 walks right, 4 left."""
    step = 3 * (frame - 1)
    return {7: (30 + step, 40, *SIZE), 4: (130 - step, 70, *SIZE)}


@pytest.fixture
def clip(tmp_path):
    """(video path, detections path) of the generated clip."""
    video = str(tmp_path / "clip.avi")
    writer = cv2.VideoWriter(video, cv2.VideoWriter_fourcc(*"MJPG"), 10, (WIDTH, HEIGHT))
    background = textured(HEIGHT, WIDTH, 1)
    textures = {7: textured(SIZE[1], SIZE[0], 2), 4: textured(SIZE[1], SIZE[0], 3)}
    lines = []
    for f in range(1, FRAMES + 1):
        image = background.copy()
        for oid, (x, y, w, h) in truth(f).items():
            image[y:y + h, x:x + w] = textures[oid]
            lines.append(f"{f},{oid},{x},{y},{w},{h},0.9,-1,-1,-1")
        writer.write(image)
    writer.release()
    detections = tmp_path / "dets.txt"
    detections.write_text("\n".join(lines) + "\n")
    return video, str(detections)
