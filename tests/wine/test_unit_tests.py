# The unit tests of the Windows build (hopsasa_tests.exe) under Wine, shared out as CTest
# shares out the Linux build's: the tests that choose for the whole process what it runs on
# (HOPSASA_OWN_PROCESS, a gtest filter) each in a process of their own, all the others
# among two processes, each given five minutes (the machine may be busy with more than
# this). They share one Xvfb, whose screen gives the offscreen display its
# OpenGL, and one fresh Wine prefix. The working folder is tests/, as on Linux.
import os
import re
import subprocess
import tempfile
from concurrent.futures import ThreadPoolExecutor

import pytest
from conftest import TESTS_EXE
from harness import SOURCE_DIR

JOBS = 2


def run_tests(env, pattern, extra_env=None):
    # (label, tests passed, output) of the tests of `pattern` in one process. The output
    # goes to a file: a program Wine starts in the background would hold a pipe open.
    with tempfile.TemporaryFile() as output:
        try:
            status = subprocess.run(
                ["wine", TESTS_EXE, "--gtest_filter=" + pattern, "--gtest_brief=1"],
                cwd=os.path.join(SOURCE_DIR, "tests"), env=dict(env, **(extra_env or {})),
                stdout=output, stderr=subprocess.STDOUT, timeout=300).returncode
        except subprocess.TimeoutExpired:
            status = "still running after 300 s"
        output.seek(0)
        text = output.read().decode(errors="replace") + f"\nexit status {status}\n"
    # A filter that matches nothing passes too; the tests must have run.
    ran = re.search(r"\[  PASSED  \] (\d+) tests?\.", text)
    return int(ran[1]) if status == 0 and ran else 0, text


@pytest.mark.two_cores
def test_windows_unit_tests_pass_under_wine(wine):
    assert os.path.exists(TESTS_EXE), "build with HOPSASA_WINDOWS"
    server, prefix = wine()
    prefix.start_session()
    own = os.environ.get("HOPSASA_OWN_PROCESS", "")
    listing = subprocess.run(["wine", TESTS_EXE, "--gtest_list_tests", "--gtest_filter=" + own],
                             env=prefix.env, check=True, capture_output=True, text=True,
                             timeout=120).stdout if own else ""
    # "Suite." lines, each followed by its tests indented by two spaces; parameterised ones
    # carry a comment ("  # GetParam() = 25") after the name.
    suite, runs = None, [(("-" + own) if own else "*",
                          {"GTEST_TOTAL_SHARDS": str(JOBS), "GTEST_SHARD_INDEX": str(i)})
                         for i in range(JOBS)]
    for line in listing.splitlines():
        name = line.split("#")[0].strip()
        if line.startswith("  ") and suite:
            runs.append((suite + name, None))
        elif name.endswith("."):
            suite = name
    with ThreadPoolExecutor(max_workers=JOBS) as pool:
        results = list(pool.map(lambda run: run_tests(prefix.env, *run), runs))
    for (pattern, shard), (passed, output) in zip(runs, results):
        print(f"{'pass' if passed else 'FAIL'}  {pattern} {shard or ''}: {passed} tests")
    failed = [output for passed, output in results if not passed]
    assert not failed, "\n".join(failed)
    print(f"{sum(passed for passed, _ in results)} tests under Wine")
