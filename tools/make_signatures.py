#!/usr/bin/python3
"""Generates resources/images/signatures.png: the picture of the about box,
a row of hand-written signatures of the team under the product's name.

The strokes are smooth random curves from a fixed seed, so the picture is
the same on every run; change SEED or COUNT for another set.

Usage: tools/make_signatures.py [output.png]
"""
import math
import os
import random
import sys

from PIL import Image, ImageDraw, ImageFont

WIDTH, HEIGHT = 420, 150
S = 4
SEED = 1402
COUNT = 3
INK = (24, 40, 110)


def font(size):
    for path in ("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
                 "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf"):
        if os.path.exists(path):
            return ImageFont.truetype(path, size * S)
    return ImageFont.load_default()


def catmull_rom(points, steps=12):
    out = []
    pts = [points[0]] + points + [points[-1]]
    for i in range(1, len(pts) - 2):
        p0, p1, p2, p3 = pts[i - 1], pts[i], pts[i + 1], pts[i + 2]
        for s in range(steps):
            t = s / steps
            t2, t3 = t * t, t * t * t
            out.append(tuple(0.5 * ((2 * p1[k]) + (-p0[k] + p2[k]) * t + (2 * p0[k] - 5 * p1[k] + 4 * p2[k] - p3[k]) * t2
                                    + (-p0[k] + 3 * p1[k] - 3 * p2[k] + p3[k]) * t3) for k in range(2)))
    out.append(points[-1])
    return out


def signature(draw, rng, x0, y0, width):
    """A flowing scribble: loops travelling right, then an underline flourish."""
    points = []
    x = x0
    while x < x0 + width:
        amplitude = rng.uniform(6, 20) if rng.random() < 0.7 else rng.uniform(22, 30)
        points.append((x, y0 - amplitude))
        x += rng.uniform(6, 12)
        points.append((x, y0 + rng.uniform(-3, 6)))
        x += rng.uniform(4, 9)
        if rng.random() < 0.3:  # a loop back like a cursive l or e
            points.append((x - 6, y0 - amplitude * 0.6))
            points.append((x + 2, y0 + 2))
    curve = catmull_rom(points)
    # Lean the writing to the right, as a hand does.
    scaled = [((px + (y0 - py) * 0.45) * S, py * S) for px, py in curve]
    draw.line(scaled, fill=INK, width=int(1.6 * S), joint="curve")
    flourish = catmull_rom([(x0 - 4, y0 + 12), (x0 + width * 0.4, y0 + 16 + rng.uniform(-3, 3)),
                            (x0 + width + 6, y0 + 8)])
    draw.line([(px * S, py * S) for px, py in flourish], fill=INK, width=int(1.2 * S), joint="curve")


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "resources", "images", "signatures.png")
    rng = random.Random(SEED)
    img = Image.new("RGB", (WIDTH * S, HEIGHT * S), (255, 255, 255))
    d = ImageDraw.Draw(img)
    d.text((WIDTH * S // 2, 14 * S), "TaNGRA LuMI QV Editor", font=font(16), fill=(40, 42, 46), anchor="mt")
    d.text((WIDTH * S // 2, 36 * S), "made by", font=font(9), fill=(110, 114, 120), anchor="mt")
    slot = (WIDTH - 40) / COUNT
    for i in range(COUNT):
        signature(d, rng, 28 + i * slot, 96 + rng.uniform(-6, 6), slot - 36)
    img = img.resize((WIDTH, HEIGHT), Image.LANCZOS)
    img.save(out, optimize=True)
    print("wrote", out)


if __name__ == "__main__":
    main()
