#!/usr/bin/env bash
# talvo-batch --profiles --summary on three tables of N horizons: one profile listed from the
# top down, the same profile from the bottom up, and N profiles of one horizon each. Sums run
# in n log n in any order, so the three stay within a small factor of each other.
# Usage: bench/batch/horizon_order.sh [HORIZONS] [ROUNDS] (after cmake --preset bench &&
# cmake --build --preset bench); BENCH_BIN=folder takes the programs from another build.
set -euo pipefail
cd "$(dirname "$0")/../.."
horizons=${1:-1000000}
rounds=${2:-5}
bin=${BENCH_BIN:-build/bench/bin}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
table() { # order file
    awk -v n="$horizons" -v order="$1" 'BEGIN {
        print "profile,top,bottom,sand,silt,clay,bd"
        for (i = 0; i < n; i++) {
            h = order == "up" ? n - 1 - i : i
            id = order == "many" ? sprintf("P%07d", i) : "P"
            # Horizons of 50 um, so that a million stay within the deepest depth a soil has.
            top = order == "many" ? 0 : h * 5 # in thousandths of a cm
            bottom = top + 5
            sand = 20 + i % 60
            printf "%s,%d.%03d,%d.%03d,%d,%d,10,1.4\n", id, int(top / 1000), top % 1000,
                int(bottom / 1000), bottom % 1000, sand, 90 - sand
        }
    }' >"$2"
}
for order in down up many; do
    table "$order" "$work/$order.csv"
done
/usr/bin/python3 - "$bin" "$work" "$rounds" <<'PY'
import statistics, subprocess, sys, time
bin, work, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3])
times = {order: [] for order in ("down", "up", "many")}
for _ in range(rounds):
    for order in times:
        start = time.perf_counter()
        subprocess.run([f"{bin}/talvo-batch", "--model", "0", "--profiles", "--summary",
                        f"{work}/summary.csv", "--output", f"{work}/out.csv",
                        f"{work}/{order}.csv"], check=False, stderr=subprocess.DEVNULL)
        times[order].append(time.perf_counter() - start)
names = {"down": "one profile, top down", "up": "one profile, bottom up",
         "many": "one horizon a profile"}
for order, values in times.items():
    print(f"{names[order]:24} median {statistics.median(values):.3f} s "
          f"(range {min(values):.3f}-{max(values):.3f})")
PY
