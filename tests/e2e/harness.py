# What every test of a real environment shares: the built programs, the show's scenes and
# files as `hopsasa-capture --list` gives them, a test show of solid colours, X servers
# (Xvfb, and Xorg on the dummy driver, which really switches modes) driven through
# python3-xlib, the program under test, and pytest's fixtures and CTest's markers.
# The other environments' conftest.py import it from here.
import collections
import functools
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

import numpy as np
import pytest
from PIL import Image
from Xlib import X, XK, Xatom, error, protocol
from Xlib.display import Display

SOURCE_DIR = os.environ.get("HOPSASA_SOURCE_DIR",
                            os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
BUILD_DIR = os.environ.get("HOPSASA_BUILD_DIR", os.path.join(SOURCE_DIR, "build"))
RELEASE_DIR = os.environ.get("HOPSASA_RELEASE_DIR", os.path.join(BUILD_DIR, "release-test", "dist"))
PROGRAM = os.path.join(BUILD_DIR, "hopsasa")
CAPTURE = os.path.join(BUILD_DIR, "tools", "capture", "hopsasa-capture")
DATA = os.path.join(SOURCE_DIR, "data")
# What the show says without its music, message by message (each one a box).
NO_MUSIC = ["BASS error: File not found?\n", "BASS Error!\nErrorcode: 4\n",
            "BASS error: Can't play the stream\n", "BASS Error!\nErrorcode: 6\n"]
# For the sanitizer build: no leak check (SDL unloads the X11 libraries at exit, so what
# they keep cannot be told apart), and the crash signals left to the program's handlers.
ASAN_OPTIONS = "detect_leaks=0:handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_abort=0"

Scene = collections.namedtuple("Scene", "index name first_frame frames start length")


@functools.lru_cache(maxsize=None)
def show_list(fps=60):
    # The scenes in play order, and {picture name: file} in the order start-up reads them
    # with the soundtrack under "music".
    out = subprocess.run([CAPTURE, "--list", "--fps", str(fps)], check=True,
                         capture_output=True, text=True).stdout
    scenes, files = [], {}
    for kind, *fields in (line.split("\t") for line in out.splitlines()):
        if kind == "scene":
            i, name, first, frames, start, length = fields
            scenes.append(Scene(int(i), name, int(first), int(frames), float(start), float(length)))
        else:
            files[fields[0]] = fields[1]
    return scenes, files


def show_frames(fps):
    last = show_list(fps)[0][-1]
    return last.first_frame + last.frames


def show_length():
    return sum(scene.length for scene in show_list()[0])


def colour(name):
    # The solid colour of picture `name` in a test show: its own, never near black or white.
    i = list(show_list()[1]).index(name)
    return (40 + (i * 97) % 180, 40 + (i * 53 + 60) % 180, 40 + (i * 151 + 120) % 180)


def load(picture):
    # A picture (a file or an Image) as RGB.
    with Image.open(picture) if isinstance(picture, str) else picture as image:
        return image.convert("RGB")


def pixel(picture, x, y):
    return load(picture).getpixel((x, y))


def near(a, b, tolerance=10):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def write_test_show(folder):
    # A picture of its own solid colour for every picture the show reads (JPEG where it
    # reads JPEG), and a short soundtrack.
    for name, file in show_list()[1].items():
        path = os.path.join(folder, file)
        if file.endswith(".mp3"):
            shutil.copy(os.path.join(SOURCE_DIR, "tests", "data", "sine-1khz.mp3"), path)
        elif name == "sprTittel":  # red above blue: a test can tell it upright
            title = Image.new("RGB", (32, 32), (0, 0, 255))
            title.paste((255, 0, 0), (0, 0, 32, 16))
            title.save(path, "PNG")
        else:
            Image.new("RGB", (64, 64), colour(name)).save(
                path, "JPEG" if file.endswith(".jpg") else "PNG")


def thumbnail(picture, size=(80, 60)):
    # The picture (a file or an Image) scaled down, as an array to compare.
    return np.asarray(load(picture).resize(size), dtype=float)


def difference(a, b):
    # The mean absolute difference per channel of two thumbnails, 0 to 255.
    return float(np.abs(a - b).mean())


def wait_for(condition, timeout, step=0.05):
    # Polls `condition` until it returns something true or `timeout` seconds pass.
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(step)


def read_trace(path):
    # The show's trace: a list of (event, CLOCK_MONOTONIC seconds) in order of writing.
    events = []
    with open(path) as trace:
        for line in trace:
            name, seconds = line.split()
            events.append((name, float(seconds)))
    return events


def state(pid):
    # The state letter of /proc/PID/stat; None once the process is gone.
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0]
    except OSError:
        return None


def gone(pid):
    return state(pid) in (None, "Z")


def children(pid):
    # (pid, name) of each living child of the process.
    found = []
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{entry}/stat") as stat:
                text = stat.read()
        except OSError:
            continue
        fields = text.rsplit(")", 1)[1].split()
        if int(fields[1]) == pid and fields[0] != "Z":
            found.append((int(entry), text[text.index("(") + 1:text.rindex(")")]))
    return found


class Xvfb:
    # An X server with one screen, on a display number it picks itself.

    def __init__(self, width=800, height=600, font_path=None, command=None):
        # `font_path` "built-ins" leaves only the fonts compiled into the server, none that
        # SDL draws its boxes with.
        read_fd, write_fd = os.pipe()
        command = command or ["Xvfb", "-screen", "0", f"{width}x{height}x24"] + (
            ["-fp", font_path] if font_path else [])
        self.process = subprocess.Popen(
            command + ["-displayfd", str(write_fd), "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError(f"{command[0]} did not start")
        self.display = ":" + number
        self.env = dict(os.environ, DISPLAY=self.display)
        self.x = Display(self.display)

    def run(self, *args):
        return subprocess.run(args, env=self.env, capture_output=True, text=True).stdout

    def windows(self):
        # {id: title} of every window that has a title.
        found, stack = {}, [self.x.screen().root]
        while stack:
            try:
                children = stack.pop().query_tree().children
            except error.XError:
                continue  # gone meanwhile
            for window in children:
                stack.append(window)
                try:
                    name = window.get_full_text_property(Xatom.WM_NAME, X.AnyPropertyType)
                except error.XError:
                    continue
                if name:  # bytes where the type is not a string type of its own
                    found[window.id] = name.decode() if isinstance(name, bytes) else name
        return found

    def find_window(self, title, timeout=10):
        return wait_for(lambda: next((w for w, n in self.windows().items() if n == title),
                                     None), timeout)

    def viewable(self, wid):
        try:
            return self.x.create_resource_object("window", wid).get_attributes().map_state \
                == X.IsViewable
        except error.XError:
            return False

    def _send(self, wid, *events):
        # Each (event, mask) to window `wid` alone, whatever has the focus.
        window = self.x.create_resource_object("window", wid)
        for event, mask in events:
            window.send_event(event, event_mask=mask, onerror=error.CatchError())
        self.x.flush()

    def send_key(self, wid, key, focus=False):
        window = self.x.create_resource_object("window", wid)
        if focus:
            window.set_input_focus(X.RevertToParent, X.CurrentTime, onerror=error.CatchError())
        code = self.x.keysym_to_keycode(XK.string_to_keysym(key))
        fields = dict(time=X.CurrentTime, root=self.x.screen().root, window=window,
                      same_screen=1, child=X.NONE, root_x=0, root_y=0, event_x=0, event_y=0,
                      state=0, detail=code)
        self._send(wid, (protocol.event.KeyPress(**fields), X.KeyPressMask),
                   (protocol.event.KeyRelease(**fields), X.KeyReleaseMask))

    def request_close(self, wid):
        # As a window manager asks (WM_DELETE_WINDOW).
        atom = self.x.intern_atom
        self._send(wid, (protocol.event.ClientMessage(
            window=self.x.create_resource_object("window", wid),
            client_type=atom("WM_PROTOCOLS"),
            data=(32, [atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0])), 0))

    def dismiss(self, wid, key="Return", timeout=10):
        # Presses `key` in window `wid` until the server reports it destroyed; whether it
        # was. X hands a client's ids on to the next client, so boxes shown one after
        # another often share an id: the window is watched, not looked up. A press a box
        # gets before it shows is lost, so the first waits until it shows and another
        # follows only if it is still there a few seconds later.
        x = Display(self.display)
        try:
            window = x.create_resource_object("window", wid)
            caught = error.CatchError()
            window.change_attributes(event_mask=X.StructureNotifyMask, onerror=caught)
            x.sync()
            if caught.get_error():
                return True  # no such window any more

            def destroyed():
                while x.pending_events():
                    event = x.next_event()
                    if event.type == X.DestroyNotify and event.window.id == wid:
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
            x.close()

    def screenshot(self):
        screen = self.x.screen()
        size = (screen.width_in_pixels, screen.height_in_pixels)
        raw = screen.root.get_image(0, 0, *size, X.ZPixmap, 0xffffffff).data
        return Image.frombytes("RGB", size, raw, "raw", "BGRX")

    def stop(self):
        self.x.close()
        self.process.terminate()
        self.process.wait(timeout=10)


class Xorg(Xvfb):
    # Xorg on the dummy driver: unlike Xvfb it switches modes through XRandR, so a mode the
    # program leaves behind stays. Needs root. The first of `modes` is the desktop's; a
    # single mode is the only one offered (the driver would add modes of its own wherever
    # the monitor's ranges let it). Clients are logged with their process ids (-audit 4).

    # VESA and CEA timings: pixel clock (MHz), horizontal and vertical edges, sync polarities.
    MODELINES = {"1920x1080": "148.50 1920 2008 2052 2200 1080 1084 1089 1125 +hsync +vsync",
                 "1280x1024": "108.00 1280 1328 1440 1688 1024 1025 1028 1066 +hsync +vsync",
                 "1280x720": "74.25 1280 1390 1430 1650 720 725 730 750 +hsync +vsync",
                 "1024x768": "65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync",
                 "800x600": "40.00 800 840 968 1056 600 601 605 628 +hsync +vsync",
                 "640x480": "25.175 640 656 752 800 480 490 492 525 -hsync -vsync"}

    def __init__(self, folder, modes=("1024x768", "800x600", "640x480")):
        config, self.log = os.path.join(folder, "xorg.conf"), os.path.join(folder, "xorg.log")
        numbers = self.MODELINES[modes[0]].split()
        hsync = float(numbers[0]) * 1000 / int(numbers[4])
        vsync = hsync * 1000 / int(numbers[8])
        # A single mode: ranges that only its own rates fall into.
        ranges = (f"{hsync - .1:.2f} - {hsync + .1:.2f}", f"{vsync - .1:.2f} - {vsync + .1:.2f}") \
            if len(modes) == 1 else ("5.0 - 1000.0", "5.0 - 200.0")
        with open(config, "w") as out:
            out.write(
                'Section "ServerFlags"\n Option "AutoAddDevices" "false"\nEndSection\n'
                'Section "Device"\n Identifier "dummy"\n Driver "dummy"\n VideoRam 65536\n'
                'EndSection\nSection "Monitor"\n Identifier "monitor"\n'
                f' HorizSync {ranges[0]}\n VertRefresh {ranges[1]}\n'
                + "".join(f' Modeline "{m}" {self.MODELINES[m]}\n' for m in modes) +
                'EndSection\nSection "Screen"\n Identifier "screen"\n Device "dummy"\n'
                ' Monitor "monitor"\n DefaultDepth 24\n SubSection "Display"\n  Depth 24\n'
                '  Modes ' + " ".join(f'"{m}"' for m in modes) +
                f'\n  Virtual {modes[0].replace("x", " ")}\n EndSubSection\nEndSection\n')
        # -noreset, or the server would restore the mode itself when its last client
        # leaves, hiding a mode left behind.
        super().__init__(command=["Xorg", "-config", config, "-audit", "4", "-logfile", self.log])

    def mode(self):
        # (screen size, mode of the connected output), as "WxH" each.
        query = self.run("xrandr", "-q")
        screen = re.search(r"current (\d+) x (\d+)", query)
        output = re.search(r"^\S+ connected (?:primary )?(\d+x\d+)\+", query, re.M)
        return (screen and f"{screen[1]}x{screen[2]}", output and output[1])

    def modes(self):
        return re.findall(r"^\s+(\d+x\d+)\s", self.run("xrandr", "-q"), re.M)

    def connections(self):
        # Every client connection so far, in order, from the audit log: {"pid", "open",
        # "closed"}, the time in seconds of the server's (monotonic) clock or None.
        clients, log = {}, []
        with open(self.log, errors="replace") as lines:
            for line in lines:
                stamp = re.match(r"\[\s*([\d.]+)\]", line)
                opened = re.search(r"client (\d+) connected from .*pid=(\d+)", line)
                closed = re.search(r"client (\d+) disconnected", line)
                if stamp and opened:
                    clients[opened[1]] = {"pid": int(opened[2]), "open": True, "closed": None}
                    log.append(clients[opened[1]])
                elif stamp and closed and closed[1] in clients:
                    clients.pop(closed[1]).update(open=False, closed=float(stamp[1]))
        return log


class Show:
    # A program (the show by default) with its standard output and error collected
    # together, or standard error apart with `split`; `popen` goes on to subprocess.Popen.

    def __init__(self, server, workdir, extra_env=None, args=(), command=None, split=False,
                 **popen):
        env = dict(server.env if server else os.environ, SDL_AUDIODRIVER="dummy",
                   ASAN_OPTIONS=ASAN_OPTIONS)
        if not server:
            env.pop("DISPLAY", None)
            env.pop("WAYLAND_DISPLAY", None)
        env.update(extra_env or {})
        self.output, self.errors = tempfile.TemporaryFile("w+"), tempfile.TemporaryFile("w+")
        self.process = subprocess.Popen(command or [PROGRAM, *args], cwd=workdir, env=env,
                                        stdout=self.output,
                                        stderr=self.errors if split else subprocess.STDOUT,
                                        **popen)

    def wait(self, timeout):
        # The exit status, or None if it still runs after `timeout` seconds.
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def running(self):
        return self.process.poll() is None

    def signal(self, sig):
        self.process.send_signal(sig)

    def stdout(self, file=None):
        (file or self.output).seek(0)
        return (file or self.output).read()

    def stderr(self):
        return self.stdout(self.errors)

    def kill(self):
        if self.running():
            self.process.send_signal(signal.SIGKILL)
            self.process.wait()


def plays_like_the_capture(server, start, data):
    # Starts the show (start() returns it) after the capture tool has drawn the frames of
    # the files in `data`, two a second, and plays it to its end in `server`, comparing a
    # screenshot in the middle of the third scene (the speech bubbles, far from both of its
    # ends) with them. The first scene begins when the loading picture goes: between the
    # last screenshot that still shows it and the first that does not. Timed from the start
    # of the process, which a busy machine cannot delay.
    with tempfile.TemporaryDirectory() as frames:
        subprocess.run([CAPTURE, "--frames", frames, "--fps", "2"], cwd=data, check=True,
                       capture_output=True)
        capture = [thumbnail(os.path.join(frames, n)) for n in sorted(os.listdir(frames))]
    started = time.monotonic()
    show = start()
    assert server.find_window("hopsasa", timeout=30), show.stdout() + show.stderr()
    loading = thumbnail(server.screenshot())
    still = time.monotonic()

    def gone():
        nonlocal still
        taken = time.monotonic()
        if difference(thumbnail(server.screenshot()), loading) > 10:
            return time.monotonic()
        still = taken
    after = wait_for(gone, timeout=60, step=0.1)
    assert after, "the loading picture never went away"
    bubbles = show_list()[0][2]
    middle = bubbles.start + bubbles.length / 2
    time.sleep(max(0.0, (still + after) / 2 + middle - time.monotonic()))
    seen = thumbnail(server.screenshot())
    distances = [difference(seen, frame) for frame in capture]
    best = int(np.argmin(distances))
    message = f"best match: frame {best} ({best / 2} s) at {distances[best]:.1f}"
    print(message)
    assert distances[best] < 6.0 and abs(best / 2 - middle) <= 2.0, message
    assert show.wait(timeout=show_length() + 30) == 0, show.stdout() + show.stderr()
    assert time.monotonic() - started > show_length(), "every scene played"
    assert show.stdout() == "", "no message with every file present"
    return show


@pytest.fixture
def defer():
    # defer(f, *args) calls f(*args) when the test ends, the last deferred first.
    calls = []
    yield lambda f, *args: calls.append((f, args))
    for f, args in reversed(calls):
        f(*args)


def started(defer, kind, end):
    # A function that starts a `kind` and has `end` called on it when the test ends.
    def start(*args, **kwargs):
        made = kind(*args, **kwargs)
        defer(end, made)
        return made
    return start


@pytest.fixture
def xvfb(defer):
    return started(defer, Xvfb, Xvfb.stop)


@pytest.fixture
def show(defer):
    return started(defer, Show, Show.kill)


@pytest.fixture(scope="module")
def colour_show(tmp_path_factory):
    folder = tmp_path_factory.mktemp("show")
    write_test_show(folder)
    return str(folder)


def pytest_configure(config):
    # The markers CMake reads from the collection to set a test's CTest properties.
    for marker in ("serial: runs beside no other test", "two_cores: keeps two cores busy",
                   "timing: holds the program to its timing; not in a sanitizer build"):
        config.addinivalue_line("markers", marker)


def pytest_collection_finish(session):
    # For CMake: each test's id and markers, one line each. A table of cases without names
    # of their own is one test.
    if os.environ.get("HOPSASA_CTEST_LIST"):
        tests, names = {}, [item.nodeid.split("::", 1)[1] for item in session.items]
        unnamed = {i.originalname for i, n in zip(session.items, names)
                   if not re.fullmatch(r"(\w+::)?\w+(\[[\w-]+\])?", n)}
        for item, name in zip(session.items, names):
            name = item.originalname if item.originalname in unnamed else name
            tests[name] = {m.name for m in item.iter_markers()} - {"parametrize"}
        for name, markers in tests.items():
            print("ctest", name, *sorted(markers))
