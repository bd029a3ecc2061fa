#!/usr/bin/python3
"""The table tab's speed and memory in headless Chromium, next to talvo-batch on one core.

Speed: a table of ROWS soils, model 0, converted in the page's worker (from Run to the download
link) and by talvo-batch under taskset -c 0 to a file, in interleaved rounds; medians and
ranges in rows a second, and their ratio. Each also by the processor time it took (Chromium's
processes together, talvo-batch's own), which a busy machine disturbs far less than the clock.
Memory: a table of GIB gibibytes run in the page while the resident memory of Chromium's
renderer processes (the tab and its worker live in one) and of the browser process (which holds
the output's Blobs) is sampled; their peaks over MEMORY_ROUNDS runs, median and range, in MB
(10^6 bytes, as the budget) and MiB, with the renderer's parts.

Usage: bench/web/measure_tables.py [ROWS] [ROUNDS] [GIB] [MEMORY_ROUNDS]
after cmake --build --preset web (the site) and a build of talvo-batch: BENCH_BIN=folder
(default build/release/bin, else build/dev/bin), TALVO_SITE=folder (default build/web/site).
"""

import os
import resource
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "web"))
import browser  # noqa: E402  (the tests' server and browser)
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import Select, WebDriverWait  # noqa: E402


def write_table(path, rows):
    """ROWS soils of varied texture; the last block is cut to size."""
    block = "".join(f"{i},{i % 80},{(i * 7) % 21},{80 - i % 80 - (i * 7) % 21 + 20},{i % 13}\n"
                    for i in range(10000))
    with path.open("w") as out:
        out.write("id,sand,silt,clay,oc\n")
        for _ in range(rows // 10000):
            out.write(block)
        out.write("".join(block.splitlines(True)[:rows % 10000]))


def write_large(path, size):
    """A table of about `size` bytes, one block of rows repeated."""
    block = "".join(f"{i},{i % 80},20,{80 - i % 80},{i % 7}\n" for i in range(100000)).encode()
    with path.open("wb") as out:
        out.write(b"id,sand,silt,clay,oc\n")
        for _ in range(max(1, size // len(block))):
            out.write(block)


def children_cpu():
    used = resource.getrusage(resource.RUSAGE_CHILDREN)
    return used.ru_utime + used.ru_stime


def batch_seconds(batch, table, output):
    """Wall and processor seconds of one run of talvo-batch on core 0."""
    with open(output, "wb") as sink:
        cpu = children_cpu()
        start = time.perf_counter()
        status = subprocess.run(["taskset", "-c", "0", batch, "--model", "0", str(table)],
                                stdout=sink, stderr=subprocess.DEVNULL, check=False).returncode
        seconds = time.perf_counter() - start
    if status not in (0, 1):
        sys.exit(f"talvo-batch failed with status {status}")
    return seconds, children_cpu() - cpu


def chromium_cpu(driver):
    """Processor seconds of every Chromium process so far."""
    total = 0
    for pid, _ in chromium_processes(driver.service.process.pid):
        try:
            fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
            total += int(fields[11]) + int(fields[12])  # utime, stime
        except (OSError, IndexError):
            pass
    return total / os.sysconf("SC_CLK_TCK")


def page_seconds(driver):
    """One run in the page, timed inside it: from the click on Run to the download link."""
    return driver.execute_async_script("""
        const done = arguments[arguments.length - 1];
        const link = document.getElementById('table-download');
        const error = document.getElementById('table-error');
        const start = performance.now();
        const observer = new MutationObserver(() => {
          if (!link.hidden || !error.hidden) {
            observer.disconnect();
            done(error.hidden ? (performance.now() - start) / 1000 : error.textContent);
          }
        });
        observer.observe(document.getElementById('tables'), {attributes: true, subtree: true});
        document.getElementById('table-run').click();""")


def choose(driver, table):
    driver.find_element(By.ID, "table-file").send_keys(str(table))
    WebDriverWait(driver, 30).until(
        lambda d: d.find_element(By.ID, "table-preview").get_attribute("data-file") == table.name)
    Select(driver.find_element(By.ID, "table-model")).deselect_all()
    Select(driver.find_element(By.ID, "table-model")).select_by_value("0")


def chromium_processes(root):
    """(pid, kind) of every process under `root`: 'renderer', 'browser' or another type."""
    found = []
    pending = [root]
    while pending:
        pid = pending.pop()
        try:
            tasks = list(Path(f"/proc/{pid}/task").iterdir())
            command = Path(f"/proc/{pid}/cmdline").read_bytes().split(b"\0")
        except OSError:
            continue
        # Any thread may have started a child (chromedriver starts Chromium from another), and
        # threads come and go while they are read.
        for task in tasks:
            try:
                pending += [int(child) for child in (task / "children").read_text().split()]
            except OSError:
                pass
        # Chromium's children rewrite their command line as one string.
        words = b" ".join(command).decode(errors="replace").split()
        name = Path(words[0]).name if words else ""
        if name.startswith("chrom") and name != "chromedriver":
            kinds = [word[7:] for word in words if word.startswith("--type=")]
            found.append((pid, kinds[0] if kinds else "browser"))
    return found


# Resident memory and its parts: anonymous (the process's own heap, wasm memory and code), file
# pages (Chromium's binary and libraries, shared with every process that maps them) and shared
# memory (buffers between processes).
PARTS = ("VmRSS", "RssAnon", "RssFile", "RssShmem")


def resident(pid):
    """PARTS of `pid`, in bytes; zeros for a process gone."""
    found = dict.fromkeys(PARTS, 0)
    try:
        for line in Path(f"/proc/{pid}/status").read_text().splitlines():
            key, _, value = line.partition(":")
            if key in found:
                found[key] = int(value.split()[0]) * 1024
    except OSError:
        pass
    return found


def renderer_now(driver):
    """The parts of the largest renderer (the tab, with its worker) now."""
    sizes = [resident(pid) for pid, kind in chromium_processes(driver.service.process.pid)
             if kind == "renderer"]
    return max(sizes, key=lambda size: size["VmRSS"], default=dict.fromkeys(PARTS, 0))


def peak_memory(driver, table):
    """Peaks of the renderers' and the browser's resident memory while `table` runs: the
    renderer's parts at its peak, the browser's resident bytes."""
    peaks = {"renderer": dict.fromkeys(PARTS, 0), "browser": 0}
    stop = threading.Event()

    def sample():
        root = driver.service.process.pid
        while not stop.is_set():
            for pid, kind in chromium_processes(root):
                size = resident(pid)
                if kind == "renderer" and size["VmRSS"] > peaks["renderer"]["VmRSS"]:
                    peaks["renderer"] = size
                elif kind == "browser":
                    peaks["browser"] = max(peaks["browser"], size["VmRSS"])
            stop.wait(0.2)

    sampler = threading.Thread(target=sample)
    sampler.start()
    try:
        choose(driver, table)
        seconds = page_seconds(driver)
    finally:
        stop.set()
        sampler.join()
    return seconds, peaks


def spread(values, scale):
    """median (lowest to highest) of `values` / `scale`."""
    return (f"{statistics.median(values) / scale:.0f} "
            f"({min(values) / scale:.0f} to {max(values) / scale:.0f})")


def main():
    rows = int(sys.argv[1]) if len(sys.argv) > 1 else 1_000_000
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    gib = float(sys.argv[3]) if len(sys.argv) > 3 else 1.0
    memory_rounds = int(sys.argv[4]) if len(sys.argv) > 4 else 3
    bin_dir = Path(os.environ.get("BENCH_BIN", ROOT / "build/release/bin"))
    if not (bin_dir / "talvo-batch").exists():
        bin_dir = ROOT / "build/dev/bin"
    batch = str(bin_dir / "talvo-batch")
    site = Path(os.environ.get("TALVO_SITE", ROOT / "build/web/site"))

    with tempfile.TemporaryDirectory() as work, browser.served(site) as server:
        work = Path(work)
        table = work / "soils.csv"
        write_table(table, rows)
        driver = browser.chrome()
        driver.set_script_timeout(3600)  # a run is timed by one script
        try:
            browser.open_page(driver, server.url)
            driver.find_element(By.ID, "tab-tables").click()
            WebDriverWait(driver, 10).until(
                lambda d: len(Select(d.find_element(By.ID, "table-model")).options) == 8)
            choose(driver, table)
            wall = {"page worker": [], "talvo-batch, one core": []}
            cpu = {"page worker": [], "talvo-batch, one core": []}
            for _ in range(rounds):
                before = chromium_cpu(driver)
                elapsed = page_seconds(driver)
                if isinstance(elapsed, str):
                    sys.exit(f"the page failed: {elapsed}")
                wall["page worker"].append(elapsed)
                cpu["page worker"].append(chromium_cpu(driver) - before)
                elapsed, used = batch_seconds(batch, table, work / "out.csv")
                wall["talvo-batch, one core"].append(elapsed)
                cpu["talvo-batch, one core"].append(used)
            print(f"{rows} soils, model 0, {rounds} interleaved rounds; median (range); "
                  f"load average {os.getloadavg()[0]:.1f} on {os.cpu_count()} cores")
            for clock, seconds in (("clock", wall), ("processor", cpu)):
                for name, times in seconds.items():
                    print(f"{name:22} {rows / statistics.median(times) / 1e6:6.2f} M rows/s "
                          f"({rows / max(times) / 1e6:.2f} to {rows / min(times) / 1e6:.2f}), "
                          f"{statistics.median(times):.3f} s by the {clock}")
                ratio = statistics.median(seconds["page worker"]) / statistics.median(
                    seconds["talvo-batch, one core"])
                print(f"page worker / talvo-batch on one core: {ratio:.2f}x the {clock} time")
            table.unlink()

            if gib > 0:
                large = work / "large.csv"
                write_large(large, int(gib * (1 << 30)))
                size = large.stat().st_size
                idle = renderer_now(driver)
                runs = [peak_memory(driver, large) for _ in range(memory_rounds)]
                print(f"{size / (1 << 30):.2f} GiB table, model 0, {memory_rounds} runs; "
                      f"{statistics.median(r[0] for r in runs):.1f} s in the page (median); "
                      f"load average {os.getloadavg()[0]:.1f}")
                print(f"tab at rest after the speed rounds: {idle['VmRSS'] / 1e6:.0f} MB resident "
                      f"({idle['VmRSS'] / (1 << 20):.0f} MiB), {idle['RssAnon'] / 1e6:.0f} MB "
                      f"of it anonymous, {idle['RssFile'] / 1e6:.0f} MB file pages")
                for part in PARTS:
                    values = [r[1]["renderer"][part] for r in runs]
                    print(f"renderer peak {part:9} {spread(values, 1e6)} MB = "
                          f"{spread(values, 1 << 20)} MiB, median (range)")
                # The budget's measure: what the tab holds of its own. File pages are Chromium's
                # code, mapped by every one of its processes, and no page changes them.
                own = [r[1]["renderer"]["RssAnon"] + r[1]["renderer"]["RssShmem"] for r in runs]
                print(f"renderer peak, its own (anonymous and shared memory) {spread(own, 1e6)} MB")
                print(f"browser process peak {spread([r[1]['browser'] for r in runs], 1e6)} MB")
        finally:
            driver.quit()


if __name__ == "__main__":
    main()
