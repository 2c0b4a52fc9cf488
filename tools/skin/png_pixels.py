#!/usr/bin/env python3
"""Decodes the skin's PNG files and icon to RGBA and compares two versions.

    python3 tools/skin/png_pixels.py compare [REV]
        Decodes every res/skin/*.png and each image of res/Quilmer.ico both as
        committed at REV (default HEAD) and as in the work tree, and fails unless
        width, height and every RGBA value agree. Prints the bytes of each file
        before and after, and the totals.
    python3 tools/skin/png_pixels.py digest FILE...
        Prints the FNV-1a digest of each PNG's pixels as 32-bit ARGB values, row
        by row, which is what GDI+ answers for them pixel by pixel.

Standard library only. Reads what make_skin.py writes: 8-bit RGB or RGBA,
interlaced or not; the icon's images stored as PNG.
"""

import os
import struct
import subprocess
import sys
import zlib

ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4),
         (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
SIGNATURE = b"\x89PNG\r\n\x1a\n"


def chunks(png):
    """(type, data) of every chunk, with each CRC checked."""
    if png[:8] != SIGNATURE:
        raise ValueError("not a PNG file")
    i = 8
    while i < len(png):
        (n,) = struct.unpack(">I", png[i:i + 4])
        kind, data = png[i + 4:i + 8], png[i + 8:i + 8 + n]
        (crc,) = struct.unpack(">I", png[i + 8 + n:i + 12 + n])
        if zlib.crc32(kind + data) & 0xFFFFFFFF != crc:
            raise ValueError("bad CRC in %r" % kind)
        yield kind, data
        i += 12 + n


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def _unfilter(raw, pos, w, h, bpp):
    """The h rows of w pixels that start at raw[pos], and the position after them."""
    stride = w * bpp
    prev = bytearray(stride)
    rows = []
    for _ in range(h):
        ftype = raw[pos]
        line = bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if ftype == 1:
                line[i] = (line[i] + a) & 0xFF
            elif ftype == 2:
                line[i] = (line[i] + b) & 0xFF
            elif ftype == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif ftype == 4:
                line[i] = (line[i] + paeth(a, b, c)) & 0xFF
            elif ftype != 0:
                raise ValueError("filter type %d" % ftype)
        rows.append(line)
        prev = line
    return rows, pos


def decode(png):
    """(width, height, colour type, RGBA bytes row-major) of an 8-bit RGB or RGBA PNG."""
    info, idat = None, b""
    for kind, data in chunks(png):
        if kind == b"IHDR":
            info = struct.unpack(">IIBBBBB", data)
        elif kind == b"IDAT":
            idat += data
    w, h, depth, ctype, _, _, interlace = info
    if depth != 8 or ctype not in (2, 6):
        raise ValueError("only 8-bit RGB and RGBA are read (depth %d, type %d)" % (depth, ctype))
    bpp = 4 if ctype == 6 else 3
    raw = zlib.decompress(idat)
    px = [None] * (w * h)
    pos = 0
    for x0, y0, dx, dy in (ADAM7 if interlace else [(0, 0, 1, 1)]):
        pw, ph = (w - x0 + dx - 1) // dx, (h - y0 + dy - 1) // dy
        if pw == 0 or ph == 0:
            continue
        rows, pos = _unfilter(raw, pos, pw, ph, bpp)
        for j, row in enumerate(rows):
            for i in range(pw):
                p = bytes(row[i * bpp:(i + 1) * bpp])
                px[(y0 + j * dy) * w + x0 + i * dx] = p if bpp == 4 else p + b"\xff"
    if pos != len(raw):
        raise ValueError("%d bytes after the image data" % (len(raw) - pos))
    return w, h, ctype, b"".join(px)


def icon_images(ico):
    """(directory entry width, PNG bytes) of each image of an icon file."""
    _, kind, count = struct.unpack("<HHH", ico[:6])
    if kind != 1:
        raise ValueError("not an icon file")
    for k in range(count):
        w, _, _, _, _, _, size, offset = struct.unpack("<BBBBHHII", ico[6 + 16 * k:22 + 16 * k])
        yield w or 256, ico[offset:offset + size]


def fnv1a_argb(rgba):
    """FNV-1a over the pixels as little-endian 32-bit ARGB values."""
    h = 0x811C9DC5
    for i in range(0, len(rgba), 4):
        r, g, b, a = rgba[i:i + 4]
        for byte in (b, g, r, a):
            h = ((h ^ byte) * 0x01000193) & 0xFFFFFFFF
    return h


def _pictures(read):
    """name -> (bytes, [(label, decoded)]) for the skin and the icon, read through read(path)."""
    out = {}
    for n in range(130, 151):
        path = "res/skin/%d.png" % n
        data = read(path)
        out[path] = (data, [("", decode(data))])
    ico = read("res/Quilmer.ico")
    out["res/Quilmer.ico"] = (ico, [("%dx%d" % (s, s), decode(p)) for s, p in icon_images(ico)])
    return out


def compare(rev):
    root = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))

    def committed(path):
        return subprocess.run(["git", "-C", root, "show", "%s:%s" % (rev, path)],
                              check=True, capture_output=True).stdout

    def current(path):
        with open(os.path.join(root, path), "rb") as f:
            return f.read()

    old, new = _pictures(committed), _pictures(current)
    before = after = 0
    failures = 0
    for path in old:
        (old_bytes, old_images), (new_bytes, new_images) = old[path], new[path]
        before += len(old_bytes)
        after += len(new_bytes)
        same = len(old_images) == len(new_images) and all(
            o[0] == n[0] and o[1][:2] == n[1][:2] and o[1][3] == n[1][3]
            for o, n in zip(old_images, new_images))
        alpha = [(o[1][2] == 6) == (n[1][2] == 6) for o, n in zip(old_images, new_images)]
        ok = same and all(alpha)
        failures += not ok
        print("%-18s %6d -> %6d  %s" % (path, len(old_bytes), len(new_bytes),
                                         "same pixels" if ok else "DIFFERENT"))
    print("%-18s %6d -> %6d" % ("total", before, after))
    return 1 if failures else 0


def main(argv):
    if len(argv) >= 1 and argv[0] == "compare" and len(argv) <= 2:
        return compare(argv[1] if len(argv) == 2 else "HEAD")
    if len(argv) >= 2 and argv[0] == "digest":
        for path in argv[1:]:
            with open(path, "rb") as f:
                w, h, _, rgba = decode(f.read())
            print("%s %dx%d 0x%08X" % (path, w, h, fnv1a_argb(rgba)))
        return 0
    print(__doc__.strip(), file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
