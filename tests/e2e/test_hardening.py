"""The show against missing devices and signals: it reports, runs on, and ends cleanly."""
import os
import shutil
import signal
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from harness import SOURCE_DIR, Show, Xvfb, write_test_show  # noqa: E402


class HardeningTest(unittest.TestCase):
    def folder(self, missing=()):
        path = tempfile.mkdtemp(prefix="hopsasa-hard-")
        self.addCleanup(shutil.rmtree, path, True)
        write_test_show(path)
        for name in missing:
            os.remove(os.path.join(path, name))
        return path

    def start(self, workdir, extra_env=None, with_x=True):
        xvfb = None
        if with_x:
            xvfb = Xvfb(800, 600)
            self.addCleanup(xvfb.stop)
        show = Show(xvfb, workdir, extra_env)
        self.addCleanup(show.kill)
        return xvfb, show

    def test_sigterm_while_a_box_is_open_ends_the_program(self):
        xvfb, show = self.start(self.folder(missing=["gubb.png"]))
        self.assertIsNotNone(xvfb.find_window("Error"), "the missing picture's box")
        show.signal(signal.SIGTERM)
        self.assertEqual(show.wait(timeout=5), 0)
        self.assertIn("'gubb.png'", show.stdout())

    def test_sigint_during_the_scenes_ends_the_program(self):
        xvfb, show = self.start(self.folder())
        self.assertIsNotNone(xvfb.find_window("hopsasa"))
        time.sleep(2)
        show.signal(signal.SIGINT)
        self.assertEqual(show.wait(timeout=5), 0)

    def test_sigterm_during_loading_ends_the_program(self):
        # The real pictures take a moment to load; the signal arrives while they do.
        xvfb, show = self.start(os.path.join(SOURCE_DIR, "data"))
        self.assertIsNotNone(xvfb.find_window("hopsasa"))
        show.signal(signal.SIGTERM)
        self.assertEqual(show.wait(timeout=15), 0)

    def test_no_display_and_no_sound_card_still_plays_to_the_end(self):
        started = time.monotonic()
        _, show = self.start(self.folder(), {"SDL_AUDIODRIVER": "nonexistent"}, with_x=False)
        self.assertEqual(show.wait(timeout=120), 0, show.stdout())
        self.assertGreater(time.monotonic() - started, 72.0)
        # With no X server SDL falls back to a display without 800x600, or to none at all;
        # either way the window's box text reaches standard error, as no box can show.
        out = show.stdout()
        self.assertRegex(out, r"Window error: Unable to switch to fullscreen|"
                              r"Error: Unable to register window class")
        self.assertIn("Error: BASS error on init!", out)
        self.assertIn("Error: BASS error: Can't play the stream\n", out)


if __name__ == "__main__":
    unittest.main()
