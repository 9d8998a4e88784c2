# Message boxes on an X server without core fonts, where SDL cannot draw its own box.
#
# With a dialog tool on PATH (a stand-in for zenity written here, which records how it was
# called and waits until the test lets it go), each box is one call with the exact title
# and text, in order, and the show waits for each. Without one, each box's title and text
# reach standard error and the show runs on. The server's font path holds only the fonts
# compiled into it and PATH only the stand-in (or nothing), so neither a real zenity nor
# real core fonts can answer instead.
import json
import os
import signal
import subprocess
import time

import pytest
from harness import BUILD_DIR, wait_for, write_test_show

PROBE = os.path.join(BUILD_DIR, "tests", "e2e", "hopsasa-box-probe")

# Records its arguments as hex bytes (exact, whatever the encoding) and the kinds of the
# descriptors it inherited, then waits for its go file, or not at all once "go-all" exists.
STAND_IN = """#!/usr/bin/python3
import json, os, sys, time
calls = sys.argv[0] + ".calls"
index = len([n for n in os.listdir(calls) if n.endswith(".json")])
fds = {fd: os.readlink("/proc/self/fd/" + fd) for fd in os.listdir("/proc/self/fd")
       if os.path.exists("/proc/self/fd/" + fd)}
with open(os.path.join(calls, "partial"), "w") as out:
    json.dump({"args": [os.fsencode(a).hex() for a in sys.argv[1:]], "fds": fds}, out)
os.rename(os.path.join(calls, "partial"), os.path.join(calls, "%03d.json" % index))
while not any(os.path.exists(os.path.join(calls, n)) for n in ("%03d.go" % index, "go-all")):
    time.sleep(0.02)
"""


def texture_message(name):
    # The loader's message for a picture file that cannot be read, as bytes.
    return b"Texture load: Can't load the texture in file '" + os.fsencode(name) + \
        b"' for some reason."


@pytest.fixture(params=[True, False], ids=["with_a_dialog_tool", "without_a_dialog_tool"])
def boxes(request, tmp_path, xvfb):
    # An Xvfb with no core fonts and a PATH of the stand-in dialog tool alone, or of
    # nothing; `call(i)` the i-th call the tool got: (title, text, descriptors) or None.
    server = xvfb(font_path="built-ins")
    assert server.run("xset", "q").split("Font Path:")[1].split()[0] == "built-ins"
    path, calls = tmp_path / "bin", tmp_path / "bin" / "zenity.calls"
    calls.mkdir(parents=True)
    if request.param:
        (path / "zenity").write_text(STAND_IN)
        (path / "zenity").chmod(0o700)

    def call(index):
        record = calls / ("%03d.json" % index)
        if not record.exists():
            return None
        made = json.loads(record.read_text())
        args = [bytes.fromhex(a) for a in made["args"]]
        value = {a: b for a, b in zip(args, args[1:] + [None])}
        return value.get(b"--title"), value.get(b"--text"), made["fds"]
    return request.param, server, {"PATH": str(path)}, calls, call


def test_boxes_are_shown_one_at_a_time_or_reported_and_the_show_goes_on(boxes, tmp_path,
                                                                        show):
    with_tool, server, env, calls, call = boxes
    write_test_show(tmp_path)
    missing = sorted(n for n in os.listdir(tmp_path) if n.endswith(".png"))[-3:]
    for name in missing:
        os.remove(tmp_path / name)
    shown = show(server, tmp_path, env)
    expected, texts = {texture_message(name) for name in missing}, []
    for index in range(len(missing) if with_tool else 0):
        box = wait_for(lambda: call(index), 20)
        assert box, f"box {index} reached the dialog tool"
        title, text, fds = box
        assert title == b"Error" and text in expected - set(texts)
        texts.append(text)
        # No socket: neither the show's X connection nor its guard's channel.
        assert [f for f in fds.values() if f.startswith("socket:")] == [], fds
        # The message goes to standard output before its box, and nothing after it until
        # the box is dismissed.
        printed = shown.stdout()
        time.sleep(1.0)
        assert shown.running() and shown.stdout() == printed, "the show waits for the box"
        assert printed.endswith(text.decode()), printed
        assert call(index + 1) is None, "one box at a time"
        (calls / ("%03d.go" % index)).touch()
    assert server.find_window("hopsasa")
    messages = [texture_message(name).decode() for name in missing]
    assert wait_for(lambda: all(m in shown.stdout() for m in messages), 20), shown.stdout()
    time.sleep(2.0)
    assert call(len(texts)) is None, "one call per box"
    assert shown.running(), "the show goes on"
    shown.signal(signal.SIGTERM)
    assert shown.wait(timeout=10) == 0, shown.stdout()
    # Without the tool each message is on standard output, then on standard error after its
    # title; in the order the show reads the pictures.
    order = sorted(messages, key=shown.stdout().index)
    assert shown.stdout() == "".join(m if with_tool else f"{m}Error: {m}\n" for m in order)


def test_box_text_keeps_utf8_and_percent_signs(boxes, tmp_path):
    with_tool, server, env, calls, call = boxes
    names = [b"bilde-\xc3\xa6\xc3\xb8\xc3\xa5-\xce\xa9-\xf0\x9f\xa6\x80-100%-%s-%n-%%.png",
             b"50% ferdig.png",
             b"bad-\xff\xfe.png"]  # not UTF-8: the box shows an empty text
    shown = [texture_message(os.fsdecode(n)) for n in names[:2]] + [b""]
    (calls / "go-all").touch()
    result = subprocess.run([PROBE, *names], cwd=tmp_path, capture_output=True, timeout=60,
                            env=dict(server.env, SDL_AUDIODRIVER="dummy", **env))
    assert result.returncode == 0, result.stderr
    assert result.stdout == b"".join(texture_message(os.fsdecode(n)) for n in names)
    if with_tool:
        made = [call(i) for i in range(len(names) + 1)]
        # zenity shows the text as given (--no-markup); an empty one as blank.
        assert [(c[0], c[1] if c[1].strip() else b"") for c in made[:-1]] == \
            [(b"Error", text) for text in shown]
        assert b'"' not in made[2][1] and made[-1] is None, "one call per box"
        assert result.stderr == b""
    else:
        assert result.stderr == b"".join(b"Error: " + text + b"\n" for text in shown)
