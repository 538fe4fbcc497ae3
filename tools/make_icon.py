#!/usr/bin/python3
"""Writes resources/images/icon.png, the program's 48 x 48 icon: a small
picture of the unit's panel (made from Background.png) on a rounded tile."""
from pathlib import Path

from PIL import Image, ImageDraw

here = Path(__file__).resolve().parent
images = here.parent / "resources" / "images"

SIZE = 48
panel = Image.open(images / "Background.png").convert("RGBA")
panel.thumbnail((SIZE - 4, SIZE - 4), Image.LANCZOS)

icon = Image.new("RGBA", (SIZE, SIZE), (0, 0, 0, 0))
tile = ImageDraw.Draw(icon)
tile.rounded_rectangle((0, 0, SIZE - 1, SIZE - 1), radius=8, fill=(48, 52, 60, 255))
# The accent stripe of the unit's name plate.
tile.rectangle((6, SIZE - 10, SIZE - 7, SIZE - 7), fill=(200, 40, 120, 255))
icon.alpha_composite(panel, ((SIZE - panel.width) // 2, (SIZE - 10 - panel.height) // 2 + 2))
icon.save(images / "icon.png")
