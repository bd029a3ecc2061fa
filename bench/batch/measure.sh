#!/usr/bin/env bash
# talvo-batch side by side with its peers on one generated table of soils, in interleaved
# rounds: mawk running the same equations with printf "%.2f", and cat copying the file, each
# to a file. Then model 1 on that table and on one whose rows all fail, which should cost no
# more than twice as much. Prints each one's median and range of rows a second, its median
# processor time (user and system), which a loaded machine disturbs less than the clock, and
# peak memory.
# Usage: bench/batch/measure.sh [ROWS] [ROUNDS] (after cmake --preset bench && cmake --build --preset bench);
# BENCH_BIN=folder takes the programs from another build; BENCH_PEER=folder adds that build's
# talvo-batch on model 0 to the rounds, such as an older release.
set -euo pipefail
cd "$(dirname "$0")/../.."
rows=${1:-1000000}
rounds=${2:-5}
bin=${BENCH_BIN:-build/bench/bin}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin/batch_bench" --soil-table "$rows" >"$work/soils.csv"
"$bin/batch_bench" --soil-table "$rows" failing >"$work/failing.csv"

awk_program=$(cat bench/batch/model0.awk)

# Each program is started directly with its standard output on a file, and timed from start
# to exit: a shell or time(1) in between would add tens of milliseconds to every tool, which
# flatters the fast ones' peers. Peak memory comes from one more run under time(1): a child of
# Python reports Python's own size as its peak.
/usr/bin/python3 - "$bin" "$work" "$rows" "$rounds" "$awk_program" "${BENCH_PEER:-}" <<'PY'
import os
import statistics
import subprocess
import sys
import time

bin, work, rows, rounds, awk_program, peer = sys.argv[1:7]
rows, rounds = int(rows), int(rounds)
soils, failing, out = f"{work}/soils.csv", f"{work}/failing.csv", f"{work}/out.csv"
tools = {  # name: (command, output file or None for --output, output rows per input row)
    "talvo-batch": ([f"{bin}/talvo-batch", "--model", "0", soils], out, 1),
    # --output also waits for the file to reach the disk before renaming it into place.
    "talvo-batch-output": ([f"{bin}/talvo-batch", "--model", "0", "--output", out, soils],
                           None, 1),
    "talvo-batch-all": ([f"{bin}/talvo-batch", "--model", "all", soils], out, 7),
    "mawk": (["mawk", awk_program, soils], out, 1),
    "cat": (["cat", soils], out, 1),
    "talvo-batch-1": ([f"{bin}/talvo-batch", "--model", "1", soils], out, 1),
    # Every row fails: not a number, empty, beyond the range, a division by zero.
    "talvo-batch-1-failing": ([f"{bin}/talvo-batch", "--model", "1", failing], out, 1),
}
if peer:
    tools["talvo-batch-peer"] = ([f"{peer}/talvo-batch", "--model", "0", soils], out, 1)
load = os.getloadavg()[0]
seconds = {name: [] for name in tools}
processor = {name: [] for name in tools}
peak = {name: 0 for name in tools}
for _ in range(rounds):
    for name, (command, output, _) in tools.items():
        with open(output or os.devnull, "wb") as sink:
            start = time.perf_counter()
            child = subprocess.Popen(command, stdout=sink, stderr=subprocess.DEVNULL)
            _, wait_status, usage = os.wait4(child.pid, 0)
            seconds[name].append(time.perf_counter() - start)
            processor[name].append(usage.ru_utime + usage.ru_stime)
        status = os.waitstatus_to_exitcode(wait_status)
        if status not in (0, 1):
            sys.exit(f"{name} failed with status {status}")
for name, (command, output, _) in tools.items():
    with open(output or os.devnull, "wb") as sink:
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", f"{work}/peak", *command],
                       stdout=sink, stderr=subprocess.DEVNULL, check=False)
    with open(f"{work}/peak") as kib:
        peak[name] = int(kib.read().split()[-1])
print(f"{rows} soils, model 0 unless named, {rounds} interleaved rounds; median (range); "
      f"load average {load:.1f} before, {os.getloadavg()[0]:.1f} after")
for name, (_, _, factor) in tools.items():
    times = seconds[name]
    median = statistics.median(times)
    print(f"{name:22} {factor * rows / median / 1e6:6.2f} M rows/s "
          f"({factor * rows / max(times) / 1e6:.2f} to {factor * rows / min(times) / 1e6:.2f}), "
          f"{median:.3f} s, processor {statistics.median(processor[name]):.3f} s, "
          f"peak {peak[name] / 1024:.1f} MiB")
base = statistics.median(seconds["talvo-batch"])
print(f"mawk / talvo-batch {statistics.median(seconds['mawk']) / base:.2f}x, "
      f"talvo-batch / cat {base / statistics.median(seconds['cat']):.2f}x, "
      f"failing / passing rows {statistics.median(seconds['talvo-batch-1-failing']) / statistics.median(seconds['talvo-batch-1']):.2f}x")
PY
