"""The program's window in a real X server: it opens, presents frames and quits."""
import os
import signal
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from harness import SOURCE_DIR, Show, Xvfb  # noqa: E402

DATA = os.path.join(SOURCE_DIR, "data")


class WindowTest(unittest.TestCase):
    def start(self, width=800, height=600, workdir=DATA):
        self.xvfb = Xvfb(width, height)
        self.addCleanup(self.xvfb.stop)
        self.show = Show(self.xvfb, workdir)
        self.addCleanup(self.show.kill)
        return self.show

    def test_escape_quits_within_a_second(self):
        show = self.start()
        wid = self.xvfb.find_window("hopsasa")
        self.assertIsNotNone(wid, "no window titled hopsasa")
        time.sleep(1.0)
        self.assertTrue(show.running())
        pressed = time.monotonic()
        self.xvfb.press(wid, "Escape")
        status = show.wait(timeout=5)
        self.assertEqual(status, 0, show.stdout())
        self.assertLess(time.monotonic() - pressed, 1.5)

    def test_close_request_quits(self):
        show = self.start()
        wid = self.xvfb.find_window("hopsasa")
        self.assertIsNotNone(wid)
        time.sleep(1.0)
        self.xvfb.request_close(wid)
        self.assertEqual(show.wait(timeout=5), 0, show.stdout())

    def test_screen_without_800x600_shows_the_box_and_runs_on(self):
        show = self.start(1024, 768)
        box = self.xvfb.find_window("Window error")
        self.assertIsNotNone(box, "no box titled 'Window error'")
        self.assertIsNone(self.xvfb.find_window("hopsasa", timeout=0.5))
        self.assertTrue(self.xvfb.dismiss(box, "Return"), "Return dismisses the box")
        time.sleep(1.5)
        self.assertTrue(show.running(), "the program must run on without a window")
        show.signal(signal.SIGTERM)
        self.assertEqual(show.wait(timeout=5), 0, show.stdout())


if __name__ == "__main__":
    unittest.main()
