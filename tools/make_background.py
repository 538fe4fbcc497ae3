#!/usr/bin/python3
"""Generates resources/images/Background.png: the picture of the control
surface that the panel view draws its controls on.

Every control is painted inside the rectangle the editor's panel layout
gives it (top-left position and the size of its button kind), so the drawn
frames, hover and selection marks fall onto the knobs, faders and keys. The
texts the editor writes under the controls are black, so the surface stays
light where they go. Keep LAYOUT in step with ui/TaNGRAQVLumiTemplateUI.cpp.

Usage: tools/make_background.py [output.png]
"""
import math
import os
import sys

from PIL import Image, ImageDraw, ImageFont

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_font  # noqa: E402  (the LCD strip uses the display font's glyphs)

WIDTH, HEIGHT = 900, 450
S = 4  # supersampling factor for smooth edges

KIND_SIZE = {4: (34, 34), 7: (41, 27), 8: (43, 44), 9: (44, 90), 10: (43, 42)}

# (kind, x, y, art) per physical control, as the panel layout places them.
LAYOUT = []
for k in range(8):
    LAYOUT.append((8, 16 + 54 * k, 204, "pot"))
    LAYOUT.append((8, 16 + 54 * k, 65, "encoder"))
    LAYOUT.append((9, 459 + 54 * k, 14, "slider%d" % k))
    LAYOUT.append((7, 17 + 54 * k, 10, "button"))
    LAYOUT.append((7, 17 + 54 * k, 142, "button"))
    LAYOUT.append((7, 460 + 54 * k, 142, "button"))
    LAYOUT.append((7, 460 + 54 * k, 212, "button"))
    LAYOUT.append((10, 16 + 54 * k, 281, "pad"))
for name, x in (("rewind", 179), ("forward", 233), ("stop", 288), ("play", 341), ("record", 449), ("loop", 395)):
    LAYOUT.append((7, x, 378, name))
LAYOUT.append((4, 558, 374, "pedal"))
LAYOUT.append((4, 612, 374, "pedal"))

LISTEN_RECT = (493, 299, 38, 23)
SEND_RECT = (545, 299, 38, 23)

BODY = (204, 207, 211)
BODY_DARK = (186, 190, 195)
EDGE = (120, 124, 130)
KNOB = (52, 54, 58)
KNOB_TOP = (78, 81, 86)
KEY = (232, 233, 235)
KEY_SHADOW = (150, 153, 158)
PAD = (60, 62, 66)
LCD_BG = (158, 186, 120)
LCD_INK = (32, 44, 28)


def s(v):
    return int(round(v * S))


def box(x, y, w, h):
    return [s(x), s(y), s(x + w) - 1, s(y + h) - 1]


def font(size):
    for path in ("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
                 "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf"):
        if os.path.exists(path):
            return ImageFont.truetype(path, size * S)
    return ImageFont.load_default()


def knob(d, x, y, w, h, endless):
    cx, cy = x + w / 2.0, y + h / 2.0
    if endless:  # a ring of LED dots: the encoder turns without end
        for i in range(16):
            a = 2 * math.pi * i / 16
            px, py = cx + 19 * math.cos(a), cy + 19 * math.sin(a)
            d.ellipse([s(px - 1.3), s(py - 1.3), s(px + 1.3), s(py + 1.3)], fill=(96, 100, 106))
    else:  # a scale from seven to five o'clock
        for i in range(11):
            a = math.radians(135 + 27 * i)
            d.line([s(cx + 17.5 * math.cos(a)), s(cy + 17.5 * math.sin(a)),
                    s(cx + 20.5 * math.cos(a)), s(cy + 20.5 * math.sin(a))], fill=(70, 74, 80), width=S)
    r = 14.5
    d.ellipse([s(cx - r + 1), s(cy - r + 2), s(cx + r + 1), s(cy + r + 2)], fill=KEY_SHADOW)
    d.ellipse([s(cx - r), s(cy - r), s(cx + r), s(cy + r)], fill=KNOB)
    d.ellipse([s(cx - r + 3), s(cy - r + 3), s(cx + r - 3), s(cy + r - 3)], fill=KNOB_TOP)
    a = math.radians(-90 if endless else 250)
    d.line([s(cx + 4 * math.cos(a)), s(cy + 4 * math.sin(a)), s(cx + 11 * math.cos(a)), s(cy + 11 * math.sin(a))],
           fill=(240, 240, 240), width=2 * S)


def slider(d, x, y, w, h, k):
    cx = x + w / 2.0
    for i in range(11):  # scale on both sides of the slot
        ty = y + 8 + i * (h - 16) / 10.0
        d.line([s(x + 5), s(ty), s(x + 11), s(ty)], fill=(110, 114, 120), width=S)
        d.line([s(x + w - 11), s(ty), s(x + w - 5), s(ty)], fill=(110, 114, 120), width=S)
    d.rounded_rectangle([s(cx - 2.5), s(y + 6), s(cx + 2.5), s(y + h - 6)], radius=s(2), fill=(40, 42, 46))
    pos = [0.25, 0.55, 0.4, 0.7, 0.3, 0.6, 0.45, 0.65][k]
    fy = y + 8 + pos * (h - 30)
    d.rounded_rectangle([s(cx - 14 + 1), s(fy + 2), s(cx + 14 + 1), s(fy + 16 + 2)], radius=s(3), fill=KEY_SHADOW)
    d.rounded_rectangle([s(cx - 14), s(fy), s(cx + 14), s(fy + 16)], radius=s(3), fill=KNOB)
    d.rounded_rectangle([s(cx - 12), s(fy + 2), s(cx + 12), s(fy + 14)], radius=s(2), fill=KNOB_TOP)
    d.line([s(cx - 12), s(fy + 8), s(cx + 12), s(fy + 8)], fill=(235, 235, 235), width=S)


def key(d, x, y, w, h, colour=KEY, led=None):
    d.rounded_rectangle([s(x + 3), s(y + 4), s(x + w - 1), s(y + h - 1)], radius=s(4), fill=KEY_SHADOW)
    d.rounded_rectangle([s(x + 2), s(y + 2), s(x + w - 2), s(y + h - 3)], radius=s(4), fill=colour,
                        outline=(140, 144, 150), width=S)
    if led:
        d.ellipse([s(x + w / 2.0 - 2), s(y + 5), s(x + w / 2.0 + 2), s(y + 9)], fill=led)


def transport(d, x, y, w, h, what):
    key(d, x, y, w, h, colour=(70, 73, 78))
    cx, cy = x + w / 2.0, y + h / 2.0 - 0.5
    ink = (238, 238, 238)
    if what == "play":
        d.polygon([(s(cx - 4), s(cy - 6)), (s(cx - 4), s(cy + 6)), (s(cx + 6), s(cy))], fill=ink)
    elif what == "stop":
        d.rectangle([s(cx - 5), s(cy - 5), s(cx + 5), s(cy + 5)], fill=ink)
    elif what == "record":
        d.ellipse([s(cx - 5.5), s(cy - 5.5), s(cx + 5.5), s(cy + 5.5)], fill=(220, 40, 40))
    elif what in ("rewind", "forward"):
        sign = 1 if what == "forward" else -1
        for off in (-4.5, 4.5):
            tip = cx + off + sign * 4.5
            back = cx + off - sign * 4.5
            d.polygon([(s(back), s(cy - 5)), (s(back), s(cy + 5)), (s(tip), s(cy))], fill=ink)
    elif what == "loop":
        d.arc([s(cx - 7), s(cy - 5), s(cx + 7), s(cy + 5)], start=200, end=160, fill=ink, width=2 * S)
        d.polygon([(s(cx + 4), s(cy - 8)), (s(cx + 9), s(cy - 4)), (s(cx + 3), s(cy - 2))], fill=ink)


def pad(d, x, y, w, h):
    d.rounded_rectangle([s(x + 3), s(y + 3), s(x + w), s(y + h)], radius=s(6), fill=KEY_SHADOW)
    d.rounded_rectangle([s(x + 1), s(y + 1), s(x + w - 2), s(y + h - 2)], radius=s(6), fill=PAD)
    d.rounded_rectangle([s(x + 4), s(y + 4), s(x + w - 5), s(y + h - 5)], radius=s(4), fill=(74, 77, 82))


def pedal(d, x, y, w, h):
    cx, cy = x + w / 2.0, y + h / 2.0
    pts = [(s(cx + 15 * math.cos(math.radians(30 + 60 * i))), s(cy + 15 * math.sin(math.radians(30 + 60 * i))))
           for i in range(6)]
    d.polygon(pts, fill=(160, 164, 170), outline=(90, 94, 100))
    d.ellipse([s(cx - 10), s(cy - 10), s(cx + 10), s(cy + 10)], fill=(120, 124, 130))
    d.ellipse([s(cx - 5), s(cy - 5), s(cx + 5), s(cy + 5)], fill=(20, 20, 22))


def lcd_text(img, text, x, y, colour):
    """Writes text on the final-size picture with the display font's glyphs."""
    pixels = img.load()
    cell = make_font.CELL
    for i, ch in enumerate(text):
        glyph = make_font.GLYPHS.get(ch)
        if not glyph:
            continue
        for gy, line in enumerate(glyph):
            for gx, bit in enumerate(line):
                if bit == "#":
                    pixels[x + i * (cell + 1) + gx, y + gy] = colour


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "resources", "images", "Background.png")
    img = Image.new("RGB", (WIDTH * S, HEIGHT * S), (90, 94, 100))
    d = ImageDraw.Draw(img)
    # Case and surface.
    d.rounded_rectangle(box(0, 0, WIDTH, HEIGHT), radius=s(10), fill=(96, 100, 106))
    d.rounded_rectangle(box(2, 2, WIDTH - 4, HEIGHT - 4), radius=s(9), fill=BODY)
    # Group plates: the left and right control sections and the bottom strip.
    d.rounded_rectangle(box(8, 5, 438, 354), radius=s(6), fill=BODY_DARK)
    d.rounded_rectangle(box(9, 6, 436, 352), radius=s(6), fill=BODY)
    d.rounded_rectangle(box(452, 5, 440, 264), radius=s(6), fill=BODY_DARK)
    d.rounded_rectangle(box(453, 6, 438, 262), radius=s(6), fill=BODY)
    d.rounded_rectangle(box(170, 366, 344, 72), radius=s(6), fill=BODY_DARK)
    d.rounded_rectangle(box(171, 367, 342, 70), radius=s(6), fill=BODY)

    for kind, x, y, art in LAYOUT:
        w, h = KIND_SIZE[kind]
        if art == "pot":
            knob(d, x, y, w, h, endless=False)
        elif art == "encoder":
            knob(d, x, y, w, h, endless=True)
        elif art.startswith("slider"):
            slider(d, x, y, w, h, int(art[6:]))
        elif art == "button":
            key(d, x, y, w, h, led=(200, 60, 50) if y in (10, 142) and x < 450 else (60, 170, 80))
        elif art == "pad":
            pad(d, x, y, w, h)
        elif art == "pedal":
            pedal(d, x, y, w, h)
        else:
            transport(d, x, y, w, h, art)

    # Listen and send keys beside the display.
    for (x, y, w, h) in (LISTEN_RECT, SEND_RECT):
        key(d, x, y, w, h, colour=(70, 73, 78))

    small = font(7)
    label = (60, 64, 70)
    d.text((s(LISTEN_RECT[0] + LISTEN_RECT[2] / 2.0), s(327)), "LISTEN", font=small, fill=label, anchor="mt")
    d.text((s(SEND_RECT[0] + SEND_RECT[2] / 2.0), s(327)), "SEND", font=small, fill=label, anchor="mt")
    d.text((s(575), s(361)), "CONTROL", font=small, fill=label, anchor="mt")
    d.text((s(629), s(361)), "EXPRESS.", font=small, fill=label, anchor="mt")
    d.text((s(602), s(440)), "PEDALS", font=small, fill=label, anchor="mb")
    d.text((s(342), s(368)), "TRANSPORT", font=small, fill=label, anchor="mt")

    # Display strip.
    d.rounded_rectangle(box(598, 282, 286, 62), radius=s(5), fill=(48, 50, 54))
    d.rectangle(box(606, 290, 270, 46), fill=LCD_BG)

    # Brand.
    d.text((s(20), s(376)), "TaNGRA", font=font(22), fill=(40, 42, 46))
    d.text((s(22), s(406)), "LuMI QV", font=font(14), fill=(200, 40, 120))
    d.text((s(700), s(380)), "MIDI CONTROL SURFACE", font=small, fill=label)
    d.text((s(700), s(394)), "USB  MIDI 1  MIDI 2", font=small, fill=label)

    img = img.resize((WIDTH, HEIGHT), Image.LANCZOS)
    # The first line is left empty: the editor writes the template's name there.
    lcd_text(img, "READY", 614, 312, LCD_INK)
    lcd_text(img, "CH:01  -  QV", 614, 326, LCD_INK)
    img.save(out, optimize=True)
    print("wrote", out)


if __name__ == "__main__":
    main()
