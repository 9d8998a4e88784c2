# The shared harness (tests/e2e), and the Windows build under Wine: each run gets a fresh
# Wine prefix. Message boxes are X windows under Wine, found by title and dismissed with a
# key; Wine's message-box trace (WINEDEBUG=+msgbox) tells the text each one showed. Sound
# goes to ALSA's null device, so the show has an output device without a sound card.
import os
import re
import shutil
import subprocess
import sys
import tempfile

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
from harness import *  # noqa: E402,F401,F403
from harness import BUILD_DIR, Show  # noqa: E402


class WinePrefix:
    # A fresh Wine prefix for the X server `server`; stop() ends its processes, removes it.
    # The programs it starts are killed, if still running, when the test ends (`defer`).

    def __init__(self, server, defer):
        self.defer = defer
        self.folder = tempfile.mkdtemp(prefix="hopsasa-wine-")
        alsa = os.path.join(self.folder, "alsa-null.conf")
        with open(alsa, "w") as f:
            f.write("</usr/share/alsa/alsa.conf>\npcm.!default { type null }\n")
        self.env = dict(server.env, WINEPREFIX=os.path.join(self.folder, "prefix"),
                        WINEDEBUG="-all", WINEDLLOVERRIDES="winemenubuilder.exe=d",
                        ALSA_CONFIG_PATH=alsa)
        subprocess.run(["wineboot", "-i"], env=self.env, check=True, capture_output=True,
                       timeout=120)
        # wineboot returns before the prefix's services are all up.
        subprocess.run(["wineserver", "-w"], env=self.env, check=True, timeout=120)

    def start_session(self):
        # Keeps Wine's session up until stop(), for many programs in a row or side by side:
        # the wineserver and Wine's own background programs otherwise end a few seconds after
        # the last program and take seconds to start again. Wine registers the sound devices
        # when a program first looks for them, and two programs doing so at once can each
        # lose the other's registration; so they are looked for here first.
        quiet = dict(env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "--persistent"], check=True, timeout=30, **quiet)
        subprocess.run(["wine", "rundll32", "winmm.dll,waveOutGetNumDevs"], check=True,
                       timeout=120, **quiet)

    def start(self, workdir, exe):
        # `exe` in `workdir`; its standard error is Wine's trace.
        show = WineShow(None, workdir, command=["wine", exe], split=True,
                        extra_env=dict(self.env, WINEDEBUG="-all,+msgbox"))
        self.defer(show.kill)
        return show

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=30)
        shutil.rmtree(self.folder, ignore_errors=True)


class WineShow(Show):
    def box_texts(self):
        # The text of every message box shown so far, in order.
        texts = re.findall(r'trace:msgbox:MSGBOX_OnInit L"((?:[^"\\]|\\.)*)"', self.stderr())
        return [t.replace("\\n", "\n").replace('\\"', '"').replace("\\\\", "\\") for t in texts]


@pytest.fixture
def wine(xvfb, defer):
    # wine(width, height): an Xvfb of that size and a fresh prefix on it.
    def start(*size):
        server = xvfb(*size)
        prefix = WinePrefix(server, defer)
        defer(prefix.stop)
        return server, prefix
    return start


TESTS_EXE = os.path.join(BUILD_DIR, "windows", "tests", "hopsasa_tests.exe")
