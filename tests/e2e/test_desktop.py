# The show on a desktop at 1024x768 that really switches modes (Xorg's dummy driver; root).
#
# During the show the display is at 800x600; afterwards it is back at 1024x768, however the
# show ended: by itself, on Escape, on a close request, on every signal that can end it,
# SIGKILL included. A guard process holds the desktop's mode: it closes every descriptor it
# inherits, holds no connection to the display while it waits, survives the signals a
# terminal sends to its whole process group, leaves with the show, and touches the display
# at the end only when the show did not end cleanly (the clean way out restores the mode
# itself and dismisses the guard). A show that already has a second thread when it switches
# the mode (one is preloaded into it) gets no guard and restores the mode from its signal
# handlers instead.
import os
import resource
import signal
import time

import pytest
from harness import (ASAN_OPTIONS, BUILD_DIR, Xorg, children, gone, show_list, state,
                     wait_for, write_test_show)

EXTRA_THREAD = os.path.join(BUILD_DIR, "tests", "e2e", "libhopsasa-extra-thread.so")
DESKTOP, SHOW_MODE = ("1024x768", "1024x768"), ("800x600", "800x600")
# What a terminal sends to its whole foreground process group: Ctrl+C, Ctrl+\, Ctrl+Z,
# hang-up; and the stops of background reads and writes.
TERMINAL_SIGNALS = (signal.SIGINT, signal.SIGQUIT, signal.SIGHUP, signal.SIGTERM,
                    signal.SIGTSTP, signal.SIGTTIN, signal.SIGTTOU)


def like_a_terminal():
    # In the show's process before it runs: the signal dispositions a terminal gives (a test
    # runner may have started this process with SIGINT and SIGQUIT ignored, which children
    # inherit), and no core files.
    for sig in (signal.SIGINT, signal.SIGQUIT, signal.SIGHUP):
        signal.signal(sig, signal.SIG_DFL)
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))


@pytest.fixture
def desktop(tmp_path, defer, show):
    # start(modes, folder, extra_env): an Xorg at 1024x768 and the show on it.
    def start(modes=("1024x768", "800x600", "640x480"), folder=None, extra_env=None):
        server = Xorg(tmp_path, modes)
        defer(server.stop)
        assert server.mode() == DESKTOP
        if folder is None:
            folder = tmp_path / "show"
            folder.mkdir()
            write_test_show(folder)
        return server, show(server, folder, extra_env, preexec_fn=like_a_terminal)
    return start


# Each makes the show end and returns its guard (the guard's pid, or None).
def terminal_then_kill(server, show, guard):
    for sig in TERMINAL_SIGNALS:
        os.kill(guard, sig)
    time.sleep(0.5)
    assert state(guard) in ("S", "R"), "the guard survives and is not stopped"
    show.signal(signal.SIGKILL)


ACTIONS = {"by_itself": lambda server, show, guard: None,  # the whole show
           "escape": lambda server, show, guard: server.send_key(
               server.find_window("hopsasa"), "Escape", focus=True),
           "close_request": lambda server, show, guard: server.request_close(
               server.find_window("hopsasa")),
           "terminal_then_sigkill": terminal_then_kill}
# How the show is made to end, whether it has a guard; its exit status follows: 0 for a
# clean way out, minus the signal for any other.
ENDINGS = [(a, True) for a in ACTIONS] + [(s, True) for s in (
    "SIGINT", "SIGTERM", "SIGHUP", "SIGQUIT", "SIGSEGV", "SIGABRT", "SIGBUS", "SIGFPE",
    "SIGILL", "SIGKILL")] + [(s, False) for s in ("SIGHUP", "SIGQUIT", "SIGSEGV")]


@pytest.mark.parametrize("ending, guarded", ENDINGS, ids=[
    e + ("" if g else "_without_a_guard") for e, g in ENDINGS])
def test_mode_is_back_after_the_show_ends(ending, guarded, desktop):
    # The sanitizer runtime must come first among the libraries; it need not here.
    server, show = desktop(extra_env=None if guarded else {
        "LD_PRELOAD": EXTRA_THREAD, "ASAN_OPTIONS": ASAN_OPTIONS + ":verify_asan_link_order=0"})
    assert server.find_window("hopsasa"), "no window titled hopsasa"
    assert wait_for(lambda: server.mode() == SHOW_MODE, 10), "the show runs at 800x600"
    guards = [pid for pid, name in children(show.process.pid) if name == "hopsasa-guard"]
    assert len(guards) == guarded, "one guard, none for a process that has threads"
    sig = getattr(signal, ending, None)
    status = -sig if sig in (signal.SIGQUIT, signal.SIGSEGV, signal.SIGABRT, signal.SIGBUS,
                             signal.SIGFPE, signal.SIGILL, signal.SIGKILL) else 0
    if ending == "terminal_then_sigkill":
        status = -signal.SIGKILL
    if guarded:
        held = {int(fd): os.readlink(f"/proc/{guards[0]}/fd/{fd}")
                for fd in os.listdir(f"/proc/{guards[0]}/fd")}
        assert sorted(held) == [0, 1, 2, 3, 4] and {held[0], held[1], held[2]} == {"/dev/null"}
        assert held[3].startswith("socket:"), held
        assert held[4] == "anon_inode:[pidfd]", "the guard watches the show"
        assert [c["open"] for c in server.connections() if c["pid"] == guards[0]] == [False], \
            "the guard read the mode and let go of the display"
    else:
        assert len(os.listdir(f"/proc/{show.process.pid}/task")) > 1
    time.sleep(1.0)  # into the scenes, the pictures loaded
    assert show.running()
    ended = time.monotonic()
    if sig:
        show.signal(sig)
    else:
        ACTIONS[ending](server, show, guards[0])
    assert show.wait(timeout=90) == status, show.stdout()
    assert wait_for(lambda: server.mode() == DESKTOP, 10), f"the mode is {server.mode()}"
    assert all(wait_for(lambda: gone(guard), 5) for guard in guards), "the guard leaves"
    connections = server.connections()
    for pid in [show.process.pid] + guards:
        assert not any(c["open"] for c in connections if c["pid"] == pid), pid
    # A clean end restores the mode itself and dismisses the guard, which then leaves the
    # display alone; any other end has the guard connect once more to restore.
    by_guard = [c for c in connections if guards and c["pid"] == guards[0]]
    assert len(by_guard) == (guarded and (1 if status == 0 else 2))
    if len(by_guard) == 2:
        # The server logs on the monotonic clock that time.monotonic() reads.
        print(f"restored by the guard {(by_guard[1]['closed'] - ended) * 1000:.0f} ms after "
              "the ending")


@pytest.mark.parametrize("sig", [signal.SIGKILL, signal.SIGTERM], ids=["SIGKILL", "SIGTERM"])
def test_mode_is_back_when_the_show_ends_with_a_box_open(sig, desktop, tmp_path, defer):
    # SDL draws its box in a fork of the show, which holds a copy of all the show holds
    # until the box is answered. The show's end brings the mode back all the same, and a
    # signal the show handles ends its box with it.
    write_test_show(tmp_path)
    os.remove(tmp_path / show_list()[1]["music"])
    server, show = desktop(folder=tmp_path)
    box = server.find_window("Error", timeout=30)
    assert box, f"the missing music's box: {show.stdout()!r}"
    assert server.mode() == SHOW_MODE
    helpers = children(show.process.pid)
    for pid, _ in helpers:
        defer(lambda pid: gone(pid) or os.kill(pid, signal.SIGKILL), pid)  # a box left behind
    guards = [pid for pid, name in helpers if name == "hopsasa-guard"]
    assert len(guards) == 1, helpers
    show.signal(sig)
    assert show.wait(timeout=10) == (0 if sig == signal.SIGTERM else -sig), show.stdout()
    assert wait_for(lambda: server.mode() == DESKTOP, 10), f"the mode is {server.mode()}"
    assert wait_for(lambda: gone(guards[0]), 5), "the guard leaves"
    if sig == signal.SIGTERM:
        assert wait_for(lambda: box not in server.windows(), 5), "the box goes with the show"
        assert all(gone(pid) for pid, _ in helpers), helpers


def test_screen_without_800x600_shows_the_box_and_runs_on(desktop):
    # What a real desktop alone shows: no mode switch and no guard (the Windows build's box
    # is tests/wine's).
    server, show = desktop(modes=("1024x768",))
    assert server.modes() == ["1024x768"]
    box = server.find_window("Window error")
    assert box, "no box titled 'Window error'"
    assert server.dismiss(box, "Return"), "Return dismisses the box"
    time.sleep(1.5)
    assert show.running(), "the program runs on without a window"
    assert server.find_window("hopsasa", timeout=0) is None
    assert children(show.process.pid) == [] and server.mode() == DESKTOP
    show.signal(signal.SIGTERM)
    assert show.wait(timeout=5) == 0, show.stdout()
    assert server.mode() == DESKTOP
