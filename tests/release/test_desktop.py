"""The Linux bundle on a desktop that has none of the show's build dependencies.

Each test unpacks the release's hopsasa-linux-x86_64.tar.gz into a fresh Debian 12 root
that holds only a desktop's libraries (tests/release/desktop-root, which this file runs
itself under) and plays it there. The X server is this machine's Xvfb, reached from the
root through its abstract socket as a desktop's server is; it has the X core fonts, so
message boxes show. The root has no sound server: the bundled PulseAudio library finds
none, and ALSA plays into its null device, as on a desktop with ALSA alone.
"""
import os
import shutil
import subprocess
import sys
import tarfile
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
sys.path.insert(0, os.path.join(HERE, "..", "wine"))
from harness import (CAPTURE, SOURCE_DIR, Show, Xvfb, show_length, show_list,  # noqa: E402
                     wait_for)
from wine import difference, thumbnail  # noqa: E402

RELEASE_DIR = os.environ.get("HOPSASA_RELEASE_DIR", os.path.join(SOURCE_DIR, "dist"))
BUNDLE = os.path.join(RELEASE_DIR, "hopsasa-linux-x86_64.tar.gz")
ROOT = os.environ.get("HOPSASA_DESKTOP_ROOT")

NO_MUSIC = [
    "BASS error: File not found?\n", "BASS Error!\nErrorcode: 4\n",
    "BASS error: Can't play the stream\n", "BASS Error!\nErrorcode: 6\n",
]


class RootShow(Show):
    """The bundle's launcher running in the root, with a clean environment, from `cwd` (a
    folder in the root); its standard output and error are kept apart."""

    def __init__(self, xvfb, launcher, cwd, args=()):
        env = ["HOME=/root", "LANG=C.UTF-8", "PATH=/usr/local/bin:/usr/bin:/bin",
               f"DISPLAY={xvfb.display}", "ALSA_CONFIG_PATH=/opt/alsa-null.conf"]
        self.output = tempfile.TemporaryFile(mode="w+")
        self.errors = tempfile.TemporaryFile(mode="w+")
        # chroot, env and the launcher each exec the next: the process is the show itself.
        self.process = subprocess.Popen(
            ["chroot", ROOT, "/usr/bin/env", "-i", "-C", cwd, *env, launcher, *args],
            stdout=self.output, stderr=self.errors)

    def stderr(self):
        self.errors.seek(0)
        return self.errors.read()

    def kill(self):
        super().kill()
        self.errors.close()


class DesktopRootTest(unittest.TestCase):
    def setUp(self):
        self.assertTrue(ROOT, "run under tests/release/desktop-root")
        self.assertTrue(os.path.isfile(BUNDLE),
                        f"{BUNDLE} is missing: scripts/release makes it (ctest runs release.make)")
        with open(os.path.join(ROOT, "opt", "alsa-null.conf"), "w") as f:
            f.write("</usr/share/alsa/alsa.conf>\npcm.!default { type null }\n")
        self.xvfb = Xvfb(800, 600)
        self.addCleanup(self.xvfb.stop)

    def unpack(self):
        """The bundle unpacked into a folder of its own in the root: the path of its one
        folder, as the root sees it."""
        inside = tempfile.mkdtemp(prefix="bundle-", dir=os.path.join(ROOT, "opt"))
        self.addCleanup(shutil.rmtree, inside, True)
        with tarfile.open(BUNDLE) as tar:
            tar.extractall(inside)
        (folder,) = os.listdir(inside)
        path = "/" + os.path.relpath(os.path.join(inside, folder), ROOT)
        # Every library the program and its bundled libraries need is there.
        for elf in ["bin/hopsasa"] + [f"lib/{n}" for n in os.listdir(self.outside(path, "lib"))]:
            ldd = subprocess.run(["chroot", ROOT, "/usr/bin/ldd", f"{path}/{elf}"],
                                 capture_output=True, text=True)
            self.assertEqual(ldd.returncode, 0, ldd.stderr)
            missing = [line.strip() for line in ldd.stdout.splitlines() if "not found" in line]
            self.assertEqual(missing, [], elf)
        return path

    def outside(self, path, *more):
        return os.path.join(ROOT, path.lstrip("/"), *more)

    def start(self, launcher, cwd="/", args=()):
        show = RootShow(self.xvfb, launcher, cwd, args)
        self.addCleanup(show.kill)
        return show

    def test_plays_the_whole_show_and_looks_like_the_capture(self):
        folder = self.unpack()
        # The capture tool's frames of the same files, two a second.
        frames = tempfile.mkdtemp(prefix="hopsasa-release-frames-")
        self.addCleanup(shutil.rmtree, frames, True)
        subprocess.run([CAPTURE, "--frames", frames, "--fps", "2"],
                       cwd=self.outside(folder, "data"), check=True, capture_output=True)
        capture = [thumbnail(os.path.join(frames, name)) for name in sorted(os.listdir(frames))]

        started = time.monotonic()
        show = self.start(f"{folder}/hopsasa")
        self.assertIsNotNone(self.xvfb.find_window("hopsasa", timeout=30),
                             show.stdout() + show.stderr())
        shots = tempfile.mkdtemp(prefix="hopsasa-release-shots-")
        self.addCleanup(shutil.rmtree, shots, True)

        def shot(name):
            return thumbnail(self.xvfb.screenshot(os.path.join(shots, name)))

        # The first scene begins when the loading picture goes: between the start of the
        # last screenshot that still shows it and the end of the first that does not.
        loading = shot("loading.png")
        still = time.monotonic()

        def gone():
            nonlocal still
            taken = time.monotonic()
            if difference(shot("now.png"), loading) > 10:
                return time.monotonic()
            still = taken
            return None
        after = wait_for(gone, timeout=60, step=0.1)
        self.assertTrue(after, "the loading picture never went away")
        began = (still + after) / 2

        # Halfway through the speech-bubble scene (the third), far from both of its ends.
        bubbles = show_list()[0][2]
        middle = bubbles.start + bubbles.length / 2
        time.sleep(max(0.0, began + middle - time.monotonic()))
        seen = shot("middle.png")
        distances = [difference(seen, frame) for frame in capture]
        best = min(range(len(capture)), key=lambda i: distances[i])
        message = f"best match: frame {best} ({best / 2} s) at {distances[best]:.1f}"
        print(message, file=sys.stderr)
        self.assertLess(distances[best], 6.0, message)
        self.assertLessEqual(abs(best / 2 - middle), 2.0, message)

        status = show.wait(timeout=show_length() + 30)
        self.assertEqual(status, 0, show.stdout() + show.stderr())
        self.assertGreater(time.monotonic() - started, show_length(), "every scene played")
        self.assertEqual(show.stdout(), "", "no message with every file present")
        self.assertEqual(show.stderr(), "")

    def test_without_its_music_reports_in_order_and_plays_on(self):
        folder = self.unpack()
        os.remove(self.outside(folder, "data", "music.mp3"))
        # Started by name from another folder, through a link on PATH.
        os.symlink(f"{folder}/hopsasa", os.path.join(ROOT, "usr", "local", "bin", "hopsasa"))
        self.addCleanup(os.remove, os.path.join(ROOT, "usr", "local", "bin", "hopsasa"))
        credits = show_list()[0][-1]
        show = self.start("hopsasa", cwd="/tmp", args=("--from", str(credits.start)))

        for shown in range(len(NO_MUSIC)):
            box = self.xvfb.find_window("Error", timeout=30)
            self.assertIsNotNone(box, f"box {shown + 1}: {show.stdout()!r} {show.stderr()!r}")
            self.assertEqual(show.stdout(), "".join(NO_MUSIC[:shown + 1]),
                             "each message before its box, in order")
            self.assertTrue(self.xvfb.dismiss(box, "Return"), "Return dismisses the box")
        self.assertIsNotNone(self.xvfb.find_window("hopsasa", timeout=30),
                             "the show goes on without its music")
        self.assertEqual(show.wait(timeout=credits.length + 30), 0, show.stderr())
        self.assertEqual(show.stdout(), "".join(NO_MUSIC))
        self.assertEqual(show.stderr(), "", "the boxes showed")


if __name__ == "__main__":
    if not ROOT:
        root_runner = os.path.join(HERE, "desktop-root")
        os.execv(root_runner, [root_runner, sys.executable, *sys.argv])
    unittest.main()
