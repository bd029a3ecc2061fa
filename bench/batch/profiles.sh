#!/usr/bin/env bash
# talvo-batch --profiles --summary beside the plain run on one generated horizon table (five
# horizons a profile, profiles shuffled in blocks), in interleaved rounds: median and range of
# wall time and of CPU time (the machine is shared), and peak memory on 1/10 of the rows and on
# all of them, which must grow with the profiles only.
# Usage: bench/batch/profiles.sh [HORIZONS] [ROUNDS] (after cmake --preset bench && cmake --build
# --preset bench); BENCH_BIN=folder takes the programs from another build.
set -euo pipefail
cd "$(dirname "$0")/../.."
horizons=${1:-1000000}
rounds=${2:-5}
bin=${BENCH_BIN:-build/bench/bin}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
table() { awk -v n="$1" -f bench/batch/horizons.awk >"$2"; }
table "$horizons" "$work/all.csv"
table $((horizons / 10)) "$work/tenth.csv"

/usr/bin/python3 - "$bin" "$work" "$horizons" "$rounds" <<'PY'
import os
import statistics
import subprocess
import sys
import time

bin, work, horizons, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
table = f"{work}/all.csv"
tools = {
    "plain": [f"{bin}/talvo-batch", "--model", "0", table],
    "profiles": [f"{bin}/talvo-batch", "--model", "0", "--profiles", "--summary",
                 f"{work}/summary.csv", table],
}
wall = {name: [] for name in tools}
cpu = {name: [] for name in tools}
for _ in range(rounds):
    for name, command in tools.items():
        # The last round's files go before the clock starts: the output's sink is emptied
        # when it is opened, and the summary replaced over an old one would also time the
        # file system freeing the old one's blocks (4 to 5 ms on ext4 mounted with discard).
        if os.path.exists(f"{work}/summary.csv"):
            os.remove(f"{work}/summary.csv")
        with open(f"{work}/out.csv", "wb") as sink:
            start = time.perf_counter()
            child = subprocess.Popen(command, stdout=sink, stderr=subprocess.DEVNULL)
            _, status, usage = os.wait4(child.pid, 0)
            wall[name].append(time.perf_counter() - start)
            cpu[name].append(usage.ru_utime + usage.ru_stime)
        if os.waitstatus_to_exitcode(status) not in (0, 1):
            sys.exit(f"{name} failed with status {status}")
print(f"{horizons} horizons, model 0, {rounds} interleaved rounds; median (range)")
for name in tools:
    w, c = wall[name], cpu[name]
    print(f"{name:9} wall {statistics.median(w):.3f} s ({min(w):.3f} to {max(w):.3f}), "
          f"cpu {statistics.median(c):.3f} s ({min(c):.3f} to {max(c):.3f}), "
          f"{horizons / statistics.median(w) / 1e6:.2f} M horizons/s")
for measure, values in (("wall", wall), ("cpu", cpu)):
    print(f"profiles / plain, {measure}: "
          f"{statistics.median(values['profiles']) / statistics.median(values['plain']):.2f}x")
for name, rows in (("tenth", horizons // 10), ("all", horizons)):
    command = [f"{bin}/talvo-batch", "--model", "0", "--profiles", "--summary",
               f"{work}/summary.csv", f"{work}/{name}.csv"]
    with open(os.devnull, "wb") as sink:
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", f"{work}/peak", *command],
                       stdout=sink, stderr=subprocess.DEVNULL, check=False)
    with open(f"{work}/peak") as kib:
        peak = int(kib.read().split()[-1])
    print(f"peak memory, {rows} horizons ({rows // 5} profiles): {peak / 1024:.1f} MiB")
PY
