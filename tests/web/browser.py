"""The built site served on a free local port, and headless Chromium to look at it."""

import contextlib
import functools
import http.server
import os
import shutil
import threading
from pathlib import Path

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.support.ui import WebDriverWait

CHROMIUM = shutil.which("chromium")
CHROMEDRIVER = shutil.which("chromedriver")
# Exit status that ctest reports as skipped: no browser on this machine.
SKIPPED = 77


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {
        **http.server.SimpleHTTPRequestHandler.extensions_map,
        ".js": "text/javascript",
        ".wasm": "application/wasm",
        ".webmanifest": "application/manifest+json",
        ".svg": "image/svg+xml",
    }

    def log_message(self, *args):
        pass

    # Files to answer 404 for, as a site with one of them missing would.
    missing = frozenset()

    def send_head(self):
        if self.path.partition("?")[0].lstrip("/") in self.missing:
            self.send_error(404)
            return None
        return super().send_head()


class Server:
    """The site on 127.0.0.1 at a port the system picks; stop() ends it for good."""

    def __init__(self, site: Path, missing=()):
        handler = functools.partial(
            type("Handler", (QuietHandler,), {"missing": frozenset(missing)}),
            directory=str(site))
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.url = f"http://127.0.0.1:{self.httpd.server_address[1]}/"
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def stop(self):
        if self.thread.is_alive():
            self.httpd.shutdown()
            self.httpd.server_close()
            self.thread.join()


def site_dir() -> Path:
    site = Path(os.environ.get("TALVO_SITE", "build/web/site"))
    if not (site / "index.html").exists() or not (site / "talvo.wasm").exists():
        raise SystemExit(f"no built site in {site}: run cmake --build --preset web")
    return site


def chrome(width=1200, height=900, dark=False, language="en-US") -> webdriver.Chrome:
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                     "--disable-dev-shm-usage", f"--window-size={width},{height}",
                     f"--lang={language}", "--no-first-run", "--hide-scrollbars"):
        options.add_argument(argument)
    options.add_experimental_option("prefs", {"intl.accept_languages": language})
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})  # the console, for get_log
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    # Headless windows are at least 500 px wide: a phone's screen is emulated instead.
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
        "width": width, "height": height, "deviceScaleFactor": 1, "mobile": width < 600})
    driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {
        "features": [{"name": "prefers-color-scheme", "value": "dark" if dark else "light"}]})
    driver.execute_cdp_cmd("Browser.grantPermissions", {
        "permissions": ["clipboardReadWrite", "clipboardSanitizedWrite"]})
    return driver


def open_page(driver, url: str, timeout=10):
    """Loads the page and waits until the module has started it."""
    driver.get(url)
    WebDriverWait(driver, timeout).until(
        lambda d: d.execute_script("return document.documentElement.dataset.ready === 'true'"))


@contextlib.contextmanager
def served(site: Path, missing=()):
    server = Server(site, missing)
    try:
        yield server
    finally:
        server.stop()
