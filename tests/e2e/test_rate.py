# The show paced at a rate, with its frame log: the frames take the capture's slots, scenes
# and pictures, skip ahead only when late, and the summary sums up the lines; the frames a
# second are printed; what it refuses. Run alone: on a busy machine frames come late.
import os
import re
import signal
import statistics
import subprocess
import time

import numpy as np
import pytest
from harness import CAPTURE, load, near, pixel, show_list, wait_for

SUMMARY = (r"# summary: (\d+) frames, median ([\d.]+) ms, 99th percentile ([\d.]+) ms, "
           r"(\d+) over 1.5 slots of ([\d.]+) ms")


@pytest.mark.serial
@pytest.mark.timing
@pytest.mark.parametrize("rate", [60, 30])
def test_paced_frames_take_the_slots_scenes_and_pictures_of_a_capture(rate, colour_show, xvfb,
                                                                        show, tmp_path):
    slot_ms = 1000 / rate

    def capture_scene(slot):
        return next(s.index for s in show_list(rate)[0] if slot < s.first_frame + s.frames)
    server, log = xvfb(), tmp_path / "frames.log"
    shown = show(server, colour_show, args=("--rate", str(rate), "--frame-log", str(log)))
    title = lambda: near(pixel(server.screenshot(), 400, 100), (255, 0, 0))  # noqa: E731
    assert wait_for(title, timeout=60), "the title card came"
    assert wait_for(lambda: not title(), timeout=30), "the scene after it came"
    time.sleep(5)
    seen = np.asarray(load(server.screenshot()), dtype=float)  # the old man on his way up
    shown.signal(signal.SIGTERM)
    assert shown.wait(timeout=30) == 0, shown.stdout()
    *lines, summary = log.read_text().splitlines()
    rows = [[float(v) if "." in v else int(v) for v in line.split("\t")[:4]]
            for line in lines[1:]]
    assert [row[0] for row in rows] == list(range(len(rows)))
    between = [float(line.split("\t")[4]) for line in lines[2:]]
    # Slot 0 began an unknown offset before the first present: one offset must explain
    # every step, to the next slot or, after a present over one slot late, to its moment's.
    low, high, jumped = 0.0, float("inf"), False
    for (_, slot, scene, since), (_, after, _, _) in zip(rows, rows[1:]):
        assert after > slot
        if after > slot + 1:
            low = max(low, after * slot_ms - since)
        high = min(high, (after + 1) * slot_ms - since)
        assert scene <= capture_scene(slot)
        assert jumped or scene == capture_scene(slot), f"slot {slot}"
        jumped = jumped or after > slot + 1
    assert low <= high + 0.01
    assert {0, 1} <= {row[2] for row in rows}
    count, median, p99, over, slot = re.fullmatch(SUMMARY, summary).groups()
    ranked = sorted(between)[-(-len(between) * 99 // 100) - 1]
    assert (int(count), float(slot)) == (len(rows), round(slot_ms, 3))
    assert float(median) == pytest.approx(statistics.median(between), abs=0.002)
    assert float(p99) == ranked
    assert int(over) == sum(b > 1.5 * slot_ms for b in between)
    in_ten = sum(1 for row in rows if row[3] < 10000)
    print(f"--rate {rate}: {in_ten / 10:.1f} frames a second over the first ten seconds, "
          f"scene 1 from slot {next(r[1] for r in rows if r[2] == 1)}, "
          f"{sum(b > r[1] + 1 for r, b in zip(rows, [r[1] for r in rows[1:]]))} skips")
    # The frame on screen mid-scene is one the capture draws, pixel for pixel.
    start = show_list(rate)[0][1].first_frame
    frames = tmp_path / "capture"
    frames.mkdir()
    subprocess.run([CAPTURE, "--frames", frames, "--fps", str(rate), "--from",
                    f"{start / rate + 3:.4f}", "--to", f"{start / rate + 7:.4f}"],
                   cwd=colour_show, check=True, capture_output=True)
    best = min(np.abs(np.asarray(load(str(frames / name)), dtype=float) - seen).mean()
               for name in os.listdir(frames))
    assert best == 0, f"the nearest captured frame differs by {best:.3f} a pixel"


@pytest.mark.parametrize("args, message", [
    (["--rate", "23"], "--rate takes a whole number from 24 to 240, not '23'"),
    (["--rate", "241"], "not '241'"), (["--rate", "30.5"], "not '30.5'"),
    (["--rate"], "--rate needs a value"), (["--frame-log"], "--frame-log needs a value"),
    (["--frame-log", "."], "hopsasa: cannot write the frame log '.': Is a directory\n")])
def test_a_rate_or_log_it_cannot_take_ends_it_before_any_window(colour_show, show, args, message):
    shown = show(None, colour_show, args=args)
    assert shown.wait(timeout=10) == 2
    assert message in shown.stdout()
