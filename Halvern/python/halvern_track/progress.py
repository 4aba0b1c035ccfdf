"""A progress bar with the frame rate, on a terminal."""

import sys
import time
from typing import Optional, TextIO


class Progress:
    """Redraws one line at most ten times a second: bar, frames done and frames/s."""

    WIDTH = 30

    def __init__(self, total: Optional[int], stream: TextIO = sys.stderr,
                 enabled: Optional[bool] = None):
        self.total = total
        self.stream = stream
        self.enabled = stream.isatty() if enabled is None else enabled
        self.start = time.monotonic()
        self.done = 0
        self._drawn = 0.0

    def rate(self) -> float:
        elapsed = time.monotonic() - self.start
        return self.done / elapsed if elapsed > 0 else 0.0

    def advance(self) -> None:
        self.done += 1
        now = time.monotonic()
        if self.enabled and now - self._drawn >= 0.1:
            self._drawn = now
            self._draw()

    def finish(self) -> None:
        if self.enabled:
            self._draw()
            self.stream.write("\n")
            self.stream.flush()

    def _draw(self) -> None:
        if self.total:
            filled = min(self.WIDTH, self.WIDTH * self.done // self.total)
            done = f"[{'#' * filled}{'-' * (self.WIDTH - filled)}] {self.done}/{self.total}"
        else:
            done = str(self.done)
        self.stream.write(f"\rtracking {done} frames, {self.rate():.1f} frames/s ")
        self.stream.flush()
