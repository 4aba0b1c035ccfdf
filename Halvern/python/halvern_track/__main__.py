"""python3 -m halvern_track: the command-line tool."""
import sys

from .cli import main

sys.exit(main())
