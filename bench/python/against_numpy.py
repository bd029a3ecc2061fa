"""Cells per second of talvo.estimate, model 0, against the same equations typed in numpy.

numpy computes, in binary floating point, FC = (29.79202 - 0.26349*S) + 0.20657*C and
PWP = ((5.04007 - 0.03849*S) + 0.23203*C) - (0.00057*S)*C; rounds each to 15 significant
digits as x*10^k rounded to an integer and divided by 10^k (k from log10: close, not exact);
AWC = ((FC15 - PWP15)/100)*1.49*150; then np.round(x, 2): half to even on the binary value,
where the calculator rounds half away from zero on the 15-digit decimal form.
"""

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


def best_of(runs, call):
    """Best wall-clock and best CPU time (all threads; steadier on a shared machine)."""
    times, cpu_times = [], []
    for _ in range(runs):
        start, cpu_start = time.perf_counter(), time.process_time()
        result = call()
        times.append(time.perf_counter() - start)
        cpu_times.append(time.process_time() - cpu_start)
    return min(times), min(cpu_times), result


def measure(title, sand, clay):
    cells = sand.size
    numpy_time, numpy_cpu, expected = best_of(3, lambda: numpy_model0(sand, clay))
    print(f"{cells:,} cells, model 0, best of 3, {title}")
    print(f"numpy expression + np.round(x, 2): {numpy_time:.3f} s = "
          f"{cells / numpy_time / 1e6:.1f} M cells/s; CPU {numpy_cpu:.3f} s")
    for threads in (1, None):
        talvo_time, talvo_cpu, results = best_of(
            3, lambda: talvo.estimate(0, sand=sand, clay=clay, threads=threads))
        label = "1 thread" if threads == 1 else "all cores"
        print(f"talvo.estimate, {label}: {talvo_time:.3f} s = "
              f"{cells / talvo_time / 1e6:.1f} M cells/s, {numpy_time / talvo_time:.2f}x numpy; "
              f"CPU {talvo_cpu:.3f} s = {talvo_cpu / cells * 1e9:.0f} ns a cell, "
              f"{numpy_cpu / talvo_cpu:.2f}x numpy")
    for name in ("fc", "pwp", "awc"):
        differ = np.count_nonzero(results[name] != expected[name])
        print(f"{name}: numpy differs from the calculator in {differ:,} cells "
              f"({differ / cells:.4%})")
    fc = np.round((29.79202 - 0.26349 * sand) + 0.20657 * clay, 2)
    print(f"fc without the 15-digit step, np.round alone: "
          f"{np.count_nonzero(fc != results['fc']):,} cells differ")


def main():
    cells = int(sys.argv[1]) if len(sys.argv) > 1 else 10_000_000
    rng = np.random.default_rng(2026)
    # Contents as laboratories report them: up to two decimals; hardly a soil repeats.
    sand = np.round(rng.uniform(0, 100, cells), 2)
    clay = np.round(rng.uniform(0, 100, cells) * (100 - sand) / 100, 2)
    measure("two-decimal contents", sand, clay)
    # A soil map in whole percent: about 5000 soils, in random order.
    sand = rng.integers(0, 101, cells).astype(np.float64)
    clay = np.floor(rng.uniform(0, 1, cells) * (101 - sand))
    measure("whole-percent contents", sand, clay)


if __name__ == "__main__":
    main()
