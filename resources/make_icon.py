#!/usr/bin/env python3
"""Draws the product icon (a white sailing boat on a teal disc) and writes tovarelin.ico.

The icon group holds 16, 32 and 48 pixel images at 4, 8 and 32 bits per pixel, so that Windows
finds an image made for each size at each colour depth it may ask for. The 4- and 8-bit
images carry the same four colours in a palette of 16 and of 256 entries. The 32-bit images
are stored as PNG, which Windows reads in icons since Vista, in a tenth of their bitmaps' room.
Run it again after changing the drawing: python3 resources/make_icon.py
"""
import os
import struct
import zlib

TEAL = (34, 170, 136)
DEEP = (20, 120, 98)
WHITE = (255, 255, 255)
PALETTE = [(0, 0, 0), TEAL, DEEP, WHITE]  # index 0 is masked out as transparent


def shade(u, v):
    """Colour index at a point of the unit square, or 0 outside the disc."""
    dx, dy = u - 0.5, v - 0.5
    if dx * dx + dy * dy > 0.25:
        return 0
    if 0.50 <= v <= 0.64 and 0.22 + (v - 0.5) * 0.7 <= u <= 0.78 - (v - 0.5) * 0.7:
        return 3  # hull
    if 0.18 <= v <= 0.47 and 0.50 <= u <= 0.50 + (v - 0.18) * 0.85:
        return 3  # main sail
    if 0.26 <= v <= 0.47 and 0.46 - (v - 0.26) * 0.9 <= u <= 0.46:
        return 3  # fore sail
    if v >= 0.70:
        return 2  # water
    return 1


def pixels(size, samples):
    """Rows bottom-up of (index, coverage) with coverage from samples x samples points."""
    rows = []
    for y in range(size - 1, -1, -1):
        row = []
        for x in range(size):
            counts = {}
            for sy in range(samples):
                for sx in range(samples):
                    u = (x + (sx + 0.5) / samples) / size
                    v = (y + (sy + 0.5) / samples) / size
                    i = shade(u, v)
                    counts[i] = counts.get(i, 0) + 1
            inside = sum(n for i, n in counts.items() if i)
            best = max((n, i) for i, n in counts.items())[1]
            if best == 0 and inside * 2 >= samples * samples:
                best = max((n, i) for i, n in counts.items() if i)[1]
            row.append((best, inside / (samples * samples)))
        rows.append(row)
    return rows


def mask_rows(size, rows):
    stride = ((size + 31) // 32) * 4
    out = b""
    for row in rows:
        bits = bytearray(stride)
        for x, (index, _) in enumerate(row):
            if index == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bytes(bits)
    return out


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(size):
    """8-bit RGBA, rows top-down, each after its filter byte (none)."""
    raw = b""
    for row in reversed(pixels(size, 4)):
        raw += b"\0"
        for index, coverage in row:
            colour = PALETTE[index] if index else TEAL
            raw += bytes(colour) + bytes((int(round(coverage * 255)),))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) +
            png_chunk(b"IDAT", zlib.compress(raw, 9)) + png_chunk(b"IEND", b""))


def image(size, bpp):
    if bpp == 32:
        return png(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, 0, 0, 0, 0, 0)
    rows = pixels(size, 1)
    colours = 1 << bpp
    palette = b"".join(bytes((c[2], c[1], c[0], 0)) for c in PALETTE)
    palette += b"\0" * 4 * (colours - len(PALETTE))
    stride = ((size * bpp + 31) // 32) * 4
    body = b""
    for row in rows:
        line = bytearray(stride)
        for x, (index, _) in enumerate(row):
            if bpp == 8:
                line[x] = index
            else:
                line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        body += bytes(line)
    return header + palette + body + mask_rows(size, rows)


def main():
    entries = [(size, bpp) for bpp in (4, 8, 32) for size in (16, 32, 48)]
    images = [image(size, bpp) for size, bpp in entries]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bpp), data in zip(entries, images):
        colours = (1 << bpp) if bpp < 8 else 0
        out += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bpp, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "tovarelin.ico")
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
