# Ways to stop the programs and files that are not files: a capture stopped by a signal
# keeps every file whole and leaves no ffmpeg behind; a FIFO or a device in place of the
# show's files is refused at once, and nothing waits on one.
import os
import signal
import subprocess

import pytest
from PIL import Image
from harness import CAPTURE, NO_MUSIC, Show, children, gone, wait_for, write_test_show


@pytest.mark.parametrize("sig", [signal.SIGINT, signal.SIGTERM, signal.SIGHUP], ids=str)
def test_a_capture_of_frames_stops_on_a_signal_with_every_file_whole(colour_show, tmp_path, sig):
    capture = Show(None, colour_show, command=[CAPTURE, "--frames", tmp_path, "--fps", "30"],
                   split=True)
    assert wait_for(lambda: len(os.listdir(tmp_path)) >= 10, timeout=120), capture.stderr()
    capture.signal(sig)
    assert capture.wait(timeout=60) == 128 + sig, capture.stderr()
    files = sorted(os.listdir(tmp_path))
    stopped = int(capture.stderr().rsplit("stopped at frame ", 1)[1].split()[0])
    assert files == ["frame_%06d.png" % k for k in range(stopped)], "numbered, none partial"
    for name in files:
        Image.open(tmp_path / name).load()


@pytest.mark.parametrize("sig", [signal.SIGINT, signal.SIGKILL], ids=str)
def test_a_capture_of_a_video_leaves_no_ffmpeg_behind(colour_show, tmp_path, sig):
    video = tmp_path / "show.mp4"
    capture = Show(None, colour_show, split=True, command=[
        CAPTURE, "--video", video, "--fps", "30", "--size", "320x240", "--preset", "ultrafast"])
    ffmpeg = wait_for(lambda: children(capture.process.pid), timeout=120)
    assert ffmpeg, capture.stderr()
    ffmpeg = ffmpeg[0][0]
    wait_for(lambda: video.exists() and video.stat().st_size > 20000, timeout=120)
    capture.signal(sig)
    killed = sig == signal.SIGKILL
    assert capture.wait(timeout=60) == (-sig if killed else 128 + sig), capture.stderr()
    assert wait_for(lambda: gone(ffmpeg), timeout=30), "ffmpeg outlived the capture"
    probe = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-show_entries",
                            "stream=nb_read_frames", "-of", "csv=p=0", video],
                           capture_output=True, text=True)
    if killed:
        # Killed with the capture, ffmpeg never wrote the video's index: had it lived on, it
        # would have finished the file once its input ended.
        assert probe.returncode != 0, "ffmpeg lived on after the capture was killed"
    else:
        stopped = int(capture.stderr().rsplit("stopped at frame ", 1)[1].split()[0])
        assert probe.stdout.split()[0] == str(stopped), "a playable video of the frames so far"


@pytest.mark.parametrize("args, status, said", [
    (["--frames", "{tmp}", "--fps", "1", "--to", "1"], 0,
     "captured 1 frame, 1.00 s of show at 1 frame a second"),
    (["--video", "{tmp}/out.webm", "--to", "0.5"], 1, "hopsasa-capture: ffmpeg "),
    (["--video", "{tmp}/out.mp4", "--to", "0.5", "--preset", "slow", "--crf", "51"], 0,
     "captured 30 frames")])
def test_a_capture_says_what_it_did_and_a_failed_video_leaves_no_file(colour_show, tmp_path,
                                                                      args, status, said):
    run = subprocess.run([CAPTURE, *[a.format(tmp=tmp_path) for a in args]], cwd=colour_show,
                         capture_output=True, text=True, timeout=300)
    assert run.returncode == status, run.stderr
    # On a line of its own: the progress line ended first.
    assert "\n" + said.format(tmp=tmp_path) in "\n" + run.stderr.replace("\r", "\n")
    assert status == 0 or "WebM" in run.stderr, "with ffmpeg's own words"
    assert (status == 0) == bool(os.listdir(tmp_path)), "a failed video leaves no file"
    if "--crf" in args:
        assert b"crf=51.0" in (tmp_path / "out.mp4").read_bytes(), "the encoder got --crf"


@pytest.mark.parametrize("kind", ["fifo", "device", "folder"])
def test_files_that_are_not_files_are_refused_at_once(tmp_path, kind):
    write_test_show(tmp_path)
    for name in ("music.mp3", "bg1.png"):
        os.remove(tmp_path / name)
        {"fifo": lambda p: os.mkfifo(p), "device": lambda p: os.symlink("/dev/zero", p),
         "folder": lambda p: os.mkdir(p)}[kind](tmp_path / name)
    run = subprocess.run([CAPTURE, "--frames", tmp_path, "--to", "1"], cwd=tmp_path,
                         capture_output=True, text=True, timeout=300)
    assert run.returncode == 3, run.stderr
    assert "Texture load: Can't load the texture in file 'bg1.png' for some" in run.stdout
    assert run.stdout.startswith(NO_MUSIC[0] + NO_MUSIC[1]), "the music as if it were missing"
    assert "the show reported 5 problems while capturing" in run.stderr
