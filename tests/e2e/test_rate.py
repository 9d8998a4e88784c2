# The show paced at a rate, with its frame log: the frames take the capture's slots and
# scenes, skip ahead only when late, and the summary sums up the lines; what it refuses.
import re
import signal
import statistics
import time

import pytest
from harness import near, pixel, show_list, wait_for

RATE = 24
SLOT_MS = 1000 / RATE
SUMMARY = (r"# summary: (\d+) frames, median ([\d.]+) ms, 99th percentile ([\d.]+) ms, "
           r"(\d+) over 1.5 slots of ([\d.]+) ms")


def capture_scene(slot):
    return next(s.index for s in show_list(RATE)[0] if slot < s.first_frame + s.frames)


def test_paced_frames_take_the_slots_and_scenes_of_a_capture(colour_show, xvfb, show, tmp_path):
    server, log = xvfb(), tmp_path / "frames.log"
    shown = show(server, colour_show, args=("--rate", str(RATE), "--frame-log", str(log)))
    title = lambda: near(pixel(server.screenshot(), 400, 100), (255, 0, 0))  # noqa: E731
    assert wait_for(title, timeout=60), "the title card came"
    assert wait_for(lambda: not title(), timeout=30), "the scene after it came"
    time.sleep(1)
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
            low = max(low, after * SLOT_MS - since)
        high = min(high, (after + 1) * SLOT_MS - since)
        assert scene <= capture_scene(slot)
        assert jumped or scene == capture_scene(slot), f"slot {slot}"
        jumped = jumped or after > slot + 1
    assert low <= high + 0.01
    assert {0, 1} <= {row[2] for row in rows}
    count, median, p99, over, slot = re.fullmatch(SUMMARY, summary).groups()
    ranked = sorted(between)[-(-len(between) * 99 // 100) - 1]
    assert (int(count), float(slot)) == (len(rows), round(SLOT_MS, 3))
    assert float(median) == pytest.approx(statistics.median(between), abs=0.002)
    assert float(p99) == ranked
    assert int(over) == sum(b > 1.5 * SLOT_MS for b in between)


@pytest.mark.parametrize("args, message", [
    (["--rate", "23"], "--rate takes a whole number from 24 to 240, not '23'"),
    (["--rate", "241"], "not '241'"), (["--rate", "30.5"], "not '30.5'"),
    (["--rate"], "--rate needs a value"), (["--frame-log"], "--frame-log needs a value"),
    (["--frame-log", "."], "hopsasa: cannot write the frame log '.': Is a directory\n")])
def test_a_rate_or_log_it_cannot_take_ends_it_before_any_window(colour_show, show, args, message):
    shown = show(None, colour_show, args=args)
    assert shown.wait(timeout=10) == 2
    assert message in shown.stdout()
