"""hopsasa-capture: frame-exact frames and video of the show, and clear errors."""
import filecmp
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from harness import CAPTURE, colour, near, pixel, show_frames, show_list, write_test_show  # noqa: E402,E501


class CaptureTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.show = tempfile.mkdtemp(prefix="hopsasa-capture-")
        write_test_show(cls.show)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.show, ignore_errors=True)

    def capture(self, *args, env=None):
        return subprocess.run([CAPTURE, *args], cwd=self.show, capture_output=True, text=True,
                              env=env, timeout=900)

    def out_dir(self):
        path = tempfile.mkdtemp(prefix="hopsasa-frames-")
        self.addCleanup(shutil.rmtree, path, True)
        return path

    def test_frames_are_exact_and_a_later_start_draws_the_same_frames(self):
        first, later = self.out_dir(), self.out_dir()
        run = self.capture("--frames", first, "--fps", "5")
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(run.stdout, "", "no message with every file present")
        names = sorted(os.listdir(first))
        self.assertEqual(len(names), show_frames(5))
        self.assertIn("captured %d frames" % show_frames(5), run.stderr)
        self.assertEqual(names[0], "frame_000000.png")
        self.assertEqual(names[-1], "frame_%06d.png" % (show_frames(5) - 1))

        scenes = show_list(5)[0]
        frame = lambda folder, k: os.path.join(folder, "frame_%06d.png" % k)
        at = lambda scene, t: scenes[scene].first_frame + round(t * 5)
        self.assertTrue(near(pixel(frame(first, at(0, 2)), 400, 100), (255, 0, 0)),
                        "upright: red on top")
        self.assertTrue(near(pixel(frame(first, at(0, 2)), 400, 500), (0, 0, 255)))
        # Frame k is the show at k / 5 seconds: the last scene's picture in its last seconds.
        self.assertTrue(near(pixel(frame(first, at(7, 4.2)), 400, 300), colour("sprCredits")))

        # Started later, the capture draws the very same frames from its first one on: the
        # old man on his way up, the party, the blob burst in flight, the spinning card.
        moments = [(1, 7.4), (2, 10.2), (5, 4.4), (6, 9.6)]
        for scene, t in moments:
            with self.subTest(scene=scene, t=t):
                k = at(scene, t)
                run = self.capture("--frames", later, "--fps", "5", "--from", "%.1f" % (k / 5),
                                   "--to", "%.1f" % ((k + 2) / 5))
                self.assertEqual(run.returncode, 0, run.stderr)
                for n in (k, k + 1):
                    self.assertTrue(filecmp.cmp(frame(first, n), frame(later, n), shallow=False),
                                    "frame %d" % n)
        self.assertEqual(len(os.listdir(later)), 2 * len(moments), "--to stops in time")

    def test_video_holds_every_frame_and_the_soundtrack(self):
        video = os.path.join(self.out_dir(), "show.mp4")
        run = self.capture("--video", video, "--fps", "5", "--size", "640x360")
        self.assertEqual(run.returncode, 0, run.stderr)
        probe = json.loads(subprocess.run(
            ["ffprobe", "-v", "error", "-show_streams", "-show_format", "-count_frames",
             "-of", "json", video], check=True, capture_output=True, text=True).stdout)
        streams = {s["codec_type"]: s for s in probe["streams"]}
        v = streams["video"]
        self.assertEqual((v["codec_name"], v["width"], v["height"], v["pix_fmt"]),
                         ("h264", 640, 360, "yuv420p"))
        self.assertEqual(int(v["nb_read_frames"]), show_frames(5))
        self.assertIn("audio", streams, "the soundtrack is muxed")
        self.assertEqual(streams["audio"]["codec_name"], "aac")
        self.assertAlmostEqual(float(probe["format"]["duration"]), show_frames(5) / 5, delta=0.3)

        still = os.path.join(self.out_dir(), "still.png")
        subprocess.run(["ffmpeg", "-v", "error", "-ss", "2", "-i", video, "-frames:v", "1",
                        still], check=True)
        self.assertTrue(near(pixel(still, 320, 60), (255, 0, 0), 40), "upright in the video")
        self.assertTrue(near(pixel(still, 320, 300), (0, 0, 255), 40))
        self.assertTrue(near(pixel(still, 20, 180), (0, 0, 0), 20), "pillarbox bars")

    def test_bad_arguments_and_outputs_are_refused_clearly(self):
        cases = [
            ([], 2, "give either --frames DIR or --video FILE"),
            (["--frames"], 2, "'--frames' needs a value"),
            (["--frames", "/tmp", "--fps", "0"], 2, "--fps takes a whole number"),
            (["--frames", "/tmp", "--fps", "x"], 2, "--fps takes a whole number"),
            (["--video", "a.mp4", "--size", "640"], 2, "--size takes WIDTHxHEIGHT"),
            (["--frames", "/tmp", "--size", "640x360"], 2, "--size is for --video only"),
            (["--frames", "/tmp", "--video", "a.mp4"], 2, "give either"),
            (["--bogus", "1"], 2, "unknown option '--bogus'"),
            (["--frames", "/tmp", "--from", "-1"], 2, "--from takes seconds from 0 to below"),
            (["--frames", "/tmp", "--from", "1e3"], 2, "not '1e3'"),
            (["--frames", "/tmp", "--from", "80"], 2, "not 80: that is past the end"),
            (["--frames", "/tmp", "--from", "5", "--to", "5"], 2, "leaves no frame"),
            (["--list", "--frames", "/tmp"], 2, "--list takes no other option than --fps"),
            (["--frames", "/no/such/folder"], 1, "'/no/such/folder' does not exist"),
            (["--video", "/no/such/folder/a.mp4"], 1, "does not exist or is not writable"),
        ]
        for args, status, message in cases:
            with self.subTest(args=args):
                run = self.capture(*args)
                self.assertEqual(run.returncode, status, run.stderr)
                self.assertIn(message, run.stderr)

    def test_missing_ffmpeg_is_reported(self):
        empty = self.out_dir()
        env = dict(os.environ, PATH=empty)
        run = self.capture("--video", os.path.join(empty, "a.mp4"), env=env)
        self.assertEqual(run.returncode, 1)
        self.assertIn("cannot run ffmpeg", run.stderr)


if __name__ == "__main__":
    unittest.main()
