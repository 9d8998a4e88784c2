"""hopsasa-capture's encoding: the video's quality settings reach x264, and a frame that
cannot be written stops the capture with its name, however many threads write frames."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from harness import CAPTURE, show_list, write_test_show  # noqa: E402


class CaptureEncodingTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.show = tempfile.mkdtemp(prefix="hopsasa-capture-")
        write_test_show(cls.show)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.show, ignore_errors=True)

    def capture(self, *args):
        return subprocess.run([CAPTURE, *args], cwd=self.show, capture_output=True, text=True,
                              timeout=900)

    def out_dir(self):
        path = tempfile.mkdtemp(prefix="hopsasa-frames-")
        self.addCleanup(shutil.rmtree, path, True)
        return path

    def test_crf_and_preset_reach_the_encoder_and_are_checked(self):
        # x264 writes the settings it encoded with into the stream, as text.
        scenes = show_list(5)[0]
        for args, written in [([], [b"rc=crf", b"crf=18.0", b"subme=7"]),
                              (["--crf", "30", "--preset", "ultrafast"],
                               [b"crf=30.0", b"subme=0"])]:
            with self.subTest(args=args):
                video = os.path.join(self.out_dir(), "show.mp4")
                run = self.capture("--video", video, "--fps", "5", "--to",
                                   str(scenes[0].length), "--size", "320x240", *args)
                self.assertEqual(run.returncode, 0, run.stderr)
                with open(video, "rb") as f:
                    stream = f.read()
                for setting in written:
                    self.assertIn(setting, stream)

        for args, message in [
            (["--crf", "52"], "--crf takes a whole number from 0 to 51, not '52'"),
            (["--crf", "x"], "--crf takes a whole number"),
            (["--preset", "quick"], "--preset takes one of ultrafast"),
        ]:
            with self.subTest(args=args):
                run = self.capture("--video", "a.mp4", *args)
                self.assertEqual(run.returncode, 2, run.stderr)
                self.assertIn(message, run.stderr)
        for args in (["--crf", "20"], ["--preset", "fast"]):
            with self.subTest(args=args):
                run = self.capture("--frames", self.out_dir(), *args)
                self.assertEqual(run.returncode, 2, run.stderr)
                self.assertIn("--crf and --preset are for --video only", run.stderr)

    def test_a_frame_that_cannot_be_written_stops_the_capture(self):
        out = self.out_dir()
        # A folder where the fourth frame's file should go: its writer thread fails.
        os.mkdir(os.path.join(out, "frame_000003.png"))
        run = self.capture("--frames", out, "--fps", "5")
        self.assertEqual(run.returncode, 1, run.stderr)
        self.assertIn("cannot write " + os.path.join(out, "frame_000003.png"), run.stderr)
        self.assertNotIn("captured", run.stderr)
        self.assertLess(len(os.listdir(out)), 40, "the capture stopped soon after")


if __name__ == "__main__":
    unittest.main()
