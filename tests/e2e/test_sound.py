# The show's soundtrack as a sound server hears it: PulseAudio with a null sink, recorded
# from the sink's monitor while the real program plays under Xvfb.
#
# Each run plays the whole show with the real data/, or its end from a moment between two
# frames. The recording must be data/music.mp3 from its first sample (from the later frame's
# moment), with nothing missing, added or repeated up to the show's end, also
# while CPU-bound processes keep the machine busy; its first sample must reach the server no
# later than 50 ms after the first scene frame.
import math
import os
import time
import types

import pytest
from harness import DATA, read_trace

sound = pytest.importorskip("sound", reason="numpy (Debian's python3-numpy)")
if sound.sound_tools_missing():
    pytest.skip(f"needs {sound.sound_tools_missing()}", allow_module_level=True)

SHOW_SECONDS = 72
# The first scene frame is the third one presented: the loading picture, the back buffer
# once start-up is done (the frame loop presents before it draws), then the first frame the
# sequencer drew.
FIRST_SCENE_FRAME = 2
# A block of the recording that differs from the file by more than this, relative to the
# soundtrack's RMS level (-40 dB), is broken. Decoding alone differs by about 2e-5. A gap
# shifts every block after it, which then differ by about 1. Even 10 ms of silence in place
# of the quietest 10 ms of the show, split over two blocks, differs by 0.037.
WORST_BLOCK = 0.01
# How late the soundtrack's first sample may reach the server after the first scene frame.
MAX_DELAY = 0.050
# The end of the show is not compared: the sound is cut when the program closes its device.
END_MARGIN = 0.1


@pytest.fixture(scope="module")
def music():
    return sound.decode(os.path.join(DATA, "music.mp3"))


@pytest.fixture
def play(tmp_path, xvfb, show, defer):
    # Plays the whole show into a fresh server and records it: the recording and recorder,
    # the show's presented frames (CLOCK_MONOTONIC seconds), the show and the server's
    # underruns.
    def run(busy=0, args=()):
        server = sound.PulseServer()
        defer(server.stop)
        recorder = sound.Recorder(server)
        defer(recorder.stop)
        recorder.wait_until_flowing()
        screen = xvfb()
        load = sound.Busy(busy)
        defer(load.stop)
        trace = tmp_path / f"trace-{time.monotonic()}"
        shown = show(screen, DATA, server.env({"SDL_AUDIODRIVER": "pulseaudio",
                                               "HOPSASA_TRACE": str(trace)}), args=args)
        status = shown.wait(timeout=SHOW_SECONDS + 60)
        load.stop()
        recording = recorder.stop()
        assert status == 0, shown.stdout()
        frames = [t for name, t in read_trace(trace) if name == "frame"]
        assert len(frames) > FIRST_SCENE_FRAME, "no scene frame was presented"
        return types.SimpleNamespace(recording=recording, recorder=recorder, frames=frames,
                                     show=shown, underruns=server.underruns())
    return run


def check_sound(run, busy, music, seconds=SHOW_SECONDS):
    # `music` from the moment the show starts at, `seconds` of it to the show's end.
    assert run.show.stdout() == "", "no message with every file present"
    first_frame = run.frames[FIRST_SCENE_FRAME]
    assert run.frames[-1] - first_frame > seconds - 1
    start = sound.find_start(run.recording, music)
    assert start is not None, "the soundtrack's beginning is not in the recording " \
                              f"({run.underruns} underruns in the server)"
    assert abs(run.recording[:start].astype(int)).max(initial=0) < 16, \
        "sound before the soundtrack's first sample"
    first_sample = run.recorder.time_of(start)
    delay = first_sample - first_frame
    # Up to the last frame presented: the show ends there, and so does its sound.
    heard = int((run.frames[-1] - first_sample - END_MARGIN) * sound.RATE)
    errors = sound.block_errors(run.recording, start, music, min(heard, len(music)))
    worst = int(errors.argmax())
    worst_at = worst * sound.BLOCK_FRAMES / sound.RATE
    compared = len(errors) * sound.BLOCK_FRAMES / sound.RATE
    print(f"busy processes: {busy}; first sample at the server {delay * 1000:+.1f} ms after "
          f"the first scene frame; {compared:.2f} s compared in {len(errors)} blocks of "
          f"10 ms; worst block {errors[worst]:.2e} at {worst_at:.2f} s", flush=True)
    assert compared > seconds - 1, "the recording ends before the show"
    broken = errors > WORST_BLOCK
    assert not broken.any(), \
        f"the sound breaks at {broken.argmax() * sound.BLOCK_FRAMES / sound.RATE:.2f} s of " \
        f"the soundtrack: {broken.sum()} broken blocks, the worst {errors[worst]:.2f} at " \
        f"{worst_at:.2f} s; {run.underruns} underruns in the server"
    # Only sound later than the picture is the sound's: the first scene frame itself
    # sometimes comes late (once in ten runs, 126 ms after the play call, unloaded).
    assert delay < MAX_DELAY, \
        f"the first sample reaches the server {delay * 1000:+.1f} ms after the first frame"


@pytest.mark.serial
@pytest.mark.timing
@pytest.mark.parametrize("busy, start", [(0, 0), (2, 0), (0, 50.001)], ids=[
    "unloaded", "beside_two_busy_processes", "from_between_two_frames"])
def test_whole_soundtrack(busy, start, play, music):
    # A run in which the server's stream ran dry is played once more: on a shared machine a
    # stall of the host itself starves the server and the show alike (five underruns in one
    # unloaded run, seen once), while a fault of the show's breaks the second run as it
    # broke the first. Started between two frames, the show and its music go on from the
    # later frame: the music from before it would be heard ahead of its first sample.
    args = ("--from", str(start)) if start else ()
    heard = music[math.ceil(start * 60) * sound.RATE // 60:]
    run = play(busy, args=args)
    try:
        check_sound(run, busy, heard, SHOW_SECONDS - start)
    except AssertionError as failure:
        if not run.underruns:
            raise
        print(f"played again after: {failure}")
        check_sound(play(busy, args=args), busy, heard, SHOW_SECONDS - start)
