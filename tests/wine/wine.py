"""Runs the Windows build of the show under Wine, in an Xvfb of the Linux tests' harness.

Each run gets a fresh Wine prefix. Message boxes are X windows under Wine: they are found
by title and dismissed with a key, and Wine's message-box trace (WINEDEBUG=+msgbox) tells
the text each one showed. Sound goes to ALSA's null device, so the show has an output
device on a machine without a sound card.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
from harness import BUILD_DIR, CONVERT, Show, wait_for  # noqa: E402

EXE = os.path.join(BUILD_DIR, "windows", "hopsasa.exe")


class WinePrefix:
    """A fresh Wine prefix for the X server `xvfb`; stop() ends its processes and removes it."""

    def __init__(self, xvfb):
        self.folder = tempfile.mkdtemp(prefix="hopsasa-wine-")
        alsa = os.path.join(self.folder, "alsa-null.conf")
        with open(alsa, "w") as f:
            f.write("</usr/share/alsa/alsa.conf>\npcm.!default { type null }\n")
        self.env = dict(xvfb.env, WINEPREFIX=os.path.join(self.folder, "prefix"),
                        WINEDEBUG="-all", WINEDLLOVERRIDES="winemenubuilder.exe=d",
                        ALSA_CONFIG_PATH=alsa)
        subprocess.run(["wineboot", "-i"], env=self.env, check=True, capture_output=True,
                       timeout=120)
        # wineboot returns before the prefix's services are all up; wait for them.
        subprocess.run(["wineserver", "-w"], env=self.env, check=True, timeout=120)

    def start_session(self):
        """Starts Wine's session and keeps it up until stop(), for many programs in a row or
        side by side.

        The wineserver and Wine's own background programs otherwise end a few seconds after
        the last program, and the next one starts them again, which takes seconds. Wine
        registers the sound devices when a program first looks for them; two programs doing
        so at once can each lose the other's registration, and one then opens no device. So
        the devices are looked for here first. None of this gets anyone's standard output.
        """
        quiet = dict(env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "--persistent"], check=True, timeout=30, **quiet)
        # Counting the wave-out devices finds them.
        subprocess.run(["wine", "rundll32", "winmm.dll,waveOutGetNumDevs"], check=True,
                       timeout=120, **quiet)

    def start(self, workdir, exe=EXE):
        """The show `exe`, in `workdir`."""
        return WineShow(dict(self.env, WINEDEBUG="-all,+msgbox"), workdir, exe)

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, check=False, capture_output=True)
        subprocess.run(["wineserver", "-w"], env=self.env, check=False, timeout=30)
        shutil.rmtree(self.folder, ignore_errors=True)


class WineShow(Show):
    """hopsasa.exe running under Wine, with its standard output and Wine's trace collected."""

    def __init__(self, env, workdir, exe=EXE):
        # Started its own way; waiting, output and killing are Show's.
        self.env = env
        self.output = tempfile.TemporaryFile(mode="w+")
        self.trace = tempfile.TemporaryFile(mode="w+", errors="replace")
        self.process = subprocess.Popen(["wine", exe], cwd=workdir, env=env,
                                        stdout=self.output, stderr=self.trace)

    def box_texts(self):
        """The text of every message box shown so far, in order."""
        self.trace.seek(0)
        texts = re.findall(r'trace:msgbox:MSGBOX_OnInit L"((?:[^"\\]|\\.)*)"', self.trace.read())
        return [t.replace("\\n", "\n").replace('\\"', '"').replace("\\\\", "\\") for t in texts]

    def kill(self):
        super().kill()
        self.trace.close()


def press(xvfb, wid, key):
    """Sends a key to a window; there is no window manager to give it the focus."""
    xvfb.run("xdotool", "key", "--window", str(wid), key, check=False)


def dismiss_boxes(xvfb, title, count, timeout):
    """Presses Return in `count` boxes titled `title` as they appear; how many it found."""
    found = 0
    while found < count:
        box = xvfb.find_window(title, timeout=timeout)
        if box is None:
            break
        found += 1
        press(xvfb, box, "Return")
        wait_for(lambda: box not in [w for w, _ in xvfb.windows()], 5)
    return found


def thumbnail(png, width=80, height=60):
    """The picture scaled to `width` x `height`, as rows of (r, g, b)."""
    ppm = subprocess.run([CONVERT, png, "-resize", f"{width}x{height}!", "-depth", "8", "ppm:-"],
                         check=True, capture_output=True).stdout
    # "P6\n80 60\n255\n" and then the pixels
    header_end = 0
    for _ in range(3):
        header_end = ppm.index(b"\n", header_end) + 1
    return ppm[header_end:]


def difference(a, b):
    """How far apart two thumbnails are: the mean absolute difference per channel, 0 to 255."""
    return sum(abs(x - y) for x, y in zip(a, b)) / len(a)
