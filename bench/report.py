#!/usr/bin/env python3
"""The show's benchmarks in one table, each figure beside its floor or target, written as
JSON too.

usage: report.py BUILD_DIR [--baseline BUILD_DIR] [--fps N] [--runs N] [--json FILE]
                 [--skip-capture] [--skip-callgrind]

- start-up: process start to the first scene frame with data/, beside the floor (each
  picture read, decoded and mipmapped alone, plus opening the soundtrack), the median of
  --runs fresh processes; target at most 0.8 of the floor;
- frames: per scene the median and 99th percentile, beside a bare clear-and-present loop,
  allocations after each scene's first frame, and (callgrind) the share of instructions
  spent in the show's own code rather than the GL driver;
- spectrum: one refresh (Google Benchmark);
- seek: how long the show takes to start at a scene's first and last frame;
- memory: peak resident memory of the show played from its start, above the window and
  driver alone, beside the textures' total, and what it is made of; target at most 1.5;
- capture: seconds of show per second of capture to PNG frames (target at least 1), and
  to video beside ffmpeg alone encoding the same raw frames with the same arguments
  (target at most 1.15 times as long).

With --baseline, a second build is measured the same way in the same run and the targets
are printed with its figures beside ours.
"""
import argparse
import json
import os
import platform
import re
import shutil
import statistics
import subprocess
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
DATA = os.path.join(ROOT, "data")


def profile(build):
    out = subprocess.run([os.path.join(build, "bench", "hopsasa-profile"), DATA],
                         check=True, capture_output=True, text=True).stdout
    return json.loads(out)


def own_code_share(build, fps=2):
    """Share of the instructions of renderFrame (and all it calls) in the show's own code.

    Counted on the main thread; llvmpipe rasterizes on threads of its own, which this does
    not see, so the true share of the frame is smaller still."""
    if not shutil.which("valgrind"):
        return None
    program = os.path.join(build, "bench", "hopsasa-profile")
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "callgrind.out")
        subprocess.run(["valgrind", "--tool=callgrind", "--toggle-collect=renderFrame*",
                        "--callgrind-out-file=" + out, program, DATA, "--frames", str(fps)],
                       check=True, capture_output=True)
        text = subprocess.run(["callgrind_annotate", "--threshold=100", "--inclusive=no", out],
                              check=True, capture_output=True, text=True).stdout
    total = own = 0
    for line in text.splitlines():
        m = re.match(r"\s*([\d,]+)\s+\([^)]*\)\s+(.*)", line)
        if not m:
            continue
        ir = int(m.group(1).replace(",", ""))
        if "PROGRAM TOTALS" in m.group(2):
            total = ir
        elif m.group(2).endswith("[" + program + "]") and "show_profile.cpp" not in m.group(2):
            own += ir  # the profile's own allocation counting is not the show's
    return own / total if total else None


def spectrum(build):
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "spectrum.json")
        subprocess.run([os.path.join(build, "bench", "hopsasa_bench"),
                        "--benchmark_out=" + out, "--benchmark_out_format=json"],
                       check=True, capture_output=True)
        with open(out) as f:
            runs = json.load(f)["benchmarks"]
    return {b["name"]: b["cpu_time"] / 1000 for b in runs if b["time_unit"] == "ns"}


def capture_seconds(build, args, env=None):
    """Seconds one capture takes, and the frames it wrote."""
    capture = os.path.join(build, "tools", "capture", "hopsasa-capture")
    started = time.monotonic()
    result = subprocess.run([capture, *args], cwd=DATA, check=True, capture_output=True,
                            text=True, env=env)
    seconds = time.monotonic() - started
    return seconds, int(result.stderr.rsplit("captured ", 1)[1].split()[0])


# Stands in for ffmpeg on the PATH: keeps the arguments and the raw frames it is given.
FFMPEG_STAND_IN = """#!/bin/sh
printf '%s\\0' "$@" > "$HOPSASA_RAW_DIR/args"
exec cat > "$HOPSASA_RAW_DIR/frames.raw"
"""


def ffmpeg_alone_seconds(build, video_args, tmp):
    """Seconds ffmpeg alone takes to encode the raw frames the capture hands it, with the
    capture's own arguments: the frames are captured to a file first (untimed), then
    encoded from it."""
    raw_dir = os.path.join(tmp, "raw")
    os.makedirs(raw_dir, exist_ok=True)
    stand_in = os.path.join(raw_dir, "ffmpeg")
    with open(stand_in, "w") as f:
        f.write(FFMPEG_STAND_IN)
    os.chmod(stand_in, 0o755)
    env = dict(os.environ, PATH=raw_dir + os.pathsep + os.environ["PATH"],
               HOPSASA_RAW_DIR=raw_dir)
    capture_seconds(build, video_args, env)
    with open(os.path.join(raw_dir, "args"), "rb") as f:
        args = [a.decode() for a in f.read().split(b"\0")[:-1]]
    args[args.index("-")] = os.path.join(raw_dir, "frames.raw")
    args[-1] = os.path.join(tmp, "alone.mp4")
    started = time.monotonic()
    subprocess.run(["ffmpeg", *args], cwd=DATA, check=True, capture_output=True)
    seconds = time.monotonic() - started
    shutil.rmtree(raw_dir)
    return seconds


def capture_speed(build, fps, with_ffmpeg_alone):
    rows = []
    with tempfile.TemporaryDirectory(dir=build) as tmp:
        video = os.path.join(tmp, "show.mp4")
        for name, args in [("PNG frames 800x600", ["--frames", tmp, "--fps", str(fps)]),
                           ("H.264 1920x1080", ["--video", video, "--size", "1920x1080",
                                                "--fps", str(fps)])]:
            seconds, frames = capture_seconds(build, args)
            row = {"output": name, "frames": frames, "show_seconds": frames / fps,
                   "capture_seconds": seconds, "show_per_capture_second": frames / fps / seconds}
            if args[0] == "--frames":
                for f in os.listdir(tmp):
                    if f.endswith(".png"):
                        os.remove(os.path.join(tmp, f))
            elif with_ffmpeg_alone:
                row["ffmpeg_alone_seconds"] = ffmpeg_alone_seconds(build, args, tmp)
            rows.append(row)
    return rows


def startup_runs(build, runs):
    """Start-up and its floor, measured in `runs` fresh processes: the median of each, and
    of the ratio in each process. A build whose profile has no --startup mode is measured
    by its whole profile."""
    program = os.path.join(build, "bench", "hopsasa-profile")
    results = []
    for _ in range(runs):
        out = subprocess.run([program, DATA, "--startup"], check=True, capture_output=True,
                             text=True).stdout
        results.append(json.loads(out))
    median = lambda key: statistics.median(r[key] for r in results)
    return {"runs": runs, "startup_ms": median("startup_ms"), "window_ms": median("window_ms"),
            "floor_ms": median("floor_ms"),
            "ratio": statistics.median(r["startup_ms"] / r["floor_ms"] for r in results),
            "ratio_without_window": statistics.median(
                (r["startup_ms"] - r["window_ms"]) / r["floor_ms"] for r in results),
            "each": [{k: r[k] for k in ("startup_ms", "window_ms", "floor_ms")}
                     for r in results]}


def memory(p):
    """Peak resident memory above the window and the driver alone, beside the textures."""
    m = {"peak_bytes": p["peak_rss_bytes"], "window_bytes": p["baseline_rss_bytes"],
         "textures_bytes": p["textures_bytes"]}
    m["above_window_bytes"] = m["peak_bytes"] - m["window_bytes"]
    m["ratio"] = m["above_window_bytes"] / m["textures_bytes"]
    if "file_rss_end_bytes" in p:
        # Pages of the libraries' files paged in after the window: the driver's code
        # (LLVM, llvmpipe) as it compiles and runs the scenes' shaders.
        m["driver_code_bytes"] = p["file_rss_end_bytes"] - p["file_rss_after_window_bytes"]
        m["ratio_driver_code_apart"] = ((m["above_window_bytes"] - m["driver_code_bytes"]) /
                                        m["textures_bytes"])
    return m


# What the show is held to: (key, what, target, whether higher is better).
TARGETS = [
    ("png", "capture to PNG frames, 800x600", 1.0, True),
    ("video", "capture to video / ffmpeg alone", 1.15, False),
    ("startup", "start-up / serial floor", 0.8, False),
    ("memory", "peak memory above window / textures", 1.5, False),
]


def figures(report, fps):
    """The figures the targets are about, from one build's measurements."""
    f = {}
    for row in report.get("capture", []):
        if row["output"].startswith("PNG"):
            f["png"] = row["show_per_capture_second"]
        elif "ffmpeg_alone_seconds" in row:
            f["video"] = row["capture_seconds"] / row["ffmpeg_alone_seconds"]
    f["startup"] = report["startup"]["ratio"]
    f["memory"] = report["memory"]["ratio"]
    return f


def measure(build, args, with_ffmpeg_alone):
    report = {"build": build, "profile": profile(build)}
    report["startup"] = startup_runs(build, args.runs)
    report["memory"] = memory(report["profile"])
    if not args.skip_capture:
        report["capture"] = capture_speed(build, args.fps, with_ffmpeg_alone)
    return report


def print_details(report, fps, share, spectrum_us):
    p = report["profile"]
    s = report["startup"]
    print("start-up (median of %d fresh processes)" % s["runs"])
    print(f"  process start to first scene frame   {s['startup_ms']:8.1f} ms")
    print(f"    of which window and GL context     {s['window_ms']:8.1f} ms")
    print(f"  floor: pictures alone + soundtrack   {s['floor_ms']:8.1f} ms", end="")
    if "floor_decode_ms" in p:
        print(f"   (in the full run: decoding {p['floor_decode_ms']:.1f} ms, GLU mipmaps and "
              f"upload {p['floor_upload_ms']:.1f} ms, soundtrack {p['music_open_ms']:.1f} ms)")
    else:
        print()
    print(f"  ratio start-up / floor               {s['ratio']:8.2f}"
          f"   (without the window: {s['ratio_without_window']:.2f})")
    if "sprites_pipelined_ms" in p:
        print(f"  the sprites' pictures alone, warm    {p['sprites_pipelined_ms']:8.1f} ms"
              f"   decoded ahead on {p['threads']} threads, vs {p['sprites_floor_ms']:.1f} ms "
              "one after another")
    print(f"  GLU mipmaps 800x600 (rescaled)       {p['mipmaps_800x600_ms']:8.2f} ms"
          f"   vs 1024x512 (no rescale) {p['mipmaps_1024x512_ms']:.2f} ms")
    top = sorted(p["pictures"], key=lambda x: -x["ms"])[:5]
    print("  largest shares of the floor          " +
          ", ".join(f"{x['file']} {100 * x['ms'] / p['floor_ms']:.0f}%" for x in top))
    print("\nframes (ms)                 median      p99   allocations after 1st frame "
          "(own / all)")
    for sc in p["scenes"]:
        print(f"  {sc['scene']} {sc['name']:<22}{sc['median_ms']:8.2f} {sc['p99_ms']:8.2f}"
              f"   {sc['own_allocations_after_first_frame']:>6} / "
              f"{sc['allocations_after_first_frame']}")
    print(f"  bare clear-and-present      {p['bare_frame_ms']:8.2f}")
    print("\nseek at 60 fps (ms)          to a scene's first frame   to its last frame")
    for sc in p["scenes"]:
        print(f"  {sc['scene']} {sc['name']:<22}{sc['seek_to_start_ms']:12.1f} "
              f"{sc['seek_to_end_ms']:18.1f}")
    if share is not None:
        print(f"  show's own code, share of frame instructions: {100 * share:.2f}%"
              "   (target at most 5%)")
    for name, us in spectrum_us.items():
        print(f"\nspectrum: {name} {us:.2f} us per refresh")
    m = report["memory"]
    mib = lambda b: b / 2**20
    print(f"\nmemory: peak resident {mib(m['peak_bytes']):.0f} MiB; the window and driver "
          f"alone {mib(m['window_bytes']):.0f} MiB; textures {mib(m['textures_bytes']):.1f} MiB "
          "(every mipmap level, four bytes a texel, and the two render targets)")
    print(f"  above the window: {mib(m['above_window_bytes']):.1f} MiB = "
          f"{m['ratio']:.2f}x the textures", end="")
    if "driver_code_bytes" in m:
        rest = m["above_window_bytes"] - m["driver_code_bytes"] - m["textures_bytes"]
        print(f": the textures, the driver's code paged in after the window "
              f"{mib(m['driver_code_bytes']):.1f} MiB (libLLVM, swrast_dri: pages of their "
              f"files), the rest {mib(rest):.1f} MiB; without the driver's code "
              f"{m['ratio_driver_code_apart']:.2f}x")
    else:
        print()
    for row in report.get("capture", []):
        print(f"capture at {fps} fps, {row['output']}: {row['frames']} frames, "
              f"{row['show_seconds']:.1f} s of show in {row['capture_seconds']:.1f} s = "
              f"{row['show_per_capture_second']:.2f} s of show per second", end="")
        if "ffmpeg_alone_seconds" in row:
            print(f"; ffmpeg alone on the same raw frames {row['ffmpeg_alone_seconds']:.1f} s "
                  f"(capture / ffmpeg alone {row['capture_seconds'] / row['ffmpeg_alone_seconds']:.2f})")
        else:
            print()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir")
    parser.add_argument("--baseline", help="another build, measured the same way in the same "
                        "run, for a column of its own (say, the build before a change)")
    parser.add_argument("--fps", type=int, default=60, help="capture frame rate")
    parser.add_argument("--runs", type=int, default=7, help="fresh processes for start-up")
    parser.add_argument("--json")
    parser.add_argument("--skip-capture", action="store_true")
    parser.add_argument("--skip-callgrind", action="store_true")
    args = parser.parse_args()
    build = os.path.abspath(args.build_dir)

    machine = (f"{platform.machine()}, {os.cpu_count()} cores, Mesa llvmpipe "
               "(software rendering), offscreen 800x600, no vsync")
    load_before = os.getloadavg()
    report = {"machine": machine, "spectrum_us": spectrum(build)}
    report.update(measure(build, args, with_ffmpeg_alone=True))
    if not args.skip_callgrind:
        report["own_code_share"] = own_code_share(build)
    if args.baseline:
        report["baseline"] = measure(os.path.abspath(args.baseline), args,
                                     with_ffmpeg_alone=False)
    report["load_average"] = {"before": load_before, "after": os.getloadavg()}

    print(f"hopsasa benchmarks — {machine}")
    print("load average (1 min) %.2f before, %.2f after\n" % (load_before[0],
                                                               report["load_average"]["after"][0]))
    print_details(report, args.fps, report.get("own_code_share"), report["spectrum_us"])

    now = figures(report, args.fps)
    before = figures(report["baseline"], args.fps) if args.baseline else {}
    print("\ntargets%s" % ("" if not args.baseline else
                           "                                    before      now"))
    for key, what, target, higher in TARGETS:
        if key not in now:
            continue
        met = now[key] >= target if higher else now[key] <= target
        was = f"{before[key]:10.2f}" if key in before else " " * 10 if args.baseline else ""
        print(f"  {what:<42}{was}{now[key]:9.2f}   target {'at least' if higher else 'at most'}"
              f" {target:.2f}   {'meets' if met else 'short'}")
    m = report["memory"]
    if "ratio_driver_code_apart" in m:
        met = m["ratio_driver_code_apart"] <= 1.5
        print(f"  {'  the same, the driver code apart':<42}{' ' * 10 if args.baseline else ''}"
              f"{m['ratio_driver_code_apart']:9.2f}   target at most 1.50   "
              f"{'meets' if met else 'short'}")
    report["targets"] = {key: {"value": now.get(key), "target": target,
                               "before": before.get(key)} for key, _, target, _ in TARGETS}
    if args.json:
        with open(args.json, "w") as f:
            json.dump(report, f, indent=2)
        print(f"\nwrote {args.json}")


if __name__ == "__main__":
    main()
