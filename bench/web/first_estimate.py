"""Milliseconds from navigation to the first estimate on screen: the page opened with a soil
in its address, in headless Chromium with a fresh profile (cold cache) against a local server.
Prints one line: runs, median and spread."""

import statistics
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tests" / "web"))
import browser  # noqa: E402

QUERY = "?model=2&sand=40&clay=20&oc=5"


def one_run(url):
    driver = browser.chrome()
    try:
        browser.open_page(driver, url + QUERY)
        return driver.execute_script(
            "return performance.getEntriesByName('talvo-first-estimate')[0].startTime")
    finally:
        driver.quit()


def main():
    site = Path(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    with browser.served(site) as server:
        times = sorted(one_run(server.url) for _ in range(runs))
    print(f"first estimate after navigation: median {statistics.median(times):.0f} ms, "
          f"min {times[0]:.0f} ms, max {times[-1]:.0f} ms ({runs} cold runs)")


if __name__ == "__main__":
    main()
