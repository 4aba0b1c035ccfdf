"""The detector-dropout experiment: flawed detections from ground truth, the tracker run on
them, metrics and pictures. The command is ../dropout.py."""
