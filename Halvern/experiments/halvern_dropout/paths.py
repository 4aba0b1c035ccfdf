"""Where the experiment finds the tracker's Python parts and its sample sequence.

The experiment runs from the source tree: the tools (`halvern_tools`) and the command-line
tool's session (`halvern_track`) are imported from their source folders, and the compiled
`_halvern_py` from `--module-dir`, from the Python path (an install, or PYTHONPATH), or else
from the newest build folder of the repository.
"""

import glob
import importlib
import os
import sys
from typing import Optional

EXPERIMENTS_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
HALVERN_DIR = os.path.dirname(EXPERIMENTS_DIR)
REPOSITORY_DIR = os.path.dirname(HALVERN_DIR)
DATA_DIR = os.path.join(HALVERN_DIR, "data", "pets09-s3mf1")
SOURCE_DIRS = (os.path.join(HALVERN_DIR, "tools"), os.path.join(HALVERN_DIR, "python"))
MODULE = "_halvern_py"


def _built_modules():
    pattern = os.path.join(REPOSITORY_DIR, "build*", "Halvern", "HalvernWrapper",
                           MODULE + ".so")
    return sorted(glob.glob(pattern), key=os.path.getmtime, reverse=True)


def add_sources() -> None:
    """Puts the tools and the command-line tool's package, from the source tree, first on
    the path."""
    for d in SOURCE_DIRS:
        if d not in sys.path:
            sys.path.insert(0, d)


def import_tracker(module_dir: Optional[str] = None) -> str:
    """Imports the module; returns its file. Raises ImportError, saying what to do, when
    there is no module."""
    if module_dir:
        if not os.path.isfile(os.path.join(module_dir, MODULE + ".so")):
            raise ImportError(f"{module_dir} holds no {MODULE}.so")
        sys.path.insert(0, os.path.abspath(module_dir))
    try:
        return importlib.import_module(MODULE).__file__
    except ImportError as e:
        if module_dir:
            raise ImportError(f"cannot import {MODULE} from {module_dir}: {e}") from None
    for path in _built_modules():
        sys.path.insert(0, os.path.dirname(path))
        return importlib.import_module(MODULE).__file__
    raise ImportError(f"cannot import {MODULE}: build the project (make), install it "
                      f"(make install) or give --module-dir")
