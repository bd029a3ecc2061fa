#!/usr/bin/env bash
# The round's new work beside the plain model-0 run, in interleaved rounds: --hydraulics all on
# ROWS soils (with a bulk density and the layer for HYPRES), and --sd with --draws 1000 on a
# tenth of them (SD_ROWS), through model 0 and through Saxton and Rawls, whose rate is counted
# in model evaluations (draws) a second of processor time (each row's draws run on one core).
# Median and range of wall and CPU time.
# Usage: bench/batch/hydraulics.sh [ROWS] [ROUNDS] [SD_ROWS] (after cmake --preset bench &&
# cmake --build --preset bench); BENCH_BIN=folder takes the programs from another build.
set -euo pipefail
cd "$(dirname "$0")/../.."
rows=${1:-1000000}
rounds=${2:-5}
sd_rows=${3:-$((rows / 10))}
bin=${BENCH_BIN:-build/bench/bin}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Organic carbon in g/kg from the generator; bulk density 1.2-1.6 g/cm3 by the row's number.
"$bin/batch_bench" --soil-table "$rows" |
    awk -F, 'NR == 1 { print $0 ",bd"; next } { print $0 "," 1.2 + ($1 % 41) / 100 }' \
        >"$work/soils.csv"
head -n $((sd_rows + 1)) "$work/soils.csv" >"$work/few.csv"

/usr/bin/python3 - "$bin" "$work" "$rows" "$rounds" "$sd_rows" <<'PY'
import os
import statistics
import subprocess
import sys
import time

bin, work, rows, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
sd_rows = int(sys.argv[5])
batch = f"{bin}/talvo-batch"
soils, few = f"{work}/soils.csv", f"{work}/few.csv"
tools = {
    "model 0": ([batch, "--model", "0", soils], rows),
    "--hydraulics all": ([batch, "--hydraulics", "all", "--oc-unit", "g/kg", "--topsoil",
                          "yes", soils], rows),
    "--sd, 1000 draws": ([batch, "--model", "0", "--sd", "sand=2,clay=2",
                          few], sd_rows),
    "--hydraulics --sd": ([batch, "--hydraulics", "saxton-rawls", "--oc-unit", "g/kg", "--sd",
                           "sand=2,clay=2", few], sd_rows),
}
wall = {name: [] for name in tools}
cpu = {name: [] for name in tools}
for _ in range(rounds):
    for name, (command, _) in tools.items():
        with open(f"{work}/out.csv", "wb") as sink:
            start = time.perf_counter()
            child = subprocess.Popen(command, stdout=sink, stderr=subprocess.DEVNULL)
            _, status, usage = os.wait4(child.pid, 0)
            wall[name].append(time.perf_counter() - start)
            cpu[name].append(usage.ru_utime + usage.ru_stime)
        if os.waitstatus_to_exitcode(status) not in (0, 1):
            sys.exit(f"{name} failed with status {status}")
print(f"{rows} soils, {rounds} interleaved rounds; median (range)")
for name, (_, count) in tools.items():
    w, c = wall[name], cpu[name]
    print(f"{name:18} {count} soils: wall {statistics.median(w):.3f} s ({min(w):.3f} to "
          f"{max(w):.3f}), cpu {statistics.median(c):.3f} s ({min(c):.3f} to {max(c):.3f})")
for measure, values in (("wall", wall), ("cpu", cpu)):
    ratios = [h / p for h, p in zip(values["--hydraulics all"], values["model 0"])]
    print(f"--hydraulics all / model 0, {measure}: {statistics.median(ratios):.2f}x "
          f"({min(ratios):.2f} to {max(ratios):.2f})")
for name in ("--sd, 1000 draws", "--hydraulics --sd"):
    rates = [sd_rows * 1000 / c / 1e6 for c in cpu[name]]
    print(f"{name}: M model evaluations per CPU second: {statistics.median(rates):.2f} "
          f"({min(rates):.2f} to {max(rates):.2f})")
PY
