"""Cells per second of talvo.estimate, model 0, against the same equations typed in numpy.

numpy computes, in binary floating point, FC = (29.79202 - 0.26349*S) + 0.20657*C and
PWP = ((5.04007 - 0.03849*S) + 0.23203*C) - (0.00057*S)*C; rounds each to 15 significant
digits as x*10^k rounded to an integer and divided by 10^k (k from log10: close, not exact);
AWC = ((FC15 - PWP15)/100)*1.49*150; then np.round(x, 2): half to even on the binary value,
where the calculator rounds half away from zero on the 15-digit decimal form.
"""

import os
import statistics
import sys
import time

import numpy as np

import talvo


def fifteen_digits(x):
    magnitude = np.floor(np.log10(np.abs(np.where(x == 0, 1.0, x))))
    scale = 10.0 ** (14 - magnitude)
    return np.round(x * scale) / scale


def numpy_model0(sand, clay):
    fc = (29.79202 - 0.26349 * sand) + 0.20657 * clay
    pwp = ((5.04007 - 0.03849 * sand) + 0.23203 * clay) - (0.00057 * sand) * clay
    fc15, pwp15 = fifteen_digits(fc), fifteen_digits(pwp)
    awc = ((fc15 - pwp15) / 100) * 1.49 * 150
    return {"fc": np.round(fc15, 2), "pwp": np.round(pwp15, 2), "awc": np.round(awc, 2)}


def numpy_model0_bare(sand, clay):
    """The equations as typed, then np.round: no 15-digit step, so AWC may differ."""
    fc = (29.79202 - 0.26349 * sand) + 0.20657 * clay
    pwp = ((5.04007 - 0.03849 * sand) + 0.23203 * clay) - (0.00057 * sand) * clay
    awc = ((fc - pwp) / 100) * 1.49 * 150
    return {"fc": np.round(fc, 2), "pwp": np.round(pwp, 2), "awc": np.round(awc, 2)}


def timed(call):
    """Wall-clock and CPU time (all threads) of one call, and its result."""
    start, cpu_start = time.perf_counter(), time.process_time()
    result = call()
    return time.perf_counter() - start, time.process_time() - cpu_start, result


def spread(times):
    ordered = sorted(times)
    return f"median {statistics.median(ordered):.3f} s [{ordered[0]:.3f}-{ordered[-1]:.3f}]"


def paired(numerators, denominators):
    """Ratios of the calls of each round, which ran within a second of each other."""
    ordered = sorted(a / b for a, b in zip(numerators, denominators))
    return f"{statistics.median(ordered):.2f}x [{ordered[0]:.2f}-{ordered[-1]:.2f}]"


def measure(title, sand, clay, rounds):
    """Interleaved rounds, so that a slower phase of a shared machine hits every contender.
    Each time is the whole call: for talvo.estimate reading the inputs, making the result
    arrays, starting threads and estimating; for numpy every temporary of the expression."""
    cells = sand.size
    contenders = {"numpy, 15-digit step + np.round(x, 2)": lambda: numpy_model0(sand, clay),
                  "numpy, bare equations + np.round(x, 2)": lambda: numpy_model0_bare(sand, clay),
                  "talvo.estimate, 1 thread": lambda: talvo.estimate(0, sand=sand, clay=clay,
                                                                     threads=1),
                  "talvo.estimate, all cores": lambda: talvo.estimate(0, sand=sand, clay=clay)}
    walls = {name: [] for name in contenders}
    cpus = {name: [] for name in contenders}
    outputs = {}
    for round_ in range(rounds):
        for name, call in contenders.items():
            wall, cpu, result = timed(call)
            walls[name].append(wall)
            cpus[name].append(cpu)
            # Results are let go at once but in the last round, so that no call pays for
            # the memory the others hold.
            if round_ == rounds - 1:
                outputs[name] = result
            del result
    print(f"{cells:,} cells, model 0, {rounds} interleaved rounds, {title}")
    numpy_name, bare_name = list(contenders)[:2]
    numpy_wall = statistics.median(walls[numpy_name])
    bare_wall = statistics.median(walls[bare_name])
    for name in contenders:
        wall, cpu = statistics.median(walls[name]), statistics.median(cpus[name])
        print(f"{name}: {spread(walls[name])} = {cells / wall / 1e6:.1f} M cells/s, "
              f"{numpy_wall / wall:.2f}x numpy with the step, {bare_wall / wall:.2f}x bare; "
              f"CPU {cpu:.3f} s = {cpu / cells * 1e9:.0f} ns a cell")
    for name in list(contenders)[2:]:
        print(f"round by round, {name}: {paired(walls[bare_name], walls[name])} bare numpy, "
              f"{paired(walls[numpy_name], walls[name])} numpy with the step")
    expected, results = outputs[numpy_name], outputs["talvo.estimate, all cores"]
    for name in ("fc", "pwp", "awc"):
        differ = np.count_nonzero(results[name] != expected[name])
        print(f"{name}: numpy differs from the calculator in {differ:,} cells "
              f"({differ / cells:.4%})")
    fc = np.round((29.79202 - 0.26349 * sand) + 0.20657 * clay, 2)
    print(f"fc without the 15-digit step, np.round alone: "
          f"{np.count_nonzero(fc != results['fc']):,} cells differ")


def main():
    cells = int(sys.argv[1]) if len(sys.argv) > 1 else 10_000_000
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    print(f"load average (1, 5, 15 min) on {os.cpu_count()} cores: before "
          f"{' '.join(f'{load:.2f}' for load in os.getloadavg())}")
    rng = np.random.default_rng(2026)
    # Contents as laboratories report them: up to two decimals; hardly a soil repeats.
    sand = np.round(rng.uniform(0, 100, cells), 2)
    clay = np.round(rng.uniform(0, 100, cells) * (100 - sand) / 100, 2)
    measure("two-decimal contents", sand, clay, rounds)
    # A soil map in whole percent: about 5000 soils, in random order.
    sand = rng.integers(0, 101, cells).astype(np.float64)
    clay = np.floor(rng.uniform(0, 1, cells) * (101 - sand))
    measure("whole-percent contents", sand, clay, rounds)
    print(f"load average after: {' '.join(f'{load:.2f}' for load in os.getloadavg())}")


if __name__ == "__main__":
    main()
