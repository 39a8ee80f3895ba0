#!/usr/bin/env python3
"""Draws the picture editor's frames and stamps as 24-bit bitmaps.

Magenta (0xFF00FF) marks the pixels a frame or stamp leaves open. Drawing is done without
anti-aliasing so no blend of magenta and a real colour appears at the edges. Run from this
folder; the bitmaps are committed, so the build does not need Python.
"""
import math
from PIL import Image, ImageDraw

KEY = (255, 0, 255)
FRAME_SIZE = (128, 160)
STAMP_SIZE = (32, 32)


def frame_plain():
    img = Image.new("RGB", FRAME_SIZE, (40, 90, 160))
    d = ImageDraw.Draw(img)
    d.rectangle([8, 8, FRAME_SIZE[0] - 9, FRAME_SIZE[1] - 9], fill=KEY)
    d.rectangle([5, 5, FRAME_SIZE[0] - 6, FRAME_SIZE[1] - 6], outline=(230, 230, 250))
    return img


def frame_rounded():
    img = Image.new("RGB", FRAME_SIZE, (200, 60, 110))
    d = ImageDraw.Draw(img)
    d.rounded_rectangle([10, 10, FRAME_SIZE[0] - 11, FRAME_SIZE[1] - 11], radius=22, fill=KEY)
    for i in range(0, FRAME_SIZE[0], 12):
        d.ellipse([i + 1, 1, i + 7, 7], fill=(255, 220, 235))
        d.ellipse([i + 1, FRAME_SIZE[1] - 8, i + 7, FRAME_SIZE[1] - 2], fill=(255, 220, 235))
    return img


def frame_film():
    img = Image.new("RGB", FRAME_SIZE, (20, 20, 20))
    d = ImageDraw.Draw(img)
    d.rectangle([16, 4, FRAME_SIZE[0] - 17, FRAME_SIZE[1] - 5], fill=KEY)
    for y in range(6, FRAME_SIZE[1] - 8, 14):
        d.rectangle([4, y, 11, y + 7], fill=(240, 240, 240))
        d.rectangle([FRAME_SIZE[0] - 12, y, FRAME_SIZE[0] - 5, y + 7], fill=(240, 240, 240))
    return img


def stamp_canvas():
    img = Image.new("RGB", STAMP_SIZE, KEY)
    return img, ImageDraw.Draw(img)


def stamp_heart():
    img, d = stamp_canvas()
    d.ellipse([3, 5, 16, 18], fill=(220, 20, 60))
    d.ellipse([15, 5, 28, 18], fill=(220, 20, 60))
    d.polygon([(4, 14), (27, 14), (16, 28)], fill=(220, 20, 60))
    return img


def stamp_star():
    img, d = stamp_canvas()
    points = []
    for i in range(10):
        r = 14 if i % 2 == 0 else 6
        a = -math.pi / 2 + i * math.pi / 5
        points.append((16 + r * math.cos(a), 16 + r * math.sin(a)))
    d.polygon(points, fill=(250, 200, 0), outline=(180, 120, 0))
    return img


def stamp_smile():
    img, d = stamp_canvas()
    d.ellipse([2, 2, 29, 29], fill=(255, 215, 0), outline=(120, 80, 0))
    d.ellipse([9, 9, 12, 13], fill=(40, 40, 40))
    d.ellipse([19, 9, 22, 13], fill=(40, 40, 40))
    d.arc([8, 10, 23, 24], 20, 160, fill=(40, 40, 40), width=2)
    return img


def stamp_flower():
    img, d = stamp_canvas()
    for i in range(6):
        a = i * math.pi / 3
        cx, cy = 16 + 8 * math.cos(a), 16 + 8 * math.sin(a)
        d.ellipse([cx - 6, cy - 6, cx + 6, cy + 6], fill=(255, 140, 200))
    d.ellipse([11, 11, 21, 21], fill=(255, 230, 60))
    return img


def main():
    for name, draw in [("frame-plain", frame_plain), ("frame-rounded", frame_rounded), ("frame-film", frame_film)]:
        draw().save(f"frames/{name}.bmp")
    for name, draw in [("stamp-heart", stamp_heart), ("stamp-star", stamp_star), ("stamp-smile", stamp_smile),
                       ("stamp-flower", stamp_flower)]:
        draw().save(f"stamps/{name}.bmp")


if __name__ == "__main__":
    main()
