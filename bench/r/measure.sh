#!/usr/bin/env bash
# Builds the R package with the bench preset (the release flags) and measures talvo_estimate
# against the same equations in plain vectorised R.
# Usage: bench/r/measure.sh [SOILS] [ROUNDS] (default 1 million, 7 rounds);
# BENCH_BUILD=folder takes the package from a build made already, such as build/release.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BENCH_BUILD:-build/bench}
if [ -z "${BENCH_BUILD:-}" ]; then
    cmake --preset bench >/dev/null
    cmake --build --preset bench --target r_talvo
fi
R_LIBS="$build/src/r/library" Rscript --vanilla bench/r/against_r.R "${1:-1000000}" "${2:-7}"
