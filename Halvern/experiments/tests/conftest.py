import os
import sys

# The experiment's package and the tools it uses are imported from the source tree.
EXPERIMENTS_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TOOLS_DIR = os.path.join(os.path.dirname(EXPERIMENTS_DIR), "tools")
for d in (TOOLS_DIR, EXPERIMENTS_DIR):
    if d not in sys.path:
        sys.path.insert(0, d)
