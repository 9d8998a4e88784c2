"""The whole show on broken files, through hopsasa-capture: every broken picture or soundtrack
gives its message, nothing crashes or hangs, and the show runs to its end with status 0.

Each run breaks several files at once where their messages cannot be confused, and the
standard output is compared whole: the messages come in loading order (the loading picture,
the soundtrack, the sprites, the blob) and have no separators of their own. What the audio
layer makes of each kind of broken soundtrack (empty, cut in its first frame, a lying tag)
is the unit tests' to check; here the show goes on after the failures it reports.
"""
import base64
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

sys.path.insert(0, os.path.dirname(__file__))
from harness import CAPTURE, CONVERT, near, pixel, show_frames, show_list, write_test_show  # noqa: E402,E501

FPS = 2
FRAMES = show_frames(FPS)
# A good show takes a few seconds at two frames a second; a hang takes this long to show.
TIMEOUT = 120

PICTURES = [file for file in show_list()[1].values() if not file.endswith(".mp3")]
# Start-up reads the loading picture, opens the soundtrack, reads the other pictures in
# order, and plays the soundtrack last.
LOAD_ORDER = [PICTURES[0], show_list()[1]["music"], *PICTURES[1:], "play"]

# A 4 x 4 PNG whose second chunk claims 3.5 MB in a file of 186 bytes: the decoder's reader
# went on parsing stale bytes for ever (found by decoded_picture_fuzz).
ENDLESS_PNG = base64.b64decode(
    "iVBORw0KGgoAAAANSUhEUgAAAAQAAAAECAYAAACp8Z5+ADgABGdBTUEAALGPC/xhBUFUCNdjrK+v92VAAkwMaICwAAB2"
    "zgHSg8GQSQAAACV0RVh0ZGF0ZTpjcmVhdGUAMjAyNi0xMi0wNlQyMDowNTo0MyswMDowMI7Kc68AAAAldEVYdGRhdGU6"
    "bW9kaWZ5ADIwMjYtMTItMDZUMjA6MDU6NDMrMDA6MDD/l8sTAAAAAElFTkSuQmCC")


def cant_load(name):
    return "Texture load: Can't load the texture in file '%s' for some reason." % name


def wrong_depth(name):
    return "Texture load: Sorry, only 3 or 4 channel images are supported. %s is not!" % name


def no_music(code):
    return "BASS error: File not found?\nBASS Error!\nErrorcode: %d\n" % code


# Without a stream the play call names no stream.
CANT_PLAY = "BASS error: Can't play the stream\nBASS Error!\nErrorcode: 6\n"
FILE_OPEN, FILE_FORMAT = 4, 5


def png(width, height, color_type=2, idat=b""):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data)))
    header = struct.pack(">IIBBBBB", width, height, 8, color_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", idat) +
            chunk(b"IEND", b""))


def bmp(width, height):
    """A 24-bit BMP header with the given sides and no pixels."""
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, 0, 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(info), 0, 0, 14 + len(info)) + info


def garbage(count):
    """The same bytes on every run, no picture format's magic among them."""
    state, out = 12345, bytearray()
    for _ in range(count):
        state = (state * 1103515245 + 12345) & 0x7fffffff
        out.append(state >> 16 & 0xff)
    return bytes(out)


class BadFilesTest(unittest.TestCase):
    def setUp(self):
        self.show = tempfile.mkdtemp(prefix="hopsasa-bad-")
        self.frames = tempfile.mkdtemp(prefix="hopsasa-bad-frames-")
        self.addCleanup(shutil.rmtree, self.show, True)
        self.addCleanup(shutil.rmtree, self.frames, True)
        write_test_show(self.show)

    def path(self, name):
        return os.path.join(self.show, name)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)

    def cut(self, name, size):
        self.write(name, self.read(name)[:size])

    def make_directory(self, name):
        os.remove(self.path(name))
        os.mkdir(self.path(name))

    def convert(self, name, kind, *args):
        """Writes the picture ImageMagick makes from `args` in format `kind` under `name`."""
        subprocess.run([CONVERT, *args, kind + ":" + self.path(name)], check=True)

    def run_show(self, messages, command_prefix=()):
        """Runs the capture and checks its end; `messages` maps a name of LOAD_ORDER (or
        "play") to what the show says about it."""
        try:
            run = subprocess.run([*command_prefix, CAPTURE, "--frames", self.frames, "--fps",
                                  str(FPS)], cwd=self.show, capture_output=True, text=True,
                                 timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            self.fail("the show hung: no end after %d s" % TIMEOUT)
        self.assertEqual(run.returncode, 0, "exit status (a crash is negative)\n" + run.stderr)
        self.assertEqual(len(os.listdir(self.frames)), FRAMES, "the show ran to its end")
        unknown = set(messages) - set(LOAD_ORDER)
        self.assertFalse(unknown, "names the show does not read")
        expected = "".join(messages.get(name, "") for name in LOAD_ORDER)
        self.assertEqual(run.stdout, expected)
        return run

    def frame(self, k):
        return os.path.join(self.frames, "frame_%06d.png" % k)

    def test_broken_pictures_and_a_text_file_for_music(self):
        self.write("loading.png", b"")
        self.cut("boble1.png", 8)  # the signature alone
        self.cut("boble2.png", 33)  # the signature and the header chunk
        self.cut("boble3.png", len(self.read("boble3.png")) // 2)
        self.write("boble4.png", garbage(3000))
        self.convert("boble5.png", "PNG8", "-size", "16x16", "xc:rgb(10,20,30)")
        self.write("boble6.png", png(0, 0))
        self.write("boble7.png", png(65535, 65535, 6, zlib.compress(bytes(100))))
        self.write("tittel.png", ENDLESS_PNG)
        self.write("bg1.png", bmp(0, 0))
        self.write("storhallen.png", bmp(60000, 60000))
        # Only PNG, JPEG and BMP are decoded, whatever the name.
        self.convert("gubbhode.png", "GIF", "-size", "8x8", "xc:red")
        self.cut("blob.png", self.read("blob.png").index(b"IDAT") + 6)  # inside the pixels
        with open(self.path("music.mp3"), "w") as f:
            f.write("This is not a soundtrack.\n" * 40)

        self.run_show({
            "loading.png": cant_load("loading.png"),
            "music.mp3": no_music(FILE_FORMAT),
            "boble1.png": cant_load("boble1.png"),
            "boble2.png": cant_load("boble2.png"),
            "boble3.png": cant_load("boble3.png"),
            "boble4.png": cant_load("boble4.png"),
            "boble5.png": wrong_depth("boble5.png"),
            "boble6.png": cant_load("boble6.png"),
            "boble7.png": cant_load("boble7.png"),
            "tittel.png": cant_load("tittel.png"),
            "bg1.png": cant_load("bg1.png"),
            "storhallen.png": cant_load("storhallen.png"),
            "gubbhode.png": cant_load("gubbhode.png"),
            "blob.png": cant_load("blob.png"),
            "play": CANT_PLAY,
        })

    def test_pictures_decoded_by_content_directories_and_music_cut_in_half(self):
        # The content decides the format, not the name: all of these load without a word.
        self.convert("demoscenerad.jpg", "PNG24", "-size", "32x32", "xc:rgb(60,60,200)")
        self.convert("supercrab.png", "JPEG", "-size", "32x32", "xc:rgb(255,0,128)", "-quality",
                     "100")
        self.convert("Scenefolk_01.png", "BMP3", "-size", "32x32", "xc:rgb(0,128,255)")
        # A JPEG cut short decodes as far as it goes, the rest filled in by the decoder.
        self.convert("savedtheday.png", "JPEG", "-size", "64x64", "gradient:red-blue")
        self.cut("savedtheday.png", len(self.read("savedtheday.png")) // 2)
        # Half an MP3 is a shorter MP3: it opens and plays.
        self.cut("music.mp3", len(self.read("music.mp3")) // 2)
        self.make_directory("loading.png")
        self.make_directory("krabbe1.png")
        self.convert("credits.png", "PNG8", "-size", "16x16", "xc:gray50", "-colorspace",
                     "Gray")

        self.run_show({
            "loading.png": cant_load("loading.png"),
            "krabbe1.png": cant_load("krabbe1.png"),
            "credits.png": wrong_depth("credits.png"),
        })
        supercrab = show_list(FPS)[0][4]
        self.assertTrue(near(pixel(self.frame(supercrab.first_frame + 2), 400, 300),
                             (255, 0, 128)),
                        "the JPEG named .png is on screen")

    def test_files_without_read_permission(self):
        prefix = ()
        if os.geteuid() == 0:
            # Permissions do not stop root: the show runs as nobody instead.
            setpriv = shutil.which("setpriv")
            if not setpriv:
                self.skipTest("running as root and setpriv is missing: root reads any file")
            prefix = (setpriv, "--reuid=65534", "--regid=65534", "--clear-groups")
            os.chmod(self.show, 0o755)
            os.chmod(self.frames, 0o777)
            for name in os.listdir(self.show):
                os.chmod(self.path(name), 0o644)
        os.chmod(self.path("ror.png"), 0)
        os.chmod(self.path("music.mp3"), 0)
        self.run_show({
            "ror.png": cant_load("ror.png"),
            "music.mp3": no_music(FILE_OPEN),
            "play": CANT_PLAY,
        }, prefix)


if __name__ == "__main__":
    unittest.main()
