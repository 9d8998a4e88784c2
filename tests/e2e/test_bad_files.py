# The whole show on broken files, through hopsasa-capture: every broken picture or
# soundtrack gives its message, nothing crashes or hangs, and the show runs to its end.
#
# Each run breaks several files at once where their messages cannot be confused, and the
# standard output is compared whole: the messages come in loading order (the loading
# picture, the soundtrack, the sprites, the blob) and have no separators of their own. What
# the audio layer makes of each kind of broken soundtrack is the unit tests' to check; here
# the show goes on after the failures it reports.
import io
import os
import pathlib
import shutil
import struct
import subprocess
import tempfile
import zlib

import numpy as np
import pytest
from harness import CAPTURE, near, pixel, show_frames, show_list, write_test_show
from PIL import Image

FPS = 2
CANT_LOAD = "Texture load: Can't load the texture in file '%s' for some reason."
WRONG_DEPTH = "Texture load: Sorry, only 3 or 4 channel images are supported. %s is not!"
NO_MUSIC = "BASS error: File not found?\nBASS Error!\nErrorcode: %d\n"
FILE_OPEN, FILE_FORMAT = 4, 5
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


def picture(mode, colour, kind, size=16, **options):
    # The bytes of a picture of one colour (or a red-to-blue gradient) in a format.
    if colour == "gradient":
        rows = np.linspace(0, 255, size)[:, None, None] * [-1, 0, 1] + [255, 0, 0]
        image = Image.fromarray(np.repeat(rows, size, axis=1).astype(np.uint8))
    else:
        image = Image.new(mode, (size, size), colour)
    out = io.BytesIO()
    image.save(out, kind, **options)
    return out.getvalue()


def cut(data):
    return data[:len(data) // 2]


# What is done to a file: (code name of the picture, or "music"; what it becomes, from its
# bytes; what the show says, from its file name; None: nothing).
BROKEN = [
    ("loading", lambda b: b"", CANT_LOAD),
    ("sprBoble1", lambda b: b[:8], CANT_LOAD),  # the signature alone
    ("sprBoble2", lambda b: b[:33], CANT_LOAD),  # the signature and the header chunk
    ("sprBoble3", cut, CANT_LOAD),
    ("sprBoble4", lambda b: bytes(i * 97 % 251 for i in range(3000)), CANT_LOAD),  # no magic
    ("sprBoble5", lambda b: picture("P", 3, "PNG"), WRONG_DEPTH),  # a palette
    ("sprBoble6", lambda b: png(0, 0), CANT_LOAD),
    ("sprBg1", lambda b: bmp(0, 0), CANT_LOAD),
    ("blob", lambda b: b[:b.index(b"IDAT") + 6], CANT_LOAD),  # inside the pixels
    ("music", lambda b: b"This is not a soundtrack.\n" * 40, lambda n: NO_MUSIC % FILE_FORMAT),
    ("play", None, lambda n: CANT_PLAY),
]
# The content decides the format, not the name: these load without a word. A JPEG cut
# short decodes as far as it goes; half an MP3 is a shorter MP3. (Hostile pictures, each
# format by content and sides too large are the unit tests'.)
BY_CONTENT = [
    ("sprSupercrab", lambda b: picture("RGB", (255, 0, 128), "JPEG", 32, quality=100), None),
    ("sprSavedTheDay", lambda b: cut(picture("RGB", "gradient", "JPEG", 64, quality=100,
                                                    subsampling=0)),
     None),
    ("music", cut, None),
    ("loading", "folder", CANT_LOAD),
    ("sprKrabbe1", "folder", CANT_LOAD),
    ("sprCredits", lambda b: picture("L", 128, "PNG"), WRONG_DEPTH),
]
# Permissions do not stop root: the show then runs as nobody.
UNREADABLE = [("sprRor", "unreadable", CANT_LOAD),
              ("music", "unreadable", lambda n: NO_MUSIC % FILE_OPEN),
              ("play", None, lambda n: CANT_PLAY)]


@pytest.mark.parametrize("changes", [BROKEN, BY_CONTENT, UNREADABLE],
                         ids=["broken_pictures_and_a_text_file_for_music",
                              "decoded_by_content_directories_and_music_cut_in_half",
                              "files_without_read_permission"])
def test_the_show_reports_each_bad_file_and_runs_to_its_end(changes, tmp_path, defer):
    if os.geteuid() == 0 and changes is UNREADABLE:  # in a folder nobody can reach
        tmp_path = pathlib.Path(tempfile.mkdtemp())
        tmp_path.chmod(0o755)
        defer(shutil.rmtree, tmp_path)
    show, frames = tmp_path / "show", tmp_path / "frames"
    show.mkdir()
    frames.mkdir(mode=0o777)
    write_test_show(show)
    files = dict(show_list()[1], play="play")
    # Start-up reads the loading picture, opens the soundtrack, reads the other pictures in
    # order, and plays the soundtrack last.
    order = ["loading", "music"] + [n for n in files if n not in ("loading", "music")]
    prefix = []
    if os.geteuid() == 0 and changes is UNREADABLE:
        prefix = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
        show.chmod(0o755)
        frames.chmod(0o777)
    said = {}
    for name, change, message in changes:
        path = show / files[name]
        if change == "folder":
            path.unlink()
            path.mkdir()
        elif change == "unreadable":
            path.chmod(0)
        elif change:
            path.write_bytes(change(path.read_bytes()))
        if message:
            said[name] = message(files[name]) if callable(message) else message % files[name]
    try:
        run = subprocess.run([*prefix, CAPTURE, "--frames", frames, "--fps", str(FPS)], cwd=show,
                             capture_output=True, text=True, timeout=120)
    except subprocess.TimeoutExpired:
        pytest.fail("the show hung: no end after 120 s")
    # Status 3: everything written, and the show reported problems (a crash is negative).
    assert run.returncode == (3 if said else 0), run.stderr
    assert len(os.listdir(frames)) == show_frames(FPS), "the show ran to its end"
    assert run.stdout == "".join(said.get(name, "") for name in order)
    if changes is BY_CONTENT:
        supercrab = show_list(FPS)[0][4]
        shot = frames / ("frame_%06d.png" % (supercrab.first_frame + 2))
        assert near(pixel(str(shot), 400, 300), (255, 0, 128)), "the JPEG named .png shows"

