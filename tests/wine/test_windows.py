"""The Windows zip under Wine: unpacked, its exe opens its window, reports, plays and looks
as on Linux, from its own folder."""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(__file__))
from wine import WinePrefix, difference, dismiss_boxes, press, thumbnail  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
from harness import (BUILD_DIR, CAPTURE, SOURCE_DIR, Xvfb, show_length,  # noqa: E402
                     show_list, wait_for)

DATA = os.path.join(SOURCE_DIR, "data")
# What scripts/release made (ctest runs it first, as release.make).
RELEASE_DIR = os.environ.get("HOPSASA_RELEASE_DIR",
                             os.path.join(BUILD_DIR, "release-test", "dist"))
ZIP = os.path.join(RELEASE_DIR, "hopsasa-windows-x64.zip")

NO_MUSIC = [
    "BASS error: File not found?\n", "BASS Error!\nErrorcode: 4\n",
    "BASS error: Can't play the stream\n", "BASS Error!\nErrorcode: 6\n",
]


class WindowsTest(unittest.TestCase):
    def setUp(self):
        self.assertTrue(os.path.exists(ZIP), f"{ZIP} is missing: scripts/release makes it")
        # The zip unpacked: its one folder holds the exe and the files it reads.
        unpacked = tempfile.mkdtemp(prefix="hopsasa-wine-zip-")
        self.addCleanup(shutil.rmtree, unpacked, True)
        with zipfile.ZipFile(ZIP) as z:
            z.extractall(unpacked)
        (folder,) = os.listdir(unpacked)
        self.unpacked = os.path.join(unpacked, folder)

    def start(self, width=800, height=600, folder=None):
        """The exe run from its folder: the unpacked zip's, or `folder`."""
        folder = folder or self.unpacked
        self.xvfb = Xvfb(width, height)
        self.addCleanup(self.xvfb.stop)
        self.prefix = WinePrefix(self.xvfb)
        self.addCleanup(self.prefix.stop)
        self.show = self.prefix.start(folder, os.path.join(folder, "hopsasa.exe"))
        self.addCleanup(self.show.kill)
        return self.show

    def without(self, name):
        """The unpacked zip's folder with `name` removed from it."""
        os.remove(os.path.join(self.unpacked, name))
        return self.unpacked

    def test_opens_its_window_and_quits_on_escape(self):
        show = self.start()
        wid = self.xvfb.find_window("hopsasa", timeout=30)
        self.assertIsNotNone(wid, "no window titled hopsasa")
        time.sleep(1.0)
        self.assertTrue(show.running())
        press(self.xvfb, wid, "Escape")
        self.assertEqual(show.wait(timeout=10), 0, show.stdout())
        self.assertEqual(show.box_texts(), [])

    def test_close_request_quits(self):
        show = self.start()
        wid = self.xvfb.find_window("hopsasa", timeout=30)
        self.assertIsNotNone(wid, "no window titled hopsasa")
        time.sleep(1.0)
        self.xvfb.request_close(wid)
        self.assertEqual(show.wait(timeout=10), 0, show.stdout())

    def test_without_music_its_messages_reach_standard_output_in_order(self):
        show = self.start(folder=self.without("music.mp3"))
        found = dismiss_boxes(self.xvfb, "Error", len(NO_MUSIC), timeout=30)
        self.assertEqual(found, len(NO_MUSIC), show.box_texts())
        self.assertEqual(show.box_texts(), NO_MUSIC)
        wid = self.xvfb.find_window("hopsasa", timeout=10)
        self.assertIsNotNone(wid, "the show goes on without its music")
        press(self.xvfb, wid, "Escape")
        self.assertEqual(show.wait(timeout=10), 0)
        self.assertEqual(show.stdout(), "".join(NO_MUSIC))

    def test_plays_to_its_end_and_looks_like_the_linux_capture(self):
        # The Linux build's frames of the whole show, two a second.
        frames = tempfile.mkdtemp(prefix="hopsasa-wine-frames-")
        self.addCleanup(shutil.rmtree, frames, True)
        subprocess.run([CAPTURE, "--frames", frames, "--fps", "2"], cwd=DATA, check=True,
                       capture_output=True)
        linux = [thumbnail(os.path.join(frames, name)) for name in sorted(os.listdir(frames))]

        started = time.monotonic()
        show = self.start()
        self.assertIsNotNone(self.xvfb.find_window("hopsasa", timeout=30))
        shots = tempfile.mkdtemp(prefix="hopsasa-wine-shots-")
        self.addCleanup(shutil.rmtree, shots, True)

        def shot(name):
            return thumbnail(self.xvfb.screenshot(os.path.join(shots, name)))

        # The first scene begins when the loading picture goes.
        loading = shot("loading.png")
        began = wait_for(lambda: difference(shot("now.png"), loading) > 10 and time.monotonic(),
                         timeout=60, step=0.1)
        self.assertTrue(began, "the loading picture never went away")

        # Halfway through the speech-bubble scene (the third), far from both of its ends.
        party = show_list()[0][2]
        middle = party.start + party.length / 2
        time.sleep(max(0.0, began + middle - time.monotonic()))
        wine = shot("middle.png")
        distances = [difference(wine, frame) for frame in linux]
        best = min(range(len(linux)), key=lambda i: distances[i])
        message = f"best match: frame {best} ({best / 2} s) at {distances[best]:.1f}"
        print(message, file=sys.stderr)
        self.assertLess(distances[best], 6.0, message)
        self.assertLessEqual(abs(best / 2 - middle), 2.0, message)

        # Timed from the start of the process: the moment the loading picture is seen to go
        # can come late on a busy machine, the start cannot.
        status = self.show.wait(timeout=show_length() + 30)
        lasted = time.monotonic() - started
        self.assertEqual(status, 0, show.stdout())
        self.assertGreater(lasted, show_length())
        self.assertEqual(show.stdout(), "", "no message with every file present")
        self.assertEqual(show.box_texts(), [])

    def test_screen_without_800x600_shows_the_box(self):
        show = self.start(1024, 768)
        self.assertEqual(dismiss_boxes(self.xvfb, "Window error", 1, timeout=30), 1)
        self.assertEqual(show.box_texts(), ["Unable to switch to fullscreen"])
        self.assertIsNone(self.xvfb.find_window("hopsasa", timeout=0.5))
        time.sleep(1.5)
        self.assertTrue(show.running(), "the program must run on without a window")


if __name__ == "__main__":
    unittest.main()
