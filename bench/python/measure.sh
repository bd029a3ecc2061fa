#!/usr/bin/env bash
# Builds the Python module optimised (no window, no tests) and measures it against numpy and
# on a two-worker Dask cluster.
# Usage: bench/python/measure.sh [CELLS] [ROUNDS] (default 10 million, 7 rounds);
# BENCH_BUILD=folder takes the module from a build made already, such as build/release.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BENCH_BUILD:-}
if [ -z "$build" ]; then
    build=build/python-bench
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INTERPROCEDURAL_OPTIMIZATION=ON -DTALVO_BUILD_WINDOW=OFF -DTALVO_BUILD_TESTS=OFF \
        -DCMAKE_COMPILE_WARNING_AS_ERROR=ON > /dev/null
    cmake --build "$build" -j 2 --target _talvo
fi
PYTHONPATH="$build/src/python/package" PYTHONDONTWRITEBYTECODE=1 \
    /usr/bin/python3 bench/python/against_numpy.py "${1:-10000000}" "${2:-7}"
PYTHONPATH="$build/src/python/package" PYTHONDONTWRITEBYTECODE=1 \
    /usr/bin/python3 bench/python/dask_cluster.py "${1:-10000000}"
