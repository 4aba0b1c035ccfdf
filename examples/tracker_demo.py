"""The video tracker end to end on a real video: a short outdoor sequence with seven
pedestrians (PETS 2009 S3-MF1, see Halvern/data/pets09-s3mf1/SOURCE.txt), tracked with
halvern-track's logic from detections that a detector with misses would give: the
ground-truth boxes, with every 5th frame's detection dropped for every other person."""
import os
import tempfile

from halvern_tools.metrics import evaluate
from halvern_tools.mot_io import read_mot, write_mot
from halvern_track.pipeline import track_video

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SEQUENCE = os.path.join(ROOT, "Halvern", "data", "pets09-s3mf1")


def detections_from(truth):
    """The ground truth as detections: persons with odd ids are missed in every 5th frame."""
    return {frame: [(b.id, b.x, b.y, b.w, b.h, 1.0) for b in boxes
                    if not (b.id % 2 == 1 and frame % 5 == 0)]
            for frame, boxes in truth.items()}


def main(out_dir=None):
    out_dir = out_dir or tempfile.mkdtemp(prefix="halvern-demo-")
    truth = read_mot(os.path.join(SEQUENCE, "gt", "gt.txt"), unique_ids=True)
    detections = os.path.join(out_dir, "detections.txt")
    write_mot(detections, detections_from(truth))

    summary = track_video(os.path.join(SEQUENCE, "video.mp4"), detections,
                          os.path.join(out_dir, "tracks.txt"),
                          annotated=os.path.join(out_dir, "tracks.mp4"))
    print(f"{summary.frames} frames tracked in {summary.seconds:.1f} s "
          f"({summary.frames_per_second:.1f} frames/s)")
    print(f"detections:      {detections}")
    print(f"tracks:          {summary.tracks_path}")
    print(f"annotated video: {summary.annotated_path}")
    for object_id, o in summary.objects.items():
        print(f"  person {object_id}: from frame {o.first_frame}, tracked in {o.tracked} "
              f"frames (last {o.last_frame}), searched for in {o.searched}, "
              f"given up {o.lost} time(s)")
    scores = evaluate(truth, read_mot(summary.tracks_path, unique_ids=True))
    print(f"against the ground truth: MOTA {100 * scores['mota']:.1f}%, "
          f"IDF1 {100 * scores['idf1']:.1f}%, {int(scores['id_switches'])} id switches")


if __name__ == "__main__":
    main()
