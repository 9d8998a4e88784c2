# The show from read-only media, in either mode: its folder and the home folder mounted
# read-only (bind mounts in a mount namespace of the test's own, as root), it plays to its
# end with exactly the messages of a run from a writable folder, and asks to write nothing
# anywhere but devices and Mesa's shader cache in the home folder (the driver's, which gives
# up quietly where it cannot write), as strace sees every open, creation, rename and removal.
import os
import pwd
import re
import shutil
import subprocess

import pytest
from harness import DATA, PROGRAM

FROM = "68"  # the last scene, a few seconds before the end
WRITE = re.compile(r'^\d+ +(?:(?:open|openat|creat)\(.*?"([^"]*)"(.*)'
                   r'|(?:mkdir|mkdirat|rename|renameat2?|unlink|unlinkat|truncate)\(.*?"([^"]*)")')
WRITE_FLAGS = ("O_WRONLY", "O_RDWR", "O_CREAT", "O_TRUNC", "creat(")


def writes(trace):
    for line in open(trace):
        m = WRITE.match(line)
        if m and (m.group(3) or any(flag in line for flag in WRITE_FLAGS)):
            yield m.group(1) or m.group(3)


def in_a_namespace(read_only, command):
    # The kernel refuses private propagation inside a chroot whose top is no mount point
    # (the CI's root); there the namespace keeps what it inherits.
    private = subprocess.run(["unshare", "--mount", "--propagation", "private", "true"]).returncode
    mounts = " && ".join(f"mount --bind -o ro '{p}' '{p}'" for p in read_only)
    return ["unshare", "--mount", "--propagation", "private" if private == 0 else "unchanged",
            "sh", "-c", f'{mounts} && exec "$@"', "sh", *command]


@pytest.mark.skipif(os.geteuid() != 0, reason="bind mounts need root")
@pytest.mark.parametrize("mode", [[], ["--desktop"]], ids=["switched", "desktop"])
def test_plays_from_read_only_media_writing_nothing(mode, tmp_path, xvfb, show):
    # The libraries find the home folder in the user database, not in $HOME.
    folder, home = tmp_path / "hopsasa", pwd.getpwuid(os.getuid()).pw_dir
    shutil.copytree(DATA, folder)
    shutil.copy(PROGRAM, folder / "hopsasa")
    server, trace = xvfb(), tmp_path / "trace"
    env = {"HOME": home}
    writable = show(server, folder, env, command=[str(folder / "hopsasa"), "--from", FROM, *mode])
    assert writable.wait(timeout=120) == 0, writable.stdout()
    traced = ["strace", "-f", "-qq", "-o", str(trace), "-e",
              "trace=open,openat,creat,mkdir,mkdirat,rename,renameat,renameat2,unlink,unlinkat,"
              "truncate", str(folder / "hopsasa"), "--from", FROM, *mode]
    read_only = show(server, folder, env, command=in_a_namespace([folder, home], traced))
    assert read_only.wait(timeout=120) == 0, read_only.stdout()
    assert read_only.stdout() == writable.stdout(), "the messages of a writable folder"
    mesa = os.path.join(home, ".cache", "mesa_shader_cache")
    written = [p for p in writes(trace) if not p.startswith(("/dev/", mesa))]
    assert written == [], "asked to write"
    assert '"music.mp3", O_RDONLY' in trace.read_text(), "the trace sees the show's opens"
