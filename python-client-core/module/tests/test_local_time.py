"""Time points read as local time, across daylight-saving changes and odd historical offsets."""
import os
import subprocess
import sys

import pytest

SCRIPT = r"""
import datetime, sys
import _lorengraph as lg
import query_pb2
from builders import framed

starts = [int(s) for s in sys.argv[1:]]
millis = [(start + k * 397) * 1000 + 123 for start in starts for k in range(-40, 40)]
header = query_pb2.GraphQueryResultHeader()
header.field_names.append("t")
header.transform.scale.xScale = 1
frame = query_pb2.GraphQueryResultFrame()
for ms in millis:
    frame.rows.add().values.add().primitive_value.date_time_value = ms
d = lg.GraphQueryDecoder()
d.push_buffer(framed(header.SerializeToString()) + framed(frame.SerializeToString()))
got = []
while d.next_row():
    got.append(d.get_value(0))
expected = [datetime.datetime.fromtimestamp(ms / 1000) for ms in millis]
bad = [(e, g) for e, g in zip(expected, got) if e != g]
print(len(got), len(bad), bad[:3])
"""


@pytest.mark.parametrize("zone, instants", [
    ("America/New_York", [1615705200, 1636264800]),   # spring forward and fall back, 2021
    ("Australia/Lord_Howe", [1617465600, 1633190400]),  # half-hour daylight saving
    ("Europe/Amsterdam", [-1500000000, 0]),            # +00:19:32 before 1937, and the epoch
    ("Asia/Kolkata", [1700000000]),                    # +05:30 all year
])
def test_local_time_matches_the_system_rules(zone, instants):
    here = os.path.dirname(os.path.abspath(__file__))
    env = dict(os.environ, TZ=zone, PYTHONPATH=os.pathsep.join([here, os.environ.get("PYTHONPATH", "")]))
    out = subprocess.run([sys.executable, "-c", SCRIPT, *map(str, instants)], env=env,
                         capture_output=True, text=True)
    assert out.returncode == 0, out.stderr
    count, bad, examples = out.stdout.split(" ", 2)
    assert int(count) == 80 * len(instants)
    assert bad == "0", examples
