# hopsasa-capture: frame-exact frames and video of the show, its encoder's settings, and
# clear errors.
import filecmp
import json
import os
import subprocess

import numpy as np
import pytest
import sound
from harness import (CAPTURE, DATA, colour, difference, load, near, pixel, show_frames,
                     show_list, thumbnail)


@pytest.fixture
def capture(colour_show):
    def run(*args, env=None, cwd=colour_show):
        return subprocess.run([CAPTURE, *map(str, args)], cwd=cwd, capture_output=True,
                              text=True, env=env, timeout=900)
    return run


def frame(folder, k):
    return os.path.join(folder, "frame_%06d.png" % k)


def test_frames_are_exact_and_a_later_start_draws_the_same_frames(capture, tmp_path):
    first, later = tmp_path / "first", tmp_path / "later"
    first.mkdir()
    later.mkdir()
    run = capture("--frames", first, "--fps", 5)
    assert run.returncode == 0, run.stderr
    assert run.stdout == "", "no message with every file present"
    assert sorted(os.listdir(first)) == ["frame_%06d.png" % k for k in range(show_frames(5))]
    assert "captured %d frames" % show_frames(5) in run.stderr

    scenes = show_list(5)[0]

    def at(scene, t):
        return scenes[scene].first_frame + round(t * 5)
    assert near(pixel(frame(first, at(0, 2)), 400, 100), (255, 0, 0)), "upright: red on top"
    assert near(pixel(frame(first, at(0, 2)), 400, 500), (0, 0, 255))
    # Frame k is the show at k / 5 seconds: the last scene's picture in its last seconds.
    assert near(pixel(frame(first, at(7, 4.2)), 400, 300), colour("sprCredits"))
    # Started later, the capture draws the very same frames from its first one on: the old
    # man on his way up, the party, the blob burst in flight, the spinning card.
    moments = [(1, 7.4), (2, 10.2), (5, 4.4), (6, 9.6)]
    for scene, t in moments:
        k = at(scene, t)
        run = capture("--frames", later, "--fps", 5, "--from", "%.1f" % (k / 5),
                      "--to", "%.1f" % ((k + 2) / 5))
        assert run.returncode == 0, run.stderr
        for n in (k, k + 1):
            assert filecmp.cmp(frame(first, n), frame(later, n), shallow=False), n
    assert len(os.listdir(later)) == 2 * len(moments), "--to stops in time"
    # At another size the frame is drawn at that size, between the bars --desktop leaves.
    k = at(2, 2.2)
    run = capture("--frames", later, "--fps", 5, "--size", "1280x720", "--from", "%.1f" % (k / 5),
                  "--to", "%.1f" % ((k + 1) / 5))
    wide = np.asarray(load(frame(later, k)))
    assert run.returncode == 0 and wide.shape == (720, 1280, 3), run.stderr
    assert wide[:, :160].max() == 0 and wide[:, 1120:].max() == 0, "black bars"
    inside = thumbnail(load(frame(later, k)).crop((160, 0, 1120, 720)))
    assert difference(inside, thumbnail(frame(first, k))) < 6.0, "the same picture, larger"


def test_video_holds_every_frame_and_the_soundtrack(capture, tmp_path):
    video = tmp_path / "show.mp4"
    run = capture("--video", video, "--fps", 5, "--size", "640x360")
    assert run.returncode == 0, run.stderr
    probe = json.loads(subprocess.run(
        ["ffprobe", "-v", "error", "-show_streams", "-show_format", "-count_frames", "-of",
         "json", video], check=True, capture_output=True, text=True).stdout)
    streams = {s["codec_type"]: s for s in probe["streams"]}
    v = streams["video"]
    assert (v["codec_name"], v["width"], v["height"], v["pix_fmt"]) == \
        ("h264", 640, 360, "yuv420p")
    assert int(v["nb_read_frames"]) == show_frames(5)
    # x264 writes the settings it encoded with into the stream, as text: the defaults.
    assert all(s in video.read_bytes() for s in (b"rc=crf", b"crf=18.0", b"subme=7"))
    assert streams["audio"]["codec_name"] == "aac", "the soundtrack is muxed"
    assert float(probe["format"]["duration"]) == pytest.approx(show_frames(5) / 5, abs=0.3)
    still = str(tmp_path / "still.png")
    subprocess.run(["ffmpeg", "-v", "error", "-ss", "2", "-i", video, "-frames:v", "1", still],
                   check=True)
    assert near(pixel(still, 320, 60), (255, 0, 0), 40), "upright in the video"
    assert near(pixel(still, 320, 300), (0, 0, 255), 40)
    assert near(pixel(still, 20, 180), (0, 0, 0), 20), "pillarbox bars"
    # Captured from a later moment of the real show, the sound is the song from there on.
    run = capture("--video", video, "--fps", 5, "--size", "64x48", "--preset", "ultrafast",
                  "--from", 30, "--to", 31, cwd=DATA)
    assert run.returncode == 0, run.stderr
    assert b"subme=0" in video.read_bytes(), "the preset reaches the encoder"
    heard, song = (sound.decode(f)[at:at + sound.RATE].sum(axis=1, dtype=float) for f, at in
                   [(video, 0), (os.path.join(DATA, "music.mp3"), 30 * sound.RATE)])
    assert np.corrcoef(heard, song)[0, 1] > 0.9, "the song from the moment captured from"


@pytest.mark.parametrize("args, status, message", [
    ([], 2, "give either --frames DIR or --video FILE"),
    (["--frames"], 2, "'--frames' needs a value"),
    (["--frames", "/tmp", "--bogus"], 2, "unknown option '--bogus'"),
    (["--frames=/tmp"], 2, "unknown option '--frames=/tmp'"),
    (["--list", "extra"], 2, "stray argument 'extra'"),
    (["--frames", ""], 2, "--frames takes a folder, not ''"),
    (["--frames", "/tmp", "--from", ""], 2, "--from takes seconds from 0 to 72.250"),
    (["--frames", "/tmp", "--from", "9" * 26, "--to", "1"], 2, "not '" + "9" * 26 + "'"),
    (["--frames", "/tmp", "--fps", "+5"], 2, "--fps takes a whole number"),
    (["--frames", "/tmp", "--fps", "30", "--from", "72.6"], 2, "to 72.500 (the show's last"),
    (["--video", "a.mp4", "--size", "8x8"], 2, "even numbers from 16x16 to 7680x4320"),
    (["--frames", "/etc/passwd"], 1, "'/etc/passwd' is not a folder"),
    (["--video", "a.mp4", "--size", "640"], 2, "--size takes WIDTHxHEIGHT"),
    (["--frames", "/tmp", "--from", "1e3"], 2, "not '1e3'"),
    (["--frames", "/tmp", "--from", "80"], 2, "not 80: that is past the end"),
    (["--frames", "/tmp", "--from", "5", "--to", "5"], 2, "leaves no frame"),
    (["--list", "--frames", "/tmp"], 2, "--list takes no other option than --fps"),
    (["--video", "a.mp4", "--crf", "52"], 2, "--crf takes a whole number from 0 to 51, not '52'"),
    (["--video", "a.mp4", "--preset", "quick"], 2, "--preset takes one of ultrafast"),
    (["--frames", "/tmp", "--crf", "20"], 2, "--crf and --preset are for --video only"),
    (["--frames", "/no/such/folder"], 1, "'/no/such/folder' does not exist"),
    (["--video", "/no/such/folder/a.mp4"], 1, "does not exist or is not writable"),
    (["--video", "{tmp}/a.mp4"], 1, "cannot run ffmpeg"),  # PATH has no ffmpeg
    # A folder where the fourth frame's file should go: its writer thread fails.
    (["--frames", "{tmp}", "--fps", "5"], 1, "cannot write {tmp}/frame_000003.png")])
def test_bad_arguments_and_outputs_are_refused_clearly(capture, tmp_path, args, status,
                                                       message):
    (tmp_path / "frame_000003.png").mkdir()
    run = capture(*[a.format(tmp=tmp_path) for a in args], env=dict(os.environ, PATH=""))
    assert run.returncode == status, run.stderr
    assert message.format(tmp=tmp_path) in run.stderr
    assert "captured" not in run.stderr
    assert len(os.listdir(tmp_path)) < 40, "a failed capture stops soon after"
