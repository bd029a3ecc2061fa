#!/usr/bin/env bash
# Scoring every model against measured FC and PWP, with the bootstrap intervals, beside the
# plain table run of every model on the same generated table, in interleaved rounds. Prints
# each one's median and range of seconds, wall and CPU (user + system: on a machine shared
# with other work, the wall time mostly measures the others), peak memory, and the load
# average before and after the rounds, which says how much of the wall time was waiting.
# Usage: bench/evaluation/measure.sh [ROWS] [ROUNDS] (after cmake --preset release &&
# cmake --build --preset release --target talvo-batch); BENCH_BIN=folder takes another build.
set -euo pipefail
cd "$(dirname "$0")/../.."
rows=${1:-1000000}
rounds=${2:-5}
bin=${BENCH_BIN:-build/release/bin}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 - "$bin" "$work" "$rows" "$rounds" <<'PY'
import os
import statistics
import subprocess
import sys
import time

import numpy as np
import pandas as pd

bin, work, rows, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
random = np.random.default_rng(1)
sand = np.round(random.uniform(5, 80, rows), 1)
clay = np.round(random.uniform(3, 50, rows) * (100 - sand) / 100, 1)
table = pd.DataFrame({"sand": sand, "silt": np.round(100 - sand - clay, 1), "clay": clay,
                      "oc": np.round(random.uniform(1, 40, rows), 1),
                      "FC_lab": np.round(random.normal(30, 7, rows), 2),
                      "PWP_lab": np.round(random.normal(15, 5, rows), 2),
                      "bd": np.round(random.uniform(1.1, 1.7, rows), 2)})
soils = f"{work}/soils.csv"
table.to_csv(soils, index=False)
batch = f"{bin}/talvo-batch"
tools = {
    "talvo-batch --measured (7 models, fc+pwp, intervals)":
        [batch, "--model", "all", "--measured", "fc=FC_lab,pwp=PWP_lab",
         "--metrics", f"{work}/metrics.csv", "--report", f"{work}/report.html", soils],
    "talvo-batch table (7 models)": [batch, "--model", "all", "--output", f"{work}/out.csv", soils],
}
load_before = os.getloadavg()
seconds = {name: [] for name in tools}
cpu = {name: [] for name in tools}
for _ in range(rounds):
    for name, command in tools.items():
        start = time.perf_counter()
        child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(child.pid, 0)
        seconds[name].append(time.perf_counter() - start)
        cpu[name].append(usage.ru_utime + usage.ru_stime)
        assert status == 0, name
peak = {}
for name, command in tools.items():
    done = subprocess.run(["/usr/bin/time", "-f", "%M", *command], stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True, check=True)
    peak[name] = int(done.stderr.strip().splitlines()[-1]) / 1024
load_after = os.getloadavg()
print(f"{rows} rows, {rounds} rounds, {os.cpu_count()} cores; load average (1, 5, 15 min) "
      f"before {' '.join(f'{v:.1f}' for v in load_before)}, "
      f"after {' '.join(f'{v:.1f}' for v in load_after)}")
for name, values in seconds.items():
    print(f"{name}: median {statistics.median(values):.2f} s, range {min(values):.2f}-"
          f"{max(values):.2f} s; CPU median {statistics.median(cpu[name]):.2f} s, range "
          f"{min(cpu[name]):.2f}-{max(cpu[name]):.2f} s; peak {peak[name]:.0f} MiB")
print(f"report: {os.path.getsize(work + '/report.html') / 1024:.0f} KiB")
PY
