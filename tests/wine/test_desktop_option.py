# The Windows build under Wine with --desktop: on a 1920x1080 screen, which has no 800x600
# mode, the show runs in the screen's own mode with its picture in the middle 1440x1080 and
# black bars beside it, and Escape ends it.
import os

import numpy as np
from harness import BUILD_DIR, Show, near, wait_for

EXE = os.path.join(BUILD_DIR, "windows", "hopsasa.exe")


def test_picture_fitted_into_the_screens_own_mode(colour_show, wine, defer):
    server, prefix = wine(1920, 1080)
    show = Show(None, colour_show, command=["wine", EXE, "--desktop"],
                extra_env=dict(prefix.env, WINEDEBUG="-all"))
    defer(show.kill)
    window = server.find_window("hopsasa", timeout=60)
    assert window, show.stdout()

    def title_shown():
        shot = server.screenshot()
        return shot if near(shot.getpixel((242, 270)), (255, 0, 0), 30) and \
            near(shot.getpixel((1677, 810)), (0, 0, 255), 30) else None
    shot = wait_for(title_shown, timeout=60, step=0.2)
    assert shot, "the title card in the middle of the screen"
    pixels = np.asarray(shot, dtype=int)
    assert pixels[:, :240].max() == 0 and pixels[:, 1680:].max() == 0, "black bars"
    assert pixels[:, 240:1680].max(axis=2).min() > 60, "the picture fills its area"
    server.send_key(window, "Escape")
    assert show.wait(timeout=30) == 0, show.stdout()
    assert show.stdout() == "", "no message"
