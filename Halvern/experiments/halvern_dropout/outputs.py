"""The files the experiment leaves behind."""

import os
from typing import List, Mapping, Sequence

import cv2
import numpy as np

from halvern_tools.mot_io import write_mot

from .analysis import detection_rows, tracker_rows
from .experiment import Outcome, Setting
from .sheet import contact_sheet
from .timeline import timeline

TABLE = "table.txt"
DETECTIONS = "detections.txt"
CONTACT_SHEET = "contact-sheet.png"
TIMELINE = "timeline.png"


def tracks_file(name: str) -> str:
    return f"tracks-{name}.txt"


def _write_png(path: str, image: np.ndarray) -> None:
    if not cv2.imwrite(path, image, [cv2.IMWRITE_PNG_COMPRESSION, 9]):
        raise OSError(f"cannot write {path}")


def write_outputs(out_dir: str, table: str, frames: Sequence[np.ndarray],
                  gt: Mapping[int, Sequence], outcome: Outcome, picture: Setting,
                  title: str) -> List[str]:
    """Writes the table, the first seed's detections, each setting's tracks and the two
    pictures of the run under `picture`, headed `title`, into `out_dir` (made if missing);
    returns the file names."""
    os.makedirs(out_dir, exist_ok=True)
    names = [TABLE, DETECTIONS]
    with open(os.path.join(out_dir, TABLE), "w", encoding="utf-8") as f:
        f.write(table)
    write_mot(os.path.join(out_dir, DETECTIONS), detection_rows(outcome.detections))
    for name, tracks in outcome.tracks.items():
        names.append(tracks_file(name))
        write_mot(os.path.join(out_dir, names[-1]), tracker_rows(tracks))
    tracks = outcome.tracks[picture.name]
    _write_png(os.path.join(out_dir, CONTACT_SHEET),
               contact_sheet(frames, gt, outcome.detections, tracks, title))
    _write_png(os.path.join(out_dir, TIMELINE),
               timeline(len(frames), gt, outcome.detections, tracks, title))
    return names + [CONTACT_SHEET, TIMELINE]
