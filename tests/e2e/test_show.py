"""The whole show in a real X server: it plays every scene and ends by itself."""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from harness import PROGRAM, Show, Xvfb, colour, near, pixel, show_length, show_list, write_test_show  # noqa: E402,E501


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

        # Moments in the middle of scenes, far from their ends: the title, the talking crab
        # on white and the credits.
        scenes = show_list()[0]
        middle = lambda scene: scenes[scene].start + scenes[scene].length / 2
        title = screenshot_at(middle(0), "title.png")
        self.assertTrue(near(pixel(title, 400, 100), (255, 0, 0)), "title card, upright")
        self.assertTrue(near(pixel(title, 400, 500), (0, 0, 255)))
        crab = screenshot_at(middle(3), "crab.png")
        self.assertTrue(near(pixel(crab, 5, 5), (255, 255, 255)), "white backdrop")
        credits = screenshot_at(middle(7), "credits.png")
        self.assertTrue(near(pixel(credits, 400, 300), colour("sprCredits")), "credits")

        status = show.wait(timeout=30)
        lasted = time.monotonic() - started
        self.assertEqual(status, 0, show.stdout())
        self.assertGreater(lasted, show_length())
        self.assertEqual(show.stdout(), "", "no message with every file present")

    def test_starts_at_a_later_moment_and_plays_on_from_there(self):
        folder = tempfile.mkdtemp(prefix="hopsasa-show-")
        self.addCleanup(shutil.rmtree, folder, True)
        write_test_show(folder)
        xvfb = Xvfb(800, 600)
        self.addCleanup(xvfb.stop)
        credits = show_list()[0][7]
        show = Show(xvfb, folder, args=("--from", str(credits.start + 1)))
        self.addCleanup(show.kill)
        self.assertIsNotNone(xvfb.find_window("hopsasa"), "no window titled hopsasa")
        started = time.monotonic()
        time.sleep(1)
        shot = xvfb.screenshot(os.path.join(folder, "credits.png"))
        self.assertTrue(near(pixel(shot, 400, 300), colour("sprCredits")), "the credits at once")
        self.assertEqual(show.wait(timeout=30), 0, show.stdout())
        self.assertLess(time.monotonic() - started, credits.length + 5, "then to the end")
        self.assertEqual(show.stdout(), "")

    def test_command_line_is_checked_before_anything_starts(self):
        usage = subprocess.run([PROGRAM, "--help"], capture_output=True, text=True)
        self.assertEqual(usage.returncode, 0)
        self.assertIn("--from SECONDS", usage.stdout)
        cases = [("--from", "-2", "--from takes seconds from 0 to below"),
                 ("--from", "ten", "not 'ten'"),
                 ("--from", "500", "that is past the end"),
                 ("--from",  None, "--from needs a value"),
                 ("--speed", "2", "unknown option '--speed'")]
        for option, value, message in cases:
            with self.subTest(option=option, value=value):
                args = [PROGRAM, option] + ([value] if value is not None else [])
                run = subprocess.run(args, capture_output=True, text=True, timeout=10,
                                     env=dict(os.environ, DISPLAY=""))
                self.assertEqual(run.returncode, 2)
                self.assertIn(message, run.stderr)
                self.assertIn("usage: hopsasa [--from SECONDS]", run.stderr)


if __name__ == "__main__":
    unittest.main()
