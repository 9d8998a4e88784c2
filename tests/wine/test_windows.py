# The Windows zip under Wine: unpacked, its exe opens its window, reports, plays and looks
# as on Linux, from its own folder.
import os
import subprocess
import time
import zipfile

import pytest
from harness import DATA, NO_MUSIC, RELEASE_DIR, plays_like_the_capture, wait_for


@pytest.fixture
def unpacked(tmp_path):
    # The zip unpacked: its one folder holds the exe and the files it reads.
    archive = os.path.join(RELEASE_DIR, "hopsasa-windows-x64.zip")
    assert os.path.exists(archive), f"{archive} is missing: scripts/release makes it"
    with zipfile.ZipFile(archive) as z:
        z.extractall(tmp_path)
    (folder,) = os.listdir(tmp_path)
    return tmp_path / folder


def dismiss_boxes(server, title, count, timeout):
    # Presses Return in `count` boxes titled `title` as they appear; how many it found.
    for found in range(count):
        box = server.find_window(title, timeout=timeout)
        if box is None:
            return found
        server.send_key(box, "Return")
        wait_for(lambda: box not in server.windows(), 5)
    return count


def test_opens_its_window_and_quits_when_asked_to_close(unpacked, wine):
    # (Escape ends it in the test without music.)
    server, prefix = wine()
    show = prefix.start(unpacked, unpacked / "hopsasa.exe")
    window = server.find_window("hopsasa", timeout=30)
    assert window, "no window titled hopsasa"
    time.sleep(1.0)
    assert show.running()
    server.request_close(window)
    assert show.wait(timeout=10) == 0, show.stdout()
    assert show.box_texts() == []


def test_without_music_its_messages_reach_standard_output_in_order(unpacked, wine):
    server, prefix = wine()
    os.remove(unpacked / "music.mp3")
    show = prefix.start(unpacked, unpacked / "hopsasa.exe")
    assert dismiss_boxes(server, "Error", len(NO_MUSIC), timeout=30) == len(NO_MUSIC), \
        show.box_texts()
    assert show.box_texts() == NO_MUSIC
    window = server.find_window("hopsasa", timeout=10)
    assert window, "the show goes on without its music"
    server.send_key(window, "Escape")
    assert show.wait(timeout=10) == 0
    assert show.stdout() == "".join(NO_MUSIC)


@pytest.mark.two_cores
def test_plays_to_its_end_and_looks_like_the_linux_capture(unpacked, wine):
    server, prefix = wine()
    show = plays_like_the_capture(
        server, lambda: prefix.start(unpacked, unpacked / "hopsasa.exe"), DATA)
    assert show.box_texts() == []


def test_screen_without_800x600_shows_the_box(unpacked, wine):
    # The Windows build's own box; the rest is the Linux tests'.
    server, prefix = wine(1024, 768)
    show = prefix.start(unpacked, unpacked / "hopsasa.exe")
    assert dismiss_boxes(server, "Window error", 1, timeout=30) == 1
    assert show.box_texts() == ["Unable to switch to fullscreen"]
    assert server.find_window("hopsasa", timeout=0.5) is None
    time.sleep(1.5)
    assert show.running(), "the program runs on without a window"


@pytest.mark.parametrize("args, status, out", [
    (["--help"], 0, "usage: hopsasa [--from SECONDS]"),
    (["--from", "x"], 2, "hopsasa: --from takes seconds from 0 to 72.250")])
def test_started_from_a_console_it_answers_there(unpacked, wine, args, status, out):
    # A program of the GUI kind has no console of its own: it prints into cmd's.
    server, prefix = wine()
    run = subprocess.run(["wine", "cmd", "/c", "hopsasa.exe", *args], cwd=unpacked,
                         env=prefix.env, capture_output=True, text=True, timeout=120)
    assert run.returncode == status, run.stderr
    assert out in run.stdout + run.stderr
