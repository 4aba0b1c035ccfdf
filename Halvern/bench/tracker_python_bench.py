#!/usr/bin/python3
"""The tracker driven from Python: the scenario of halvern_tracker_bench (the PETS 2009 S3-MF1
video scaled to 1280 x 720, looped, with textured 64 x 128 objects swaying inside the process
region, the feature engine on) run three ways:

  native   Controller::update, as halvern_tracker_bench times it (its own process);
  module   _halvern_py.update on the same frames and detections (identical pixels: the
           textures and boxes are made exactly as the C++ benchmark makes them);
  tool     the halvern-track command on the same scene written to a video file and a
           detections file, video decoding and box masks included (its own figure).

It prints ms/frame of each and the overhead of the list API per frame over the native
controller (the module path's extra time: reading the lists, wrapping the arrays, building
the result list with one array per track mask).

    /usr/bin/python3 Halvern/bench/tracker_python_bench.py BUILD_DIR [--frames 300]
        [--tracks 8] [--rounds 3]
"""
import argparse
import math
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
HALVERN = os.path.dirname(HERE)
FRAME = (1280, 720)
OBJECT = (64, 128)


def texture(width, height, seed):
    """The C++ benchmark's texture, value for value: smooth noise at three scales."""
    cv2.setRNGSeed(seed)
    total = np.zeros((height, width), np.float32)
    for cell in (16, 8, 4):
        coarse = np.empty((height // cell + 2, width // cell + 2), np.float32)
        cv2.randu(coarse, 0.0, 1.0)
        fine = cv2.resize(coarse, (coarse.shape[1] * cell, coarse.shape[0] * cell),
                          interpolation=cv2.INTER_CUBIC)
        total += fine[:height, :width]
    total = cv2.normalize(total, None, 0, 255, cv2.NORM_MINMAX)
    grey = np.clip(np.rint(total), 0, 255).astype(np.uint8)  # rounds as convertTo does
    return cv2.cvtColor(grey, cv2.COLOR_GRAY2BGR)


class Scene:
    """Frames and detections as halvern_tracker_bench makes them."""

    def __init__(self, tracks, data_dir):
        self.video = cv2.VideoCapture(os.path.join(data_dir, "video.mp4"), cv2.CAP_FFMPEG)
        if not self.video.isOpened():
            raise SystemExit(f"cannot read {data_dir}/video.mp4")
        self.textures = [texture(*OBJECT, 100 + i) for i in range(tracks)]

    @staticmethod
    def box(obj, frame):
        col, row = obj % 8, obj // 8 % 4
        phase = 0.7 * obj + frame * 2.0 * math.pi / 60.0
        return (160 + col * 120 + int(20 * math.sin(phase)),
                90 + row * 140 + int(6 * math.cos(phase)), *OBJECT)

    def render(self, frame):
        ok, raw = self.video.read()
        if not ok:
            self.video.set(cv2.CAP_PROP_POS_FRAMES, 0)
            ok, raw = self.video.read()
        out = cv2.resize(raw, FRAME)
        for i, t in enumerate(self.textures):
            x, y, w, h = self.box(i, frame)
            out[y:y + h, x:x + w] = t
        return out

    def masks(self, frame):
        out = []
        for i in range(len(self.textures)):
            x, y, w, h = self.box(i, frame)
            mask = np.zeros((FRAME[1], FRAME[0]), np.uint8)
            cv2.ellipse(mask, (x + w // 2, y + h // 2), (w // 2, h // 2), 0, 0, 360, 255,
                        cv2.FILLED)
            out.append(mask)
        return out


def detection_list(scene, frame, ids, masks=None):
    out = [len(ids), 10]
    for i, tid in enumerate(ids):
        mask = masks[i] if masks is not None else None
        out += [tid, "object", 0, 0.9, *scene.box(i, frame), mask, 0]
    return out


def run_module(frames, tracks, data_dir, first_id):
    """ms/frame of _halvern_py.update, and of building its detection list."""
    scene = Scene(tracks, data_dir)
    ids = list(range(first_id, first_id + tracks))
    _halvern_py.create([True, True, 6, 5, 10, 25, 60, 0.6, 60, 0.75, 0.1, 0.8])
    _halvern_py.init(scene.render(0), detection_list(scene, 0, ids))
    update_s = build_s = 0.0
    for f in range(1, frames + 1):
        frame, masks = scene.render(f), scene.masks(f)
        start = time.perf_counter()
        dets = detection_list(scene, f, ids, masks)
        built = time.perf_counter()
        result = _halvern_py.update(frame, dets)
        update_s += time.perf_counter() - built
        build_s += built - start
        lost = [result[2 + i * 10] for i in range(tracks, result[0])
                if result[2 + i * 10 + 9] != 16]
        if lost:
            print(f"tracks {lost} not tracking at frame {f}", file=sys.stderr)
    return 1000 * update_s / frames, 1000 * build_s / frames


def run_native(build, frames, tracks):
    exe = os.path.join(build, "Halvern", "bench", "halvern_tracker_bench")
    out = subprocess.run([exe, str(frames), str(tracks), "on"], capture_output=True, text=True,
                         check=True).stdout
    row = next(l for l in out.splitlines() if l.startswith("on "))
    return float(row.split()[2])


def run_tool(frames, tracks, data_dir):
    """ms/frame of halvern-track (its own process, as it reports it) on the scene as a file,
    and of decoding the file alone."""
    scene = Scene(tracks, data_dir)
    with tempfile.TemporaryDirectory() as tmp:
        video = os.path.join(tmp, "scene.avi")
        writer = cv2.VideoWriter(video, cv2.CAP_FFMPEG, cv2.VideoWriter_fourcc(*"MJPG"), 25,
                                 FRAME)
        lines = []
        for f in range(frames + 1):
            writer.write(scene.render(f))
            lines += [f"{f + 1},{i + 1},{','.join(map(str, scene.box(i, f)))},0.9"
                      for i in range(tracks)]
        writer.release()
        dets = os.path.join(tmp, "dets.txt")
        with open(dets, "w") as out:
            out.write("\n".join(lines) + "\n")

        start = time.perf_counter()
        capture = cv2.VideoCapture(video, cv2.CAP_FFMPEG)
        while capture.read()[0]:
            pass
        decode_s = time.perf_counter() - start
        out = subprocess.run([sys.executable, os.path.join(HALVERN, "python", "halvern-track"),
                              video, dets, "-o", os.path.join(tmp, "tracks.txt"),
                              "--no-progress"], capture_output=True, text=True, check=True,
                             env=dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path[:3])))
        # "N frames in S s (R frames/s), ..."
        rate = float(out.stdout.split("(")[1].split()[0])
    return 1000 / rate, 1000 * decode_s / (frames + 1)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", metavar="BUILD_DIR")
    parser.add_argument("--frames", type=int, default=300)
    parser.add_argument("--tracks", type=int, default=8)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    data_dir = os.environ.get("HALVERN_BENCH_DATA",
                              os.path.join(HALVERN, "data", "pets09-s3mf1"))

    print(f"The tracker from Python, {FRAME[0]}x{FRAME[1]} frames (PETS 2009 S3-MF1, scaled), "
          f"{args.tracks} tracks, engine on, {args.frames} frames per run, "
          f"median of {args.rounds} rounds")
    native, module, build = [], [], []
    for r in range(args.rounds):
        native.append(run_native(args.build, args.frames, args.tracks))
        m, b = run_module(args.frames, args.tracks, data_dir, first_id=1 + r * args.tracks)
        module.append(m)
        build.append(b)
    native_ms, module_ms = statistics.median(native), statistics.median(module)
    tool_ms, decode_ms = run_tool(args.frames, args.tracks, data_dir)
    print(f"{'path':<8} {'ms/frame':>9} {'frames/s':>9}  note")
    print(f"{'native':<8} {native_ms:9.2f} {1000 / native_ms:9.1f}  Controller::update")
    print(f"{'module':<8} {module_ms:9.2f} {1000 / module_ms:9.1f}  _halvern_py.update "
          f"(building its list: {statistics.median(build):.3f} ms more)")
    print(f"{'tool':<8} {tool_ms:9.2f} {1000 / tool_ms:9.1f}  halvern-track on an "
          f"MJPG video (decoding alone: {decode_ms:.2f} ms)")
    overhead = module_ms - native_ms
    print(f"list API overhead: {overhead:+.2f} ms/frame = {100 * overhead / native_ms:+.1f}% "
          f"of the native controller (target: under 10%); rounds native "
          f"{', '.join(f'{v:.2f}' for v in native)}, module "
          f"{', '.join(f'{v:.2f}' for v in module)}")


if __name__ == "__main__":
    _args = sys.argv[1:]
    _build = next((a for a in _args if not a.startswith("-")), None)
    if _build:
        sys.path[:0] = [os.path.join(os.path.abspath(_build), "Halvern", "HalvernWrapper"),
                        os.path.join(HALVERN, "python"), os.path.join(HALVERN, "tools")]
    import cv2  # noqa: E402
    import numpy as np  # noqa: E402

    import _halvern_py  # noqa: E402
    main()
