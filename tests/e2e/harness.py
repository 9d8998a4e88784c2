"""Runs the real program in a real X server (Xvfb) and acts as its user would.

Each test starts its own Xvfb with the screen it needs, starts the program there, and then
presses keys, asks the window to close, finds message boxes by their title, and takes
screenshots. Standard library only, plus xdotool, xwininfo and ImageMagick.
"""
import ctypes
import ctypes.util
import functools
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

CAPTURE = os.path.join(BUILD_DIR, "tools", "capture", "hopsasa-capture")


class Scene:
    """One scene as `hopsasa-capture --list` describes it at a frame rate."""

    def __init__(self, index, name, first_frame, frames, start, length):
        self.index, self.name = int(index), name
        self.first_frame, self.frames = int(first_frame), int(frames)
        self.start, self.length = float(start), float(length)


@functools.lru_cache(maxsize=None)
def show_list(fps=60):
    """The scenes in play order and the files the show reads ({name: file}, in the order
    it reads them), from the capture tool's --list."""
    out = subprocess.run([CAPTURE, "--list", "--fps", str(fps)], check=True,
                         capture_output=True, text=True).stdout
    scenes, files = [], {}
    for line in out.splitlines():
        kind, *fields = line.split("\t")
        if kind == "scene":
            scenes.append(Scene(*fields))
        else:
            files[fields[0]] = fields[1]
    return scenes, files


def show_frames(fps):
    """Frames the whole show lasts at `fps`."""
    last = show_list(fps)[0][-1]
    return last.first_frame + last.frames


def show_length():
    """The seconds the scenes last together."""
    return sum(scene.length for scene in show_list()[0])


def colour(name):
    """The solid colour of the picture `name` in a test show: one of its own for each
    picture, never near black or white."""
    index = list(show_list()[1]).index(name)
    return (40 + (index * 97) % 180, 40 + (index * 53 + 60) % 180, 40 + (index * 151 + 120) % 180)


# The title card is split, red above and blue below, so that a test can tell it upright.
TITLE = "sprTittel"


def pixel(png, x, y):
    out = subprocess.run([CONVERT, png, "-crop", f"1x1+{x}+{y}", "-depth", "8", "txt:-"],
                         check=True, capture_output=True, text=True).stdout
    return tuple(int(v) for v in re.search(r"\((\d+),(\d+),(\d+)", out.splitlines()[-1]).groups())


def near(a, b, tolerance=10):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def write_test_show(folder):
    """A picture of its own solid colour for every picture the show reads (JPEG where the
    show reads JPEG), and a short soundtrack."""
    for name, file in show_list()[1].items():
        path = os.path.join(folder, file)
        if name == TITLE:
            subprocess.run([CONVERT, "-size", "32x16", "xc:rgb(255,0,0)", "-size", "32x16",
                            "xc:rgb(0,0,255)", "-append", "PNG24:" + path], check=True)
        elif file.endswith(".mp3"):
            shutil.copy(os.path.join(SOURCE_DIR, "tests", "data", "sine-1khz.mp3"), path)
        else:
            kind = "JPEG:" if file.endswith(".jpg") else "PNG24:"
            subprocess.run([CONVERT, "-size", "64x64", "xc:rgb(%d,%d,%d)" % colour(name),
                            kind + path], check=True)


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

    def __init__(self, xvfb, workdir, extra_env=None, args=()):
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
        self.process = subprocess.Popen([PROGRAM, *args], cwd=workdir, env=env, stdout=self.output,
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

