#!/usr/bin/env bash
# Two builds side by side in one interleaved run, for the speed floors: each round runs every
# contender once, BEFORE's and AFTER's in turn, so that a slower phase of a shared machine hits
# both alike. Prints one table, median and range over the rounds:
#   talvo-batch, 1 million soils, model 0 to a file: rows a second, and mawk's;
#   --model all: output rows a second;
#   --profiles --summary on 1 million horizons: time over the plain run's, round by round;
#   talvo-map, 4000 x 4000, Int16 with DEFLATE: time, and gdal_calc.py's over it;
#   the Python module on 10 million cells: numpy's time over the module's, against numpy
#   giving the same answers and against the bare equations (bench/python/against_numpy.py).
# Each time is a whole process, start to exit, its output opened before the clock starts;
# Python's are whole calls in a process of each build's own module. Every ratio is also given
# by processor time, which a machine shared with other work disturbs less than the clock.
# Usage: bench/compare.sh BEFORE_BUILD AFTER_BUILD [ROUNDS]   (default 5 rounds: about 4 minutes
# of processor time, 10 by the clock on 2 cores under a load average of 15); build folders of
# the bench preset (cmake --preset bench && cmake --build --preset bench), with bin/ and
# src/python/package. The Python rows need both modules, the map rows gdal_calc.py.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 2 ] || { sed -n '2,/^set/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2; }
before=$(realpath "$1")
after=$(realpath "$2")
rounds=${3:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
generator=$before/bin/batch_bench
[ -x "$generator" ] || generator=$after/bin/batch_bench
"$generator" --soil-table 1000000 >"$work/soils.csv"
awk -v n=1000000 -f bench/batch/horizons.awk >"$work/horizons.csv"
bench/map/make_soils.py "$work/grids" 4000 >/dev/null

/usr/bin/python3 bench/compare_rounds.py "$before" "$after" "$work" "$rounds"
