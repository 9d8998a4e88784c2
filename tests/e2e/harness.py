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


# The Xlib calls the tests make themselves (ctypes), for what xdotool cannot do exactly.
XErrorHandler = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
# Xlib's default handler would end the test's process on an error such as BadWindow; this
# one records it. It lives as long as the module, as Xlib keeps it.
X_ERRORS = []
RECORD_X_ERROR = XErrorHandler(lambda _display, _error: X_ERRORS.append(True) or 0)


class XAnyEvent(ctypes.Structure):
    """An XEvent, read through the fields every structure-notify event starts with."""
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", ctypes.c_ulong),
                ("window", ctypes.c_ulong), ("pad", ctypes.c_long * 18)]


def xlib():
    """libX11 with the types of the calls the tests make."""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XStringToKeysym.restype = ctypes.c_ulong
    x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
    x11.XKeysymToKeycode.restype = ctypes.c_ubyte
    x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.c_void_p]
    x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
    x11.XSetErrorHandler.argtypes = [XErrorHandler]
    x11.XSetErrorHandler.restype = ctypes.c_void_p
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XPending.argtypes = [ctypes.c_void_p]
    x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    return x11


class Xvfb:
    """An X server with one screen of the given size, on a display number it picks."""

    def __init__(self, width=800, height=600, font_path=None):
        """`font_path` replaces the server's font path: "built-ins" leaves only the fonts
        compiled into the server (fixed and cursor), none that SDL draws its boxes with."""
        read_fd, write_fd = os.pipe()
        fonts = ["-fp", font_path] if font_path else []
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{width}x{height}x24",
             "-nolisten", "tcp", "-noreset"] + fonts,
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

    def viewable(self, wid):
        """Whether window `wid` is mapped and shown."""
        return "IsViewable" in self.run("xwininfo", "-id", str(wid), check=False)

    def dismiss(self, wid, key="Return", timeout=10):
        """Presses `key` in window `wid` until the server reports the window destroyed;
        whether it was. A window's id says little here: X hands a client's ids on to the next
        client, so boxes shown one after another by processes of their own often have the
        same id, and a box that follows takes the place of the one that went at once. A box
        is found by its title before it is mapped, and a press it gets then is lost: the
        first press waits until the box shows, and another follows only if it is still there
        a few seconds later. The keys go to `wid` alone (see send_key)."""
        x11 = xlib()
        display = x11.XOpenDisplay(self.display.encode())
        try:
            X_ERRORS.clear()
            x11.XSetErrorHandler(RECORD_X_ERROR)
            x11.XSelectInput(display, wid, 1 << 17)  # StructureNotifyMask
            x11.XSync(display, 0)
            if X_ERRORS:
                return True  # no such window any more

            def destroyed():
                event = XAnyEvent()
                while x11.XPending(display):
                    x11.XNextEvent(display, ctypes.byref(event))
                    if event.type == 17 and event.window == wid:  # DestroyNotify
                        return True
                return False
            deadline = time.monotonic() + timeout
            wait_for(lambda: self.viewable(wid), timeout)
            while time.monotonic() < deadline:
                self.send_key(wid, key)
                if wait_for(destroyed, 3):
                    return True
            return False
        finally:
            x11.XCloseDisplay(display)

    def request_close(self, wid):
        """Asks the window to close the way a window manager does (WM_DELETE_WINDOW)."""
        class ClientMessage(ctypes.Structure):
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                        ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                        ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                        ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
                        ("pad", ctypes.c_long * 12)]

        def message(x11, display):
            event = ClientMessage(type=33, window=wid, format=32,  # ClientMessage
                                  message_type=x11.XInternAtom(display, b"WM_PROTOCOLS", 0))
            event.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
            return [(event, 0)]
        self._send(wid, message)

    def send_key(self, wid, key):
        """Sends a press and a release of `key` to window `wid` alone, whatever has the
        focus: nothing of it can reach another window, such as the box that follows."""
        class KeyEvent(ctypes.Structure):
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                        ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                        ("window", ctypes.c_ulong), ("root", ctypes.c_ulong),
                        ("subwindow", ctypes.c_ulong), ("time", ctypes.c_ulong),
                        ("x", ctypes.c_int), ("y", ctypes.c_int), ("x_root", ctypes.c_int),
                        ("y_root", ctypes.c_int), ("state", ctypes.c_uint),
                        ("keycode", ctypes.c_uint), ("same_screen", ctypes.c_int),
                        ("pad", ctypes.c_long * 12)]

        def press_and_release(x11, display):
            keycode = x11.XKeysymToKeycode(display, x11.XStringToKeysym(key.encode()))
            root = x11.XDefaultRootWindow(display)
            # KeyPress with KeyPressMask, KeyRelease with KeyReleaseMask.
            return [(KeyEvent(type=kind, window=wid, root=root, keycode=keycode, same_screen=1),
                     mask) for kind, mask in ((2, 1 << 0), (3, 1 << 1))]
        self._send(wid, press_and_release)

    def _send(self, wid, make_events):
        """Sends the events `make_events(x11, display)` returns, each with its event mask, to
        window `wid` through a connection of its own (XSendEvent)."""
        x11 = xlib()
        display = x11.XOpenDisplay(self.display.encode())
        for event, mask in make_events(x11, display):
            x11.XSendEvent(display, wid, 0, mask, ctypes.byref(event))
        x11.XFlush(display)
        x11.XCloseDisplay(display)

    def screenshot(self, path):
        self.run("/usr/bin/import", "-window", "root", path)
        return path

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)


class Xorg(Xvfb):
    """Xorg on the dummy video driver: unlike Xvfb it switches modes through XRandR, so a
    mode the program leaves behind stays there. Needs root. The first of `modes` is the
    desktop's; a single mode is the only one the server offers (the dummy driver adds
    modes of its own wherever the monitor's ranges let it). Clients are logged with their
    process ids (-audit 4), so tests can see who held a connection and when.
    """

    # VESA timings: pixel clock (MHz), horizontal and vertical edges, sync polarities.
    MODELINES = {
        "1024x768": "65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync",
        "800x600": "40.00 800 840 968 1056 600 601 605 628 +hsync +vsync",
        "640x480": "25.175 640 656 752 800 480 490 492 525 -hsync -vsync",
    }

    def __init__(self, modes=("1024x768", "800x600", "640x480")):
        self.folder = tempfile.mkdtemp(prefix="hopsasa-xorg-")
        config = os.path.join(self.folder, "xorg.conf")
        self.log = os.path.join(self.folder, "xorg.log")
        with open(config, "w") as out:
            out.write(self._config(modes))
        read_fd, write_fd = os.pipe()
        # Always -noreset: otherwise the server resets when its last client leaves and
        # restores the mode itself, which would hide a mode left behind.
        self.process = subprocess.Popen(
            ["Xorg", "-displayfd", str(write_fd), "-config", config, "-noreset", "-nolisten",
             "tcp", "-audit", "4", "-logfile", self.log],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        if not number:
            shutil.rmtree(self.folder, True)
            raise RuntimeError("Xorg did not start (it needs root and the dummy driver)")
        self.display = ":" + number
        self.env = dict(os.environ, DISPLAY=self.display)

    def _config(self, modes):
        width, height = modes[0].split("x")
        if len(modes) == 1:
            # Ranges that only this mode's own rates fall into.
            numbers = self.MODELINES[modes[0]].split()
            clock, htotal, vtotal = float(numbers[0]), int(numbers[4]), int(numbers[8])
            hsync = clock * 1000 / htotal
            vrefresh = hsync * 1000 / vtotal
            hrange = f"{hsync - 0.1:.2f} - {hsync + 0.1:.2f}"
            vrange = f"{vrefresh - 0.1:.2f} - {vrefresh + 0.1:.2f}"
        else:
            hrange, vrange = "5.0 - 1000.0", "5.0 - 200.0"
        modelines = "".join(f'    Modeline "{m}" {self.MODELINES[m]}\n' for m in modes)
        names = " ".join(f'"{m}"' for m in modes)
        return (
            'Section "ServerFlags"\n    Option "AutoAddDevices" "false"\nEndSection\n'
            'Section "Device"\n    Identifier "dummy"\n    Driver "dummy"\n'
            '    VideoRam 16384\nEndSection\n'
            f'Section "Monitor"\n    Identifier "monitor"\n    HorizSync {hrange}\n'
            f'    VertRefresh {vrange}\n{modelines}EndSection\n'
            'Section "Screen"\n    Identifier "screen"\n    Device "dummy"\n'
            '    Monitor "monitor"\n    DefaultDepth 24\n    SubSection "Display"\n'
            f'        Depth 24\n        Modes {names}\n        Virtual {width} {height}\n'
            '    EndSubSection\nEndSection\n')

    def mode(self):
        """(screen size, mode of the connected output) as "WxH" each, from xrandr."""
        query = self.run("xrandr", "-q")
        screen = re.search(r"current (\d+) x (\d+)", query)
        output = re.search(r"^\S+ connected (?:primary )?(\d+x\d+)\+", query, re.M)
        return (f"{screen.group(1)}x{screen.group(2)}" if screen else None,
                output.group(1) if output else None)

    def modes(self):
        """Every mode the connected output offers, as "WxH"."""
        query = self.run("xrandr", "-q")
        return re.findall(r"^\s+(\d+x\d+)\s", query, re.M)

    def connections(self):
        """Every client connection so far, in order, from the audit log: {"pid", "open",
        "opened", "closed"}, the times in seconds of the server's clock (None while open)."""
        clients, log = {}, []
        with open(self.log, errors="replace") as lines:
            for line in lines:
                stamp = re.match(r"\[\s*([\d.]+)\]", line)
                opened = re.search(r"client (\d+) connected from .*pid=(\d+)", line)
                closed = re.search(r"client (\d+) disconnected", line)
                if stamp and opened:
                    clients[opened.group(1)] = {"pid": int(opened.group(2)), "open": True,
                                                "opened": float(stamp.group(1)), "closed": None}
                    log.append(clients[opened.group(1)])
                elif stamp and closed and closed.group(1) in clients:
                    client = clients.pop(closed.group(1))
                    client["open"] = False
                    client["closed"] = float(stamp.group(1))
        return log

    def stop(self):
        super().stop()
        shutil.rmtree(self.folder, True)


# For the sanitizer build: no leak check (see Show), and the crash signals left to the
# program's own handlers.
ASAN_OPTIONS = "detect_leaks=0:handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_abort=0"


class Show:
    """The program running under an Xvfb, with its standard output collected."""

    def __init__(self, xvfb, workdir, extra_env=None, args=()):
        """`xvfb` None runs the program with no X server at all."""
        # In the sanitizer build, leaks are not checked here: SDL unloads the X11 libraries
        # at exit, so what they keep can no longer be told apart. Memory errors still are,
        # and the offscreen runs of the tests and the capture tool check leaks too. The
        # crash signals are left to the program's own handling, which the tests check.
        env = dict(xvfb.env if xvfb else os.environ, SDL_AUDIODRIVER="dummy",
                   ASAN_OPTIONS=ASAN_OPTIONS)
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

