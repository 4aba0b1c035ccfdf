"""Timing, module lookup and table printing shared by the Python benchmarks."""

import argparse
import gc
import os
import statistics
import sys
import time


def common_arguments(description):
    """The options every benchmark script takes: the build directory and the repetitions."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--build", default=os.environ.get("LORENGRAPH_BUILD", "build"),
                        help="CMake build directory holding the module (default: build)")
    parser.add_argument("--repetitions", type=int, default=5,
                        help="timed repetitions per measure, after one untimed warm-up (default: 5)")
    return parser


def use_build(build):
    """Makes the built _lorengraph module and the generated schema classes importable."""
    for sub in ("python-client-core/module", "python-client-core/schema/py"):
        path = os.path.join(build, sub)
        if not os.path.isdir(path):
            sys.exit(f"{path} is missing: build the project first (make build)")
        sys.path.insert(0, path)


class Timing:
    """Seconds of each timed repetition, by the wall clock and in CPU time of this process.

    `value` is the wall-clock median, `best` the fastest repetition, `cpu` the CPU-time
    median: on a machine shared with other work the wall clock also counts waiting for a
    core, while CPU time does not.
    """

    def __init__(self, seconds, cpu_seconds, result):
        self.seconds = seconds
        self.cpu_seconds = cpu_seconds
        self.result = result  # what the last repetition returned

    @property
    def value(self):
        return statistics.median(self.seconds)

    @property
    def best(self):
        return min(self.seconds)

    @property
    def cpu(self):
        return statistics.median(self.cpu_seconds)


def measure(run, repetitions, prepare=None, keep_result=True):
    """Times run() (or run(prepare())) once untimed, then `repetitions` times.

    prepare() runs before every repetition, outside the timing, for inputs that a run
    consumes. The collector is emptied first so one measure's garbage does not bill the next.
    Only the last repetition's result is kept, and none with keep_result=False, so that large
    results (rows, encoders) do not pile up while later measures run.
    """
    seconds, cpu_seconds = [], []
    kept = None
    for i in range(repetitions + 1):
        argument = prepare() if prepare else None
        gc.collect()
        cpu_start = time.process_time()
        start = time.perf_counter()
        result = run(argument) if prepare else run()
        elapsed = time.perf_counter() - start
        cpu_elapsed = time.process_time() - cpu_start
        if i > 0:
            seconds.append(elapsed)
            cpu_seconds.append(cpu_elapsed)
        if i == repetitions and keep_result:
            kept = result
        del argument, result
    return Timing(seconds, cpu_seconds, kept)


def print_table(title, headings, rows):
    """Rows of strings or numbers under left-aligned first and right-aligned other columns."""
    cells = [[format_cell(c) for c in row] for row in rows]
    widths = [max(len(str(h)), *(len(r[i]) for r in cells)) if cells else len(str(h))
              for i, h in enumerate(headings)]
    print()
    print(title)
    print("  ".join(str(h).ljust(w) if i == 0 else str(h).rjust(w)
                    for i, (h, w) in enumerate(zip(headings, widths))))
    for row in cells:
        print("  ".join(c.ljust(w) if i == 0 else c.rjust(w)
                        for i, (c, w) in enumerate(zip(row, widths))))


def format_cell(value):
    if isinstance(value, float):
        if value >= 1000:
            return f"{value:,.0f}"
        return f"{value:.2f}" if value < 10 else f"{value:.1f}"
    if isinstance(value, int):
        return f"{value:,}"
    return str(value)


def verdict(ratio, limit, at_least):
    """'met' or 'MISSED' for a ratio that must be at least (or at most) `limit`."""
    ok = ratio >= limit if at_least else ratio <= limit
    return ("met" if ok else "MISSED") + f" (target {'>=' if at_least else '<='} {limit:g})"


def split_messages(buffer):
    """The length-prefixed messages of a whole stream, as byte strings."""
    from google.protobuf.internal.decoder import _DecodeVarint32
    messages, position = [], 0
    while position < len(buffer):
        size, position = _DecodeVarint32(buffer, position)
        messages.append(buffer[position:position + size])
        position += size
    return messages
