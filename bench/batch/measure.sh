#!/usr/bin/env bash
# Measures the real talvo-batch on a generated table of soils: rows per second and peak
# memory, one model, fixed precision. Usage: bench/batch/measure.sh [ROWS] [MODEL]
# (after cmake --preset bench && cmake --build --preset bench).
set -euo pipefail
cd "$(dirname "$0")/../.."
rows=${1:-1000000}
model=${2:-0}
bin=build/bench/bin
table=$(mktemp --suffix=.csv)
trap 'rm -f "$table"' EXIT
"$bin/batch_bench" --soil-table "$rows" > "$table"
for run in 1 2 3; do
    /usr/bin/time -f "%e %M" -o "$table.time" "$bin/talvo-batch" --model "$model" "$table" > /dev/null
    read -r seconds kib < "$table.time"
    awk -v r="$rows" -v s="$seconds" -v k="$kib" -v n="$run" \
        'BEGIN { printf "run %d: %d rows in %.2f s = %.2f million rows/s, peak memory %.1f MiB\n", n, r, s, r / s / 1e6, k / 1024 }'
done
rm -f "$table.time"
