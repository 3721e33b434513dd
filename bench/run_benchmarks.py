#!/usr/bin/env python3
"""Speed and memory of the program, side by side with their references.

Prints figures; never fails. Run after building (scripts/build.sh):

    python3 bench/run_benchmarks.py [--build build] [--sizes 1,12,20,50,100,200] [--quick]

Reference points, each measured in the same run on the same file:
  * libjpeg-turbo's own streaming decode: djpeg -dct float -outfile /dev/null
  * the ImageMagick pipeline that makes the same mount (sample into the
    rectangle, gray, composite onto the frame, quality 80)
  * a bare Qt program that opens the same window (start-up and memory)
"""
import argparse
import json
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TESTDATA = os.path.join(os.path.dirname(TOP), "shared", "testdata")
CACHE = "/tmp/orvessa-bench"


def run_rss(command, env=None, stay=None):
    """Like measure, but with the child's peak RSS (MB) from wait4."""
    start = time.monotonic()
    pid = os.fork()
    if pid == 0:
        devnull = os.open(os.devnull, os.O_RDWR)
        os.dup2(devnull, 0)
        os.dup2(devnull, 1)
        os.dup2(devnull, 2)
        try:
            os.execvpe(command[0], command, env or os.environ)
        finally:
            os._exit(127)
    usage = None
    if stay is not None:
        deadline = time.monotonic() + stay
        while time.monotonic() < deadline:
            done, _, usage = os.wait4(pid, os.WNOHANG)
            if done:
                break
            time.sleep(0.01)
        else:
            os.kill(pid, signal.SIGTERM)
            usage = None
    if usage is None:
        _, _, usage = os.wait4(pid, 0)
    return time.monotonic() - start, usage.ru_maxrss / 1024.0


def best_time(command, repetitions, env=None):
    times = []
    for _ in range(repetitions):
        elapsed, _ = run_rss(command, env=env)
        times.append(elapsed)
    return min(times)


def offscreen_env(extra=None):
    env = dict(os.environ)
    config = os.path.join(CACHE, "offscreen.json")
    with open(config, "w") as f:
        json.dump({"synchronousWindowSystemEvents": False, "windowFrameMargins": False,
                   "screens": [{"name": "bench", "x": 0, "y": 0, "width": 1024, "height": 768,
                                "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]}, f)
    env["QT_QPA_PLATFORM"] = "offscreen:configfile=" + config
    env.pop("DISPLAY", None)
    if extra:
        env.update(extra)
    return env


def make_photos(build, sizes):
    photos = []
    source = os.path.join(TESTDATA, "photos", "seeding_by_Clements_Engelhardt.jpg")
    for megapixels in sizes:
        width = int((megapixels * 1e6 * 16 / 9) ** 0.5)
        height = int(megapixels * 1e6 / width)
        for coding in ("baseline", "progressive"):
            path = os.path.join(CACHE, f"photo-{megapixels}mp-{coding}.jpg")
            if not os.path.exists(path):
                print(f"  making {os.path.basename(path)} ({width} x {height})", flush=True)
                subprocess.run([os.path.join(build, "bench", "bench_make_photo"), source, str(width), str(height),
                                coding, path], check=True)
            photos.append((f"{megapixels} MP {coding}", path, coding, megapixels))
    return photos


def intake_time(build, photo, repetitions):
    out = subprocess.run([os.path.join(build, "bench", "bench_intake"), photo, str(repetitions)],
                         capture_output=True, text=True, env=offscreen_env()).stdout
    figures = dict(line.split() for line in out.splitlines() if line)
    return float(figures["intake-to-composed"]), float(figures["encode-and-write"])


def program_peak(build, photo, seconds):
    """Peak RSS of the real program on the photo, ended after `seconds`."""
    work = tempfile.mkdtemp(dir=CACHE)
    try:
        copy = os.path.join(work, os.path.basename(photo))
        os.symlink(photo, copy)
        _, peak = run_rss([os.path.join(build, "app", "orvessa"), copy], env=offscreen_env(), stay=seconds)
        return peak
    finally:
        shutil.rmtree(work)


def bare_peak(build, seconds):
    _, peak = run_rss([os.path.join(build, "bench", "bench_bare_qt_window"), str(seconds)], env=offscreen_env(),
                      stay=seconds + 2)
    return peak


def imagemagick_time(photo, landscape, repetitions):
    if shutil.which("convert") is None:
        return None, None
    frame = os.path.join(TOP, "assets", "frame_landscape.bmp" if landscape else "frame_portrait.bmp")
    size, offset = ("560x376!", "+24+110") if landscape else ("376x560!", "+112+24")
    out = os.path.join(CACHE, "magick.jpg")
    command = ["convert", frame, "(", photo, "-sample", size, "-colorspace", "Gray", ")", "-geometry", offset,
               "-composite", "-quality", "80", out]
    best = None
    peak = None
    for _ in range(repetitions):
        elapsed, rss = run_rss(command)
        best = elapsed if best is None else min(best, elapsed)
        peak = rss
    return best, peak


def start_to_first_tick(build, photo, repetitions):
    ours, bare = [], []
    for _ in range(repetitions):
        start = time.monotonic()
        out = subprocess.run([os.path.join(build, "bench", "bench_program_probe"), photo], capture_output=True,
                             text=True, env=offscreen_env(), timeout=60).stdout
        tick = [float(line.split()[1]) for line in out.splitlines() if line.startswith("first-tick")]
        ours.append(tick[0] - start)
        start = time.monotonic()
        out = subprocess.run([os.path.join(build, "bench", "bench_bare_qt_window")], capture_output=True, text=True,
                             env=offscreen_env(), timeout=60).stdout
        tick = [float(line.split()[1]) for line in out.splitlines() if line.startswith("first-tick")]
        bare.append(tick[0] - start)
    return statistics.median(ours), statistics.median(bare)


def slide_run(build, photo):
    out = subprocess.run([os.path.join(build, "bench", "bench_program_probe"), photo], capture_output=True, text=True,
                         env=offscreen_env(), timeout=120).stdout
    figures = {}
    for line in out.splitlines():
        parts = line.split()
        if parts and parts[0] in ("arrival-tick", "arrival-to-saved"):
            figures[parts[0]] = float(parts[1])
        if parts and parts[0] == "left":
            figures["edge"] = int(parts[5])
    return figures


def predicted_ticks(edge, screen=(1024, 768), outer=(600, 600), step=32):
    sw, sh = screen
    w, h = outer
    cx, cy = int((sw - w) / 2), int((sh - h) / 2)
    position = {0: -w - 20, 1: sw + 620, 2: -h - 20, 3: sh + 620}[edge]
    target = cx if edge in (0, 1) else cy
    direction = 1 if edge in (0, 2) else -1
    ticks = 1
    while (position < target) if direction > 0 else (position > target):
        position += direction * step
        ticks += 1
    return ticks


def hostile_files(build):
    """Files that claim more than they hold; yields (name, path)."""
    yield "JPEG claiming 64250 x 64250 in 1407 bytes", os.path.join(TESTDATA, "jpeg-damaged", "gdkpixbuf_issue205.jpg")
    regressions = os.path.join(TOP, "fuzz", "regressions", "fuzz_jpeg_intake")
    yield "JPEG, 2 GB of coefficients in 142 bytes", os.path.join(regressions, "slow-2gb-coefficients-from-142-bytes.jpg")
    scans = os.path.join(regressions, "slow-1000-progressive-scans-16384x16384.jpg")
    yield "JPEG, 1000 scans over 16384 x 16384", scans
    # The same scans over other sizes, padded so that the file is long enough
    # for its size: the work limit, not the length check, stops these.
    with open(scans, "rb") as f:
        data = bytearray(f.read())
    frame = data.find(b"\xff\xc2")
    for side in (8192, 23000, 32760):
        path = os.path.join(CACHE, f"hostile-1000-scans-{side}.jpg")
        crafted = bytearray(data)
        crafted[frame + 5:frame + 9] = side.to_bytes(2, "big") * 2
        with open(path, "wb") as f:
            f.write(crafted + bytes(max(0, (side // 8) ** 2 // 128 + 4096 - len(crafted))))
        yield f"JPEG, 1000 scans over {side} x {side}, padded", path
    sparse = os.path.join(CACHE, "hostile-8gib.bmp")
    with open(sparse, "wb") as f:
        f.write(b"MZ")
    os.truncate(sparse, 8 << 30)
    yield "8 GiB file named .bmp (sparse)", sparse


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(TOP, "build"))
    parser.add_argument("--sizes", default="1,12,20,50,100,200")
    parser.add_argument("--repetitions", type=int, default=3)
    parser.add_argument("--quick", action="store_true", help="1 and 20 megapixels only")
    args = parser.parse_args()
    os.makedirs(CACHE, exist_ok=True)
    sizes = [1, 20] if args.quick else [int(s) for s in args.sizes.split(",")]
    build = os.path.abspath(args.build)

    print("Intake: reading the file to the composed 600 x 600 picture")
    photos = [("seeding 15.9 MP progressive", os.path.join(TESTDATA, "photos", "seeding_by_Clements_Engelhardt.jpg"),
               "progressive", 15.9),
              ("friends 6.3 MP progressive", os.path.join(TESTDATA, "photos", "friends_by_Aitzol_Berasategi.jpg"),
               "progressive", 6.3),
              ("rocket 0.27 MP baseline", os.path.join(TESTDATA, "photos", "skimage_rocket.jpg"), "baseline", 0.27)]
    photos += make_photos(build, sizes)
    bare = bare_peak(build, 3.0)
    print(f"  bare Qt window peak memory: {bare:.1f} MB")
    header = (f"  {'photo':30} {'ours s':>8} {'djpeg s':>8} {'ratio':>6} {'magick s':>9} {'speed-up':>8}"
              f" {'ours MB':>8} {'djpeg MB':>9} {'allowed MB':>10}")
    print(header)
    for name, path, coding, megapixels in photos:
        ours, save = intake_time(build, path, args.repetitions)
        djpeg = best_time(["djpeg", "-dct", "float", "-outfile", "/dev/null", path], args.repetitions)
        _, djpeg_peak = run_rss(["djpeg", "-dct", "float", "-outfile", "/dev/null", path])
        # ImageMagick holds the whole photo several times over; past 50
        # megapixels it is left out.
        magick, _ = imagemagick_time(path, True, 1 if megapixels >= 20 else 2) if megapixels <= 50 else (None, None)
        peak = program_peak(build, path, max(2.5, ours * 2 + 1.5)) - bare
        allowed = 16.0 if coding == "baseline" else djpeg_peak + 16.0
        magick_text = f"{magick:9.3f} {magick / ours:7.1f}x" if magick else f"{'-':>9} {'-':>8}"
        print(f"  {name:30} {ours:8.3f} {djpeg:8.3f} {ours / djpeg:6.2f} {magick_text} {peak:8.1f} {djpeg_peak:9.1f}"
              f" {allowed:10.1f}", flush=True)
    print(f"  (ratio = ours / djpeg, target <= 1.25; speed-up = ImageMagick / ours, target >= 4 on baseline;")
    print(f"   ours MB = the program's peak above the bare Qt window; allowed = 16 MB for baseline,")
    print(f"   djpeg's own peak + 16 MB for progressive)")
    print(f"  encode and write of the 600 x 600 mount at quality 80: {save * 1000:.1f} ms")

    print("\nBitmaps: peak memory against the file's size")
    for megapixels in (1, 20) if args.quick else (1, 20, 50):
        jpeg = os.path.join(CACHE, f"photo-{megapixels}mp-baseline.jpg")
        bmp = os.path.join(CACHE, f"photo-{megapixels}mp.bmp")
        if not os.path.exists(jpeg):
            continue
        if not os.path.exists(bmp):
            subprocess.run(["djpeg", "-bmp", "-outfile", bmp, jpeg], check=True)
        size = os.path.getsize(bmp) / 1e6
        ours, _ = intake_time(build, bmp, 2)
        peak = program_peak(build, bmp, max(2.5, ours * 2 + 1.5)) - bare
        print(f"  {megapixels:3} MP bitmap ({size:6.1f} MB): intake {ours:.3f} s, peak above bare Qt {peak:.1f} MB"
              f" (allowed {size + 16:.1f} MB)")

    print("\nHostile files: time to the refusal and peak memory (libjpeg's budget is 2048 MB)")
    for name, path in hostile_files(build):
        command = [os.path.join(build, "bench", "bench_intake"), path, "1"]
        out = subprocess.run(command, capture_output=True, text=True, env=offscreen_env())
        boxes = [line[5:] for line in out.stderr.splitlines() if line.startswith("box: ")]
        elapsed, peak = run_rss(command, env=offscreen_env())
        print(f"  {name:48} {elapsed:6.2f} s {peak:7.1f} MB  {boxes[0] if boxes else '(loaded)'}", flush=True)

    print("\nStart-up: process start to the first timer tick, 600 x 400 photo")
    branches = os.path.join(TESTDATA, "photos", "imaging_branches.jpg")
    ours, bare_start = start_to_first_tick(build, branches, 5)
    print(f"  ours {ours * 1000:.1f} ms, bare Qt window {bare_start * 1000:.1f} ms, ratio {ours / bare_start:.2f}"
          f" (target <= 1.5)")

    print("\nSlide: ticks to the arrival and the arrival's save, 12+ megapixel photo")
    photo12 = os.path.join(CACHE, "photo-12mp-baseline.jpg")
    if not os.path.exists(photo12):
        photo12 = os.path.join(TESTDATA, "photos", "seeding_by_Clements_Engelhardt.jpg")
    ours_start, _ = start_to_first_tick(build, photo12, 3)
    figures = slide_run(build, photo12)
    if "edge" in figures:
        print(f"  start to first tick {ours_start * 1000:.1f} ms; arrival on tick {int(figures['arrival-tick'])}"
              f" (the arithmetic predicts {predicted_ticks(figures['edge'])} on a 1024 x 768 screen);"
              f" arrival to saved file {figures['arrival-to-saved'] * 1000:.1f} ms")
    return 0


if __name__ == "__main__":
    sys.exit(main())
