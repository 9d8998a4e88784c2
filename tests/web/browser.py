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
    # One headless Chromium with one page, its console and its protocol.

    def __init__(self, extra_flags=()):
        self.profile = tempfile.mkdtemp(prefix="hopsasa-chromium-")
        to_browser_read, self._to_browser = os.pipe()
        self._from_browser, from_browser_write = os.pipe()
        # The shell puts the two pipe ends on descriptors 3 and 4 and execs Chromium; bash,
        # as the ends may be above 9, which dash cannot name.
        script = f'exec "$0" "$@" 3<&{to_browser_read} 4>&{from_browser_write}'
        self.process = subprocess.Popen(
            ["/bin/bash", "-c", script, CHROMIUM, *FLAGS, *extra_flags,
             "--user-data-dir=" + self.profile, "about:blank"],
            pass_fds=(to_browser_read, from_browser_write),
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_read)
        os.close(from_browser_write)

        self._lock = threading.Condition()
        self._next_id = 0
        self._answers = {}
        self.events = []
        self.console = []  # (type, text) in the order the page logged them
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        self.session = None
        target = self.send("Target.createTarget", {"url": "about:blank"}, session=None)
        attached = self.send("Target.attachToTarget",
                             {"targetId": target["targetId"], "flatten": True}, session=None)
        self.session = attached["sessionId"]
        self.send("Runtime.enable")
        self.send("Page.enable")

    def _read(self):
        buffer = b""
        with os.fdopen(self._from_browser, "rb", buffering=0) as pipe:
            while True:
                chunk = pipe.read(1 << 16)
                if not chunk:
                    break
                buffer += chunk
                *messages, buffer = buffer.split(b"\0")
                for raw in messages:
                    self._take(json.loads(raw))
        with self._lock:
            self._lock.notify_all()

    def _take(self, message):
        with self._lock:
            if "id" in message:
                self._answers[message["id"]] = message
            else:
                self.events.append(message)
                if message.get("method") == "Runtime.consoleAPICalled":
                    params = message["params"]
                    text = " ".join(str(arg.get("value", arg.get("description", "")))
                                    for arg in params.get("args", []))
                    self.console.append((params["type"], text))
            self._lock.notify_all()

    def send(self, method, params=None, session="page", timeout=30):
        with self._lock:
            self._next_id += 1
            ident = self._next_id
        message = {"id": ident, "method": method, "params": params or {}}
        if session == "page":
            message["sessionId"] = self.session
        elif session:
            message["sessionId"] = session
        os.write(self._to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + timeout
        with self._lock:
            while ident not in self._answers:
                left = deadline - time.monotonic()
                if left <= 0 or not self._reader.is_alive():
                    raise ProtocolError(f"{method}: no answer")
                self._lock.wait(left)
            answer = self._answers.pop(ident)
        if "error" in answer:
            raise ProtocolError(f"{method}: {answer['error']}")
        return answer.get("result", {})

    def navigate(self, url, timeout=30):
        start = len(self.events)
        self.send("Page.navigate", {"url": url})
        self.wait_for_event("Page.loadEventFired", timeout, after=start)

    def wait_for_event(self, method, timeout, after=0):
        deadline = time.monotonic() + timeout
        with self._lock:
            while True:
                for event in self.events[after:]:
                    if event.get("method") == method:
                        return event
                left = deadline - time.monotonic()
                if left <= 0:
                    raise ProtocolError(f"no {method} within {timeout} s")
                self._lock.wait(left)

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
        while True:
            value = self.evaluate(expression)
            if value or time.monotonic() > deadline:
                return value
            time.sleep(step)

    def click(self, selector):
        # A real left click (a user gesture, as the browser counts them) at the middle of
        # the element.
        box = self.evaluate(f"(() => {{ const r = document.querySelector({json.dumps(selector)})"
                            ".getBoundingClientRect(); return [r.x + r.width / 2, "
                            "r.y + r.height / 2]; })()")
        for kind in ("mousePressed", "mouseReleased"):
            self.send("Input.dispatchMouseEvent", {"type": kind, "x": box[0], "y": box[1],
                                                   "button": "left", "clickCount": 1})

    def press(self, key, code=None, key_code=0):
        for kind in ("keyDown", "keyUp"):
            self.send("Input.dispatchKeyEvent", {"type": kind, "key": key, "code": code or key,
                                                 "windowsVirtualKeyCode": key_code})

    def close(self):
        try:
            self.send("Browser.close", session=None, timeout=5)
        except (ProtocolError, OSError):
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        try:
            os.close(self._to_browser)
        except OSError:
            pass
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
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()
