# Every script answers --help first, and refuses bad arguments with its usage, before it
# does anything else. Each runs in a scratch copy of scripts/ whose apt-get, sudo and cmake
# fail, so a script that went on to a real job shows it at once.
import os
import shutil
import subprocess

import pytest
from harness import SOURCE_DIR

SCRIPTS = sorted(n for n in os.listdir(os.path.join(SOURCE_DIR, "scripts"))
                 if os.path.isfile(os.path.join(SOURCE_DIR, "scripts", n)))


@pytest.fixture(scope="module")
def scratch(tmp_path_factory):
    root = tmp_path_factory.mktemp("checkout")
    shutil.copytree(os.path.join(SOURCE_DIR, "scripts"), root / "scripts")
    (root / "data").mkdir()
    stand_ins = root / "stand-ins"
    stand_ins.mkdir()
    for name in ("apt-get", "sudo", "cmake"):
        (stand_ins / name).write_text("#!/bin/sh\necho \"stand-in $0 ran\" >&2\nexit 99\n")
        (stand_ins / name).chmod(0o755)
    return root


def usage_line(script):
    # The first line of a script's usage: the comment at its top.
    with open(os.path.join(SOURCE_DIR, "scripts", script)) as f:
        return f.read().splitlines()[1].lstrip("# ")


def run(scratch, script, *args):
    env = dict(os.environ, PATH=f"{scratch}/stand-ins:/usr/bin:/bin")
    return subprocess.run([scratch / "scripts" / script, *args], cwd=scratch, env=env,
                          capture_output=True, text=True, timeout=60)


def test_help_comes_first_on_standard_output(scratch):
    for script in SCRIPTS:
        for flag in ("--help", "-h"):
            done = run(scratch, script, flag)
            assert (done.returncode, done.stderr) == (0, ""), (script, done.stderr)
            assert done.stdout.splitlines()[0] == usage_line(script), script


@pytest.mark.parametrize("script, args, message", [
    ("build-windows", ["x"], "takes no arguments, not 'x'"),
    ("make-assets", ["x"], "takes no arguments"),
    ("setup", ["--bogus"], "takes --play or nothing"),
    ("build", ["--bogus"], "takes --show or nothing"),
    ("release", ["--out"], "--out needs a folder"),
    ("build-web", ["--out"], "--out needs a folder"),
    ("fuzz", ["-x"], "SECONDS_PER_TARGET is a whole number"),
    ("serve-web", ["99999"], "from 1 to 65535, not '99999'"),
    ("capture", ["--video"], "--video needs a path"),
    ("capture", ["--video", "data/my.mp4"], "writes nothing into data/")])
def test_bad_arguments_are_refused_with_the_usage(scratch, script, args, message):
    done = run(scratch, script, *args)
    assert done.returncode == 2, done.stderr
    assert message in done.stderr and "stand-in" not in done.stderr
    assert usage_line(script) in done.stderr, "the usage follows"


def test_capture_writes_where_it_is_asked_from_the_callers_folder(scratch, tmp_path):
    # The set-up, the build and the tool stand in: the tool says what it was given, and where.
    for script in ("setup", "build"):
        (scratch / "scripts" / script).write_text("#!/bin/sh\nexit 0\n")
    tool = scratch / "build" / "tools" / "capture" / "hopsasa-capture"
    tool.parent.mkdir(parents=True)
    tool.write_text('#!/bin/sh\necho "$PWD $*" >> "$(dirname "$0")/calls"\n')
    tool.chmod(0o755)
    for args, expected in [([], f"--video {tmp_path}/hopsasa.mp4 --size 1920x1080"),
                           (["--video", "my.mp4", "--fps", "50"],
                            f"--video {tmp_path}/my.mp4 --size 1920x1080 --fps 50"),
                           (["--frames", "d", "--to", "5"], f"--frames {tmp_path}/d --to 5")]:
        done = subprocess.run([scratch / "scripts" / "capture", *args], cwd=tmp_path,
                              capture_output=True, text=True, timeout=60)
        assert done.returncode == 0, done.stderr
        assert done.stdout == f"wrote {expected.split()[1]}\n"
        assert (tool.parent / "calls").read_text().splitlines()[-1] == \
            f"{scratch / 'data'} {expected}"
