#!/usr/bin/env bash
# Runs every benchmark against a built tree and prints their tables: the query result path
# (C++, then Python on the same bytes), the apply-edits encoder, and the tracker's
# benchmarks when they are built. `make bench` calls it after building.
#
#   bench/run.sh [BUILD_DIR]      (default: build)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
python=/usr/bin/python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

section() { printf '\n==== %s ====\n' "$1"; }

query_bench=$build/bench/query_decode_bench
if [ -x "$query_bench" ]; then
  section "Query result path, C++"
  "$query_bench" \
    --benchmark_out="$work/cpp.json" --benchmark_out_format=json || status=1
  if compgen -G "$build/python-client-core/module/_lorengraph*.so" >/dev/null; then
    "$query_bench" --write-stream "$work" || status=1
    section "Query result path, Python"
    "$python" "$here/query_decode_bench.py" --build "$build" --streams "$work" \
      --cpp-results "$work/cpp.json" || status=1
    section "Apply-edits encoder, Python"
    "$python" "$here/apply_edits_bench.py" --build "$build" || status=1
  else
    echo "The Python module is not built: the Python benchmarks are skipped."
  fi
else
  echo "$query_bench is not built (BUILD_BENCHMARKS off?): the query benchmarks are skipped."
fi

datamodel_bench=$build/python-client-core/datamodel/bench/datamodel_decode_bench
if [ -x "$datamodel_bench" ]; then
  section "Data model decoding, C++"
  "$datamodel_bench" || status=1
fi

# The tracker's benchmarks take no arguments.
for program in "$build"/Halvern/bench/halvern_*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  section "Tracker: $(basename "$program")"
  "$program" || status=1
done
if [ -x "$build/Halvern/bench/halvern_tracker_bench" ] && compgen -G "$build/Halvern/HalvernWrapper/_halvern_py*" >/dev/null; then
  section "Tracker: Python module and halvern-track against the native controller"
  "$python" "$here/../Halvern/bench/tracker_python_bench.py" "$build" || status=1
fi
exit "$status"
