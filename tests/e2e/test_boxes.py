"""Message boxes on an X server without core fonts, where SDL cannot draw its own box.

With a dialog tool on PATH (a stand-in for zenity written here, which records how it was
called and waits until the test lets it go), each box is one call with the exact title
and text, in order, and the show waits for each. Without one, each box's title and text
reach standard error and the show runs on. The server's font path holds only the fonts
compiled into it, and PATH holds only the stand-in (or nothing), so neither a real zenity
nor real core fonts can answer instead.
"""
import json
import os
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from harness import BUILD_DIR, Show, Xvfb, wait_for, write_test_show  # noqa: E402

PROBE = os.path.join(BUILD_DIR, "tests", "e2e", "hopsasa-box-probe")

# Records its arguments as hex bytes (exact, whatever the encoding) and the kinds of the
# descriptors it inherited, then waits for its go file, or not at all once "go-all" exists.
STAND_IN = """#!/usr/bin/python3
import json, os, sys, time
calls = {calls!r}
index = 0
while os.path.exists(os.path.join(calls, "%03d.json" % index)):
    index += 1
fds = {{}}
for fd in os.listdir("/proc/self/fd"):
    try:
        fds[fd] = os.readlink("/proc/self/fd/" + fd)
    except OSError:
        pass
record = {{"args": [os.fsencode(a).hex() for a in sys.argv[1:]], "fds": fds}}
with open(os.path.join(calls, "partial"), "w") as out:
    json.dump(record, out)
os.rename(os.path.join(calls, "partial"), os.path.join(calls, "%03d.json" % index))
go = os.path.join(calls, "%03d.go" % index)
while not (os.path.exists(go) or os.path.exists(os.path.join(calls, "go-all"))):
    time.sleep(0.02)
"""

def texture_message(name):
    """The loader's message for a picture file that cannot be read, as bytes."""
    return (b"Texture load: Can't load the texture in file '" + os.fsencode(name) +
            b"' for some reason.")


def option(args, name):
    """The value of option `name` in a call's arguments ("--name value" or "--name=value"),
    or None."""
    for i, arg in enumerate(args):
        if arg == name and i + 1 < len(args):
            return args[i + 1]
        if arg.startswith(name + b"="):
            return arg[len(name) + 1:]
    return None


class BoxesTest(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="hopsasa-boxes-")
        self.addCleanup(shutil.rmtree, self.root, True)
        self.xvfb = Xvfb(800, 600, font_path="built-ins")
        self.addCleanup(self.xvfb.stop)
        font_path = self.xvfb.run("xset", "q").split("Font Path:")[1].split()[0]
        self.assertEqual(font_path, "built-ins", "no core font SDL could draw a box with")

    def tool_path(self, with_tool):
        """A PATH holding only the stand-in dialog tool, or nothing at all."""
        bin_dir = os.path.join(self.root, "bin" if with_tool else "empty")
        self.calls = os.path.join(self.root, "calls")
        os.makedirs(bin_dir, exist_ok=True)
        os.makedirs(self.calls, exist_ok=True)
        if with_tool:
            tool = os.path.join(bin_dir, "zenity")
            with open(tool, "w") as out:
                out.write(STAND_IN.format(calls=self.calls))
            os.chmod(tool, stat.S_IRWXU)
        self.assertEqual(shutil.which("zenity", path=bin_dir),
                         os.path.join(bin_dir, "zenity") if with_tool else None)
        return bin_dir

    def call(self, index):
        """(title, text, descriptors) of the index-th call of the stand-in, or None."""
        try:
            with open(os.path.join(self.calls, "%03d.json" % index)) as record:
                call = json.load(record)
        except FileNotFoundError:
            return None
        args = [bytes.fromhex(a) for a in call["args"]]
        return option(args, b"--title"), option(args, b"--text"), call["fds"]

    def show_folder(self):
        """A test show without three of its PNG pictures; returns the folder and their
        names, in the order the files sort, not necessarily the order the show reads them."""
        folder = os.path.join(self.root, "show")
        os.makedirs(folder)
        write_test_show(folder)
        missing = sorted(name for name in os.listdir(folder) if name.endswith(".png"))[-3:]
        for name in missing:
            os.remove(os.path.join(folder, name))
        return folder, missing

    def test_boxes_go_to_the_dialog_tool_one_at_a_time_and_the_show_waits(self):
        path = self.tool_path(with_tool=True)
        folder, missing = self.show_folder()
        show = Show(self.xvfb, folder, {"PATH": path})
        self.addCleanup(show.kill)
        expected = {texture_message(name) for name in missing}
        texts = []
        for index in range(len(missing)):
            call = wait_for(lambda: self.call(index), 20)
            self.assertIsNotNone(call, f"box {index} reached the dialog tool")
            title, text, fds = call
            self.assertEqual(title, b"Error")
            self.assertIn(text, expected - set(texts))
            texts.append(text)
            # No socket: neither the show's X connection nor its guard's channel.
            self.assertEqual([f for f in fds.values() if f.startswith("socket:")], [], fds)
            # The message goes to standard output before its box, and nothing after it
            # until the box is dismissed.
            printed = show.stdout()
            time.sleep(1.0)
            self.assertTrue(show.running())
            self.assertEqual(show.stdout(), printed, "the show waits for the box")
            self.assertTrue(printed.endswith(text.decode()), printed)
            self.assertIsNone(self.call(index + 1), "one box at a time")
            open(os.path.join(self.calls, "%03d.go" % index), "w").close()

        self.assertIsNotNone(self.xvfb.find_window("hopsasa"))
        time.sleep(2.0)
        self.assertIsNone(self.call(len(missing)), "one call per box")
        self.assertTrue(show.running(), "the show goes on")
        show.signal(signal.SIGTERM)
        self.assertEqual(show.wait(timeout=10), 0, show.stdout())
        self.assertEqual(show.stdout(), b"".join(texts).decode())

    def test_without_a_dialog_tool_the_boxes_go_to_standard_error_and_the_show_runs_on(self):
        folder, missing = self.show_folder()
        show = Show(self.xvfb, folder, {"PATH": self.tool_path(with_tool=False)})
        self.addCleanup(show.kill)
        self.assertIsNotNone(self.xvfb.find_window("hopsasa"))
        messages = [texture_message(name).decode() for name in missing]

        def all_reported():
            return all(f"Error: {m}\n" in show.stdout() for m in messages)
        self.assertTrue(wait_for(all_reported, 20), show.stdout())
        time.sleep(1.0)
        self.assertTrue(show.running(), "the show goes on")
        show.signal(signal.SIGTERM)
        self.assertEqual(show.wait(timeout=10), 0, show.stdout())
        # Each message on standard output, then on standard error after its title; in the
        # order the show reads the pictures.
        order = sorted(messages, key=show.stdout().index)
        self.assertEqual(show.stdout(), "".join(f"{m}Error: {m}\n" for m in order))

    def test_box_text_keeps_utf8_and_percent_signs(self):
        names = [
            "bilde-æøå-Ω-🦀-100%-%s-%n-%%.png",
            "50% ferdig.png",
            # Not UTF-8: the box shows an empty text; standard output keeps the bytes.
            os.fsdecode(b"bad-\xff\xfe.png"),
        ]
        shown = [texture_message(names[0]), texture_message(names[1]), b""]
        for with_tool in (True, False):
            with self.subTest(dialog_tool=with_tool):
                shutil.rmtree(os.path.join(self.root, "calls"), True)
                path = self.tool_path(with_tool)
                open(os.path.join(self.calls, "go-all"), "w").close()
                env = dict(self.xvfb.env, PATH=path, SDL_AUDIODRIVER="dummy")
                result = subprocess.run([PROBE] + [os.fsencode(n) for n in names],
                                        cwd=self.root, env=env, capture_output=True,
                                        timeout=60)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(result.stdout, b"".join(texture_message(n) for n in names))
                if with_tool:
                    calls = [self.call(i) for i in range(len(names) + 1)]
                    # zenity shows the text as given (--no-markup); an empty one as blank.
                    self.assertEqual([(c[0], c[1] if c[1].strip() else b"") for c in calls[:-1]],
                                     [(b"Error", text) for text in shown])
                    self.assertNotIn(b'"', calls[2][1])
                    self.assertIsNone(calls[-1], "one call per box")
                    self.assertEqual(result.stderr, b"")
                else:
                    self.assertEqual(result.stderr,
                                     b"".join(b"Error: " + text + b"\n" for text in shown))


if __name__ == "__main__":
    unittest.main()
