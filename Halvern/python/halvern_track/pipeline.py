"""A video tracked end to end: detections file in, tracks file (and annotated video) out."""

import contextlib
import os
import time
from typing import Dict, List, Mapping, NamedTuple, Optional

from halvern_tools.mot_io import MotFormatError, read_mot, write_mot

from .errors import ToolError
from .output_file import complete_or_nothing
from .progress import Progress
from .session import (STATUS_LOST, STATUS_SEARCHING, STATUS_TRACKING, Detection, Track,
                      TrackingSession, config_list)
from .video import AnnotatedVideo, VideoInput, codec_of


class ObjectSummary(NamedTuple):
    first_frame: int    # first frame with a track
    last_frame: int     # last frame in which it was tracked
    tracked: int        # frames tracked
    searched: int       # frames lost and searched for
    lost: int           # times given up


class Summary(NamedTuple):
    frames: int
    seconds: float
    objects: Dict[int, ObjectSummary]
    tracks_path: str
    annotated_path: Optional[str]
    unused_frames: List[int]  # frames of the detections file the video does not have

    @property
    def frames_per_second(self) -> float:
        return self.frames / self.seconds if self.seconds > 0 else 0.0


def read_detections(path: str) -> Dict[int, Dict[int, Detection]]:
    """{frame: {object id: Detection}}. A confidence below 0 (the format's "none") counts
    as 1."""
    try:
        frames = read_mot(path, unique_ids=True)
    except MotFormatError as e:
        raise ToolError(f"detections {e}") from None
    except FileNotFoundError:
        raise ToolError(f"detections '{path}': no such file") from None
    except OSError as e:
        raise ToolError(f"detections '{path}': {e.strerror}") from None
    return {frame: {b.id: Detection((b.x, b.y, b.w, b.h), b.conf if b.conf >= 0 else 1.0)
                    for b in boxes}
            for frame, boxes in frames.items()}


def _check_writable(path: str, what: str) -> None:
    directory = os.path.dirname(os.path.abspath(path))
    if not os.path.isdir(directory):
        raise ToolError(f"{what} '{path}': the directory {directory} does not exist")
    if os.path.isdir(path):
        raise ToolError(f"{what} '{path}' is a directory")


def _tally(objects: Dict[int, list], number: int, tracks: List[Track]) -> None:
    for t in tracks:
        first, last, tracked, searched, lost = objects.setdefault(t.object_id,
                                                                  [number, 0, 0, 0, 0])
        if t.status == STATUS_TRACKING:
            last, tracked = number, tracked + 1
        elif t.status == STATUS_SEARCHING:
            searched += 1
        elif t.status == STATUS_LOST:
            lost += 1
        objects[t.object_id] = [first, last, tracked, searched, lost]


def track_video(video_path: str, detections_path: str, tracks_path: str,
                annotated: Optional[str] = None,
                settings: Optional[Mapping[str, object]] = None,
                progress: Optional[bool] = None) -> Summary:
    """Tracks the objects of the video through its frames and writes, per frame, the boxes
    of the objects being tracked to `tracks_path` (MOTChallenge text, confidence 1), and with
    `annotated` the video with every track drawn. The outputs appear only when complete.
    `progress` shows a progress bar on stderr (None: when stderr is a terminal)."""
    detections = read_detections(detections_path)
    _check_writable(tracks_path, "tracks file")
    if annotated:
        codec_of(annotated)
        _check_writable(annotated, "annotated video")
    try:
        config_list(settings)
    except KeyError as e:
        raise ToolError(e.args[0]) from None

    with VideoInput(video_path) as video, contextlib.ExitStack() as outputs:
        writer = None
        if annotated:
            writer = AnnotatedVideo(outputs.enter_context(complete_or_nothing(annotated)),
                                    video.fps, video.size)
            outputs.callback(writer.close)  # runs before the file is put in place
        bar = Progress(video.frame_count, enabled=progress)
        session = TrackingSession(settings)
        rows: Dict[int, list] = {}
        objects: Dict[int, list] = {}
        number = 0
        for number, frame in enumerate(video.frames(), start=1):
            tracks = session.step(frame, detections.get(number, {}))
            rows[number] = [(t.object_id, *t.box, 1.0) for t in tracks
                            if t.status == STATUS_TRACKING]
            _tally(objects, number, tracks)
            if writer:
                writer.write(frame, number, tracks)
            bar.advance()
        bar.finish()
        write_mot(tracks_path, rows)
        seconds = time.monotonic() - bar.start

    return Summary(number, seconds, {o: ObjectSummary(*v) for o, v in sorted(objects.items())},
                   tracks_path, annotated,
                   [f for f in detections if not 1 <= f <= number])
