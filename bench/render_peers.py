#!/usr/bin/python3
"""Times whole-process renders of the ten deep items against ImageMagick and Pillow.

The composition is the one the drawing benchmarks use (bench/BenchItems.h): ten one-line
items "Letrafex0" to "Letrafex9", 48 pt Arial (64 px), depth 50, 3D, start colour yellow,
end colour green, item k at (60 + 40k, 60 + 90k) with direction 1 + k mod 6, on a white
1920 x 1080 picture. The peers draw exactly the same layers (510 at 1x, 2010 at 4x: every
size, position and depth times the scale) in the same colours with the same font file,
ImageMagick with generated draw commands on one thread, Pillow with ImageDraw.text.

Each case runs every program once per round, for several rounds, and prints the medians
of CPU time (user + system) and wall time and the largest peak resident size.

    bench/render_peers.py --cli new=build/src/cli/letrafex-cli [--cli base=...] [--rounds 7]
        [--case 1x-bmp] [--case 4x-png] [--case 4x-png-transparent]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

FONT = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf"
YELLOW = (255, 255, 0)
GREEN = (0, 128, 0)
# Offset of the deepest layer (in depths) and the step per layer, by direction 1..6.
EXTRUSION = {1: (1, 0, -1, -1), 2: (0, 0, 0, -1), 3: (-1, 0, 1, -1),
             4: (1, -2, -1, 1), 5: (0, -1, 0, 1), 6: (-1, -1, 1, 1)}
CASES = {"1x-bmp": (1, False, ".bmp"), "4x-png": (4, False, ".png"), "4x-png-transparent": (4, True, ".png")}


def items():
    return [(f"Letrafex{k}", 60 + 40 * k, 60 + 90 * k, 1 + k % 6) for k in range(10)]


def color_step(c1, c2, n, i):
    # Python's round() rounds ties to even, as the painter does.
    return tuple(max(0, min(255, round((b - a) * (1.0 / n) * i + a))) for a, b in zip(c1, c2))


def layers(scale):
    """(text, x, y, (r, g, b)) for every layer, back to front, item 1 first."""
    d = 50 * scale
    out = []
    for text, x, y, direction in items():
        sx, sy, dx, dy = EXTRUSION[direction]
        x, y = x * scale + sx * d, y * scale + sy * d
        for i in range(d + 1):
            out.append((text, x, y, color_step(GREEN, YELLOW, d, i)))
            x, y = x + dx, y + dy
    return out


def write_items(path):
    with open(path, "w") as f:
        for text, x, y, direction in items():
            f.write(f"{text},1,Arial,48,50,65535,32768,{x},{y},{direction},1,0,0,0\n")


def draw_arguments(scale):
    """ImageMagick's -draw arguments, one per item (its policy forbids reading @files)."""
    per_item = {}
    for text, x, y, (r, g, b) in layers(scale):
        per_item.setdefault(text, []).append(f"fill '#{r:02x}{g:02x}{b:02x}' text {x},{y} '{text}'")
    args = ["-font", FONT, "-pointsize", str(64 * scale), "-gravity", "NorthWest"]
    for commands in per_item.values():
        args += ["-draw", " ".join(commands)]
    return args


PILLOW = r"""
import sys
from PIL import Image, ImageDraw, ImageFont
scale, transparent, layers_file, out = int(sys.argv[1]), sys.argv[2] == "1", sys.argv[3], sys.argv[4]
size = (1920 * scale, 1080 * scale)
img = Image.new("RGBA", size, (0, 0, 0, 0)) if transparent else Image.new("RGB", size, "white")
draw = ImageDraw.Draw(img)
font = ImageFont.truetype(sys.argv[5], 64 * scale)
for line in open(layers_file):
    text, x, y, r, g, b = line.split()
    draw.text((int(x), int(y)), text, fill=(int(r), int(g), int(b)), font=font)
img.save(out)
"""


def run(cmd, env):
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"failed: {' '.join(cmd)}\n{err}")
    return usage.ru_utime + usage.ru_stime, wall, usage.ru_maxrss / 1024.0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cli", action="append", default=[], help="NAME=PATH of a letrafex-cli to time")
    parser.add_argument("--case", action="append", choices=sorted(CASES), help="cases to run (default all)")
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--no-peers", action="store_true", help="time only the letrafex-cli programs")
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="letrafex-peers.")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    items_file = os.path.join(work, "items.txt")
    write_items(items_file)
    pillow_script = os.path.join(work, "pillow_draw.py")
    with open(pillow_script, "w") as f:
        f.write(PILLOW)
    try:
        for case in args.case or list(CASES):
            scale, transparent, ext = CASES[case]
            layers_file = os.path.join(work, f"layers{scale}.txt")
            with open(layers_file, "w") as f:
                for text, x, y, (r, g, b) in layers(scale):
                    f.write(f"{text} {x} {y} {r} {g} {b}\n")
            programs, outputs = {}, {}
            for spec in args.cli:
                name, path = spec.split("=", 1)
                outputs[name] = os.path.join(work, name + ext)
                cmd = [path, "render", items_file, outputs[name], "--size", "1920x1080"]
                cmd += ["--scale", str(scale)] if scale != 1 else []
                cmd += ["--transparent"] if transparent else []
                programs[name] = cmd
            if not args.no_peers:
                size = f"{1920 * scale}x{1080 * scale}"
                outputs["imagemagick"] = os.path.join(work, "imagemagick" + ext)
                outputs["pillow"] = os.path.join(work, "pillow" + ext)
                programs["imagemagick"] = ["/usr/bin/convert", "-limit", "thread", "1", "-size", size,
                                           "xc:none" if transparent else "xc:white",
                                           *draw_arguments(scale), outputs["imagemagick"]]
                programs["pillow"] = ["/usr/bin/python3", pillow_script, str(scale), "1" if transparent else "0",
                                      layers_file, outputs["pillow"], FONT]
            results = {name: [] for name in programs}
            for _ in range(args.rounds):
                for name, cmd in programs.items():
                    results[name].append(run(cmd, env))
            print(f"{case} ({len(layers(scale))} layers, {args.rounds} rounds; medians)")
            print(f"  {'program':<14}{'cpu s':>9}{'wall s':>9}{'peak MiB':>10}{'file MiB':>10}")
            for name, runs in results.items():
                size_mib = os.path.getsize(outputs[name]) / 2**20
                print(f"  {name:<14}{statistics.median(r[0] for r in runs):>9.3f}"
                      f"{statistics.median(r[1] for r in runs):>9.3f}{max(r[2] for r in runs):>10.1f}{size_mib:>10.2f}")
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
