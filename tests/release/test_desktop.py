# The Linux bundle on a desktop that has none of the show's build dependencies.
#
# Each test unpacks the release's hopsasa-linux-x86_64.tar.gz into a fresh Debian 12 root
# that holds only a desktop's libraries (tests/release/desktop-root, which CTest runs this
# module under) and plays it there. The X server is this machine's Xvfb, reached from the
# root through its abstract socket as a desktop's server is; it has the X core fonts, so
# message boxes show. The root has no sound server: the bundled PulseAudio library finds
# none, and ALSA plays into its null device, as on a desktop with ALSA alone.
import os
import subprocess
import tarfile
import tempfile

import pytest
from harness import NO_MUSIC, RELEASE_DIR, Show, plays_like_the_capture, show_list

ROOT = os.environ.get("HOPSASA_DESKTOP_ROOT")
pytestmark = pytest.mark.skipif(not ROOT, reason="runs under tests/release/desktop-root")


@pytest.fixture
def bundle(defer):
    # The bundle unpacked in the root: (its folder as the root sees it, as this machine
    # does, and start(launcher, cwd, args), which runs a launcher in the root with a clean
    # environment, the process being the show itself).
    archive = os.path.join(RELEASE_DIR, "hopsasa-linux-x86_64.tar.gz")
    assert os.path.isfile(archive), f"{archive} is missing: scripts/release makes it"
    with open(os.path.join(ROOT, "opt", "alsa-null.conf"), "w") as f:
        f.write("</usr/share/alsa/alsa.conf>\npcm.!default { type null }\n")
    inside = tempfile.mkdtemp(prefix="bundle-", dir=os.path.join(ROOT, "opt"))
    with tarfile.open(archive) as tar:
        tar.extractall(inside)
    (folder,) = os.listdir(inside)
    outside = os.path.join(inside, folder)
    path = "/" + os.path.relpath(outside, ROOT)
    # Every library the program and its bundled libraries need is there.
    for elf in ["bin/hopsasa"] + [f"lib/{n}" for n in os.listdir(os.path.join(outside, "lib"))]:
        ldd = subprocess.run(["chroot", ROOT, "/usr/bin/ldd", f"{path}/{elf}"],
                             capture_output=True, text=True)
        assert ldd.returncode == 0, ldd.stderr
        assert "not found" not in ldd.stdout, (elf, ldd.stdout)

    def start(server, launcher, cwd="/", args=()):
        env = ["HOME=/root", "LANG=C.UTF-8", "PATH=/usr/local/bin:/usr/bin:/bin",
               f"DISPLAY={server.display}", "ALSA_CONFIG_PATH=/opt/alsa-null.conf"]
        show = Show(None, None, split=True, command=[
            "chroot", ROOT, "/usr/bin/env", "-i", "-C", cwd, *env, launcher, *args])
        defer(show.kill)
        return show
    return path, outside, start


def test_plays_the_whole_show_and_looks_like_the_capture(bundle, xvfb):
    path, outside, start = bundle
    server = xvfb()
    show = plays_like_the_capture(server, lambda: start(server, f"{path}/hopsasa"),
                                  os.path.join(outside, "data"))
    assert show.stderr() == ""


def test_without_its_music_reports_in_order_and_plays_on(bundle, xvfb, defer):
    path, outside, start = bundle
    server = xvfb()
    os.remove(os.path.join(outside, "data", "music.mp3"))
    # Started by name from another folder, through a link on PATH.
    link = os.path.join(ROOT, "usr", "local", "bin", "hopsasa")
    os.symlink(f"{path}/hopsasa", link)
    defer(os.remove, link)
    credits = show_list()[0][-1]
    show = start(server, "hopsasa", cwd="/tmp", args=("--from", str(credits.start)))
    for shown in range(len(NO_MUSIC)):
        box = server.find_window("Error", timeout=30)
        assert box, f"box {shown + 1}: {show.stdout()!r} {show.stderr()!r}"
        assert show.stdout() == "".join(NO_MUSIC[:shown + 1]), "each message before its box"
        assert server.dismiss(box, "Return"), "Return dismisses the box"
    assert server.find_window("hopsasa", timeout=30), "the show goes on without its music"
    assert show.wait(timeout=credits.length + 30) == 0, show.stderr()
    assert show.stdout() == "".join(NO_MUSIC)
    assert show.stderr() == "", "the boxes showed"
