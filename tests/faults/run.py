#!/usr/bin/python3
"""Plants each fault of faults.txt in the source tree, one at a time, and runs its probes.

    tests/faults/run.py [--only ID ...] [--layer TEXT] [--exclude TEXT] [--check-probes]
                        [--build DIR] [--markdown FILE]

A fault is one small edit: `find` must occur exactly once in `file` (otherwise the fault is
"stale": the code moved or changed, and the entry needs updating). The edit is built in one
reused build tree (default build-faults/), the probes run in their order until one fails,
and the file is put back whatever happens. A probe is `unit:GTEST_FILTER` (the unit test
program, as CTest runs it) or `ctest:REGEX` (CTest in the build tree). A probe that names no
test is an error, never a pass. --check-probes runs every probe on the unplanted tree first:
each must pass there.
"""
import argparse, os, re, signal, subprocess, sys, time

ROOT = os.path.realpath(os.path.join(os.path.dirname(__file__), "..", ".."))
TABLE = os.path.join(os.path.dirname(os.path.realpath(__file__)), "faults.txt")
E2E_TARGETS = ["hopsasa", "hopsasa-capture", "hopsasa-box-probe", "hopsasa-extra-thread"]


def read_table(path):
    """Blocks of `field: value`, blank-line separated; an indented line continues the field
    above, `| text` keeping the text's own indentation (for code)."""
    faults, block, field = [], {}, None
    for line in open(path, encoding="utf-8").read().splitlines() + [""]:
        if line.startswith("#"):
            continue
        if not line.strip():
            if block:
                faults.append(dict(block, probes=block.get("probes", "").split()))
            block, field = {}, None
            continue
        if line[0] in " \t":
            text, value = block[field] + "\n", line.lstrip()
        else:
            field, value = line.split(":", 1)
            text, value = "", value.lstrip()
        block[field] = text + (value[2:] if value.startswith("| ") else value.strip())
    return faults


def run(args, timeout, **kw):
    """(exit status or "timeout", output)."""
    try:
        p = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           timeout=timeout, **kw)
        return p.returncode, p.stdout.decode(errors="replace")
    except subprocess.TimeoutExpired as e:
        return "timeout", (e.stdout or b"").decode(errors="replace")


def build(build_dir, probes):
    """(built, log) of what the probes run."""
    targets = set()
    for kind, _, name in (probe.partition(":") for probe in probes):
        if kind == "unit":
            targets.add("hopsasa_tests")
        elif name.lstrip("^").startswith("wine"):
            targets.update(["hopsasa_windows", "hopsasa-capture"])
        else:
            targets.update(E2E_TARGETS)
    code, out = run(["nice", "-n", "5", "cmake", "--build", build_dir, "-j2", "--target",
                     *sorted(targets)], 3600)
    return code == 0, out


def probe_fails(build_dir, probe):
    """(failed, what) where what names the failing tests; raises on a probe that ran nothing."""
    kind, _, name = probe.partition(":")
    if kind == "unit":
        code, out = run([os.path.join(build_dir, "tests", "hopsasa_tests"), "--gtest_brief=1",
                         "--gtest_filter=" + name], 900, cwd=os.path.join(ROOT, "tests"),
                        env=dict(os.environ, SDL_AUDIODRIVER="dummy"))
        if code == 0 and not re.search(r"\[  PASSED  \] [1-9]", out):
            raise LookupError(f"{probe} ran no test")
        failed = re.findall(r"^\[  FAILED  \] (\w+/?\w*\.[\w/]+)", out, re.M)
    elif kind == "ctest":
        code, out = run(["ctest", "--no-tests=error", "--output-on-failure", "-R", name],
                        3600, cwd=build_dir)
        if "No tests were found" in out:
            raise LookupError(f"{probe} names no test")
        if code == 0 and "***Skipped" in out:
            raise LookupError(f"{probe} was skipped: " + out.strip().splitlines()[-1])
        failed = re.findall(r"^\s*\d+ - (\S+) \(", out, re.M)
    else:
        raise LookupError(f"unknown probe kind in {probe}")
    if code == "timeout":
        return True, f"{probe} (timed out)"
    return code != 0, (" ".join(sorted(set(failed))) if failed else probe)


def interrupted(*_):
    raise KeyboardInterrupt()


def put_back_a_planted_file(build_dir):
    """A run killed outright leaves its planted file named in the build tree: put it back."""
    mark = os.path.join(build_dir, "planted")
    if os.path.isfile(mark):
        path = open(mark, encoding="utf-8").read()
        os.replace(mark + ".orig", path)
        os.remove(mark)
        print(f"put back {path}, left planted by a run that was killed", file=sys.stderr)


def write(path, text):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def try_fault(fault, opts):
    path = os.path.join(ROOT, fault["file"])
    if not os.path.isfile(path):
        return "stale", f"no file {fault['file']}"
    original = open(path, encoding="utf-8").read()
    if original.count(fault["find"]) != 1:
        return "stale", f"find text occurs {original.count(fault['find'])} times"
    mark = os.path.join(opts.build, "planted")
    write(mark + ".orig", original)
    write(mark, path)
    try:
        write(path, original.replace(fault["find"], fault["replace"]))
        built, log = build(opts.build, fault["probes"])
        if not built:
            return "does-not-build", log.strip().splitlines()[-1][:120]
        for probe in fault["probes"]:
            failed, what = probe_fails(opts.build, probe)
            if failed:
                return "caught", what
        return "missed", ""
    finally:
        write(path, original)
        os.remove(mark)
        os.remove(mark + ".orig")


def markdown(rows):
    lines = ["| id | layer | what a user sees | result | caught by | seconds |",
             "|---|---|---|---|---|---|"]
    for f, result, how, secs in rows:
        cells = [f["id"], f["layer"], f["sees"], result, how or "", f"{secs:.0f}"]
        lines.append("| " + " | ".join(c.replace("|", "\\|") for c in cells) + " |")
    results = [r[1] for r in rows]
    counts = ", ".join(f"{results.count(k)} {k}" for k in sorted(set(results)))
    minutes = sum(r[3] for r in rows) / 60
    return "\n".join(lines + ["", f"{len(rows)} faults: {counts}; {minutes:.1f} minutes"]) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--only", nargs="+", default=[], metavar="ID")
    parser.add_argument("--layer", help="only faults whose layer contains this text")
    parser.add_argument("--exclude", action="append", default=[], metavar="TEXT",
                        help="leave out faults whose layer contains this text")
    parser.add_argument("--check-probes", action="store_true")
    parser.add_argument("--build", default=os.path.join(ROOT, "build-faults"))
    parser.add_argument("--markdown", help="also write the table here, after each fault")
    opts = parser.parse_args()
    signal.signal(signal.SIGTERM, interrupted)
    put_back_a_planted_file(opts.build)
    faults = [f for f in read_table(TABLE) if (not opts.only or f["id"] in opts.only)
              and (not opts.layer or opts.layer in f["layer"])
              and not any(text in f["layer"] for text in opts.exclude)]
    unknown = set(opts.only) - {f["id"] for f in faults}
    if unknown:
        sys.exit("no such fault: " + " ".join(sorted(unknown)))
    if not os.path.isfile(os.path.join(opts.build, "CMakeCache.txt")):
        subprocess.run(["cmake", "-S", ROOT, "-B", opts.build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                        "-DHOPSASA_TESTS=ON", "-DHOPSASA_BENCH=OFF", "-DHOPSASA_WINDOWS=ON"],
                       check=True, stdout=subprocess.DEVNULL)
    if opts.check_probes:
        probes = sorted({p for f in faults for p in f["probes"]})
        if not build(opts.build, probes)[0]:
            sys.exit("the unplanted tree does not build")
        bad = [p for p in probes if probe_fails(opts.build, p)[0]]
        if bad:
            sys.exit("these probes fail without a fault: " + " ".join(bad))
    rows = []
    for fault in faults:
        started = time.monotonic()
        try:
            result, how = try_fault(fault, opts)
        except LookupError as e:
            result, how = "bad-probe", str(e)
        rows.append((fault, result, how, time.monotonic() - started))
        print(f"{fault['id']}: {result} {how} ({rows[-1][3]:.0f} s)", flush=True)
        if opts.markdown:
            write(opts.markdown, markdown(rows))
    print("\n" + markdown(rows))
    return 1 if any(r[1] in ("stale", "does-not-build", "bad-probe") for r in rows) else 0


if __name__ == "__main__":
    sys.exit(main())
