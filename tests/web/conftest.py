# The shared harness (tests/e2e), and a page of its own in a Chromium of its own for each
# test (browser.py).
import os
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
from harness import *  # noqa: E402,F401,F403
from harness import BUILD_DIR, SOURCE_DIR  # noqa: E402
from browser import Chromium, Server  # noqa: E402

WEB_DIR = os.environ.get("HOPSASA_WEB_DIR", os.path.join(SOURCE_DIR, "build-web"))
PAGE = os.path.join(WEB_DIR, "hopsasa-web")


class Page:
    # The page in `folder` served on 127.0.0.1 and open in a headless Chromium.

    def __init__(self, folder, defer):
        self.server, self.browser = Server(folder), Chromium()
        defer(self.server.close)
        defer(self.browser.close)
        self.console = self.browser.console

    def open(self, query="", page=True):
        self.browser.navigate(self.server.url + query)
        if page:
            state = self.wait_until(
                "['ready', 'failed'].includes(hopsasaPage.state) && hopsasaPage.state", 60)
            assert state == "ready", self.console

    def start(self):
        self.browser.click("#start-button")
        assert self.wait_until("hopsasaPage.state === 'playing'", 10)

    def wait_until_ended(self, timeout):
        state = self.wait_until(
            "['ended', 'failed'].includes(hopsasaPage.state) && hopsasaPage.state", timeout, 0.5)
        assert state == "ended", self.console[-20:]

    def show_lines(self):
        # What the show printed, as the console got it.
        return [text for kind, text in self.console if kind == "log"]

    def __getattr__(self, name):  # evaluate, wait_until, press, click
        return getattr(self.browser, name)


@pytest.fixture
def page(defer):
    # page(folder): the page (the built one by default) in a Chromium of its own.
    def start(folder=PAGE):
        assert os.path.exists(os.path.join(folder, "index.html")), \
            f"no page at {folder}: run scripts/build-web"
        return Page(folder, defer)
    return start


FAILURES = os.path.join(BUILD_DIR, "web-failures")
GL_TESTS = os.path.join(WEB_DIR, "cmake", "tests", "web")
