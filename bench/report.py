#!/usr/bin/env python3
"""The show's benchmarks in one table, each figure beside its floor, written as JSON too.

usage: report.py BUILD_DIR [--fps N] [--json FILE] [--skip-capture] [--skip-callgrind]

- start-up: process start to the first scene frame with data/, beside the floor (each
  picture read, decoded and mipmapped alone, plus opening the soundtrack);
- frames: per scene the median and 99th percentile, beside a bare clear-and-present loop,
  allocations after each scene's first frame, and (callgrind) the share of instructions
  spent in the show's own code rather than the GL driver;
- spectrum: one refresh (Google Benchmark);
- seek: how long the show takes to start at a scene's first and last frame;
- memory: peak resident memory beside the textures' total;
- capture: seconds of show per second of capture, PNG frames and video.
"""
import argparse
import json
import os
import platform
import re
import shutil
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


def capture_speed(build, fps):
    capture = os.path.join(build, "tools", "capture", "hopsasa-capture")
    rows = []
    with tempfile.TemporaryDirectory() as tmp:
        for name, args in [("PNG frames 800x600", ["--frames", tmp]),
                           ("H.264 1920x1080", ["--video", os.path.join(tmp, "show.mp4"),
                                                "--size", "1920x1080"])]:
            started = time.monotonic()
            result = subprocess.run([capture, *args, "--fps", str(fps)], cwd=DATA,
                                    check=True, capture_output=True, text=True)
            seconds = time.monotonic() - started
            frames = int(result.stderr.rsplit("captured ", 1)[1].split()[0])
            rows.append({"output": name, "frames": frames, "show_seconds": frames / fps,
                         "capture_seconds": seconds,
                         "show_per_capture_second": frames / fps / seconds})
    return rows


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir")
    parser.add_argument("--fps", type=int, default=60, help="capture frame rate")
    parser.add_argument("--json")
    parser.add_argument("--skip-capture", action="store_true")
    parser.add_argument("--skip-callgrind", action="store_true")
    args = parser.parse_args()
    build = os.path.abspath(args.build_dir)

    machine = (f"{platform.machine()}, {os.cpu_count()} cores, Mesa llvmpipe "
               "(software rendering), offscreen 800x600, no vsync")
    report = {"machine": machine, "profile": profile(build), "spectrum_us": spectrum(build)}
    if not args.skip_callgrind:
        report["own_code_share"] = own_code_share(build)
    if not args.skip_capture:
        report["capture"] = capture_speed(build, args.fps)

    p = report["profile"]
    print(f"hopsasa benchmarks — {machine}\n")
    after_window = p["startup_ms"] - p["window_ms"]
    print("start-up")
    print(f"  process start to first scene frame   {p['startup_ms']:8.1f} ms")
    print(f"    of which window and GL context     {p['window_ms']:8.1f} ms")
    print(f"  floor: pictures alone + soundtrack   {p['floor_ms']:8.1f} ms")
    print(f"  ratio start-up / floor               {p['startup_ms'] / p['floor_ms']:8.2f}"
          f"   (without the window: {after_window / p['floor_ms']:.2f}; target 1.10)")
    print(f"  GLU mipmaps 800x600 (rescaled)       {p['mipmaps_800x600_ms']:8.2f} ms"
          f"   vs 1024x512 (no rescale) {p['mipmaps_1024x512_ms']:.2f} ms")
    top = sorted(p["pictures"], key=lambda x: -x["ms"])[:5]
    print("  largest shares of the floor          " +
          ", ".join(f"{x['file']} {100 * x['ms'] / p['floor_ms']:.0f}%" for x in top))
    print("\nframes (ms)                 median      p99   allocations after 1st frame "
          "(own / all)")
    for s in p["scenes"]:
        print(f"  {s['scene']} {s['name']:<22}{s['median_ms']:8.2f} {s['p99_ms']:8.2f}"
              f"   {s['own_allocations_after_first_frame']:>6} / "
              f"{s['allocations_after_first_frame']}")
    print(f"  bare clear-and-present      {p['bare_frame_ms']:8.2f}")
    print("\nseek at 60 fps (ms)          to a scene's first frame   to its last frame")
    for s in p["scenes"]:
        print(f"  {s['scene']} {s['name']:<22}{s['seek_to_start_ms']:12.1f} "
              f"{s['seek_to_end_ms']:18.1f}")
    share = report.get("own_code_share")
    if share is not None:
        print(f"  show's own code, share of frame instructions: {100 * share:.2f}%"
              "   (target at most 5%)")
    for name, us in report["spectrum_us"].items():
        print(f"\nspectrum: {name} {us:.2f} us per refresh")
    ratio = p["peak_rss_bytes"] / p["textures_bytes"]
    print(f"\nmemory: peak resident {p['peak_rss_bytes'] / 2**20:.0f} MiB, textures "
          f"{p['textures_bytes'] / 2**20:.0f} MiB, ratio {ratio:.2f} (target 1.5); with the "
          f"window and driver alone at {p['baseline_rss_bytes'] / 2**20:.0f} MiB, the rest is "
          f"{(p['peak_rss_bytes'] - p['baseline_rss_bytes']) / p['textures_bytes']:.2f}x the "
          "textures")
    for row in report.get("capture", []):
        print(f"capture at {args.fps} fps, {row['output']}: {row['frames']} frames, "
              f"{row['show_seconds']:.1f} s of show in {row['capture_seconds']:.1f} s = "
              f"{row['show_per_capture_second']:.2f} s of show per second")
    if args.json:
        with open(args.json, "w") as f:
            json.dump(report, f, indent=2)
        print(f"\nwrote {args.json}")


if __name__ == "__main__":
    main()
