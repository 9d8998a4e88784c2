"""The real program in a real X server (Xvfb): it plays every scene and ends by itself, starts
at a later moment, checks its command line, ends cleanly on signals at any stage, and plays
to its end with neither a display nor a sound card."""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from harness import (PROGRAM, SOURCE_DIR, Show, Xvfb, colour, near, pixel, show_length,  # noqa: E402
                     show_list, wait_for, write_test_show)


class ShowTest(unittest.TestCase):
    def folder(self, missing=()):
        """A test show without the `missing` files."""
        path = tempfile.mkdtemp(prefix="hopsasa-show-")
        self.addCleanup(shutil.rmtree, path, True)
        write_test_show(path)
        for name in missing:
            os.remove(os.path.join(path, name))
        return path

    def start(self, workdir, extra_env=None, args=(), with_x=True):
        self.xvfb = None
        if with_x:
            self.xvfb = Xvfb(800, 600)
            self.addCleanup(self.xvfb.stop)
        show = Show(self.xvfb, workdir, extra_env, args)
        self.addCleanup(show.kill)
        return show

    def test_plays_all_scenes_and_quits_by_itself(self):
        folder = self.folder()
        show = self.start(folder)
        self.assertIsNotNone(self.xvfb.find_window("hopsasa"), "no window titled hopsasa")
        started = time.monotonic()

        def screenshot_at(seconds, name):
            time.sleep(max(0.0, started + seconds - time.monotonic()))
            return self.xvfb.screenshot(os.path.join(folder, name))

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
        folder = self.folder()
        credits = show_list()[0][7]
        show = self.start(folder, args=("--from", str(credits.start + 1)))
        self.assertIsNotNone(self.xvfb.find_window("hopsasa"), "no window titled hopsasa")
        started = time.monotonic()
        time.sleep(1)
        shot = self.xvfb.screenshot(os.path.join(folder, "credits.png"))
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

    def test_sigterm_while_a_box_is_open_ends_the_program(self):
        show = self.start(self.folder(missing=["gubb.png"]))
        self.assertIsNotNone(self.xvfb.find_window("Error"), "the missing picture's box")
        show.signal(signal.SIGTERM)
        self.assertEqual(show.wait(timeout=5), 0)
        self.assertIn("'gubb.png'", show.stdout())

    def test_sigterm_during_loading_ends_the_program(self):
        # The real pictures take a moment to load; the signal arrives while they do.
        show = self.start(os.path.join(SOURCE_DIR, "data"))
        self.assertIsNotNone(self.xvfb.find_window("hopsasa"))
        show.signal(signal.SIGTERM)
        self.assertEqual(show.wait(timeout=15), 0)

    def test_soundtrack_opens_beside_the_picture_threads_at_every_start(self):
        # The soundtrack opens while threads decode the pictures, and each library sets up
        # some of its state on first use. A start that loses its soundtrack to two threads
        # doing that at once is rare, so the show starts many times, one at a time so that
        # its threads have the processors: each run ends once its music plays (the trace's
        # "play") or its loss is reported. Without a display a start takes a moment.
        folder = self.folder()
        trace = os.path.join(folder, "trace")

        def played():
            try:
                with open(trace) as lines:
                    return any(line.startswith("play ") for line in lines)
            except FileNotFoundError:
                return False

        lost = []
        for run in range(150):
            show = self.start(folder, {"HOPSASA_TRACE": trace}, with_x=False)
            wait_for(lambda: played() or "BASS" in show.stdout(), 30, step=0.01)
            show.signal(signal.SIGTERM)
            self.assertEqual(show.wait(timeout=10), 0)
            if not played() or "BASS" in show.stdout():
                lost.append(show.stdout())
            if os.path.exists(trace):
                os.remove(trace)
        self.assertFalse(lost, f"{len(lost)} of 150 starts lost the soundtrack, the first "
                               f"printing:\n{lost[0] if lost else ''}")

    def test_no_display_and_no_sound_card_still_plays_to_the_end(self):
        started = time.monotonic()
        show = self.start(self.folder(), {"SDL_AUDIODRIVER": "nonexistent"}, with_x=False)
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
