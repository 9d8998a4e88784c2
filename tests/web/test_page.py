"""The show's page (scripts/build-web) in headless Chromium, served on 127.0.0.1, against
the Linux build: frames of every scene against hopsasa-capture's frames of the same
moments, the console and the message boxes against the Linux build's messages with files
missing, Escape, the end screen, and the soundtrack in Web Audio. Also the browser's half
of the GL mapping tests (tests/web/gl_mapping.cpp), which need WebGL.

The page runs on its frame clock (?fps=30): the show's counter moves 1/30 s per presented
frame, so a frame is drawn at the same moment of the show as hopsasa-capture --fps 30
draws it, however fast the browser presents them. The page hands over each frame in the
same task as it was drawn (hopsasaPage.onFrame), where the canvas still holds it.
"""

import base64
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import numpy

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import Chromium, Server  # noqa: E402

SOURCE_DIR = os.environ.get("HOPSASA_SOURCE_DIR",
                            os.path.dirname(os.path.dirname(os.path.dirname(
                                os.path.abspath(__file__)))))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "e2e"))
import harness  # noqa: E402

WEB_DIR = os.environ.get("HOPSASA_WEB_DIR", os.path.join(SOURCE_DIR, "build-web"))
PAGE = os.path.join(WEB_DIR, "hopsasa-web")
GL_TESTS = os.path.join(WEB_DIR, "cmake", "tests", "web")
DATA = os.path.join(SOURCE_DIR, "data")
# Where a failed comparison leaves its pair of pictures.
FAILURES = os.path.join(harness.BUILD_DIR, "web-failures")

FPS = 30
# The largest mean difference, per channel, between a Chromium frame and the Linux one:
# the two draw with different rasterisers (SwiftShader and llvmpipe), which differ at
# picture edges and in texture filtering by a unit or two.
MEAN_LIMIT = 6.0


def moments():
    """The frame in the middle of each scene at FPS, by scene."""
    return [(scene.name, scene.first_frame + scene.frames // 2)
            for scene in harness.show_list(FPS)[0]]


def pixels(png):
    """The picture as an array of rows of RGB pixels."""
    raw = subprocess.run([harness.CONVERT, png, "-depth", "8", "rgb:-"], check=True,
                         capture_output=True).stdout
    return numpy.frombuffer(raw, dtype=numpy.uint8).reshape(600, 800, 3)


def linux_frame(frame, folder, data=DATA):
    """hopsasa-capture's frame `frame` at FPS, from the files in `data`, and its stdout."""
    out = subprocess.run([harness.CAPTURE, "--frames", folder, "--fps", str(FPS), "--from",
                          str(max(0.0, frame - 0.25) / FPS), "--to", str((frame + 0.25) / FPS)],
                         cwd=data, check=True, capture_output=True, text=True).stdout
    return os.path.join(folder, "frame_%06d.png" % frame), out


def save_data_url(url, path):
    with open(path, "wb") as f:
        f.write(base64.b64decode(url.split(",", 1)[1]))


class PageTest(unittest.TestCase):
    """A page of its own in a Chromium of its own for each test."""

    page_folder = PAGE

    def setUp(self):
        if not os.path.exists(os.path.join(PAGE, "index.html")):
            self.fail(f"no page at {PAGE}: run scripts/build-web")
        self.server = Server(self.page_folder)
        self.browser = Chromium()
        self.addCleanup(self.server.close)
        self.addCleanup(self.browser.close)

    def open(self, query="?fps=%d" % FPS):
        self.browser.navigate(self.server.url + query)
        state = self.browser.wait_until(
            "['ready', 'failed'].includes(hopsasaPage.state) && hopsasaPage.state", 60)
        self.assertEqual(state, "ready", self.browser.console)

    def start(self):
        self.browser.click("#start-button")
        self.assertTrue(self.browser.wait_until("hopsasaPage.state === 'playing'", 10))

    def wait_until_ended(self, timeout):
        state = self.browser.wait_until(
            "['ended', 'failed'].includes(hopsasaPage.state) && hopsasaPage.state", timeout,
            step=0.5)
        self.assertEqual(state, "ended", self.browser.console[-20:])

    def show_lines(self):
        """What the show printed, as the console got it."""
        return [text for kind, text in self.browser.console if kind == "log"]


class ShowTest(PageTest):

    def test_frames_in_every_scene_match_the_linux_capture(self):
        wanted = moments()
        self.open()
        ticks = ",".join(str(frame) for _, frame in wanted)
        self.browser.evaluate(
            "window.shots = {}; const wanted = new Set([%s]);"
            "hopsasaPage.onFrame = (tick) => { if (wanted.has(tick) && !(tick in shots))"
            " shots[tick] = document.getElementById('canvas').toDataURL('image/png'); }; 0"
            % ticks)
        self.start()
        self.wait_until_ended(600)
        frames = self.browser.evaluate("hopsasaPage.frames")
        work = sorted(frames["work"])
        seconds = (frames["lastAt"] - frames["firstAt"]) / 1000
        print(f"frames presented {frames['presented']} in {seconds:.1f} s "
              f"({frames['presented'] / seconds:.1f} a second); the show's work per frame: "
              f"median {work[len(work) // 2]:.2f} ms, 95th percentile "
              f"{work[int(len(work) * 0.95)]:.2f} ms, most {frames['workMax']:.1f} ms "
              f"(start-up's)")

        # HOPSASA_WEB_FRAMES names a folder that keeps the pairs (docs/web-contact-sheet.png
        # is made of them).
        folder = os.environ.get("HOPSASA_WEB_FRAMES")
        if folder:
            os.makedirs(folder, exist_ok=True)
        else:
            folder = tempfile.mkdtemp(prefix="hopsasa-web-frames-")
            self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        for name, frame in wanted:
            with self.subTest(scene=name, frame=frame):
                url = self.browser.evaluate(f"shots[{frame}] || null")
                self.assertIsNotNone(url, f"frame {frame} was never presented")
                chromium = os.path.join(folder, "chromium_%06d.png" % frame)
                save_data_url(url, chromium)
                linux, _ = linux_frame(frame, folder)
                difference = numpy.abs(pixels(chromium).astype(int) -
                                       pixels(linux).astype(int)).mean()
                print(f"{name}: frame {frame}, mean difference {difference:.2f}")
                if difference >= MEAN_LIMIT:
                    os.makedirs(FAILURES, exist_ok=True)
                    for path in (chromium, linux):
                        shutil.copy(path, os.path.join(FAILURES, os.path.basename(path)))
                self.assertLess(difference, MEAN_LIMIT,
                                f"{name}: Chromium and Linux frames {frame} differ; both "
                                f"are in {FAILURES}")

    def test_soundtrack_starts_and_its_time_advances(self):
        self.open("")
        self.browser.evaluate(
            "window.loudest = 0; hopsasaPage.onFrame = () => { const a = Module.hopsasaAudio;"
            " if (a) for (const s of a.samples) loudest = Math.max(loudest, Math.abs(s)); }; 0")
        self.start()
        audio = "Module.hopsasaAudio && Module.hopsasaAudio.context"
        self.assertTrue(self.browser.wait_until(f"{audio} && {audio}.state === 'running'", 30),
                        self.browser.console)
        self.assertTrue(self.browser.wait_until("Module.hopsasaAudio.source !== null", 30))
        first = self.browser.evaluate(f"{audio}.currentTime")
        time.sleep(1.0)
        second = self.browser.evaluate(f"{audio}.currentTime")
        self.assertGreater(second - first, 0.5)
        self.assertEqual(self.browser.evaluate(f"{audio}.sampleRate"), 44100)
        # The samples the spectrum is made of are the soundtrack's, not silence.
        self.assertTrue(self.browser.wait_until("loudest > 0.05", 10),
                        self.browser.evaluate("loudest"))
        self.browser.press("Escape", key_code=27)
        self.wait_until_ended(10)

    def test_the_show_ends_on_the_end_screen_and_plays_again(self):
        # From half a second before the end, twice.
        end = harness.show_frames(FPS) / FPS
        self.open("?fps=%d&from=%.2f" % (FPS, end - 0.5))
        self.start()
        self.wait_until_ended(60)
        self.assertEqual(self.browser.evaluate("hopsasaPage.exitStatus"), 0)
        self.assertTrue(self.browser.evaluate("!document.getElementById('end').hidden"))
        presented = self.browser.evaluate("hopsasaPage.frames.presented")
        self.browser.click("#again-button")
        self.assertTrue(self.browser.wait_until("hopsasaPage.state === 'playing'", 10))
        self.wait_until_ended(60)
        again = self.browser.evaluate("hopsasaPage.frames.presented")
        self.assertGreater(again, presented + 5, (presented, again))
        self.assertEqual(self.show_lines(), [])


class MissingFilesTest(PageTest):
    MISSING = ("music.mp3", "boble1.png", "demoscenerad.jpg")

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="hopsasa-web-missing-")
        self.addCleanup(shutil.rmtree, self.folder, ignore_errors=True)
        self.page_folder = os.path.join(self.folder, "page")
        shutil.copytree(PAGE, self.page_folder)
        self.data = os.path.join(self.page_folder, "data")
        for name in self.MISSING:
            os.remove(os.path.join(self.data, name))
        super().setUp()

    def test_console_and_boxes_match_the_linux_build(self):
        _, linux = linux_frame(0, self.folder, data=self.data)
        self.assertIn("for some reason.", linux)

        self.open()
        self.browser.evaluate(
            "window.boxes = []; Module.hopsasaBoxShown = (title, text) =>"
            " boxes.push([title, text]); 0")
        self.start()
        # Each box holds the show until it is dismissed, here with Enter as a user would.
        while self.browser.wait_until("hopsasaPage.frames.presented > 5 ||"
                                      " document.querySelector('.hopsasa-box') !== null", 30):
            if not self.browser.evaluate("document.querySelector('.hopsasa-box') !== null"):
                break
            seen = self.browser.evaluate("boxes.length")
            self.browser.press("Enter", key_code=13)
            self.browser.wait_until(f"boxes.length > {seen} || hopsasaPage.frames.presented > 5",
                                    30)
        boxes = self.browser.evaluate("boxes")
        self.browser.press("Escape", key_code=27)
        self.wait_until_ended(30)

        self.assertEqual("".join(text for _, text in boxes), linux)
        self.assertEqual({title for title, _ in boxes}, {"Error"})
        # The console has each flush of standard output as a line of its own; the text, in
        # its order, is the Linux build's.
        self.assertEqual("".join(self.show_lines()), linux.replace("\n", ""))
        self.assertEqual(self.browser.evaluate("hopsasaPage.missing.sort()"),
                         sorted(self.MISSING))


class EscapeTest(PageTest):

    def test_escape_ends_the_show(self):
        self.open()
        self.start()
        self.assertTrue(self.browser.wait_until("hopsasaPage.frames.presented > 30", 60))
        self.browser.press("Escape", key_code=27)
        self.wait_until_ended(5)
        presented = self.browser.evaluate("hopsasaPage.frames.presented")
        self.assertLess(presented, harness.show_frames(FPS) / 2)
        self.assertEqual(self.browser.evaluate("hopsasaPage.exitStatus"), 0)


class GlMappingTest(unittest.TestCase):
    """Runs hopsasa_web_gl (GoogleTest) in a page of its own and reads its result."""

    def test_gl_mapping_tests_pass_on_webgl(self):
        folder = tempfile.mkdtemp(prefix="hopsasa-web-gl-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        for name in ("hopsasa_web_gl.js", "hopsasa_web_gl.wasm"):
            shutil.copy(os.path.join(GL_TESTS, name), folder)
        with open(os.path.join(folder, "index.html"), "w") as f:
            f.write('<!doctype html><canvas id="canvas" width="800" height="600"></canvas>'
                    '<script>window.Module = {canvas: document.getElementById("canvas"),'
                    ' print: (l) => console.log(l), printErr: (l) => console.error(l),'
                    ' onExit: (code) => { window.exitCode = code; }};</script>'
                    '<script src="hopsasa_web_gl.js"></script>')
        server = Server(folder)
        browser = Chromium()
        self.addCleanup(server.close)
        self.addCleanup(browser.close)
        browser.navigate(server.url)
        browser.wait_until("window.exitCode !== undefined", 120)
        log = "\n".join(text for _, text in browser.console)
        print(log)
        self.assertEqual(browser.evaluate("window.exitCode"), 0, log)
        self.assertIn("[  PASSED  ]", log)
        self.assertNotIn("FAILED", log)


if __name__ == "__main__":
    unittest.main()
