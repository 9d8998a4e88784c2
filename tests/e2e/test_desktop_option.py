# The show with --desktop on Xorg's dummy driver, which really switches modes (root): the
# display stays in the desktop's own mode, no guard process is started, the cursor is
# hidden, and the picture is drawn as the capture tool draws it into the largest 4:3 area
# of the display, centred, with black bars around it.
import os
import subprocess
import tempfile

import numpy as np
import pytest
from harness import CAPTURE, Xorg, children, difference, near, thumbnail, wait_for


# The desktop's modes, the first its own: the picture's area (left, top, width, height).
DESKTOPS = {"1920x1080": (("1920x1080", "800x600"), (240, 0, 1440, 1080)),
            "1280x1024": (("1280x1024", "800x600"), (0, 32, 1280, 960)),
            "640x480": (("640x480", "800x600"), (0, 0, 640, 480)),
            "1024x768_only": (("1024x768",), (0, 0, 1024, 768))}


@pytest.fixture(scope="module")
def title_card(colour_show):
    # The capture tool's first frame: the title card, red above and blue below.
    with tempfile.TemporaryDirectory() as frames:
        subprocess.run([CAPTURE, "--frames", frames, "--fps", "2", "--to", "0.5"],
                       cwd=colour_show, check=True, capture_output=True)
        return thumbnail(os.path.join(frames, "frame_000000.png"))


@pytest.mark.parametrize("desktop", DESKTOPS)
def test_picture_fitted_into_the_desktops_mode(desktop, title_card, colour_show, tmp_path,
                                               defer, show):
    offered, (left, top, width, height) = DESKTOPS[desktop]
    desktop = offered[0]
    server = Xorg(tmp_path, offered)
    defer(server.stop)
    assert server.mode() == (desktop, desktop)
    run = show(server, colour_show, args=["--desktop"])
    window = server.find_window("hopsasa", timeout=30)
    assert window, run.stdout()
    assert children(run.process.pid) == [], "nothing to restore, so no guard"
    modes = set()

    def title_shown():
        modes.add(server.mode())
        shot = server.screenshot()
        red = shot.getpixel((left + 2, top + height // 4))
        blue = shot.getpixel((left + width - 3, top + height * 3 // 4))
        return shot if near(red, (255, 0, 0), 30) and near(blue, (0, 0, 255), 30) else None
    shot = wait_for(title_shown, timeout=30, step=0.1)
    assert shot, "the title card fills the picture's area"
    assert modes == {(desktop, desktop)}, "the mode never changes"

    pixels = np.asarray(shot, dtype=int)
    bars = np.ones(pixels.shape[:2], dtype=bool)
    bars[top:top + height, left:left + width] = False
    assert pixels[bars].max(initial=0) == 0, "black bars around the picture"
    inside = pixels[top:top + height, left:left + width].max(axis=2)
    edges = (inside[0], inside[-1], inside[:, 0], inside[:, -1])
    assert min(edge.min() for edge in edges) > 60, "the picture reaches its area's edges"
    seen = thumbnail(shot.crop((left, top, left + width, top + height)))
    assert difference(seen, title_card) < 6.0, "the capture's frame, scaled"

    server.x.xfixes_query_version()
    cursor = server.x.xfixes_get_cursor_image(server.x.screen().root)
    assert max(cursor.cursor_image) >> 24 == 0, "the cursor hidden over the show"
    server.send_key(window, "Escape", focus=True)
    assert run.wait(timeout=60) == 0, run.stdout()
    assert run.stdout() == "", "no message"
    assert server.mode() == (desktop, desktop)
