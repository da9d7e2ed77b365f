#!/usr/bin/env python3
"""Draws the application icon and writes app/res/kadrovix.ico.

The artwork is a dark rounded square holding four crop corners in the accent
colour around a small white annotation arrow. Every size is drawn on its own
pixel grid (edges snapped to whole pixels, then 8x8 supersampled), so the
small notification-area sizes stay crisp instead of being scaled down.

Standard library only. Usage: tools/make_icon.py [output.ico] [--preview DIR]
(--preview also writes each size as a PNG for looking at).
"""

import math
import os
import struct
import sys
import zlib

SIZES = (16, 20, 24, 32, 48, 64, 256)
PNG_SIZES = (256,)  # larger entries are stored PNG-compressed, the rest as 32-bit DIBs
SUPERSAMPLE = 8

ACCENT = (0x60, 0xCD, 0xFF)
WHITE = (0xFF, 0xFF, 0xFF)
TOP = (0x2E, 0x38, 0x44)  # background gradient, top to bottom
BOTTOM = (0x16, 0x1B, 0x21)
RIM = (0x46, 0x54, 0x63)  # one-pixel light edge on the larger sizes


def rounded_rect_inside(x, y, left, top, right, bottom, radius):
    """Whether (x, y) lies inside the rounded rectangle."""
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    qx, qy = ax + t * dx, ay + t * dy
    return math.hypot(px - qx, py - qy)


def triangle_inside(px, py, a, b, c):
    def side(p, q, r):
        return (p[0] - r[0]) * (q[1] - r[1]) - (q[0] - r[0]) * (p[1] - r[1])

    d1 = side((px, py), a, b)
    d2 = side((px, py), b, c)
    d3 = side((px, py), c, a)
    negative = d1 < 0 or d2 < 0 or d3 < 0
    positive = d1 > 0 or d2 > 0 or d3 > 0
    return not (negative and positive)


class Layout:
    """Geometry of one size in pixels, snapped where it matters."""

    def __init__(self, size):
        s = size
        self.size = s
        margin = 0 if s <= 24 else round(s / 32)
        self.bg = (margin, margin, s - margin, s - margin)
        self.radius = max(2.5, (s - 2 * margin) * 0.22)
        self.rim = s >= 32
        # Crop corners: a square frame inset from the background, each corner
        # an L of two bars. Stroke and arm lengths are whole pixels.
        inset = {16: 3, 20: 4, 24: 4}.get(s, round(s * 0.2))
        stroke = {16: 2, 20: 2, 24: 3}.get(s, max(2, round(s * 0.085)))
        arm = {16: 4, 20: 5, 24: 7}.get(s, round(s * 0.25))
        lo, hi = inset, s - inset
        self.bars = []
        for (x0, sx) in ((lo, 1), (hi, -1)):
            for (y0, sy) in ((lo, 1), (hi, -1)):
                # horizontal arm
                self.bars.append(self._rect(x0, y0, x0 + sx * arm, y0 + sy * stroke))
                # vertical arm
                self.bars.append(self._rect(x0, y0, x0 + sx * stroke, y0 + sy * arm))
        self.bar_radius = 0 if s <= 24 else stroke * 0.35
        # The annotation arrow: from the lower left to the upper right of the
        # frame's inside; on the smallest sizes only a dot remains.
        self.arrow = None
        self.dot = None
        if s >= 32:
            a = s * 0.36
            b = s * 0.64
            width = max(1.6, s * 0.06)
            head = s * 0.16
            self.arrow = (a, b, b, a, width, head)
        else:
            c = s / 2
            r = 1.0
            self.dot = (c - r, c - r, c + r, c + r)

    @staticmethod
    def _rect(x0, y0, x1, y1):
        return (min(x0, x1), min(y0, y1), max(x0, x1), max(y0, y1))


def sample(layout, x, y):
    """Colour and coverage (r, g, b, a) of one sub-sample."""
    s = layout.size
    left, top, right, bottom = layout.bg
    if not rounded_rect_inside(x, y, left, top, right, bottom, layout.radius):
        return None
    t = (y - top) / max(1.0, bottom - top)
    colour = tuple(TOP[i] + (BOTTOM[i] - TOP[i]) * t for i in range(3))
    if layout.rim and not rounded_rect_inside(x, y, left + 1, top + 1, right - 1, bottom - 1, layout.radius - 1):
        # A light edge, strongest at the top, as if lit from above.
        k = 0.85 - 0.6 * t
        colour = tuple(colour[i] + (RIM[i] - colour[i]) * k for i in range(3))
    for (x0, y0, x1, y1) in layout.bars:
        if layout.bar_radius:
            if rounded_rect_inside(x, y, x0, y0, x1, y1, layout.bar_radius):
                return ACCENT
        elif x0 <= x < x1 and y0 <= y < y1:
            return ACCENT
    if layout.arrow:
        ax, ay, bx, by, width, head = layout.arrow
        # The shaft stops where the head begins.
        ux, uy = (bx - ax) / math.hypot(bx - ax, by - ay), (by - ay) / math.hypot(bx - ax, by - ay)
        sx, sy = bx - ux * head * 0.6, by - uy * head * 0.6
        if segment_distance(x, y, ax, ay, sx, sy) <= width / 2:
            return WHITE
        px, py = -uy, ux
        tip = (bx + ux * width * 0.3, by + uy * width * 0.3)
        base = (bx - ux * head, by - uy * head)
        c1 = (base[0] + px * head * 0.55, base[1] + py * head * 0.55)
        c2 = (base[0] - px * head * 0.55, base[1] - py * head * 0.55)
        if triangle_inside(x, y, tip, c1, c2):
            return WHITE
    if layout.dot:
        x0, y0, x1, y1 = layout.dot
        if x0 <= x < x1 and y0 <= y < y1:
            return WHITE
    return colour


def render(size):
    """Top-down rows of straight (not premultiplied) RGBA bytes."""
    layout = Layout(size)
    n = SUPERSAMPLE
    pixels = bytearray(size * size * 4)
    for py in range(size):
        for px in range(size):
            acc = [0.0, 0.0, 0.0]
            covered = 0
            for sy in range(n):
                for sx in range(n):
                    c = sample(layout, px + (sx + 0.5) / n, py + (sy + 0.5) / n)
                    if c is not None:
                        covered += 1
                        for i in range(3):
                            acc[i] += c[i]
            o = (py * size + px) * 4
            if covered:
                for i in range(3):
                    pixels[o + i] = min(255, round(acc[i] / covered))
                pixels[o + 3] = round(255 * covered / (n * n))
    return pixels


def png_bytes(size, rgba):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = bytearray()
    stride = size * 4
    for y in range(size):
        raw.append(0)  # filter: none
        raw += rgba[y * stride:(y + 1) * stride]
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def dib_bytes(size, rgba):
    """A 32-bit icon DIB: header (height doubled), bottom-up BGRA, AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for y in range(size - 1, -1, -1):
        for x in range(size):
            o = (y * size + x) * 4
            r, g, b, a = rgba[o:o + 4]
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray(mask_stride)
        for x in range(size):
            if rgba[(y * size + x) * 4 + 3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + xor + mask


def ico_bytes(images):
    """images: list of (size, encoded bytes)."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    data = b""
    for size, blob in images:
        dim = 0 if size >= 256 else size
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        data += blob
    return out + entries + data


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    output = os.path.join(here, "..", "app", "res", "kadrovix.ico")
    preview = None
    args = list(argv)
    if "--preview" in args:
        i = args.index("--preview")
        preview = args[i + 1]
        del args[i:i + 2]
    if args:
        output = args[0]
    images = []
    for size in SIZES:
        rgba = render(size)
        blob = png_bytes(size, rgba) if size in PNG_SIZES else dib_bytes(size, rgba)
        images.append((size, blob))
        if preview:
            os.makedirs(preview, exist_ok=True)
            with open(os.path.join(preview, f"icon_{size}.png"), "wb") as f:
                f.write(png_bytes(size, rgba))
    with open(output, "wb") as f:
        f.write(ico_bytes(images))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
