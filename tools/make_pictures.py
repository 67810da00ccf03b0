#!/usr/bin/env python3
"""Draws the display's icons and car pictures and writes them as 16-bit
Y/chroma words to dsp/dsp_pictures.cpp, with PNG previews in tools/previews/.

Every picture is built from simple shapes, sampled 4 x 4 times per pixel and
averaged, then converted from RGB to BT.601 studio-range YUV. Each word holds
the pixel's Y in its high byte and one chroma byte of its pixel pair: U in the
even pixel, V in the odd one (the pair's average).

Usage: python3 tools/make_pictures.py   (standard library only; the output is
the same on every run)
"""

import math
import os
import struct
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT_CPP = os.path.join(ROOT, "dsp", "dsp_pictures.cpp")
OUT_PREVIEWS = os.path.join(ROOT, "tools", "previews")

SS = 4                   # samples per pixel along each axis
CLEAR_WORD = 0x7E80      # transparent background of the car pictures
CAR_W, CAR_H = 116, 260


# ---------------------------------------------------------------- shapes
# A shape is (bounding box, inside test); coordinates are in pixels, the
# centre of pixel (c, r) being (c + 0.5, r + 0.5).

def rect(x0, y0, x1, y1, r=0.0):
    """Rectangle with elliptic corners; r is a radius, or (rx, ry), or four
    of those in the order top-left, top-right, bottom-right, bottom-left."""
    if not isinstance(r, (tuple, list)):
        r = (r, r)
    if not isinstance(r[0], (tuple, list)):
        r = (r, r, r, r)
    corners = []
    for (rx, ry), (sx, sy) in zip(r, ((1, 1), (-1, 1), (-1, -1), (1, -1))):
        cx = x0 + rx if sx > 0 else x1 - rx
        cy = y0 + ry if sy > 0 else y1 - ry
        corners.append((cx, cy, rx, ry, sx, sy))

    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        for cx, cy, rx, ry, sx, sy in corners:
            if rx > 0 and ry > 0 and (x - cx) * sx < 0 and (y - cy) * sy < 0:
                dx, dy = (x - cx) / rx, (y - cy) / ry
                return dx * dx + dy * dy <= 1.0
        return True
    return (x0, y0, x1, y1), inside


def ellipse(cx, cy, rx, ry=None):
    ry = rx if ry is None else ry

    def inside(x, y):
        dx, dy = (x - cx) / rx, (y - cy) / ry
        return dx * dx + dy * dy <= 1.0
    return (cx - rx, cy - ry, cx + rx, cy + ry), inside


def arc(cx, cy, r0, r1, dx, dy, cos_half):
    """Ring r0..r1 around (cx, cy), limited to directions within the angle
    whose cosine is cos_half of the unit direction (dx, dy)."""
    def inside(x, y):
        px, py = x - cx, y - cy
        d2 = px * px + py * py
        if d2 < r0 * r0 or d2 > r1 * r1:
            return False
        return px * dx + py * dy >= cos_half * math.sqrt(d2)
    return (cx - r1, cy - r1, cx + r1, cy + r1), inside


def poly(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    edges = list(zip(points, points[1:] + points[:1]))

    def inside(x, y):
        hit = False
        for (ax, ay), (bx, by) in edges:
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                hit = not hit
        return hit
    return (min(xs), min(ys), max(xs), max(ys)), inside


def stroke(x0, y0, x1, y1, width):
    """A line of the given width with round ends."""
    h = width / 2.0
    vx, vy = x1 - x0, y1 - y0
    n2 = vx * vx + vy * vy

    def inside(x, y):
        t = 0.0 if n2 == 0 else max(0.0, min(1.0, ((x - x0) * vx + (y - y0) * vy) / n2))
        ex, ey = x - x0 - t * vx, y - y0 - t * vy
        return ex * ex + ey * ey <= h * h
    return (min(x0, x1) - h, min(y0, y1) - h, max(x0, x1) + h, max(y0, y1) + h), inside


def polyline(points, width):
    return union(*[stroke(a[0], a[1], b[0], b[1], width) for a, b in zip(points, points[1:])])


def union(*shapes):
    box = (min(s[0][0] for s in shapes), min(s[0][1] for s in shapes),
           max(s[0][2] for s in shapes), max(s[0][3] for s in shapes))
    tests = [s[1] for s in shapes]
    return box, lambda x, y: any(t(x, y) for t in tests)


def clip(shape, mask):
    """The part of shape that lies inside mask."""
    return shape[0], lambda x, y: shape[1](x, y) and mask[1](x, y)


def mirror_x(shape, width):
    """The shape mirrored left to right in a picture of the given width."""
    (x0, y0, x1, y1), test = shape
    return (width - x1, y0, width - x0, y1), lambda x, y: test(width - x, y)


# ---------------------------------------------------------------- canvas

class Canvas:
    """Supersampled picture. Each sample holds a paint: an RGB tuple, a
    function of (x, y) giving one, a name looked up in a palette when the
    picture is resolved, or None (transparent)."""

    def __init__(self, w, h, background=None):
        self.w, self.h = w, h
        self.sw, self.sh = w * SS, h * SS
        self.samples = [background] * (self.sw * self.sh)

    def paint(self, shape, paint):
        (x0, y0, x1, y1), inside = shape
        sx0 = max(0, math.floor(x0 * SS))
        sy0 = max(0, math.floor(y0 * SS))
        sx1 = min(self.sw, math.ceil(x1 * SS) + 1)
        sy1 = min(self.sh, math.ceil(y1 * SS) + 1)
        samples, sw = self.samples, self.sw
        for sy in range(sy0, sy1):
            y = (sy + 0.5) / SS
            base = sy * sw
            for sx in range(sx0, sx1):
                if inside((sx + 0.5) / SS, y):
                    samples[base + sx] = paint

    def resolve(self, palette=None):
        """Per pixel: (mean RGB of the painted samples, painted fraction);
        (None, 0.0) where nothing was painted."""
        out = []
        n = SS * SS
        for py in range(self.h):
            for px in range(self.w):
                r = g = b = 0.0
                k = 0
                for sy in range(py * SS, py * SS + SS):
                    base = sy * self.sw
                    for sx in range(px * SS, px * SS + SS):
                        p = self.samples[base + sx]
                        if p is None:
                            continue
                        if isinstance(p, str):
                            p = palette[p]
                        if callable(p):
                            p = p((sx + 0.5) / SS, (sy + 0.5) / SS)
                        r += p[0]
                        g += p[1]
                        b += p[2]
                        k += 1
                out.append(((r / k, g / k, b / k), k / n) if k else (None, 0.0))
        return out


def solid(pixels):
    """Pixels of a fully painted canvas as RGB."""
    return [rgb for rgb, _ in pixels]


def vgrad(top, bottom, y0, y1):
    """Vertical gradient from colour top at y0 to bottom at y1."""
    def f(x, y):
        t = min(1.0, max(0.0, (y - y0) / (y1 - y0)))
        return tuple(a + (b - a) * t for a, b in zip(top, bottom))
    return f


def scale(colour, k):
    return tuple(min(255.0, c * k) for c in colour)


# ---------------------------------------------------------------- format

def studio_yuv(rgb):
    r, g, b = rgb
    y = 16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255.0
    u = 128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255.0
    v = 128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255.0
    return y, u, v


def quant(v, lo, hi):
    return min(hi, max(lo, int(math.floor(v + 0.5))))


def to_words(rgbs, w):
    """RGB pixels (None = transparent) to words; a pair shares the average
    chroma of its non-transparent pixels."""
    words = []
    for i in range(0, len(rgbs), 2):
        pair = rgbs[i:i + 2]
        yuvs = [studio_yuv(p) if p is not None else None for p in pair]
        shown = [t for t in yuvs if t is not None]
        if shown:
            u = quant(sum(t[1] for t in shown) / len(shown), 16, 240)
            v = quant(sum(t[2] for t in shown) / len(shown), 16, 240)
        for t, chroma in zip(yuvs, (u if shown else 0, v if shown else 0)):
            words.append(CLEAR_WORD if t is None else quant(t[0], 16, 235) << 8 | chroma)
    assert w % 2 == 0 and len(words) == len(rgbs)
    return words


# ---------------------------------------------------------------- previews

def device_rgb(y, u, v):
    """The colour the display's YUV-to-ARGB table gives a pixel."""
    a, b = u >> 1, v >> 1

    def cl(x):
        return 0 if x < 0 else 255 if x > 255 else x
    return (cl(y - 180 + (360 * b) // 128),
            cl(y + 134 - (177 * a) // 256 - (367 * b) // 256),
            cl(y - 228 + (455 * a) // 128))


def write_png(path, w, h, rgb_rows):
    raw = b"".join(b"\x00" + bytes(row) for row in rgb_rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def preview(name, words, w, h, zoom):
    """Shows the words as the display would, transparent as a checkerboard."""
    rows = []
    for r in range(h):
        row = []
        for c in range(w):
            word = words[r * w + c]
            pair = r * w + (c & ~1)
            if word == CLEAR_WORD and w == CAR_W:
                shade = 200 if ((r // 4) + (c // 4)) % 2 else 150
                rgb = (shade, shade, shade)
            else:
                rgb = device_rgb(word >> 8, words[pair] & 0xFF, words[pair + 1] & 0xFF)
            row.extend(rgb * zoom)
        for _ in range(zoom):
            rows.append(row)
    write_png(os.path.join(OUT_PREVIEWS, name + ".png"), w * zoom, h * zoom, rows)


# ---------------------------------------------------------------- artwork

WHITE = (255.0, 255.0, 255.0)
BLACK = (0.0, 0.0, 0.0)
BUTTON_BG = (26.0, 28.0, 34.0)
RED = (228.0, 38.0, 38.0)
DARK_RED = (96.0, 12.0, 12.0)
GREY = (150.0, 152.0, 158.0)
BAR_TOP, BAR_BOTTOM = (128.0, 132.0, 138.0), (52.0, 54.0, 58.0)
BAR = vgrad(BAR_TOP, BAR_BOTTOM, 0.0, 60.0)
COS35, COS40 = 0.8191520442889918, 0.766044443118978


def small_car(cv, body, glass, cx=30.0, cy=30.0):
    """A small car seen from above, front up, 16 x 26 pixels."""
    x0, x1, y0, y1 = cx - 8, cx + 8, cy - 13, cy + 13
    for wy in (y0 + 4, y1 - 9):                       # wheels
        cv.paint(rect(x0 - 1.5, wy, x1 + 1.5, wy + 5.5, 1.0), (10.0, 10.0, 12.0))
    cv.paint(rect(x0, y0, x1, y1, ((6, 5), (6, 5), (4, 3), (4, 3))), body)
    cv.paint(poly([(x0 + 2, y0 + 9), (cx, y0 + 7.5), (x1 - 2, y0 + 9), (x1 - 3, y0 + 13), (x0 + 3, y0 + 13)]), glass)
    cv.paint(poly([(x0 + 3, y1 - 7), (x1 - 3, y1 - 7), (x1 - 2.5, y1 - 4), (x0 + 2.5, y1 - 4)]), glass)


def view_button(arcs, on):
    cv = Canvas(60, 60, BUTTON_BG)
    cv.paint(rect(1, 1, 59, 59, 8), (40.0, 43.0, 52.0))
    cv.paint(rect(2.5, 2.5, 57.5, 57.5, 7), BUTTON_BG)
    mark = RED if on else WHITE
    small_car(cv, RED if on else GREY, DARK_RED if on else WHITE)
    for dx, dy in arcs:
        side = dx != 0
        for r0, r1 in ((13.5, 16.0), (18.5, 21.0)) if side else ((17.0, 19.5), (22.0, 24.5)):
            cv.paint(arc(30, 30, r0, r1, dx, dy, COS35 if side else COS40), mark)
    return cv


def triangle(left):
    cv = Canvas(60, 60, BLACK)
    tri = poly([(16, 30), (42, 12), (42, 48)])
    cv.paint(tri if left else mirror_x(tri, 60), WHITE)
    return cv


def camera_icon():
    cv = Canvas(50, 50, BLACK)
    cv.paint(rect(2, 2, 48, 48, 9), vgrad((236.0, 238.0, 242.0), (196.0, 200.0, 208.0), 2, 48))
    cv.paint(ellipse(25, 25, 18), (48.0, 50.0, 58.0))
    cv.paint(ellipse(25, 25, 15.5), (150.0, 156.0, 168.0))
    cv.paint(ellipse(25, 25, 13.5), vgrad((40.0, 90.0, 190.0), (14.0, 34.0, 96.0), 11.5, 38.5))
    cv.paint(ellipse(25, 25, 7), (8.0, 14.0, 40.0))
    cv.paint(ellipse(20, 19.5, 3.2, 2.4), (230.0, 236.0, 250.0))
    cv.paint(ellipse(31, 31, 1.6), (120.0, 150.0, 220.0))
    return cv


def video_camera(cv, x, colour):
    """Video camera symbol in a 100-column slot starting at column x."""
    cv.paint(rect(x + 22, 19, x + 58, 41, 5), colour)
    cv.paint(poly([(x + 56, 27), (x + 76, 18), (x + 76, 42), (x + 56, 33)]), colour)


def rec_icon():
    cv = Canvas(100, 60, BAR)
    video_camera(cv, 0, RED)
    cv.paint(ellipse(30, 30, 4), (255.0, 255.0, 255.0))
    return cv


def return_arrow(cv, colour):
    cv.paint(rect(26, 19, 50, 25), colour)
    cv.paint(arc(50, 31, 6, 12, 1.0, 0.0, 0.0), colour)
    cv.paint(rect(30, 37, 50, 43), colour)
    cv.paint(poly([(12, 22), (29, 11), (29, 33)]), colour)


def text_avm(cv, colour):
    x = 188.0
    w = 5.0
    cv.paint(polyline([(x, 45), (x + 13, 15), (x + 26, 45)], w), colour)
    cv.paint(stroke(x + 7, 36, x + 19, 36, 4.0), colour)
    x += 36
    cv.paint(polyline([(x, 15), (x + 13, 45), (x + 26, 15)], w), colour)
    x += 36
    cv.paint(polyline([(x, 45), (x, 15), (x + 14, 33), (x + 28, 15), (x + 28, 45)], w), colour)


def logo(cv):
    silver = vgrad((250.0, 250.0, 250.0), (170.0, 174.0, 180.0), 5, 55)
    for i, y in enumerate((21.0, 28.5, 36.0)):        # wings
        reach = 44 - 10 * abs(i - 1)
        wing = poly([(211, y), (211, y + 4), (211 - reach, y + 4), (211 - reach + 5, y)])
        cv.paint(wing, silver)
        cv.paint(mirror_x(wing, 476), silver)
    cv.paint(ellipse(238, 30, 26), silver)
    cv.paint(ellipse(238, 30, 22.5), vgrad((50.0, 120.0, 230.0), (16.0, 40.0, 120.0), 8, 52))
    white = (245.0, 245.0, 245.0)
    cv.paint(rect(233, 20, 243, 40, ((4, 3), (4, 3), (3, 2), (3, 2))), white)
    cv.paint(rect(234.5, 25, 241.5, 28), (30.0, 70.0, 160.0))
    for dx, dy in ((0, -1), (0, 1), (-1, 0), (1, 0)):
        cv.paint(arc(238, 30, 15, 17.5, dx, dy, COS35), white)


def confirm_bar(with_logo):
    cv = Canvas(476, 60, BAR)
    for x in (92, 376):                               # separators
        cv.paint(rect(x - 0.5, 8, x + 0.5, 52), (40.0, 42.0, 46.0))
        cv.paint(rect(x + 0.5, 8, x + 1.5, 52), (150.0, 154.0, 160.0))
    return_arrow(cv, WHITE)
    if with_logo:
        logo(cv)
    else:
        text_avm(cv, WHITE)
    video_camera(cv, 376, (205.0, 208.0, 214.0))
    cv.paint(stroke(376 + 26, 50, 376 + 72, 10, 8.0), BAR)
    cv.paint(stroke(376 + 26, 50, 376 + 72, 10, 4.0), (235.0, 60.0, 50.0))
    return cv


# Cars: shapes paint named materials, so one drawing serves four colours.

def car_palette(paint, glass, rail):
    def body(x, y):
        t = (x - 58.0) / 50.0
        return scale(paint, 1.04 - 0.30 * t * t)
    return {
        "body": body,
        "edge": scale(paint, 0.72),
        "crease": scale(paint, 0.86),
        "roof": lambda x, y: scale(paint, 1.10 - 0.30 * ((x - 58.0) / 40.0) ** 2),
        "glass": vgrad(scale(glass, 1.45), glass, 0, 260),
        "tyre": (22.0, 22.0, 25.0),
        "lamp": (244.0, 242.0, 222.0),
        "tail": (200.0, 24.0, 24.0),
        "bumper": (58.0, 60.0, 64.0),
        "rail": rail,
    }


CAR_COLOURS = [  # paint, glass, roof rails
    ((236.0, 236.0, 236.0), (44.0, 54.0, 70.0), (70.0, 72.0, 76.0)),
    ((40.0, 40.0, 44.0), (78.0, 90.0, 108.0), (150.0, 152.0, 158.0)),
    ((196.0, 28.0, 30.0), (40.0, 46.0, 60.0), (60.0, 60.0, 64.0)),
    ((32.0, 72.0, 176.0), (34.0, 42.0, 58.0), (70.0, 72.0, 76.0)),
]


def both_sides(cv, shape, material):
    cv.paint(shape, material)
    cv.paint(mirror_x(shape, CAR_W), material)


def saloon():
    cv = Canvas(CAR_W, CAR_H)
    both_sides(cv, rect(8.5, 44, 16, 80, 2), "tyre")
    both_sides(cv, rect(8.5, 180, 16, 216, 2), "tyre")
    both_sides(cv, rect(1, 92, 15, 104, ((4, 4), (2, 2), (2, 2), (5, 4))), "edge")
    both_sides(cv, rect(2, 93, 15, 103, ((3, 3), (2, 2), (2, 2), (4, 3))), "body")
    outline = rect(11, 5, 105, 255, ((24, 22), (24, 22), (20, 14), (20, 14)))
    cv.paint(outline, "edge")
    body = rect(12, 6, 104, 254, ((23, 21), (23, 21), (19, 13), (19, 13)))
    cv.paint(body, "body")
    both_sides(cv, clip(poly([(14, 22), (22, 11), (38, 8), (37, 20), (18, 26)]), body), "lamp")
    both_sides(cv, stroke(40, 24, 42, 80, 1.6), "crease")
    both_sides(cv, clip(poly([(12, 244), (36, 248), (36, 254), (12, 254)]), body), "tail")
    cv.paint(poly([(19, 94), (34, 87), (58, 85), (82, 87), (97, 94), (91, 120), (25, 120)]), "glass")
    both_sides(cv, poly([(16, 108), (22, 122), (22, 194), (17, 206), (15, 196), (15, 116)]), "glass")
    cv.paint(rect(24.5, 119.5, 91.5, 197.5, 6), "edge")
    cv.paint(rect(26, 121, 90, 196, 5), "roof")
    cv.paint(poly([(25, 197), (91, 197), (95, 220), (84, 226), (32, 226), (21, 220)]), "glass")
    return cv


def suv():
    cv = Canvas(CAR_W, CAR_H)
    both_sides(cv, rect(8.5, 40, 16, 78, 2), "tyre")
    both_sides(cv, rect(8.5, 186, 16, 224, 2), "tyre")
    both_sides(cv, rect(0.5, 74, 15, 92, ((4, 5), (2, 2), (2, 2), (5, 5))), "edge")
    both_sides(cv, rect(1.5, 75, 15, 91, ((3, 4), (2, 2), (2, 2), (4, 4))), "body")
    outline = rect(10, 7, 106, 253, ((17, 14), (17, 14), (12, 9), (12, 9)))
    cv.paint(outline, "edge")
    body = rect(11, 8, 105, 252, ((16, 13), (16, 13), (11, 8), (11, 8)))
    cv.paint(body, "body")
    cv.paint(clip(rect(11, 8, 105, 16), body), "bumper")
    cv.paint(clip(rect(11, 245, 105, 252), body), "bumper")
    both_sides(cv, clip(rect(13, 16, 34, 27, ((6, 6), (2, 2), (4, 4), (2, 2))), body), "lamp")
    both_sides(cv, stroke(36, 30, 36, 64, 1.6), "crease")
    both_sides(cv, clip(rect(11, 222, 17, 246), body), "tail")
    cv.paint(poly([(18, 77), (38, 70), (78, 70), (98, 77), (92, 100), (24, 100)]), "glass")
    both_sides(cv, poly([(15, 88), (22, 102), (22, 226), (15, 232)]), "glass")
    cv.paint(rect(23.5, 99.5, 92.5, 234.5, 4), "edge")
    cv.paint(rect(25, 101, 91, 233, 3), "roof")
    cv.paint(rect(40, 114, 76, 150, 4), "glass")
    both_sides(cv, stroke(30, 106, 30, 228, 3.0), "rail")
    cv.paint(poly([(26, 235), (90, 235), (93, 244), (23, 244)]), "glass")
    return cv


def car_words(cv, palette):
    """Car pixels: the body columns blend their edges into the background
    grey; the mirror columns, drawn over the cameras, keep only pixels that
    are mostly car and do not blend."""
    grey = (128.0, 128.0, 128.0)
    rgbs = []
    for i, (rgb, cover) in enumerate(cv.resolve(palette)):
        col = i % CAR_W
        if rgb is None:
            rgbs.append(None)
        elif col < 8 or col >= 108:
            rgbs.append(rgb if cover >= 0.5 else None)
        else:
            rgbs.append(tuple(c * cover + g * (1 - cover) for c, g in zip(rgb, grey)))
    return to_words(rgbs, CAR_W)


# ---------------------------------------------------------------- output

def c_array(name, words):
    lines = ["extern const std::uint16_t %s[%d] = {" % (name, len(words))]
    for i in range(0, len(words), 16):
        lines.append("    " + ", ".join("0x%04X" % w for w in words[i:i + 16]) + ",")
    lines.append("};")
    return "\n".join(lines)


def main():
    os.makedirs(OUT_PREVIEWS, exist_ok=True)
    icons = [  # name, canvas, zoom of the preview
        ("qianshi_on", view_button([(0.0, -1.0)], True), 4),
        ("qianshi_off", view_button([(0.0, -1.0)], False), 4),
        ("houshi_on", view_button([(0.0, 1.0)], True), 4),
        ("houshi_off", view_button([(0.0, 1.0)], False), 4),
        ("zuoyou_on", view_button([(-1.0, 0.0), (1.0, 0.0)], True), 4),
        ("zuoyou_off", view_button([(-1.0, 0.0), (1.0, 0.0)], False), 4),
        ("sanjiao_z", triangle(True), 4),
        ("sanjiao_y", triangle(False), 4),
        ("camera", camera_icon(), 4),
        ("rec_on", rec_icon(), 4),
        ("queren", confirm_bar(False), 2),
        ("queren2", confirm_bar(True), 2),
    ]
    arrays = []
    for name, cv, zoom in icons:
        words = to_words(solid(cv.resolve()), cv.w)
        arrays.append((name, words))
        preview(name, words, cv.w, cv.h, zoom)
    styles = (("lxc", saloon()), ("sxc", suv()))
    cars = {}
    for prefix, cv in styles:
        for n, colours in enumerate(CAR_COLOURS, 1):
            words = car_words(cv, car_palette(*colours))
            cars["%s%d" % (prefix, n)] = words
            preview("%s%d" % (prefix, n), words, CAR_W, CAR_H, 2)
    for n in range(1, 5):
        for prefix, _ in styles:
            name = "%s%d" % (prefix, n)
            arrays.append((name, cars[name]))

    head = [
        "// Generated by tools/make_pictures.py; do not edit. Regenerate with",
        "// python3 tools/make_pictures.py. The artwork is the project's own, drawn",
        "// by that script from simple shapes.",
        "#include <cstdint>",
        "",
        "#include \"dsp/dsp_tubiao.h\"",
        "",
    ]
    body = "\n\n".join(c_array(name, words) for name, words in arrays)
    with open(OUT_CPP, "w") as f:
        f.write("\n".join(head) + "\n" + body + "\n")


if __name__ == "__main__":
    main()
