"""The whole show in a real X server: it plays every scene and ends by itself."""
import os
import shutil
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from harness import Show, Xvfb, near, pixel, write_test_show  # noqa: E402


class ShowTest(unittest.TestCase):
    def test_plays_all_scenes_and_quits_by_itself(self):
        folder = tempfile.mkdtemp(prefix="hopsasa-show-")
        self.addCleanup(shutil.rmtree, folder, True)
        write_test_show(folder)
        xvfb = Xvfb(800, 600)
        self.addCleanup(xvfb.stop)
        show = Show(xvfb, folder)
        self.addCleanup(show.kill)
        self.assertIsNotNone(xvfb.find_window("hopsasa"), "no window titled hopsasa")
        started = time.monotonic()

        def screenshot_at(seconds, name):
            time.sleep(max(0.0, started + seconds - time.monotonic()))
            return xvfb.screenshot(os.path.join(folder, name))

        # Moments in the middle of scenes, far from their ends: the title (0-5 s), the
        # talking crab on white (40-45 s) and the credits (67-72 s).
        title = screenshot_at(2.5, "title.png")
        self.assertTrue(near(pixel(title, 400, 100), (255, 0, 0)), "title card, upright")
        self.assertTrue(near(pixel(title, 400, 500), (0, 0, 255)))
        crab = screenshot_at(42.5, "crab.png")
        self.assertTrue(near(pixel(crab, 5, 5), (255, 255, 255)), "white backdrop")
        credits = screenshot_at(69.5, "credits.png")
        self.assertTrue(near(pixel(credits, 400, 300), (90, 200, 90)), "credits")

        status = show.wait(timeout=30)
        lasted = time.monotonic() - started
        self.assertEqual(status, 0, show.stdout())
        self.assertGreater(lasted, 72.0)
        self.assertEqual(show.stdout(), "", "no message with every file present")


if __name__ == "__main__":
    unittest.main()
