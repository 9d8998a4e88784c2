# scripts/capture makes the show's video from wherever it is called: it writes where it is
# asked, relative to the caller's folder, and never into data/. The set-up, the build and the
# capture tool are stand-ins here; the tool says what it was given, and where.
import shutil
import subprocess

from harness import SOURCE_DIR


def test_capture_writes_where_it_is_asked_from_the_callers_folder(tmp_path):
    scratch, here = tmp_path / "checkout", tmp_path / "here"
    shutil.copytree(f"{SOURCE_DIR}/scripts", scratch / "scripts")
    (scratch / "data").mkdir()
    here.mkdir()
    for script in ("setup", "build"):
        (scratch / "scripts" / script).write_text("#!/bin/sh\nexit 0\n")
    tool = scratch / "build" / "tools" / "capture" / "hopsasa-capture"
    tool.parent.mkdir(parents=True)
    tool.write_text('#!/bin/sh\necho "$PWD $*" >> "$(dirname "$0")/calls"\n')
    tool.chmod(0o755)
    for args, expected, status in [
            ([], f"--video {here}/hopsasa.mp4 --size 1920x1080", 0),
            (["--video", "my.mp4", "--fps", "50"],
             f"--video {here}/my.mp4 --size 1920x1080 --fps 50", 0),
            (["--frames", "d", "--to", "5"], f"--frames {here}/d --to 5", 0),
            (["--video", f"{scratch}/data/my.mp4"], "writes nothing into data/", 2)]:
        done = subprocess.run([scratch / "scripts" / "capture", *args], cwd=here,
                              capture_output=True, text=True, timeout=60)
        assert done.returncode == status, done.stderr
        if status:
            assert expected in done.stderr
            continue
        assert done.stdout == f"wrote {expected.split()[1]}\n"
        assert (tool.parent / "calls").read_text().splitlines()[-1] == \
            f"{scratch / 'data'} {expected}"
