"""Cells per second of talvo.estimate, model 0, against the same equations typed in numpy.

Two numpy peers. "Same answers" does the call's whole job: FC and PWP rounded to 15
significant digits as the calculator takes them (x*10^k rounded to an integer and divided by
10^k), AWC from those, two decimals rounded half away from zero on that 15-digit value, the
flags talvo sets for these inputs (range, fc<=pwp, result), error 1 and NaN where a content is
missing, and the texture array (no class without silt); the run counts the cells where it
still differs from talvo. "Bare" types the equations and np.round(x, 2): binary halves to
even, no flags, no errors, so a third of the job and not the calculator's numbers.

Usage: against_numpy.py [CELLS] [ROUNDS]   (default 10 million, 7 rounds)
       against_numpy.py --json CELLS       one round of three calls each, median wall and CPU
                                           times as JSON (bench/compare.sh)
"""

import json
import os
import statistics
import sys
import time

import numpy as np

import talvo

RANGE, FC_BELOW_PWP, RESULT = talvo.FLAGS["range"], talvo.FLAGS["fc<=pwp"], talvo.FLAGS["result"]
# A % w/w result counts by volume at the bulk density AWC assumes.
BULK_DENSITY, MOST_BY_VOLUME = 1.49, 60.0


def fifteen_digits(x):
    magnitude = np.floor(np.log10(np.abs(np.where(x == 0, 1.0, x))))
    scale = 10.0 ** (14 - magnitude)
    return np.round(x * scale) / scale


def hundredths(x):
    """Half away from zero on the decimal value: x*100 carries binary noise far below 1e-11
    for |x| < 1000, which rounding to 11 decimals removes before the halves are judged."""
    return np.copysign(np.floor(np.round(np.abs(x) * 100, 11) + 0.5), x) / 100


def numpy_model0(sand, clay):
    """The call's whole job in numpy (see the module's note)."""
    fc = fifteen_digits((29.79202 - 0.26349 * sand) + 0.20657 * clay)
    pwp = fifteen_digits(((5.04007 - 0.03849 * sand) + 0.23203 * clay) - (0.00057 * sand) * clay)
    awc = fifteen_digits(((fc - pwp) / 100) * 1.49 * 150)
    missing = np.isnan(sand) | np.isnan(clay)
    flags = np.where((sand < 0) | (sand > 100) | (clay < 0) | (clay > 100), RANGE, 0)
    flags |= np.where(fc <= pwp, FC_BELOW_PWP, 0)
    flags |= np.where((fc < 0) | (pwp < 0) | (fc * BULK_DENSITY > MOST_BY_VOLUME)
                      | (pwp * BULK_DENSITY > MOST_BY_VOLUME), RESULT, 0)
    flags[missing] = 0
    return {"fc": hundredths(fc), "pwp": hundredths(pwp), "awc": hundredths(awc),
            "flags": flags.astype(np.uint16), "texture": np.full(sand.shape, 255, np.uint8),
            "error": missing.astype(np.int8)}


def numpy_model0_bare(sand, clay):
    """The equations as typed, then np.round: no 15-digit step, no flags, no errors."""
    fc = (29.79202 - 0.26349 * sand) + 0.20657 * clay
    pwp = ((5.04007 - 0.03849 * sand) + 0.23203 * clay) - (0.00057 * sand) * clay
    awc = ((fc - pwp) / 100) * 1.49 * 150
    return {"fc": np.round(fc, 2), "pwp": np.round(pwp, 2), "awc": np.round(awc, 2)}


def contenders(sand, clay):
    return {"numpy, same answers": lambda: numpy_model0(sand, clay),
            "numpy, bare equations": lambda: numpy_model0_bare(sand, clay),
            "talvo.estimate, 1 thread": lambda: talvo.estimate(0, sand=sand, clay=clay, threads=1),
            "talvo.estimate, all cores": lambda: talvo.estimate(0, sand=sand, clay=clay)}


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


def differences(expected, results):
    """Cells where numpy's answers are not talvo's, by array; NaN equals NaN."""
    return {name: int(np.count_nonzero(~((results[name] == expected[name])
                                         | (np.isnan(results[name]) & np.isnan(expected[name]))
                                         if results[name].dtype.kind == "f"
                                         else results[name] == expected[name])))
            for name in expected}


def measure(title, sand, clay, rounds):
    """Interleaved rounds, so that a slower phase of a shared machine hits every contender.
    Each time is the whole call: for talvo.estimate reading the inputs, making the result
    arrays, starting threads and estimating; for numpy every temporary of the expression. One
    round first, untimed, so that no contender pays for the process's first large arrays."""
    cells = sand.size
    calls = contenders(sand, clay)
    walls = {name: [] for name in calls}
    cpus = {name: [] for name in calls}
    for call in calls.values():
        call()
    for _ in range(rounds):
        for name, call in calls.items():
            wall, cpu, result = timed(call)
            walls[name].append(wall)
            cpus[name].append(cpu)
            del result  # let go at once, so that no call pays for the memory others hold
    print(f"{cells:,} cells, model 0, {rounds} interleaved rounds, {title}")
    same, bare = list(calls)[:2]
    for name in calls:
        wall, cpu = statistics.median(walls[name]), statistics.median(cpus[name])
        print(f"{name}: {spread(walls[name])} = {cells / wall / 1e6:.1f} M cells/s, "
              f"CPU {cpu:.3f} s = {cpu / cells * 1e9:.0f} ns a cell")
    for name in list(calls)[2:]:
        print(f"{name}, round by round: {paired(walls[same], walls[name])} numpy with the "
              f"same answers, {paired(walls[bare], walls[name])} bare numpy")
    results = calls["talvo.estimate, all cores"]()
    for name in (same, bare):
        print(f"{name}, cells that differ from talvo's: {differences(calls[name](), results)}")


def soils(cells, whole_percent=False):
    """Contents as laboratories report them (up to two decimals; hardly a soil repeats), or a
    soil map in whole percent (about 5000 soils in random order); a few cells missing."""
    rng = np.random.default_rng(2026)
    if whole_percent:
        sand = rng.integers(0, 101, cells).astype(np.float64)
        clay = np.floor(rng.uniform(0, 1, cells) * (101 - sand))
    else:
        sand = np.round(rng.uniform(0, 100, cells), 2)
        clay = np.round(rng.uniform(0, 100, cells) * (100 - sand) / 100, 2)
    sand[::100_003] = np.nan
    return sand, clay


def one_round(cells, repeats=3):
    """A round for bench/compare.sh: each contender's median wall and CPU time over repeats
    interleaved calls, after one untimed round."""
    calls = contenders(*soils(cells))
    for call in calls.values():
        call()
    times = {name: [] for name in calls}
    for _ in range(repeats):
        for name, call in calls.items():
            times[name].append(timed(call)[:2])
    print(json.dumps({kind: {name: statistics.median(t[index] for t in values)
                             for name, values in times.items()}
                      for index, kind in enumerate(("wall", "cpu"))}))


def main():
    if sys.argv[1:2] == ["--json"]:
        one_round(int(sys.argv[2]))
        return
    cells = int(sys.argv[1]) if len(sys.argv) > 1 else 10_000_000
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    print(f"load average (1, 5, 15 min) on {os.cpu_count()} cores: before "
          f"{' '.join(f'{load:.2f}' for load in os.getloadavg())}")
    measure("two-decimal contents", *soils(cells), rounds)
    measure("whole-percent contents", *soils(cells, whole_percent=True), rounds)
    print(f"load average after: {' '.join(f'{load:.2f}' for load in os.getloadavg())}")


if __name__ == "__main__":
    main()
