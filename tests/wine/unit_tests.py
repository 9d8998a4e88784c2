"""Runs the unit tests of the Windows build (hopsasa_tests.exe) under Wine.

Each test runs in a process of its own, as CTest runs the Linux build's: the show's
program-wide values are never reset. All of them share one Xvfb, whose screen gives the
offscreen display its OpenGL, and one fresh Wine prefix, whose sound goes to ALSA's null
device. The working folder is tests/, as on Linux. Prints each test's result and the
output of every failure; exits non-zero if any test fails.

    unit_tests.py [--jobs N] [GTEST_FILTER]
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor

sys.path.insert(0, os.path.dirname(__file__))
from wine import WinePrefix  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e"))
from harness import BUILD_DIR, SOURCE_DIR, Xvfb  # noqa: E402

TESTS_EXE = os.path.join(BUILD_DIR, "windows", "tests", "hopsasa_tests.exe")
WORKDIR = os.path.join(SOURCE_DIR, "tests")
TEST_TIMEOUT = 120  # seconds; the slowest test takes a few seconds


def list_tests(env, pattern):
    """The full names of the tests that `pattern` selects, in the program's order."""
    listing = subprocess.run(["wine", TESTS_EXE, "--gtest_list_tests", "--gtest_filter=" + pattern],
                             cwd=WORKDIR, env=env, check=True, capture_output=True, text=True,
                             timeout=TEST_TIMEOUT).stdout
    # "Suite." lines, each followed by its tests indented by two spaces; parameterised
    # ones carry a comment ("  # GetParam() = 25") after the name.
    names = []
    suite = None
    for line in listing.splitlines():
        if line.startswith("  ") and suite:
            names.append(suite + line.split("#")[0].strip())
        elif line.split("#")[0].strip().endswith("."):
            suite = line.split("#")[0].strip()
    return names


def run_test(env, name):
    """(passed, seconds, output) of one test in a process of its own."""
    started = time.monotonic()
    # A file rather than a pipe: a program Wine starts in the background on the test's
    # behalf would hold a pipe open after the test ends.
    with tempfile.TemporaryFile() as output_file:
        try:
            status = subprocess.run(["wine", TESTS_EXE, "--gtest_filter=" + name], cwd=WORKDIR,
                                    env=env, stdout=output_file, stderr=subprocess.STDOUT,
                                    timeout=TEST_TIMEOUT).returncode
        except subprocess.TimeoutExpired:
            status = None
        output_file.seek(0)
        output = output_file.read().decode(errors="replace")
    # A filter that matches nothing passes too; the test must have run.
    passed = status == 0 and "[  PASSED  ] 1 test." in output
    if status is None:
        output += f"\nstill running after {TEST_TIMEOUT} s\n"
    elif status != 0:
        output += f"\nexit status {status:#x}\n"
    return passed, time.monotonic() - started, output


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--jobs", type=int, default=2, help="tests run at once (default 2)")
    parser.add_argument("filter", nargs="?", default="*", help="a --gtest_filter pattern")
    args = parser.parse_args()
    if not os.path.exists(TESTS_EXE):
        sys.exit(f"{TESTS_EXE} is missing: build with HOPSASA_WINDOWS")

    started = time.monotonic()
    xvfb = Xvfb(800, 600)
    prefix = None
    try:
        prefix = WinePrefix(xvfb)
        prefix.start_session()
        names = list_tests(prefix.env, args.filter)
        if not names:
            sys.exit(f"no test matches {args.filter}")
        failed = []
        with ThreadPoolExecutor(max_workers=args.jobs) as pool:
            runs = pool.map(lambda name: (name, *run_test(prefix.env, name)), names)
            for number, (name, passed, seconds, output) in enumerate(runs, 1):
                print(f"{number:3}/{len(names)} {'pass' if passed else 'FAIL'}  {name}"
                      f" ({seconds:.1f} s)", flush=True)
                if not passed:
                    failed.append(name)
                    print(output, flush=True)
    finally:
        if prefix:
            prefix.stop()
        xvfb.stop()

    print(f"\n{len(names) - len(failed)} of {len(names)} tests passed under Wine in "
          f"{time.monotonic() - started:.0f} s")
    for name in failed:
        print(f"FAILED {name}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
