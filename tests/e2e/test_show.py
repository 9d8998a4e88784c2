# The real program in a real X server (Xvfb): it starts at a later moment, checks its command
# line, ends cleanly on a signal while it loads, opens its soundtrack at every start, and
# plays to its end with neither a display nor a sound card. (The whole show on screen is
# the sound, rate and release tests'.)
import math
import os
import signal
import subprocess
import time

import pytest
from harness import DATA, PROGRAM, read_trace, show_length, show_list, wait_for


@pytest.mark.serial
@pytest.mark.timing
def test_a_later_start_goes_on_from_the_next_frame_on_its_clock(colour_show, tmp_path, xvfb,
                                                                 show):
    # Started between two frames of the last scene, the show goes on from the later frame,
    # on a clock that reads that frame's moment when the music is asked to play: its last
    # frame comes once the scene's end has passed on that clock, never before, and a frame
    # behind or a frame early is as late as a frame. A busy machine only delays the last
    # frame, so the quickest of a few runs counts.
    server = xvfb()
    last = show_list()[0][-1]
    start = last.start + 4.001
    left = last.first_frame / 60 + last.length - math.ceil(start * 60) / 60
    lates = []
    while len(lates) < 40 and min(lates, default=1) > 0.015:
        trace = tmp_path / f"trace-{len(lates)}"
        shown = show(server, colour_show, {"HOPSASA_TRACE": str(trace)},
                     args=("--from", str(start)))
        assert shown.wait(timeout=60) == 0, shown.stdout()
        events = read_trace(trace)
        play = next(t for name, t in events if name == "play")
        lates.append([t for name, t in events if name == "frame"][-1] - play - left)
        assert lates[-1] > -0.002, f"the last frame came {-lates[-1] * 1000:.1f} ms early"
    print("the last frame came late by (ms):", [round(late * 1000, 1) for late in lates])
    assert min(lates) < 0.015, "the show runs a frame behind the moment it was given"


# The moment's own checks are the capture's table too; here, the show's wording of them.
@pytest.mark.parametrize("args, message", [
    (["--from", "-2"], "--from takes seconds from 0 to 72.250 (the show's last frame at 60"),
    (["--from", "72.266"], "to 72.250 (the show's last frame at 60 frames a second), not 72.266"),
    (["extra"], "stray argument 'extra'"),
    (["--speed", "2"], "unknown option '--speed'"),
    (["--help"], None)])
def test_command_line_is_checked_before_anything_starts(args, message):
    run = subprocess.run([PROGRAM, *args], capture_output=True, text=True, timeout=10,
                         env=dict(os.environ, DISPLAY=""))
    if message is None:
        assert (run.returncode, "--from SECONDS" in run.stdout) == (0, True)
    else:
        assert run.returncode == 2
        assert message in run.stderr and "usage: hopsasa [--from SECONDS]" in run.stderr


def test_sigterm_while_the_pictures_load_ends_the_program(xvfb, show):
    # The real pictures take a moment to load. (A box open when SIGTERM comes is the
    # desktop tests'.)
    server = xvfb()
    shown = show(server, DATA)
    assert server.find_window("hopsasa")
    shown.signal(signal.SIGTERM)
    assert shown.wait(timeout=15) == 0


def test_soundtrack_opens_beside_the_picture_threads_at_every_start(colour_show, tmp_path,
                                                                     show):
    # The soundtrack opens while threads decode the pictures, and each library sets up some
    # state on first use. A start that loses its soundtrack to two threads doing that at
    # once is rare, so the show starts many times, one at a time so that its threads have
    # the processors: each run ends once its music plays (the trace's "play") or its loss
    # is reported. Without a display a start takes a moment.
    trace = tmp_path / "trace"

    def played():
        return trace.exists() and "play " in trace.read_text()
    lost = []
    for _ in range(150):
        shown = show(None, colour_show, {"HOPSASA_TRACE": str(trace)})
        wait_for(lambda: played() or "BASS" in shown.stdout(), 30, step=0.01)
        shown.signal(signal.SIGTERM)
        assert shown.wait(timeout=10) == 0
        if not played() or "BASS" in shown.stdout():
            lost.append(shown.stdout())
        trace.unlink(missing_ok=True)
    assert not lost, f"{len(lost)} of 150 starts lost the soundtrack, the first printing:\n" \
                     f"{lost[0] if lost else ''}"


def test_no_display_and_no_sound_card_still_plays_to_the_end(colour_show, show):
    started = time.monotonic()
    shown = show(None, colour_show, {"SDL_AUDIODRIVER": "nonexistent"})
    assert shown.wait(timeout=120) == 0, shown.stdout()
    assert time.monotonic() - started > show_length()
    # With no X server SDL falls back to a display without 800x600, or to none at all;
    # either way the window's box text reaches standard error, as no box can show.
    out = shown.stdout()
    assert "Window error: Unable to switch to fullscreen" in out or \
        "Error: Unable to register window class" in out
    assert "Error: BASS error on init!" in out
    assert "Error: BASS error: Can't play the stream\n" in out
