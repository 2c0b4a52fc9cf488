#!/usr/bin/env python3
"""Draws the installer's skin: PNG pictures 130..150 and the application icon.

    python3 tools/skin/make_skin.py [res-folder]

Writes <res>/skin/<id>.png and <res>/Quilmer.ico (default res-folder: the
repository's res/). The output is deterministic and committed with the sources;
the build never runs this script. Needs the zopfli tool (Debian package
"zopfli", 1.0.3 reproduces the committed files byte for byte) besides the
standard library; a run takes a few minutes.

What the program relies on, and this file therefore guarantees:
  * sizes and transparency of the picture table (130 is RGB, the rest RGBA;
    146 and 149 are opaque everywhere although they carry an alpha channel);
  * Adam7 interlacing, 8 bits per channel;
  * iCCP and cHRM chunks, which the program never applies (it decodes without
    colour management: GdipCreateBitmapFromStream applies no ICC profile, gamma
    or chromaticity);
  * a pHYs chunk: 96 dpi for 130..147, 72 dpi for the progress fill 148..150.
The icon's images carry no ancillary chunk. Each PNG is checked by decoding it again
(png_pixels.py); `png_pixels.py compare` checks a new drawing against the
committed one.
"""

import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

import png_pixels

# ---------------------------------------------------------------- canvas


class Canvas:
    """Premultiplied RGBA in floats 0..1, painted with the 'over' operator."""

    def __init__(self, w, h, fill=(0.0, 0.0, 0.0, 0.0)):
        self.w, self.h = w, h
        r, g, b, a = fill
        self.px = [[r * a, g * a, b * a, a] for _ in range(w * h)]

    def blend(self, x, y, colour, coverage):
        """Composites a straight-alpha colour with the given coverage at (x, y)."""
        if coverage <= 0.0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        r, g, b, a = colour
        a *= min(coverage, 1.0)
        p = self.px[y * self.w + x]
        k = 1.0 - a
        p[0] = r * a + p[0] * k
        p[1] = g * a + p[1] * k
        p[2] = b * a + p[2] * k
        p[3] = a + p[3] * k

    def fill_shape(self, inside, colour_at, ss=4, box=None):
        """Paints every pixel by the share of its ss*ss sample points for which
        inside(x, y) holds; colour_at(x, y) gives the colour at a pixel centre."""
        x0, y0, x1, y1 = box if box else (0, 0, self.w, self.h)
        step = 1.0 / ss
        offs = [(i + 0.5) * step for i in range(ss)]
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                hits = 0
                for oy in offs:
                    for ox in offs:
                        if inside(x + ox, y + oy):
                            hits += 1
                if hits:
                    self.blend(x, y, colour_at(x + 0.5, y + 0.5), hits / (ss * ss))

    def rect(self, x0, y0, x1, y1, colour):
        """Paints the pixels x0 <= x < x1, y0 <= y < y1 with full coverage."""
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.blend(x, y, colour, 1.0)

    def crop(self, x0, w):
        c = Canvas(w, self.h)
        for y in range(self.h):
            for x in range(w):
                c.px[y * w + x] = list(self.px[y * self.w + x0 + x])
        return c

    def to_bytes(self, alpha):
        """Straight-alpha 8-bit rows (RGBA, or RGB composited on white)."""
        rows = []
        for y in range(self.h):
            row = bytearray()
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                if alpha:
                    if a > 0.0:
                        row += bytes(q(c / a) for c in (r, g, b))
                    else:
                        row += b"\0\0\0"
                    row.append(q(a))
                else:
                    row += bytes(q(c + (1.0 - a)) for c in (r, g, b))
            rows.append(bytes(row))
        return rows


def q(v):
    return max(0, min(255, int(round(v * 255.0))))


def hexc(s, a=1.0):
    s = s.lstrip("#")
    return (int(s[0:2], 16) / 255.0, int(s[2:4], 16) / 255.0, int(s[4:6], 16) / 255.0, a)


def mix(c0, c1, t):
    t = max(0.0, min(1.0, t))
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def vgrad(stops, y0, y1):
    """Colour function of y through the given (position 0..1, colour) stops."""
    def at(_x, y):
        t = (y - y0) / float(y1 - y0)
        for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
            if t <= p1:
                return mix(c0, c1, (t - p0) / (p1 - p0) if p1 > p0 else 0.0)
        return stops[-1][1]
    return at


def rounded_rect(x0, y0, x1, y1, r):
    """Inside test of the box x0..x1, y0..y1 (real coordinates) with corner radius r."""
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def polygon(points):
    """Even-odd inside test of a closed polygon."""
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                hit = not hit
        return hit
    return inside


def solid(c):
    return lambda _x, _y: c

# ---------------------------------------------------------------- the art

WHITE = hexc("FFFFFF")


def draw_background():
    """146: the whole dialog, 475 x 286, opaque. The dialog shows 474 x 285 of it,
    so the right and bottom lines of the dark outer frame are never on screen."""
    w, h = 475, 286
    c = Canvas(w, h, hexc("EDF0F3"))
    band = vgrad([(0.0, hexc("46698C")), (1.0, hexc("2F4E6E"))], 1, 39)
    for y in range(1, 39):
        col = band(0, y + 0.5)
        for x in range(1, w - 1):
            # A soft light from the upper left keeps the band from looking flat.
            glow = max(0.0, 1.0 - math.hypot((x - 90) / 260.0, (y - 4) / 60.0))
            c.blend(x, y, mix(col, hexc("5B82A8"), 0.55 * glow), 1.0)
    c.rect(1, 1, w - 1, 2, hexc("FFFFFF", 0.16))
    c.rect(1, 38, w - 1, 39, hexc("22384F"))
    # The content panel: white, framed by one grey line (columns 4..470, rows 39..280).
    c.rect(4, 39, 471, 281, hexc("C3CAD2"))
    c.rect(5, 40, 470, 280, WHITE)
    # Faint separator above the button row, fading out towards both ends.
    for x in range(5, 470):
        t = min(x - 5, 469 - x) / 60.0
        c.blend(x, 246, hexc("DCE1E7"), min(1.0, t))
    # The dark outer frame line all round.
    frame = hexc("2A3B4D")
    c.rect(0, 0, w, 1, frame)
    c.rect(0, h - 1, w, h, frame)
    c.rect(0, 0, 1, h, frame)
    c.rect(w - 1, 0, w, h, frame)
    return c


# Button looks: border, face top, face bottom, inner highlight (None: flat face).
BUTTON_LOOKS = {
    "normal":   ("A3ACB6", "FFFFFF", "E6EAEE", "FFFFFF"),
    "hover":    ("8693A1", "EDF3F9", "EDF3F9", None),
    "pressed":  ("26323F", "485868", "36434F", None),
    "disabled": ("D5DADF", "F6F7F8", "F1F2F4", None),
}


def draw_button_face(look, w=9, h=22):
    """A rounded face of w x 22 from which the edges and the centre strip are cut."""
    border, top, bottom, hilite = BUTTON_LOOKS[look]
    c = Canvas(w, h)
    outer = rounded_rect(0.0, 0.0, w, h, 2.5)
    inner = rounded_rect(1.0, 1.0, w - 1.0, h - 1.0, 1.5)
    c.fill_shape(outer, solid(hexc(border)), ss=6)
    c.fill_shape(inner, vgrad([(0.0, hexc(top)), (1.0, hexc(bottom))], 1, h - 1), ss=6)
    if hilite:
        c.rect(2, 1, w - 2, 2, hexc(hilite, 0.9))
    return c


def button_pieces(look):
    face = draw_button_face(look)
    return face.crop(0, 3), face.crop(4, 1), face.crop(face.w - 3, 3)


def draw_track():
    """147: the progress track, 436 x 8, light with rounded ends."""
    w, h = 436, 8
    c = Canvas(w, h)
    c.fill_shape(rounded_rect(0.0, 0.0, w, h, 4.0), solid(hexc("C7CED6")), ss=6)
    c.fill_shape(rounded_rect(1.0, 1.0, w - 1.0, h - 1.0, 3.0),
                 vgrad([(0.0, hexc("DDE2E8")), (1.0, hexc("EEF1F4"))], 1, h - 1), ss=6)
    return c


FILL_GRADIENT = vgrad([(0.0, hexc("FFB865")), (0.35, hexc("FF9A2E")),
                       (1.0, hexc("E8700C"))], 0, 7)


def draw_fill(w=16, h=7):
    """The orange fill, 7 rows high; the caps are its rounded ends."""
    c = Canvas(w, h)
    c.fill_shape(rounded_rect(0.0, 0.0, w, h, 3.5), FILL_GRADIENT, ss=8)
    return c


def fill_strip():
    """149: one opaque column of the fill (every pixel opaque)."""
    c = Canvas(1, 7)
    for y in range(7):
        c.blend(0, y, FILL_GRADIENT(0, y + 0.5), 1.0)
    return c


def draw_logo(size, shadow=True):
    """The badge: an orange disc with a white arrow into a tray. At 101 x 107 the
    extra rows hold a soft shadow; the surround stays fully transparent."""
    w = size
    h = size + 6 if shadow else size
    s = size / 101.0
    c = Canvas(w, h)
    ss = 4 if size <= 128 else 3
    cx, cy, r = w / 2.0, 47.0 * s if shadow else w / 2.0, 46.0 * s if shadow else w / 2.0 - 0.5
    if shadow:
        for y in range(h):
            for x in range(w):
                d = ((x + 0.5 - cx) / (38 * s)) ** 2 + ((y + 0.5 - (cy + r + 4 * s)) / (5 * s)) ** 2
                if d < 1.0:
                    c.blend(x, y, hexc("1F2A36"), 0.22 * (1.0 - d) ** 1.5)
    c.fill_shape(ellipse(cx, cy, r, r), solid(hexc("C85A06")), ss=ss)
    disc = vgrad([(0.0, hexc("FFB04A")), (0.55, hexc("FA8A1C")), (1.0, hexc("E0670A"))],
                 cy - r, cy + r)
    c.fill_shape(ellipse(cx, cy, r - 1.6 * s, r - 1.6 * s), disc, ss=ss)
    # Gloss on the upper half.
    gloss = ellipse(cx, cy - r * 0.42, r * 0.78, r * 0.52)
    c.fill_shape(lambda x, y: gloss(x, y) and y < cy - r * 0.05,
                 vgrad([(0.0, hexc("FFFFFF", 0.38)), (1.0, hexc("FFFFFF", 0.04))],
                       cy - r * 0.94, cy), ss=ss)
    # The arrow and the tray, with a faint shade under them for depth.
    u = r / 46.0
    arrow = polygon([(cx - 7 * u, cy - 27 * u), (cx + 7 * u, cy - 27 * u),
                     (cx + 7 * u, cy - 2 * u), (cx + 19 * u, cy - 2 * u),
                     (cx, cy + 17 * u), (cx - 19 * u, cy - 2 * u),
                     (cx - 7 * u, cy - 2 * u)])
    tray = polygon([(cx - 24 * u, cy + 11 * u), (cx - 18 * u, cy + 11 * u),
                    (cx - 18 * u, cy + 21 * u), (cx + 18 * u, cy + 21 * u),
                    (cx + 18 * u, cy + 11 * u), (cx + 24 * u, cy + 11 * u),
                    (cx + 24 * u, cy + 27 * u), (cx - 24 * u, cy + 27 * u)])
    shade = 1.2 * u
    c.fill_shape(lambda x, y: arrow(x, y - shade) or tray(x, y - shade),
                 solid(hexc("9A4300", 0.35)), ss=ss)
    c.fill_shape(lambda x, y: arrow(x, y) or tray(x, y), solid(WHITE), ss=ss)
    return c


def plain_strip(look):
    """130 and 131: a column of a face at button height (kept in the set, not drawn)."""
    return button_pieces(look)[1]

# ---------------------------------------------------------------- ICC profile


def s15(v):
    return struct.pack(">i", int(round(v * 65536)))


def icc_profile():
    """A minimal ICC v2 display profile with sRGB primaries (D50-adapted) and a
    2.2 tone curve: enough for decoders that parse the iCCP chunk."""
    def xyz(x, y, z):
        return b"XYZ \0\0\0\0" + s15(x) + s15(y) + s15(z)

    text = b"Quilmer sRGB-like"
    desc = (b"desc\0\0\0\0" + struct.pack(">I", len(text) + 1) + text + b"\0"
            + struct.pack(">II", 0, 0) + struct.pack(">HB", 0, 0) + b"\0" * 67)
    cprt = b"text\0\0\0\0" + b"No copyright, use freely\0"
    curve = b"curv\0\0\0\0" + struct.pack(">IH", 1, 0x0233)
    tags = [(b"desc", desc), (b"cprt", cprt),
            (b"wtpt", xyz(0.9642, 1.0, 0.8249)),
            (b"rXYZ", xyz(0.4361, 0.2225, 0.0139)),
            (b"gXYZ", xyz(0.3851, 0.7169, 0.0971)),
            (b"bXYZ", xyz(0.1431, 0.0606, 0.7141)),
            (b"rTRC", curve), (b"gTRC", curve), (b"bTRC", curve)]
    offset = 128 + 4 + 12 * len(tags)
    table, data = b"", b""
    for sig, body in tags:
        while (offset + len(data)) % 4:
            data += b"\0"
        table += sig + struct.pack(">II", offset + len(data), len(body))
        data += body
    body = struct.pack(">I", len(tags)) + table + data
    size = 128 + len(body)
    header = (struct.pack(">I", size) + b"\0\0\0\0" + struct.pack(">I", 0x02100000)
              + b"mntrRGB XYZ " + struct.pack(">6H", 2011, 1, 1, 0, 0, 0)
              + b"acsp" + b"\0" * 4 + struct.pack(">I", 0) + b"\0" * 8 + b"\0" * 8
              + struct.pack(">I", 0) + s15(0.9642) + s15(1.0) + s15(0.8249)
              + b"\0" * 4 + b"\0" * 16 + b"\0" * 28)
    assert len(header) == 128
    return header + body

# ---------------------------------------------------------------- PNG

def chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data
            + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def filter_candidates(row, prev, bpp):
    """The row filtered with each of the five filter types, in type order."""
    out = []
    for ftype in range(5):
        f = bytearray([ftype])
        for i, v in enumerate(row):
            a = row[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            pred = (0, a, b, (a + b) // 2, png_pixels.paeth(a, b, c))[ftype]
            f.append((v - pred) & 0xFF)
        out.append(bytes(f))
    return out


def magnitude(f):
    return sum(x if x < 128 else 256 - x for x in f[1:])


def entropy(f):
    counts = {}
    for x in f[1:]:
        counts[x] = counts.get(x, 0) + 1
    n = float(len(f) - 1)
    return -sum(k / n * math.log(k / n, 2) for k in counts.values())


def filter_pass(rows, bpp, strategy, stream):
    """One image pass filtered row by row. strategy: a filter type 0..4 for every
    row, or per row the type whose output has the smallest "sum" of magnitudes,
    the smallest "entropy", or adds the fewest bytes to the deflate stream so far
    ("greedy", "greedy-filtered": stream is a zlib compressor, of the default or
    the filtered strategy, that has taken the rows before)."""
    out = bytearray()
    prev = bytes(len(rows[0]))
    for row in rows:
        cands = filter_candidates(row, prev, bpp)
        if isinstance(strategy, int):
            best = cands[strategy]
        elif strategy == "sum":
            best = min(cands, key=magnitude)
        elif strategy == "entropy":
            best = min(cands, key=entropy)
        else:
            def cost(f):
                trial = stream.copy()
                return len(trial.compress(f) + trial.flush(zlib.Z_SYNC_FLUSH))
            best = min(cands, key=cost)
            stream.compress(best)
        out += best
        prev = row
    return bytes(out)


FILTER_STRATEGIES = ("sum", 0, 1, 2, 3, 4, "entropy", "greedy", "greedy-filtered")


def zopfli_zlib(data, effort):
    """data as a zlib stream from the zopfli tool (Debian package "zopfli"), with
    more iterations the smaller the data: effort 2,000,000 gives every candidate
    a second or so, 80,000,000 the chosen one up to about two minutes."""
    tool = shutil.which("zopfli")
    if not tool:
        sys.exit("make_skin.py: the zopfli tool is missing (Debian package \"zopfli\")")
    iterations = max(15, min(1000, effort // max(1, len(data))))
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "data")
        with open(path, "wb") as f:
            f.write(data)
        return subprocess.run([tool, "--zlib", "-c", "--i%d" % iterations, path],
                              check=True, stdout=subprocess.PIPE).stdout


def encode_png(canvas, alpha, dpi=None, interlace=True):
    """The canvas as an 8-bit RGBA (alpha) or RGB PNG, with a pHYs chunk when
    dpi is given; checked by decoding it again."""
    bpp = 4 if alpha else 3
    rows = canvas.to_bytes(alpha)
    w, h = canvas.w, canvas.h
    passes = [rows]
    if interlace:
        passes = [[b"".join(rows[y][x * bpp:(x + 1) * bpp] for x in range(x0, w, dx))
                   for y in range(y0, h, dy)] for x0, y0, dx, dy in png_pixels.ADAM7]
        passes = [p for p in passes if p and p[0]]
    # The same pixels filtered every way; the filtering whose stream is smallest
    # is compressed again, harder, and the smaller of the two kept (the first of
    # equals, so the output is deterministic). Lossless either way.
    candidates = []
    for strategy in FILTER_STRATEGIES:
        stream = zlib.compressobj(9, zlib.DEFLATED, 15, 9, zlib.Z_FILTERED
                                  if strategy == "greedy-filtered" else zlib.Z_DEFAULT_STRATEGY)
        data = b"".join(filter_pass(p, bpp, strategy, stream) for p in passes)
        if data not in candidates:
            candidates.append(data)
    streams = [zopfli_zlib(data, 2000000) for data in candidates]
    best = min(range(len(streams)), key=lambda i: len(streams[i]))
    idat = min((streams[best], zopfli_zlib(candidates[best], 80000000)), key=len)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6 if alpha else 2, 0, 0,
                                      1 if interlace else 0))
    if dpi is not None:
        # The skin pictures carry a colour profile and chromaticities (which the
        # program, decoding without colour management, never applies) and their
        # resolution; the icon's images carry none of them.
        png += chunk(b"iCCP", b"Quilmer sRGB-like\0\0" + zlib.compress(icc_profile(), 9))
        png += chunk(b"cHRM", struct.pack(">8I", 31270, 32900, 64000, 33000,
                                          30000, 60000, 15000, 6000))
        ppm = int(round(dpi / 0.0254))
        png += chunk(b"pHYs", struct.pack(">IIB", ppm, ppm, 1))
    png += chunk(b"IDAT", idat)
    png += chunk(b"IEND", b"")

    dw, dh, _, rgba = png_pixels.decode(png)
    expected = rows if alpha else [b"".join(r[i:i + 3] + b"\xff" for i in range(0, len(r), 3))
                                   for r in rows]
    assert (dw, dh, rgba) == (w, h, b"".join(expected)), "PNG does not decode to its pixels"
    return png

# ---------------------------------------------------------------- icon


def encode_ico(images):
    """An icon file whose every size is a PNG entry (what Windows reads from Vista
    on): 32-bit colour with alpha, no interlacing and no ancillary chunks, a
    quarter of the size of 32-bit bitmaps with their AND masks. The system derives
    the mask from the alpha channel."""
    entries = [(c.w, encode_png(c, True, interlace=False))
               for c in images]
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    blobs = b""
    for size, data in entries:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset + len(blobs))
        blobs += data
    return out + blobs

# ---------------------------------------------------------------- main


def pictures():
    """ID -> (canvas, has alpha, dpi): the picture table of the skin."""
    looks = {3: "disabled", 0: "normal", 1: "hover", 2: "pressed"}
    pics = {
        130: (plain_strip("normal"), False, 96),
        131: (plain_strip("hover"), True, 96),
    }
    for look, name in looks.items():
        left, centre, right = button_pieces(name)
        base = {3: 0, 0: 1, 1: 2, 2: 3}[look]
        pics[132 + base] = (left, True, 96)
        pics[136 + base] = (centre, True, 96)
        pics[140 + base] = (right, True, 96)
    pressed_face = draw_button_face("pressed", w=6)
    pics[144] = (pressed_face.crop(3, 3), True, 96)
    pics[145] = (draw_logo(101), True, 96)
    pics[146] = (draw_background(), True, 96)
    pics[147] = (draw_track(), True, 96)
    fill = draw_fill()
    pics[148] = (fill.crop(0, 5), True, 72)
    pics[149] = (fill_strip(), True, 72)
    pics[150] = (fill.crop(fill.w - 5, 5), True, 72)
    return pics


def main():
    res = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..", "res")
    os.makedirs(os.path.join(res, "skin"), exist_ok=True)
    for pid, (canvas, alpha, dpi) in sorted(pictures().items()):
        with open(os.path.join(res, "skin", "%d.png" % pid), "wb") as f:
            f.write(encode_png(canvas, alpha, dpi))
    icons = [draw_logo(n, shadow=False) for n in (16, 24, 32, 48, 256)]
    with open(os.path.join(res, "Quilmer.ico"), "wb") as f:
        f.write(encode_ico(icons))


if __name__ == "__main__":
    main()
