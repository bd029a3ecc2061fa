"""Fixtures of the browser tests: the built site served locally, and headless Chromium."""

import pytest

import browser


def pytest_configure(config):
    if not browser.CHROMIUM or not browser.CHROMEDRIVER:
        pytest.exit("chromium and chromium-driver are not installed", returncode=browser.SKIPPED)


@pytest.fixture(scope="session")
def site():
    return browser.site_dir()


@pytest.fixture(scope="module")
def server(site):
    with browser.served(site) as running:
        yield running


@pytest.fixture(scope="module")
def driver():
    d = browser.chrome()
    yield d
    d.quit()


@pytest.fixture
def page(driver, server):
    """The page freshly opened, with nothing chosen or typed."""
    browser.open_page(driver, server.url)
    return driver
