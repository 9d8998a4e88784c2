# The whole show on broken files, through hopsasa-capture: every broken picture or
# soundtrack gives its message, nothing crashes or hangs, and the show runs to its end.
#
# Each run breaks several files at once where their messages cannot be confused, and the
# standard output is compared whole: the messages come in loading order (the loading
# picture, the soundtrack, the sprites, the blob) and have no separators of their own. What
# the audio layer makes of each kind of broken soundtrack, and pictures decoded by content,
# are the unit tests' to check; files that are not files, the capture tests'; here the show
# goes on after the failures it reports.
import io
import os
import struct
import subprocess
import zlib

import pytest
from harness import CAPTURE, show_frames, show_list, write_test_show
from PIL import Image

FPS = 2
CANT_LOAD = "Texture load: Can't load the texture in file '%s' for some reason."
WRONG_DEPTH = "Texture load: Sorry, only 3 or 4 channel images are supported. %s is not!"
NO_MUSIC = "BASS error: File not found?\nBASS Error!\nErrorcode: %d\n"
FILE_FORMAT = 5
# Without a stream the play call names no stream.
CANT_PLAY = "BASS error: Can't play the stream\nBASS Error!\nErrorcode: 6\n"


def png(width, height):
    # An RGB PNG of the given sides and no pixels.
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", b"") + chunk(b"IEND", b"")


def bmp(width, height):
    # A 24-bit BMP header with the given sides and no pixels.
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, 0, 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(info), 0, 0, 14 + len(info)) + info


def palette_png():
    out = io.BytesIO()
    Image.new("P", (16, 16), 3).save(out, "PNG")
    return out.getvalue()


def cut(data):
    return data[:len(data) // 2]


# What is done to a file: (code name of the picture, or "music"; what it becomes, from its
# bytes, None: nothing; what the show says, from its file name).
BROKEN = [
    ("loading", lambda b: b"", CANT_LOAD),
    ("sprBoble1", lambda b: b[:8], CANT_LOAD),  # the signature alone
    ("sprBoble2", lambda b: b[:33], CANT_LOAD),  # the signature and the header chunk
    ("sprBoble3", cut, CANT_LOAD),
    ("sprBoble4", lambda b: bytes(i * 97 % 251 for i in range(3000)), CANT_LOAD),  # no magic
    ("sprBoble5", lambda b: palette_png(), WRONG_DEPTH),  # a palette
    ("sprBoble6", lambda b: png(0, 0), CANT_LOAD),
    ("sprBg1", lambda b: bmp(0, 0), CANT_LOAD),
    ("blob", lambda b: b[:b.index(b"IDAT") + 6], CANT_LOAD),  # inside the pixels
    ("music", lambda b: b"This is not a soundtrack.\n" * 40, lambda n: NO_MUSIC % FILE_FORMAT),
    ("play", None, lambda n: CANT_PLAY),
]


def test_the_show_reports_each_bad_file_and_runs_to_its_end(tmp_path):
    show, frames = tmp_path / "show", tmp_path / "frames"
    show.mkdir()
    frames.mkdir()
    write_test_show(show)
    files = dict(show_list()[1], play="play")
    # Start-up reads the loading picture, opens the soundtrack, reads the other pictures in
    # order, and plays the soundtrack last.
    order = ["loading", "music"] + [n for n in files if n not in ("loading", "music")]
    said = {}
    for name, change, message in BROKEN:
        path = show / files[name]
        if change:
            path.write_bytes(change(path.read_bytes()))
        said[name] = message(files[name]) if callable(message) else message % files[name]
    try:
        run = subprocess.run([CAPTURE, "--frames", frames, "--fps", str(FPS)], cwd=show,
                             capture_output=True, text=True, timeout=120)
    except subprocess.TimeoutExpired:
        pytest.fail("the show hung: no end after 120 s")
    # Status 3: everything written, and the show reported problems (a crash is negative).
    assert run.returncode == 3, run.stderr
    assert len(os.listdir(frames)) == show_frames(FPS), "the show ran to its end"
    assert run.stdout == "".join(said.get(name, "") for name in order)

