"""The rounds of bench/compare.sh: every contender once a round, the builds in turn, then one
table of medians and ranges in Markdown, ready for bench/README.md.
Usage: compare_rounds.py BEFORE_BUILD AFTER_BUILD WORK ROUNDS   (WORK holds soils.csv,
horizons.csv and grids/ as compare.sh makes them)"""

import json
import os
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
SOILS, CELLS_MAP, CELLS_PYTHON = 1_000_000, 4000 * 4000, 10_000_000
MODELS = 7


def run(command, output=None, env=None):
    """Wall seconds of one process, start to exit, its standard output on output (opened and
    emptied before the clock starts); its processor seconds (user and system, all threads),
    which a busy machine disturbs less; and its peak resident memory in MiB."""
    with open(output or os.devnull, "wb") as sink:
        start = time.perf_counter()
        child = subprocess.Popen(command, stdout=sink, stderr=subprocess.DEVNULL, env=env)
        _, status, usage = os.wait4(child.pid, 0)
        seconds = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) not in (0, 1):
        sys.exit(f"{' '.join(map(str, command))} failed with status {status}")
    return seconds, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024


def side_contenders(name, build, work):
    """name/measure: a call returning wall seconds, processor seconds and peak memory (for
    Python: dicts of seconds by contender)."""
    batch, out = [f"{build}/bin/talvo-batch"], work / "out.csv"
    summary, grid = work / "summary.csv", work / "grids"

    def profiles():
        summary.unlink(missing_ok=True)  # the old one's blocks are freed outside the clock
        return run(batch + ["--model", "0", "--profiles", "--summary", summary,
                            work / "horizons.csv"], out)

    def talvo_map():
        for old in (work / "map.tif", work / "map.tif.aux.xml"):
            old.unlink(missing_ok=True)
        return run([f"{build}/bin/talvo-map", "--model", "0", "--sand", grid / "sand.tif",
                    "--silt", grid / "silt.tif", "--clay", grid / "clay.tif", "--soilgrids",
                    "--threads", "2", "--type", "Int16", "--output", work / "map.tif"])

    def python():
        env = dict(os.environ, PYTHONPATH=f"{build}/src/python/package",
                   PYTHONDONTWRITEBYTECODE="1")
        answer = work / f"python-{name}.json"
        run(["/usr/bin/python3", HERE / "python/against_numpy.py", "--json",
             str(CELLS_PYTHON)], answer, env)
        seconds = json.loads(answer.read_text())
        return seconds["wall"], seconds["cpu"], 0

    calls = {
        "model 0": lambda: run(batch + ["--model", "0", work / "soils.csv"], out),
        "model all": lambda: run(batch + ["--model", "all", work / "soils.csv"], out),
        "plain": lambda: run(batch + ["--model", "0", work / "horizons.csv"], out),
        "profiles": profiles,
        "map": talvo_map,
    }
    if list(Path(build, "src/python/package/talvo").glob("_talvo*.so")):
        calls["python"] = python
    return {f"{name}/{measure}": call for measure, call in calls.items()}


def peers(work):
    calls = {"mawk": lambda: run(["mawk", "-f", HERE / "batch/model0.awk",
                                  work / "soils.csv"], work / "out.csv")}
    if shutil.which("gdal_calc.py"):
        calls["gdal_calc"] = lambda: run(
            [HERE / "map/peer.sh", work / "grids", work / "calc.tif", "Int16", "--co",
             "COMPRESS=DEFLATE", "--co", "ZLEVEL=1", "--co", "PREDICTOR=2"])
    return calls


def spread(values, unit=""):
    return f"{statistics.median(values):.2f}{unit} ({min(values):.2f} to {max(values):.2f})"


def table(times):
    """Markdown rows: measure, before, after and after / before by the clock, and after / before
    by processor time; each ratio the median of the rounds' ratios."""
    sides = ("before", "after")
    rows = ["| measure | before | after | after / before | by processor time |",
            "| --- | --- | --- | --- | --- |"]

    def measured(name, kind):  # kind 0: wall seconds, 1: processor seconds, 2: peak MiB
        return [values[kind] for values in times[name]]

    def per_round(numerators, denominators):
        return [a / b for a, b in zip(numerators, denominators)]

    def row(what, values):
        """values(kind) gives the before and after lists of wall (0) or processor (1) time."""
        (before, after), processor = values(0), values(1)
        by_processor = spread(per_round(processor[1], processor[0]), "x") if processor else ""
        rows.append(f"| {what} | {spread(before)} | {spread(after)} | "
                    f"{spread(per_round(after, before), 'x')} | {by_processor} |")

    def rate(measure, count):
        return lambda kind: [[count / t for t in measured(f"{s}/{measure}", kind)]
                             for s in sides]

    def over(numerator, denominator):
        """Round by round, numerator's time over each build's denominator's (a name with a
        "{}" is each build's own)."""
        return lambda kind: [per_round(measured(numerator.format(s), kind),
                                       measured(denominator.format(s), kind)) for s in sides]

    row("talvo-batch, 1M soils, model 0 to a file: M rows/s", rate("model 0", SOILS / 1e6))
    row("time of mawk (the same equations) / of talvo-batch", over("mawk", "{}/model 0"))
    row("`--model all`: M output rows/s", rate("model all", MODELS * SOILS / 1e6))
    row("1M horizons: time of `--profiles --summary` / of the plain run",
        over("{}/profiles", "{}/plain"))
    row("talvo-map Int16, 4000 x 4000, 2 threads: s",
        lambda kind: [measured(f"{s}/map", kind) for s in sides])
    if "gdal_calc" in times:
        row("time of gdal_calc.py / of talvo-map, Int16", over("gdal_calc", "{}/map"))
    if "before/python" in times and "after/python" in times:
        for module in ("talvo.estimate, 1 thread", "talvo.estimate, all cores"):
            for peer, words in (("numpy, same answers", "numpy with the same answers"),
                                ("numpy, bare equations", "bare numpy")):
                row(f"Python, 10M cells: time of {words} / of {module}", lambda kind: [
                    [r[peer] / r[module] for r in measured(f"{s}/python", kind)]
                    for s in sides])
    for measure, words in (("model 0", "talvo-batch, model 0"), ("profiles", "`--profiles "
                           "--summary`"), ("map", "talvo-map Int16")):
        row(f"{words}: peak memory, MiB",
            lambda kind: [measured(f"{s}/{measure}", 2) for s in sides] if kind == 0 else [])
    return "\n".join(rows)


def processor():
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            return line.split(":", 1)[1].strip()
    return "processor unknown"


def main():
    before, after, work, rounds = sys.argv[1], sys.argv[2], Path(sys.argv[3]), int(sys.argv[4])
    calls = {**side_contenders("before", before, work), **side_contenders("after", after, work),
             **peers(work)}
    # Each measure's builds in turn, then the next measure, alternating which build goes first.
    order = sorted(calls, key=lambda name: name.split("/")[-1])
    load = os.getloadavg()
    times = {name: [] for name in calls}
    for round_ in range(rounds):
        for name in order if round_ % 2 == 0 else reversed(order):
            times[name].append(calls[name]())
        print(f"round {round_ + 1} of {rounds} done", file=sys.stderr)
    print(f"{time.strftime('%Y-%m-%d %H:%M %Z')}, {processor()}, {os.cpu_count()} cores; "
          f"{rounds} interleaved rounds, median (range); load average (1, 5, 15 min) "
          f"{' '.join(f'{x:.1f}' for x in load)} before, "
          f"{' '.join(f'{x:.1f}' for x in os.getloadavg())} after")
    print(table(times))


if __name__ == "__main__":
    main()
