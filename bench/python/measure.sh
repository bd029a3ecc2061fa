#!/usr/bin/env bash
# Builds the Python module with the bench preset (the release flags) and measures it against
# numpy and on a two-worker Dask cluster.
# Usage: bench/python/measure.sh [CELLS] [ROUNDS] (default 10 million, 7 rounds);
# BENCH_BUILD=folder takes the module from a build made already, such as build/release.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BENCH_BUILD:-build/bench}
if [ -z "${BENCH_BUILD:-}" ]; then
    cmake --preset bench >/dev/null
    cmake --build --preset bench --target _talvo
fi
PYTHONPATH="$build/src/python/package" PYTHONDONTWRITEBYTECODE=1 \
    /usr/bin/python3 bench/python/against_numpy.py "${1:-10000000}" "${2:-7}"
PYTHONPATH="$build/src/python/package" PYTHONDONTWRITEBYTECODE=1 \
    /usr/bin/python3 bench/python/dask_cluster.py "${1:-10000000}"
