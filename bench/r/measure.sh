#!/usr/bin/env bash
# Builds the R package optimised (no window, no tests) and measures talvo_estimate against the
# same equations in plain vectorised R.
# Usage: bench/r/measure.sh [SOILS] [ROUNDS] (default 1 million, 7 rounds);
# BENCH_BUILD=folder takes the package from a build made already, such as build/release.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BENCH_BUILD:-}
if [ -z "$build" ]; then
    build=build/r-bench
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INTERPROCEDURAL_OPTIMIZATION=ON -DTALVO_BUILD_WINDOW=OFF -DTALVO_BUILD_TESTS=OFF \
        -DTALVO_BUILD_MAP=OFF -DTALVO_BUILD_PYTHON=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        > /dev/null
    cmake --build "$build" -j 2 --target r_talvo
fi
R_LIBS="$build/src/r/library" Rscript --vanilla bench/r/against_r.R "${1:-1000000}" "${2:-7}"
