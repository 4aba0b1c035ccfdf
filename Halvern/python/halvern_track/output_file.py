"""Output files that appear only once they are complete."""

import contextlib
import os
import uuid


@contextlib.contextmanager
def complete_or_nothing(path: str):
    """Yields a temporary path beside `path`, with the same extension (writers pick their
    format by it). When the block ends normally the file is renamed to `path`; when it raises,
    the file is deleted, and an earlier file at `path` stays as it was."""
    directory = os.path.dirname(os.path.abspath(path))
    stem, ext = os.path.splitext(os.path.basename(path))
    tmp = os.path.join(directory, f".{stem}.{os.getpid()}-{uuid.uuid4().hex[:8]}.part{ext}")
    try:
        yield tmp
        os.replace(tmp, path)
    except BaseException:
        with contextlib.suppress(FileNotFoundError):
            os.unlink(tmp)
        raise
