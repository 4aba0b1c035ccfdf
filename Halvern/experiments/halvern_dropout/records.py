"""The records the experiment passes around: detection boxes and reported track states."""

from typing import Dict, List, NamedTuple, Tuple


class Box(NamedTuple):
    id: int
    x: float
    y: float
    w: float
    h: float


Frames = Dict[int, List[Box]]  # {frame: [Box, ...]}


class TrackState(NamedTuple):
    object_id: int
    box: Tuple[int, int, int, int]  # x, y, width, height
    status: int                     # 16 tracking, 8 searching, 0 given up


TrackFrames = Dict[int, List[TrackState]]  # {frame: [TrackState, ...]}
