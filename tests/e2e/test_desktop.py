"""The show on a desktop at 1024x768 that really switches modes (Xorg's dummy driver).

During the show the display is at 800x600; afterwards it is back at 1024x768, however the
show ended: by itself, on Escape, on a close request, on every signal that can end it,
SIGKILL included. A guard process holds the desktop's mode: it closes every descriptor it
inherits, holds no connection to the display while it waits, survives the signals a
terminal sends to its whole process group, leaves with the show, and touches the display
at the end only when the show did not end cleanly (the clean way out restores the mode
itself and dismisses the guard). A show that already has a second thread when it switches
the mode (one is preloaded into it) gets no guard and restores the mode from its signal
handlers instead. Each ending is its own test, generated from ENDINGS.
"""
import os
import resource
import shutil
import signal
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from harness import (ASAN_OPTIONS, BUILD_DIR, Show, Xorg, show_list, wait_for,  # noqa: E402
                     write_test_show)

EXTRA_THREAD = os.path.join(BUILD_DIR, "tests", "e2e", "libhopsasa-extra-thread.so")

DESKTOP = ("1024x768", "1024x768")
SHOW_MODE = ("800x600", "800x600")

# Signals a terminal sends to its whole foreground process group: Ctrl+C, Ctrl+\, Ctrl+Z,
# hang-up; and the stops of background reads and writes.
TERMINAL_SIGNALS = (signal.SIGINT, signal.SIGQUIT, signal.SIGHUP, signal.SIGTERM, signal.SIGTSTP,
                    signal.SIGTTIN, signal.SIGTTOU)


# Each returns the moment the show was told to end (time.monotonic()).
def end_by_itself(test, show, guard):
    return time.monotonic()  # the whole show: 72 seconds


def press_escape(test, show, guard):
    test.xorg.press(test.window, "Escape")
    return time.monotonic()


def request_close(test, show, guard):
    test.xorg.request_close(test.window)
    return time.monotonic()


def send(sig):
    def action(test, show, guard):
        sent = time.monotonic()
        show.signal(sig)
        return sent
    return action


def kill_after_the_terminal_signalled_the_guard(test, show, guard):
    for sig in TERMINAL_SIGNALS:
        os.kill(guard, sig)
    time.sleep(0.5)
    test.assertIn(process_state(guard), ("S", "R"), "the guard survives and is not stopped")
    return send(signal.SIGKILL)(test, show, guard)


# name, how the show is made to end, its exit status, whether that is the clean way out,
# whether the show has a guard.
ENDINGS = [
    ("by_itself", end_by_itself, 0, True, True),
    ("on_escape", press_escape, 0, True, True),
    ("on_a_close_request", request_close, 0, True, True),
    ("on_sigint", send(signal.SIGINT), 0, True, True),
    ("on_sigterm", send(signal.SIGTERM), 0, True, True),
    ("on_sighup", send(signal.SIGHUP), 0, True, True),
    ("on_sigquit", send(signal.SIGQUIT), -signal.SIGQUIT, False, True),
    ("on_sigsegv", send(signal.SIGSEGV), -signal.SIGSEGV, False, True),
    ("on_sigabrt", send(signal.SIGABRT), -signal.SIGABRT, False, True),
    ("on_sigbus", send(signal.SIGBUS), -signal.SIGBUS, False, True),
    ("on_sigfpe", send(signal.SIGFPE), -signal.SIGFPE, False, True),
    ("on_sigill", send(signal.SIGILL), -signal.SIGILL, False, True),
    ("on_sigkill", send(signal.SIGKILL), -signal.SIGKILL, False, True),
    ("on_sigkill_after_the_terminal_signalled_the_guard",
     kill_after_the_terminal_signalled_the_guard, -signal.SIGKILL, False, True),
    ("on_sighup_without_a_guard", send(signal.SIGHUP), 0, True, False),
    ("on_sigquit_without_a_guard", send(signal.SIGQUIT), -signal.SIGQUIT, False, False),
    ("on_sigsegv_without_a_guard", send(signal.SIGSEGV), -signal.SIGSEGV, False, False),
]


def process_state(pid):
    """The state letter of /proc/PID/stat, or None once the process is gone."""
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0]
    except (FileNotFoundError, ProcessLookupError, IndexError):
        return None


def gone(pid):
    return process_state(pid) in (None, "Z")


def children(pid):
    """(pid, name) of each living child of the process."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as stat:
                text = stat.read()
        except OSError:
            continue
        name = text[text.index("(") + 1:text.rindex(")")]
        fields = text.rsplit(")", 1)[1].split()
        if int(fields[1]) == pid and fields[0] != "Z":
            found.append((int(entry), name))
    return found


def end_if_left(pid):
    """Kills the process if it is still there."""
    try:
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


def descriptors(pid):
    """{fd: what it refers to} of a process."""
    folder = f"/proc/{pid}/fd"
    return {int(fd): os.readlink(os.path.join(folder, fd)) for fd in os.listdir(folder)}


def start_show(xorg, folder, extra_env=None):
    """The show with the signal dispositions a terminal gives (a test runner may have
    started this process with SIGINT and SIGQUIT ignored, which children inherit) and no
    core files."""
    dispositions = {sig: signal.getsignal(sig)
                    for sig in (signal.SIGINT, signal.SIGQUIT, signal.SIGHUP)}
    core = resource.getrlimit(resource.RLIMIT_CORE)
    try:
        for sig in dispositions:
            signal.signal(sig, signal.SIG_DFL)
        resource.setrlimit(resource.RLIMIT_CORE, (0, core[1]))
        return Show(xorg, folder, extra_env)
    finally:
        for sig, disposition in dispositions.items():
            signal.signal(sig, disposition)
        resource.setrlimit(resource.RLIMIT_CORE, core)


class DesktopTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="hopsasa-desktop-")
        write_test_show(cls.folder)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, True)

    def start(self, modes=("1024x768", "800x600", "640x480"), extra_env=None, folder=None):
        self.xorg = Xorg(modes)
        self.addCleanup(self.xorg.stop)
        self.assertEqual(self.xorg.mode(), DESKTOP)
        show = start_show(self.xorg, folder or self.folder, extra_env)
        self.addCleanup(show.kill)
        return show

    def check_ending(self, action, status, clean, guarded):
        # The sanitizer runtime must come first among the libraries; it need not here.
        show = self.start(extra_env=None if guarded else {
            "LD_PRELOAD": EXTRA_THREAD,
            "ASAN_OPTIONS": ASAN_OPTIONS + ":verify_asan_link_order=0"})
        self.window = self.xorg.find_window("hopsasa")
        self.assertIsNotNone(self.window, "no window titled hopsasa")
        wait_for(lambda: self.xorg.mode() == SHOW_MODE, 10)
        self.assertEqual(self.xorg.mode(), SHOW_MODE, "the show runs at 800x600")

        guards = [pid for pid, name in children(show.process.pid) if name == "hopsasa-guard"]
        if not guarded:
            self.assertEqual(guards, [], "no guard for a process that has threads")
            self.assertGreater(len(os.listdir(f"/proc/{show.process.pid}/task")), 1)
            time.sleep(1.0)
            action(self, show, None)
            self.assertEqual(show.wait(timeout=90), status, show.stdout())
            self.assertTrue(wait_for(lambda: self.xorg.mode() == DESKTOP, 10),
                            f"the desktop's mode is back, not {self.xorg.mode()}")
            self.assertFalse(any(c["open"] for c in self.xorg.connections()
                                 if c["pid"] == show.process.pid))
            return
        self.assertEqual(len(guards), 1, "one guard")
        guard = guards[0]
        held = descriptors(guard)
        self.assertEqual(sorted(held), [0, 1, 2, 3, 4], held)
        self.assertEqual({held[0], held[1], held[2]}, {"/dev/null"})
        self.assertTrue(held[3].startswith("socket:"), held)
        self.assertEqual(held[4], "anon_inode:[pidfd]", "the guard watches the show")
        self.assertEqual([c["open"] for c in self.xorg.connections() if c["pid"] == guard],
                         [False], "the guard read the mode and let go of the display")

        time.sleep(1.0)  # into the scenes, the pictures loaded
        self.assertTrue(show.running())
        ended = action(self, show, guard)
        self.assertEqual(show.wait(timeout=90), status, show.stdout())
        back = wait_for(lambda: self.xorg.mode() == DESKTOP, 10)
        self.assertTrue(back, f"the desktop's mode is back, not {self.xorg.mode()}")

        self.assertTrue(wait_for(lambda: gone(guard), 5), "the guard leaves with the show")
        connections = self.xorg.connections()
        for pid in (show.process.pid, guard):
            self.assertFalse(any(c["open"] for c in connections if c["pid"] == pid),
                             f"process {pid} left a connection open")
        # A clean end restores the mode itself and dismisses the guard, which then leaves
        # the display alone; any other end has the guard connect once more to restore.
        guarded = [c for c in connections if c["pid"] == guard]
        self.assertEqual(len(guarded), 1 if clean else 2)
        self.assertEqual(self.xorg.mode(), DESKTOP)
        if not clean:
            # The server logs on the monotonic clock that time.monotonic() reads.
            print(f"restored by the guard {(guarded[1]['closed'] - ended) * 1000:.0f} ms after "
                  "the signal", file=sys.stderr)

    def test_mode_is_back_when_the_show_ends_with_a_box_open(self):
        # SDL draws its box in a fork of the show, which holds a copy of all the show holds
        # until the box is answered. The show's end brings the mode back all the same, and a
        # signal the show handles ends its box with it.
        folder = tempfile.mkdtemp(prefix="hopsasa-desktop-box-")
        self.addCleanup(shutil.rmtree, folder, True)
        write_test_show(folder)
        os.remove(os.path.join(folder, show_list()[1]["music"]))
        for sig, status in ((signal.SIGKILL, -signal.SIGKILL), (signal.SIGTERM, 0)):
            with self.subTest(signal=sig.name):
                show = self.start(folder=folder)
                box = self.xorg.find_window("Error", timeout=30)
                self.assertIsNotNone(box, f"the missing music's box: {show.stdout()!r}")
                self.assertEqual(self.xorg.mode(), SHOW_MODE)
                helpers = children(show.process.pid)
                for pid, _ in helpers:
                    self.addCleanup(end_if_left, pid)  # a box SIGKILL left behind
                guards = [pid for pid, name in helpers if name == "hopsasa-guard"]
                self.assertEqual(len(guards), 1, helpers)

                show.signal(sig)
                self.assertEqual(show.wait(timeout=10), status, show.stdout())
                self.assertTrue(wait_for(lambda: self.xorg.mode() == DESKTOP, 10),
                                f"the desktop's mode is back, not {self.xorg.mode()}")
                self.assertTrue(wait_for(lambda: gone(guards[0]), 5), "the guard leaves")
                if status == 0:
                    self.assertTrue(wait_for(lambda: box not in dict(self.xorg.windows()), 5),
                                    "the box goes with the show")
                    self.assertTrue(all(gone(pid) for pid, _ in helpers), helpers)

    def test_screen_without_800x600_shows_the_box_and_runs_on(self):
        show = self.start(modes=("1024x768",))
        self.assertEqual(self.xorg.modes(), ["1024x768"])
        box = self.xorg.find_window("Window error")
        self.assertIsNotNone(box, "no box titled 'Window error'")
        self.assertTrue(self.xorg.dismiss(box, "Return"), "Return dismisses the box")
        time.sleep(1.5)
        self.assertTrue(show.running(), "the program runs on without a window")
        self.assertIsNone(self.xorg.find_window("hopsasa", timeout=0))
        self.assertEqual(children(show.process.pid), [], "no mode switch, no guard")
        self.assertEqual(self.xorg.mode(), DESKTOP)
        show.signal(signal.SIGTERM)
        self.assertEqual(show.wait(timeout=5), 0, show.stdout())
        self.assertEqual(self.xorg.mode(), DESKTOP)


def ending_test(ending):
    def test(self):
        self.check_ending(*ending)
    return test


for _name, *_ending in ENDINGS:
    setattr(DesktopTest, f"test_mode_is_back_after_the_show_ends_{_name}", ending_test(_ending))


if __name__ == "__main__":
    unittest.main()
