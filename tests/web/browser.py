# Headless Chromium driven over the DevTools protocol, and a static web server, both on
# this machine only.
#
# The protocol runs over a pipe (Chromium's --remote-debugging-pipe: commands in on file
# descriptor 3, answers and events out on 4, each message JSON ended by a NUL byte), so no
# WebSocket library is needed. The server serves one folder on 127.0.0.1 at a port of the
# system's choosing.

import functools
import http.server
import json
import os
import select
import shutil
import subprocess
import tempfile
import threading
import time

CHROMIUM = shutil.which("chromium") or "/usr/bin/chromium"

# As root Chromium needs --no-sandbox; the machine has no GPU (WebGL runs on SwiftShader,
# which Chromium takes for WebGL only when told it may) and no network (the background
# services would only fail to connect). Sound may start without a click, as if the user
# had clicked: the page itself is still started by a real click event.
FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--enable-unsafe-swiftshader",
         "--use-angle=swiftshader", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--disable-features=Translate,MediaRouter", "--autoplay-policy=no-user-gesture-required",
         "--window-size=1024,768", "--remote-debugging-pipe"]


class ProtocolError(Exception):
    pass


class Chromium:
    # One headless Chromium with one page, its console and its protocol. Messages are read
    # as answers are waited for; the events among them are kept.

    def __init__(self):
        self.profile = tempfile.mkdtemp(prefix="hopsasa-chromium-")
        to_browser_read, self._to_browser = os.pipe()
        self._from_browser, from_browser_write = os.pipe()
        # The shell puts the two pipe ends on descriptors 3 and 4 and execs Chromium; bash,
        # as the ends may be above 9, which dash cannot name.
        script = f'exec "$0" "$@" 3<&{to_browser_read} 4>&{from_browser_write}'
        self.process = subprocess.Popen(
            ["/bin/bash", "-c", script, CHROMIUM, *FLAGS,
             "--user-data-dir=" + self.profile, "about:blank"],
            pass_fds=(to_browser_read, from_browser_write),
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_read)
        os.close(from_browser_write)
        self._next_id, self._unread, self.session = 0, b"", None
        self.events = []
        self.console = []  # (type, text) in the order the page logged them
        target = self.send("Target.createTarget", {"url": "about:blank"})
        self.session = self.send("Target.attachToTarget", {"targetId": target["targetId"],
                                                           "flatten": True})["sessionId"]
        self.send("Runtime.enable")
        self.send("Page.enable")

    def _receive(self, deadline, what):
        # The next message; an event is also kept, a console call also in the console.
        while b"\0" not in self._unread:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self._from_browser], [], [], left)[0]:
                raise ProtocolError(f"{what}: nothing within the time")
            chunk = os.read(self._from_browser, 1 << 16)
            if not chunk:
                raise ProtocolError(f"{what}: Chromium has closed its end")
            self._unread += chunk
        raw, self._unread = self._unread.split(b"\0", 1)
        message = json.loads(raw)
        if "id" not in message:
            self.events.append(message)
        if message.get("method") == "Runtime.consoleAPICalled":
            params = message["params"]
            self.console.append((params["type"], " ".join(
                str(arg.get("value", arg.get("description", ""))) for arg in params["args"])))
        return message

    def send(self, method, params=None, timeout=30, browser=False):
        # The result of a command to the page (or to the browser, where `browser`).
        self._next_id += 1
        message = {"id": self._next_id, "method": method, "params": params or {}}
        if self.session and not browser:
            message["sessionId"] = self.session
        os.write(self._to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + timeout
        while (answer := self._receive(deadline, method)).get("id") != message["id"]:
            pass
        if "error" in answer:
            raise ProtocolError(f"{method}: {answer['error']}")
        return answer.get("result", {})

    def navigate(self, url, timeout=30):
        start = len(self.events)
        self.send("Page.navigate", {"url": url})
        deadline = time.monotonic() + timeout
        while not any(e.get("method") == "Page.loadEventFired" for e in self.events[start:]):
            self._receive(deadline, url)

    def evaluate(self, expression, timeout=30):
        # The value of a JavaScript expression in the page; promises are waited for.
        result = self.send("Runtime.evaluate", {"expression": expression, "awaitPromise": True,
                                                "returnByValue": True}, timeout=timeout)
        if "exceptionDetails" in result:
            raise ProtocolError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def wait_until(self, expression, timeout, step=0.1):
        # Polls the expression until it is true; its last value.
        deadline = time.monotonic() + timeout
        while not (value := self.evaluate(expression)) and time.monotonic() < deadline:
            time.sleep(step)
        return value

    def click(self, selector):
        # A real left click (a user gesture, as the browser counts them) at the middle of
        # the element.
        x, y = self.evaluate(f"(() => {{ const r = document.querySelector({json.dumps(selector)})"
                             ".getBoundingClientRect(); return [r.x + r.width / 2, "
                             "r.y + r.height / 2]; })()")
        for kind in ("mousePressed", "mouseReleased"):
            self.send("Input.dispatchMouseEvent", {"type": kind, "x": x, "y": y,
                                                   "button": "left", "clickCount": 1})

    def press(self, key, code=None, key_code=0):
        for kind in ("keyDown", "keyUp"):
            self.send("Input.dispatchKeyEvent", {"type": kind, "key": key, "code": code or key,
                                                 "windowsVirtualKeyCode": key_code})

    def close(self):
        try:
            self.send("Browser.close", timeout=5, browser=True)
        except (ProtocolError, OSError):
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self._to_browser)
        os.close(self._from_browser)
        shutil.rmtree(self.profile, ignore_errors=True)


class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


class Server:
    # A static server of `folder` on 127.0.0.1 at a free port.

    def __init__(self, folder):
        handler = functools.partial(_QuietHandler, directory=folder)
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.url = f"http://127.0.0.1:{self.httpd.server_address[1]}/"
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()
