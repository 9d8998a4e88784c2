# The show's page (scripts/build-web) in headless Chromium, served on 127.0.0.1, against the
# Linux build: frames of every scene against hopsasa-capture's frames of the same moments,
# the console and the message boxes against the Linux build's messages with files missing,
# the end screen, and the soundtrack in Web Audio, which Escape ends. Also the browser's
# half of the GL mapping tests (tests/web/gl_mapping.cpp), which need WebGL.
#
# The page runs on its frame clock (?fps=30): the show's counter moves 1/30 s per presented
# frame, so a frame is drawn at the same moment of the show as hopsasa-capture --fps 30
# draws it, however fast the browser presents them. The page hands over each frame in the
# same task as it was drawn (hopsasaPage.onFrame), where the canvas still holds it.
import base64
import io
import os
import shutil
import subprocess
import time

from conftest import FAILURES, GL_TESTS, PAGE
from harness import CAPTURE, DATA, load, show_frames, show_list
import numpy as np
from PIL import Image

FPS = 30
# The largest mean difference, per channel, between a Chromium frame and the Linux one: the
# two draw with different rasterisers (SwiftShader and llvmpipe), which differ at picture
# edges and in texture filtering by a unit or two.
MEAN_LIMIT = 6.0


def linux_frame(frame, folder, data=DATA):
    # hopsasa-capture's frame `frame` at FPS, from the files in `data`, and its stdout.
    moments = (max(0.0, frame - 0.25) / FPS, (frame + 0.25) / FPS)
    run = subprocess.run([CAPTURE, "--frames", folder, "--fps", str(FPS), "--from",
                          "%.6f" % moments[0], "--to", "%.6f" % moments[1]],
                         cwd=data, capture_output=True, text=True)
    # Status 3: written, with the show's messages about the files on standard output.
    assert run.returncode in (0, 3), run.stderr
    return os.path.join(folder, "frame_%06d.png" % frame), run.stdout


def test_frames_in_every_scene_match_the_linux_capture(page, tmp_path):
    # HOPSASA_WEB_FRAMES names a folder that keeps the pairs (docs/web-contact-sheet.png is
    # made of them).
    folder = os.environ.get("HOPSASA_WEB_FRAMES") or str(tmp_path)
    os.makedirs(folder, exist_ok=True)
    wanted = [(s.name, s.first_frame + s.frames // 2) for s in show_list(FPS)[0]]
    shown = page()
    shown.open("?fps=%d" % FPS)
    shown.evaluate(
        "window.shots = {}; window.late = new Set(); const wanted = new Set([%s]);"
        " hopsasaPage.onFrame = (tick, presented) => { if (tick > 0) late.add(presented - tick);"
        " if (wanted.has(tick) && !(tick in shots))"
        " shots[tick] = document.getElementById('canvas').toDataURL('image/png'); }; 0"
        % ",".join(str(frame) for _, frame in wanted))
    shown.start()
    shown.wait_until_ended(600)
    # The loading picture is presented twice, the show's first frame third; from there each
    # frame presented is the show one frame on, none of them late.
    assert shown.evaluate("[...late]") == [3]
    differ = []
    for name, frame in wanted:
        url = shown.evaluate(f"shots[{frame}] || null")
        assert url, f"frame {frame} was never presented"
        chromium = os.path.join(folder, "chromium_%06d.png" % frame)
        Image.open(io.BytesIO(base64.b64decode(url.split(",", 1)[1]))).save(chromium)
        linux, _ = linux_frame(frame, folder)
        difference = float(np.abs(np.asarray(load(chromium), dtype=int) -
                                  np.asarray(load(linux), dtype=int)).mean())
        print(f"{name}: frame {frame}, mean difference {difference:.2f}")
        if difference >= MEAN_LIMIT:
            os.makedirs(FAILURES, exist_ok=True)
            for path in (chromium, linux):
                shutil.copy(path, FAILURES)
            differ.append(name)
    assert not differ, f"Chromium and Linux frames differ; both are in {FAILURES}"


def test_soundtrack_starts_and_its_time_advances(page):
    shown = page()
    shown.open()
    shown.evaluate(
        "window.loudest = 0; hopsasaPage.onFrame = () => { const a = Module.hopsasaAudio;"
        " if (a) for (const s of a.samples) loudest = Math.max(loudest, Math.abs(s)); }; 0")
    shown.start()
    audio = "Module.hopsasaAudio && Module.hopsasaAudio.context"
    assert shown.wait_until(f"{audio} && {audio}.state === 'running'", 30), shown.console
    assert shown.wait_until("Module.hopsasaAudio.source !== null", 30)
    first = shown.evaluate(f"{audio}.currentTime")
    time.sleep(1.0)
    assert shown.evaluate(f"{audio}.currentTime") - first > 0.5
    assert shown.evaluate(f"{audio}.sampleRate") == 44100
    # The samples the spectrum is made of are the soundtrack's, not silence.
    assert shown.wait_until("loudest > 0.05", 10), shown.evaluate("loudest")
    # Escape ends the show long before its end, as a normal ending.
    shown.press("Escape", key_code=27)
    shown.wait_until_ended(10)
    assert shown.evaluate("hopsasaPage.exitStatus") == 0


def test_the_show_ends_on_the_end_screen_and_plays_again(page):
    # From half a second before the end, twice.
    shown = page()
    shown.open("?fps=%d&from=%.2f" % (FPS, show_frames(FPS) / FPS - 0.5))
    shown.start()
    shown.wait_until_ended(60)
    assert shown.evaluate("hopsasaPage.exitStatus") == 0
    assert shown.evaluate("!document.getElementById('end').hidden")
    presented = shown.evaluate("hopsasaPage.frames.presented")
    shown.click("#again-button")
    assert shown.wait_until("hopsasaPage.state === 'playing'", 10)
    shown.wait_until_ended(60)
    assert shown.evaluate("hopsasaPage.frames.presented") > presented + 5
    assert shown.show_lines() == []


def test_console_and_boxes_match_the_linux_build(page, tmp_path):
    # The soundtrack, the first picture after the loading one, and a JPEG.
    files = show_list()[1]
    pictures = [f for n, f in files.items() if n not in ("loading", "music")]
    missing = sorted([files["music"], pictures[0], next(f for f in pictures if ".jpg" in f)])
    folder = tmp_path / "page"
    shutil.copytree(PAGE, folder)
    for name in missing:
        os.remove(folder / "data" / name)
    _, linux = linux_frame(0, str(tmp_path), data=folder / "data")
    assert "for some reason." in linux
    shown = page(folder)
    shown.open()
    shown.evaluate("window.boxes = []; Module.hopsasaBoxShown = (title, text) =>"
                   " boxes.push([title, text]); 0")
    shown.start()
    # Each box holds the show until it is dismissed, here with Enter as a user would.
    box = "document.querySelector('.hopsasa-box') !== null"
    while shown.wait_until(f"hopsasaPage.frames.presented > 5 || {box}", 30):
        if not shown.evaluate(box):
            break
        seen = shown.evaluate("boxes.length")
        shown.press("Enter", key_code=13)
        shown.wait_until(f"boxes.length > {seen} || hopsasaPage.frames.presented > 5", 30)
    boxes = shown.evaluate("boxes")
    shown.press("Escape", key_code=27)
    shown.wait_until_ended(30)
    assert "".join(text for _, text in boxes) == linux
    assert {title for title, _ in boxes} == {"Error"}
    # The console has each flush of standard output as a line of its own; the text, in its
    # order, is the Linux build's.
    assert "".join(shown.show_lines()) == linux.replace("\n", "")
    assert shown.evaluate("hopsasaPage.missing.sort()") == missing


def test_gl_mapping_tests_pass_on_webgl(page, tmp_path):
    # hopsasa_web_gl (GoogleTest) in a page of its own.
    for name in ("hopsasa_web_gl.js", "hopsasa_web_gl.wasm"):
        shutil.copy(os.path.join(GL_TESTS, name), tmp_path)
    (tmp_path / "index.html").write_text(
        '<!doctype html><canvas id="canvas" width="800" height="600"></canvas>'
        '<script>window.Module = {canvas: document.getElementById("canvas"),'
        ' print: (l) => console.log(l), printErr: (l) => console.error(l),'
        ' onExit: (code) => { window.exitCode = code; }};</script>'
        '<script src="hopsasa_web_gl.js"></script>')
    shown = page(str(tmp_path))
    shown.open(page=False)
    shown.wait_until("window.exitCode !== undefined", 120)
    log = "\n".join(text for _, text in shown.console)
    print(log)
    assert shown.evaluate("window.exitCode") == 0, log
    assert "[  PASSED  ]" in log and "FAILED" not in log


def test_fullscreen_keeps_the_picture_four_by_three_between_black_bars(page, tmp_path):
    # On a 1920x1080 screen the page's fullscreen view puts the picture where the show's
    # --desktop and the capture's --size put it: 1440x1080 between 240-pixel bars.
    shown = page()
    shown.send("Emulation.setDeviceMetricsOverride",
               {"width": 1920, "height": 1080, "deviceScaleFactor": 1, "mobile": False})
    shown.open("?fps=%d" % FPS)
    shown.evaluate("window.tick = 0; hopsasaPage.onFrame = (tick) => { window.tick = tick; }; 0")
    shown.start()
    assert shown.wait_until("document.fullscreenElement !== null && tick > 10", 30)
    shot = base64.b64decode(shown.send("Page.captureScreenshot")["data"])
    assert shown.evaluate("tick") < show_list(FPS)[0][0].frames, "still the title card"
    pixels = np.asarray(load(Image.open(io.BytesIO(shot))), dtype=float)
    assert pixels.shape == (1080, 1920, 3)
    assert pixels[:, :240].max() == 0 and pixels[:, 1680:].max() == 0, "black bars"
    title, _ = linux_frame(FPS, str(tmp_path))
    linux = np.asarray(load(title).resize((1440, 1080)), dtype=float)
    assert np.abs(pixels[:, 240:1680] - linux).mean() < MEAN_LIMIT, "the picture, scaled"
