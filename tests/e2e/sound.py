# A sound server of the test's own, a recording of what it played, and the recording
# compared with the soundtrack.
#
# PulseAudio runs with a null sink named `rec` and a socket in a folder of its own, so that
# neither the machine's sound nor another test's server is touched. `parec` records the sink's
# monitor: every sample the server took from its clients, as the server took it. Each chunk of
# the recording is stamped with CLOCK_MONOTONIC (Python's time.monotonic) as it arrives, so
# sample indices map to the clock the show's trace uses.
#
# Needs numpy (Debian's python3-numpy, for /usr/bin/python3), pulseaudio, pulseaudio-utils
# and ffmpeg.
import os
import shutil
import signal
import subprocess
import tempfile
import threading
import time

import numpy as np
from harness import wait_for

RATE = 44100
CHANNELS = 2
FRAME_BYTES = 2 * CHANNELS

# Blocks of 10 ms: a dropout of that length covers most of one.
BLOCK_FRAMES = RATE // 100


def sound_tools_missing():
    # The first program this module needs that is not installed, or None.
    return next((p for p in ("pulseaudio", "parec", "pactl", "ffmpeg") if not shutil.which(p)),
                None)


class PulseServer:
    # A PulseAudio server with a null sink `rec`, its socket in a fresh folder.
    #
    # It runs as a desktop's sound server does, apart from the program it serves: in a
    # session of its own (with the kernel's autogroups a session is a scheduling group, and
    # one shared with the show and its busy neighbours starves), its main thread at real-time
    # priority like the sink's thread. That thread passes every block from the show on to
    # the sink; at an ordinary priority it waited up to 627 ms for a CPU on a busy machine,
    # and the sound broke up in the server rather than in the show.

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="hopsasa-pulse-")
        os.chmod(self.folder, 0o700)
        self.socket = os.path.join(self.folder, "native")
        client_conf = os.path.join(self.folder, "client.conf")
        with open(client_conf, "w") as conf:
            # A client that loses this server must not start one of its own.
            conf.write("autospawn = no\n")
        # What a client needs to find this server and nothing else.
        self.client_env = {"PULSE_SERVER": "unix:" + self.socket,
                           "PULSE_CLIENTCONFIG": client_conf, "XDG_RUNTIME_DIR": self.folder}
        env = dict(os.environ, HOME=self.folder, XDG_CONFIG_HOME=self.folder, **self.client_env)
        self.log = open(os.path.join(self.folder, "server.log"), "w+")
        self.process = subprocess.Popen(
            ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
             # Blocks travel over the socket: with shared memory the server reported blocks it
             # could not send to the recorder (a known PulseAudio fault) before falling back.
             "--disable-shm=yes",
             # The debug level logs each underrun.
             "--log-target=stderr", "--log-level=debug", "-L", "module-null-sink sink_name=rec",
             "-L", f"module-native-protocol-unix auth-anonymous=1 socket={self.socket}"],
            env=env, stdout=self.log, stderr=subprocess.STDOUT, start_new_session=True)
        if wait_for(self._answers, 15, step=0.1) is not True:
            log = self.server_log()
            self.stop()
            raise RuntimeError("pulseaudio did not start:\n" + log)
        # PulseAudio gives its sink threads priority 5 and resets its main thread to an
        # ordinary one as it starts. Not being root, the test runs on without it.
        subprocess.run(["chrt", "-r", "-p", "5", str(self.process.pid)],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def _answers(self):
        # True once the server answers with its sink, "gone" if it ended.
        if self.process.poll() is not None:
            return "gone"
        probe = subprocess.run(["pactl", "list", "short", "sinks"], env=self.env(),
                               capture_output=True, text=True)
        return probe.returncode == 0 and "rec" in probe.stdout

    def env(self, base=None):
        return dict(base if base is not None else os.environ, **self.client_env)

    def server_log(self):
        self.log.flush()
        self.log.seek(0)
        return self.log.read()

    def underruns(self):
        # How many times a stream ran out of sound while the server played it.
        return self.server_log().count("Implicit underrun")

    def kill(self):
        # Takes the server away the hard way, as a crash would.
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGKILL)
            self.process.wait()

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.kill()
        self.log.close()
        shutil.rmtree(self.folder, True)


class Recorder:
    # Records the server's `rec` sink from its monitor, with arrival times of each chunk.

    def __init__(self, server, latency_ms=5):
        self.process = subprocess.Popen(
            ["parec", "-d", "rec.monitor", "--raw", "--format=s16le", f"--rate={RATE}",
             f"--channels={CHANNELS}", f"--latency-msec={latency_ms}"],
            env=server.env(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.chunks = []
        self.arrivals = []  # (CLOCK_MONOTONIC seconds, frames received up to then)
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def wait_until_flowing(self, timeout=10):
        # Waits for the first recorded chunk. A null sink that nobody asked for low latency
        # renders two seconds ahead and sleeps that long, which would stall the first stream
        # that connects; the recorder's own low latency ends that, once its data flows.
        deadline = time.monotonic() + timeout
        while not self.arrivals:
            if time.monotonic() > deadline or self.process.poll() is not None:
                raise RuntimeError("the recording did not start")
            time.sleep(0.01)

    def _read(self):
        received = 0
        fd = self.process.stdout.fileno()
        while True:
            chunk = os.read(fd, 1 << 16)
            arrived = time.monotonic()
            if not chunk:
                return
            self.chunks.append(chunk)
            received += len(chunk)
            self.arrivals.append((arrived, received // FRAME_BYTES))

    def stop(self):
        # Ends the recording: the samples as frames x channels, int16.
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=10)
        self.thread.join(timeout=10)
        self.process.stdout.close()
        data = b"".join(self.chunks)
        data = data[:len(data) // FRAME_BYTES * FRAME_BYTES]
        return np.frombuffer(data, dtype=np.int16).reshape(-1, CHANNELS)

    def time_of(self, frame, window_seconds=2.0):
        # When the server took recorded frame `frame`, on CLOCK_MONOTONIC.
        #
        # A chunk that arrives at t holding frames up to n proves that frame n had been taken
        # by t, so `frame` by t - (n - frame) / RATE; the chunk that came quickest gives the
        # tightest bound. Only chunks soon after the frame count: the null sink's clock runs
        # about 200 ppm fast (it counts each 5 ms block in whole microseconds), which over a
        # whole show would pull the bound by 14 ms.
        last = frame + window_seconds * RATE
        bounds = [t - (n - frame) / RATE for t, n in self.arrivals if frame <= n <= last]
        if not bounds:
            raise ValueError(f"no chunk of the recording arrived soon after frame {frame}")
        return min(bounds)


def decode(path):
    # The MP3 file decoded by ffmpeg, frames x channels, int16, at RATE.
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "s16le", "-ac",
                          str(CHANNELS), "-ar", str(RATE), "-"],
                         check=True, capture_output=True).stdout
    return np.frombuffer(raw, dtype=np.int16).reshape(-1, CHANNELS)


def find_start(recording, reference, search_seconds=10, probe_seconds=2):
    # The index in `recording` where `reference` starts, by cross-correlation of the
    # first seconds of the reference with the first seconds of the recording; None when the
    # reference's start is not clearly there.
    probe = reference[:probe_seconds * RATE].astype(np.float64).sum(axis=1)
    area = recording[:search_seconds * RATE + len(probe)].astype(np.float64).sum(axis=1)
    if len(area) < len(probe):
        return None
    size = 1 << int(np.ceil(np.log2(len(area) + len(probe))))
    correlation = np.fft.irfft(np.fft.rfft(area, size) * np.conj(np.fft.rfft(probe, size)),
                               size)[:len(area) - len(probe) + 1]
    start = int(np.argmax(correlation))
    # The peak must be the probe itself, not a likeness: near-perfect normalised correlation.
    window = area[start:start + len(probe)]
    norm = np.sqrt(np.dot(window, window) * np.dot(probe, probe))
    if norm == 0 or correlation[start] / norm < 0.99:
        return None
    return start


def block_errors(recording, start, reference, frames):
    # Per block of BLOCK_FRAMES, the RMS of the recording's difference from the reference
    # over the first `frames` frames after `start`, relative to the RMS of the whole
    # reference. A dropout, a gap or a repeat puts a block near 1 or above: the sound there
    # is missing or is other sound; the decoders' rounding stays far below 0.01.
    blocks = frames // BLOCK_FRAMES
    count = blocks * BLOCK_FRAMES
    got = recording[start:start + count].astype(np.float64)
    want = reference[:count].astype(np.float64)
    if len(got) < count:
        got = np.concatenate([got, np.zeros((count - len(got), CHANNELS))])
    level = np.sqrt(np.mean(reference.astype(np.float64) ** 2))
    residual = ((got - want) ** 2).reshape(blocks, -1).mean(axis=1)
    return np.sqrt(residual) / level


class Busy:
    # CPU-bound processes that keep the machine's cores busy while they run.

    def __init__(self, count):
        self.processes = [subprocess.Popen(["sh", "-c", "while :; do :; done"])
                          for _ in range(count)]

    def stop(self):
        for process in self.processes:
            process.kill()
            process.wait()
