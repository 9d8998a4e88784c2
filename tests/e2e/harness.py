"""Runs the real program in a real X server (Xvfb) and acts as its user would.

Each test starts its own Xvfb with the screen it needs, starts the program there, and then
presses keys, asks the window to close, finds message boxes by their title, and takes
screenshots. Standard library only, plus xdotool, xwininfo and ImageMagick.
"""
import ctypes
import ctypes.util
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

SOURCE_DIR = os.environ.get("HOPSASA_SOURCE_DIR",
                            os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
BUILD_DIR = os.environ.get("HOPSASA_BUILD_DIR", os.path.join(SOURCE_DIR, "build"))
PROGRAM = os.path.join(BUILD_DIR, "hopsasa")

CONVERT = "/usr/bin/convert"

# Seconds each scene lasts, in play order.
DURATIONS = [5, 15, 20, 5, 2, 7, 13, 5]

# Colour-coded pictures: each a solid colour; the title card is red above, blue below.
PICTURES = {
    "loading.png": (64, 32, "rgb(40,80,120)"), "tittel.png": None,
    "boble1.png": (100, 50, "rgb(255,255,0)"), "boble2.png": (100, 50, "rgb(0,255,255)"),
    "boble3.png": (100, 50, "rgb(255,0,255)"), "boble4.png": (100, 50, "rgb(128,0,0)"),
    "boble5.png": (100, 50, "rgb(0,128,0)"), "boble6.png": (100, 50, "rgb(0,0,128)"),
    "boble7.png": (100, 50, "rgb(128,128,0)"), "bg1.png": (64, 16, "rgb(0,0,255)"),
    "storhallen.png": (8, 8, "rgb(10,10,10)"), "gubbhode.png": (8, 8, "rgb(20,20,20)"),
    "gubbkropp.png": (160, 160, "rgb(128,0,128)"), "gubb.png": (200, 200, "rgb(0,255,0)"),
    "gubb_flip.png": (120, 120, "rgb(0,128,128)"), "ror.png": (130, 40, "rgb(255,128,0)"),
    "demoscenerad.jpg": (32, 32, "rgb(60,60,200)"), "supercrab.png": (32, 32, "rgb(255,0,128)"),
    "savedtheday.png": (32, 32, "rgb(128,255,0)"), "Scenefolk_01.png": (32, 32, "rgb(0,128,255)"),
    "Scenefolk_02.png": (32, 32, "rgb(255,128,255)"), "ropert1.png": (8, 8, "rgb(30,30,30)"),
    "ropert2.png": (8, 8, "rgb(40,40,40)"), "oks_opp.png": (160, 160, "rgb(128,128,255)"),
    "oks_ned.png": (160, 160, "rgb(255,255,128)"), "krabbe1.png": (90, 90, "rgb(100,50,0)"),
    "krabbe2.png": (90, 90, "rgb(0,100,50)"), "krabbesnakk1.png": (120, 80, "rgb(50,0,100)"),
    "krabbesnakk2.png": (120, 80, "rgb(150,150,150)"), "credits.png": (32, 32, "rgb(90,200,90)"),
    "blob.png": (16, 16, "rgb(255,255,255)"),
}


def pixel(png, x, y):
    out = subprocess.run([CONVERT, png, "-crop", f"1x1+{x}+{y}", "-depth", "8", "txt:-"],
                         check=True, capture_output=True, text=True).stdout
    return tuple(int(v) for v in re.search(r"\((\d+),(\d+),(\d+)", out.splitlines()[-1]).groups())


def near(a, b, tolerance=10):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def write_test_show(folder):
    """Colour-coded pictures of every name the show reads, and a short soundtrack."""
    for name, picture in PICTURES.items():
        path = os.path.join(folder, name)
        if picture is None:
            subprocess.run([CONVERT, "-size", "32x16", "xc:rgb(255,0,0)", "-size", "32x16",
                            "xc:rgb(0,0,255)", "-append", "PNG24:" + path], check=True)
        else:
            w, h, color = picture
            kind = "JPEG:" if name.endswith(".jpg") else "PNG24:"
            subprocess.run([CONVERT, "-size", f"{w}x{h}", "xc:" + color, kind + path],
                           check=True)
    shutil.copy(os.path.join(SOURCE_DIR, "tests", "data", "sine-1khz.mp3"),
                os.path.join(folder, "music.mp3"))


def wait_for(condition, timeout, step=0.05):
    """Polls `condition` until it returns something true or `timeout` seconds pass."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(step)


class Xvfb:
    """An X server with one screen of the given size, on a display number it picks."""

    def __init__(self, width=800, height=600):
        read_fd, write_fd = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{width}x{height}x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number
        self.env = dict(os.environ, DISPLAY=self.display)

    def run(self, *args, check=True):
        return subprocess.run(list(args), env=self.env, check=check, capture_output=True,
                              text=True).stdout

    def windows(self):
        """(id, title) of every window that has a title."""
        tree = self.run("xwininfo", "-root", "-tree", check=False)
        return [(int(m.group(1), 16), m.group(2))
                for m in re.finditer(r'^\s*(0x[0-9a-f]+) "([^"]*)"', tree, re.M)]

    def find_window(self, title, timeout=10):
        def find():
            for wid, name in self.windows():
                if name == title:
                    return wid
            return None
        return wait_for(find, timeout)

    def press(self, wid, key):
        self.run("xdotool", "windowfocus", "--sync", str(wid), check=False)
        self.run("xdotool", "key", "--window", str(wid), key, check=False)

    def request_close(self, wid):
        """Asks the window to close the way a window manager does (WM_DELETE_WINDOW)."""
        x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XInternAtom.restype = ctypes.c_ulong
        x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                   ctypes.c_void_p]
        x11.XFlush.argtypes = [ctypes.c_void_p]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

        class ClientMessage(ctypes.Structure):
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                        ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                        ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                        ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
                        ("pad", ctypes.c_long * 12)]

        display = x11.XOpenDisplay(self.display.encode())
        event = ClientMessage()
        event.type = 33  # ClientMessage
        event.window = wid
        event.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
        event.format = 32
        event.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        x11.XSendEvent(display, wid, 0, 0, ctypes.byref(event))
        x11.XFlush(display)
        x11.XCloseDisplay(display)

    def screenshot(self, path):
        self.run("/usr/bin/import", "-window", "root", path)
        return path

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)


class Show:
    """The program running under an Xvfb, with its standard output collected."""

    def __init__(self, xvfb, workdir, extra_env=None):
        """`xvfb` None runs the program with no X server at all."""
        # In the sanitizer build, leaks are not checked here: SDL unloads the X11 libraries
        # at exit, so what they keep can no longer be told apart. Memory errors still are,
        # and the offscreen runs of the tests and the capture tool check leaks too.
        env = dict(xvfb.env if xvfb else os.environ, SDL_AUDIODRIVER="dummy",
                   ASAN_OPTIONS="detect_leaks=0")
        if not xvfb:
            env.pop("DISPLAY", None)
            env.pop("WAYLAND_DISPLAY", None)
        env.update(extra_env or {})
        self.output = tempfile.TemporaryFile(mode="w+")
        self.process = subprocess.Popen([PROGRAM], cwd=workdir, env=env, stdout=self.output,
                                        stderr=subprocess.STDOUT)

    def wait(self, timeout):
        """The exit status, or None if it is still running after `timeout` seconds."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def running(self):
        return self.process.poll() is None

    def signal(self, sig):
        self.process.send_signal(sig)

    def stdout(self):
        self.output.seek(0)
        return self.output.read()

    def kill(self):
        if self.running():
            self.process.send_signal(signal.SIGKILL)
            self.process.wait()
        self.output.close()

