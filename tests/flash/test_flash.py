"""hopsasa-flash on small frame sequences made here, and on the whole show."""
import csv
import os
import subprocess
import sys

import numpy as np
import pytest
from PIL import Image

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
TOOL = os.path.join(ROOT, "tools", "flash", "hopsasa-flash")
BLACK, WHITE, LIGHT, RED, GREY = (0, 0, 0), (255, 255, 255), (237, 237, 237), (255, 0, 0), (127,) * 3


def square(per_second):  # on for half of each period, at 60 frames a second
    return lambda k: (k * per_second // 30) % 2


def triangle(frames):  # up over `frames` frames, down over as many
    return lambda k: 1 - abs(k % (2 * frames) - frames) / frames


def run(*args):
    done = subprocess.run([sys.executable, TOOL, *map(str, args)], capture_output=True, text=True)
    return done.returncode, done.stdout.strip()


# Two seconds of 20x10 frames: the left part of the screen (a share of its width) moves
# between two colours along the wave; the rest keeps the second colour.
@pytest.mark.parametrize("wave, on, off, share, status, verdict", [
    (square(2), WHITE, BLACK, 1, 0, "pass: at most 2 flashes in any second"),
    (square(3), WHITE, BLACK, 1, 0, "pass: at most 3 flashes in any second"),
    (square(4), WHITE, BLACK, 1, 1, "fail: 4 flashes in the second from 0.02 s"),
    (square(4), BLACK, WHITE, 0.2, 0, "pass: at most 0 flashes in any second"),
    (square(4), BLACK, WHITE, 0.3, 1, "fail: 4 flashes in the second from 0.02 s"),
    (square(4), LIGHT, WHITE, 1, 0, "pass: at most 0 flashes in any second"),
    (square(4), RED, GREY, 1, 1, "fail: 4 flashes in the second from 0.02 s"),
    (triangle(30), WHITE, BLACK, 1, 0, "pass: at most 1 flashes in any second"),
    (triangle(6), WHITE, BLACK, 1, 1, "fail: 5 flashes in the second from 0.00 s"),
], ids=["2 a second", "3 a second", "4 a second", "a fifth of the screen",
        "three tenths of the screen", "bright states only", "saturated red on grey",
        "slow fade", "fast fade"])
def test_flashes_are_counted_and_judged(tmp_path, wave, on, off, share, status, verdict):
    for k in range(120):
        frame = np.empty((10, 20, 3))
        frame[:] = off
        frame[:, : round(20 * share)] = np.add(off, np.subtract(on, off) * wave(k))
        Image.fromarray(frame.round().astype(np.uint8)).save(tmp_path / f"frame_{k:06d}.png")
    assert run(tmp_path, "--csv", tmp_path / "f.csv") == (status, verdict)
    with open(tmp_path / "f.csv") as table:
        rows = list(csv.DictReader(table))
    assert len(rows) == 120
    most = max(float(row["flashes_last_second"]) for row in rows)
    assert f"{most:g} flashes" in verdict


@pytest.mark.parametrize("args", [[], ["{d}", "--show", "{d}", "--capture", TOOL],
                                  ["{d}", "--fps", 0], ["{d}/none"], ["{d}"]])
def test_bad_arguments_are_refused(tmp_path, args):
    assert run(*(str(a).format(d=tmp_path) for a in args))[0] == 2


@pytest.mark.whole_show
def test_whole_show_passes(tmp_path):
    # Run by hand, the build in the checkout, if there is one; under CTest, the one named.
    capture = os.path.join(ROOT, "build", "tools", "capture", "hopsasa-capture")
    if "HOPSASA_CAPTURE" not in os.environ and not os.path.exists(capture):
        pytest.skip(f"no capture tool at {capture}")
    capture = os.environ.get("HOPSASA_CAPTURE", capture)
    data = os.environ.get("HOPSASA_DATA", os.path.join(ROOT, "data"))
    status, verdict = run("--show", data, "--capture", capture, "--plot", tmp_path / "f.png")
    assert (status, verdict.split(":")[0]) == (0, "pass"), verdict
    assert Image.open(tmp_path / "f.png").size == (1000, 320)
