"""Runs the unit tests of the Windows build (hopsasa_tests.exe) under Wine.

As CTest runs the Linux build's: the tests that choose for the whole process what it runs
on (--own-process, a gtest filter) each in a process of their own, all the others shared
out among --jobs processes. All of them share one Xvfb, whose screen gives the offscreen
display its OpenGL, and one fresh Wine prefix, whose sound goes to ALSA's null device. The
working folder is tests/, as on Linux. Prints each process's result and the output of
every failure; exits non-zero if any test fails.

    unit_tests.py [--jobs N] [--own-process FILTER]
"""
import argparse
import os
import re
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


def run_tests(env, pattern, extra_env=None):
    """(passed, tests run, seconds, output) of the tests of `pattern` in one process."""
    started = time.monotonic()
    # A file rather than a pipe: a program Wine starts in the background on the test's
    # behalf would hold a pipe open after the test ends.
    with tempfile.TemporaryFile() as output_file:
        try:
            status = subprocess.run(["wine", TESTS_EXE, "--gtest_filter=" + pattern,
                                     "--gtest_brief=1"], cwd=WORKDIR,
                                    env=dict(env, **(extra_env or {})), stdout=output_file,
                                    stderr=subprocess.STDOUT, timeout=TEST_TIMEOUT).returncode
        except subprocess.TimeoutExpired:
            status = None
        output_file.seek(0)
        output = output_file.read().decode(errors="replace")
    # A filter that matches nothing passes too; the tests must have run.
    ran = re.search(r"\[  PASSED  \] (\d+) tests?\.", output)
    passed = status == 0 and ran is not None
    if status is None:
        output += f"\nstill running after {TEST_TIMEOUT} s\n"
    elif status != 0:
        output += f"\nexit status {status:#x}\n"
    return passed, int(ran.group(1)) if ran else 0, time.monotonic() - started, output


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--jobs", type=int, default=2, help="processes at once (default 2)")
    parser.add_argument("--own-process", default="", help="gtest filter of the tests that "
                        "run in a process of their own")
    args = parser.parse_args()
    if not os.path.exists(TESTS_EXE):
        sys.exit(f"{TESTS_EXE} is missing: build with HOPSASA_WINDOWS")

    started = time.monotonic()
    xvfb = Xvfb(800, 600)
    prefix = None
    failed, total = [], 0
    try:
        prefix = WinePrefix(xvfb)
        prefix.start_session()
        own = list_tests(prefix.env, args.own_process) if args.own_process else []
        shared = "-" + args.own_process if args.own_process else "*"
        runs = [(f"shared, part {i + 1} of {args.jobs}", shared,
                 {"GTEST_TOTAL_SHARDS": str(args.jobs), "GTEST_SHARD_INDEX": str(i)})
                for i in range(args.jobs)]
        runs += [(name, name, None) for name in own]
        with ThreadPoolExecutor(max_workers=args.jobs) as pool:
            results = pool.map(lambda run: (run[0], *run_tests(prefix.env, run[1], run[2])),
                               runs)
            for label, passed, count, seconds, output in results:
                total += count
                print(f"{'pass' if passed else 'FAIL'}  {label}: {count} tests ({seconds:.1f} s)",
                      flush=True)
                if not passed:
                    failed.append(label)
                    print(output, flush=True)
    finally:
        if prefix:
            prefix.stop()
        xvfb.stop()

    print(f"\n{total} tests under Wine in {time.monotonic() - started:.0f} s")
    for label in failed:
        print(f"FAILED {label}")
    return 1 if failed or total == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
