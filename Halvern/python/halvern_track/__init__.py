"""halvern-track: follows the objects of a video with the Halvern tracker.

The tracker is driven through the `_halvern_py` module; detections and tracks are read and
written in the MOTChallenge text format (`halvern_tools.mot_io`).

    from halvern_track.pipeline import track_video
    summary = track_video("video.mp4", "dets.txt", "tracks.txt", annotated="out.mp4")
"""
