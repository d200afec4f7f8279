#!/usr/bin/env python3
"""Draws the program's skin: every PNG of the resource table and the two icons.

One light-blue skin on a deep-blue caption band. Shapes are drawn with
analytic anti-aliasing (signed distances), then flattened: a pixel the shape
does not touch stays fully transparent (the loader turns it into the magenta
mask colour), every other pixel is made opaque over the colour it will sit on,
so no light fringe appears where GDI copies the picture onto the dark band.

Python 3 standard library only. Usage: make_skin.py [output folder, default res/skin]
"""
import math
import os
import struct
import sys
import zlib

# ---- palette ---------------------------------------------------------------
BORDER = (15, 58, 107)          # outer frame line
BAND_TOP = (47, 117, 192)       # caption band gradient
BAND_BOTTOM = (24, 78, 145)
BAND_GLOSS = (92, 152, 216)     # highlight row under the frame line
BAND_SHADOW = (18, 62, 118)     # last row of the band
BODY_TOP = (246, 251, 253)      # dialog body gradient
BODY_BOTTOM = (231, 242, 247)   # same colour as the group boxes
CAPTION_H = 30


def lerp(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


def clamp01(v):
    return 0.0 if v < 0 else 1.0 if v > 1 else v


def band(y):
    if y <= 0:
        return BORDER
    if y == 1:
        return BAND_GLOSS
    if y == CAPTION_H - 1:
        return BAND_SHADOW
    return lerp(BAND_TOP, BAND_BOTTOM, clamp01((y - 2) / (CAPTION_H - 3)))


def body(y, height=51):
    return lerp(BODY_TOP, BODY_BOTTOM, clamp01((y - CAPTION_H) / max(1, height - CAPTION_H - 5)))


# ---- signed distances (negative inside) -------------------------------------
def sd_round_rect(px, py, x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
    outside = math.hypot(max(qx, 0), max(qy, 0))
    return outside + min(max(qx, qy), 0) - r


def sd_circle(px, py, cx, cy, r):
    return math.hypot(px - cx, py - cy) - r


def sd_segment(px, py, ax, ay, bx, by, half):
    dx, dy = bx - ax, by - ay
    t = clamp01(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy or 1))
    return math.hypot(px - ax - t * dx, py - ay - t * dy) - half


def sd_polygon(px, py, pts):
    d = float("inf")
    inside = False
    n = len(pts)
    for i in range(n):
        ax, ay = pts[i]
        bx, by = pts[(i + 1) % n]
        d = min(d, sd_segment(px, py, ax, ay, bx, by, 0))
        if (ay > py) != (by > py) and px < (bx - ax) * (py - ay) / (by - ay) + ax:
            inside = not inside
    return -d if inside else d


def coverage(d):
    return clamp01(0.5 - d)


# ---- canvas -----------------------------------------------------------------
class Canvas:
    """RGBA in floats 0..255 (colour) and 0..1 (alpha), straight alpha."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(w * h)]

    def put(self, x, y, color, a):
        if a <= 0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        p = self.px[y * self.w + x]
        out_a = a + p[3] * (1 - a)
        if out_a <= 0:
            return
        for i in range(3):
            p[i] = (color[i] * a + p[i] * p[3] * (1 - a)) / out_a
        p[3] = out_a

    def shape(self, sdf, color, alpha=1.0, box=None):
        """Fills where sdf(x+.5, y+.5) < 0; color is a tuple or f(x, y)."""
        x0, y0, x1, y1 = box or (0, 0, self.w, self.h)
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                c = coverage(sdf(x + 0.5, y + 0.5))
                if c > 0:
                    col = color(x, y) if callable(color) else color
                    self.put(x, y, col, c * alpha)

    def blit(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                p = other.px[y * other.w + x]
                self.put(ox + x, oy + y, p[:3], p[3])

    def flatten(self, backdrop, keep=0.02):
        """Opaque over backdrop(x, y) where touched, transparent elsewhere."""
        for y in range(self.h):
            for x in range(self.w):
                p = self.px[y * self.w + x]
                if p[3] < keep:
                    p[:] = [255.0, 0.0, 255.0, 0.0]
                    continue
                b = backdrop(x, y)
                for i in range(3):
                    p[i] = p[i] * p[3] + b[i] * (1 - p[3])
                p[3] = 1.0

    def rgba_rows(self):
        rows = []
        for y in range(self.h):
            row = bytearray()
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                row += bytes((int(round(min(255, max(0, r)))), int(round(min(255, max(0, g)))),
                              int(round(min(255, max(0, b)))), int(round(a * 255))))
            rows.append(bytes(row))
        return rows


def strip(frames):
    """Frames side by side in one canvas."""
    w = sum(f.w for f in frames)
    out = Canvas(w, frames[0].h)
    x = 0
    for f in frames:
        for y in range(f.h):
            out.px[y * w + x:y * w + x + f.w] = [list(p) for p in f.px[y * f.w:(y + 1) * f.w]]
        x += f.w
    return out


# ---- files ------------------------------------------------------------------
def png_bytes(canvas):
    raw = b"".join(b"\x00" + row for row in canvas.rgba_rows())

    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", canvas.w, canvas.h, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def ico_bytes(canvases):
    """An icon with 32-bit DIB images (readable on every Windows version)."""
    images = []
    for c in canvases:
        rows = c.rgba_rows()
        xor = bytearray()
        for row in reversed(rows):  # bottom-up
            for i in range(0, len(row), 4):
                r, g, b, a = row[i:i + 4]
                xor += bytes((b, g, r, a))
        mask_stride = ((c.w + 31) // 32) * 4
        mask = bytearray()
        for row in reversed(rows):
            bits = bytearray(mask_stride)
            for x in range(c.w):
                if row[x * 4 + 3] == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bits
        header = struct.pack("<IiiHHIIiiII", 40, c.w, c.h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append((c.w, c.h, header + bytes(xor) + bytes(mask)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for w, h, data in images:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    return out


# ---- pieces -----------------------------------------------------------------
def frame_background(w, h, caption, radius, body_height=None):
    """A window background: frame line, caption band, body; rounded corners
    whose outside stays transparent (cut from the window's region)."""
    body_height = body_height or h
    c = Canvas(w, h)

    def color(x, y):
        if x == 0 or y == 0 or x == w - 1 or y == h - 1:
            return BORDER
        if y < caption:
            return band(y)
        # The body below the band is stretched: a plain gradient, no lines.
        return lerp(BODY_TOP, BODY_BOTTOM, clamp01((y - caption) / max(1, body_height - caption - 5)))

    outline = lambda x, y: sd_round_rect(x, y, 0, 0, w, h, radius)
    for y in range(h):
        for x in range(w):
            cov = coverage(outline(x + 0.5, y + 0.5))
            if cov < 0.5:
                continue  # outside the rounded corner: transparent
            # Pixels along the rounded edge take the frame colour.
            on_edge = outline(x + 0.5, y + 0.5) > -1.0
            c.put(x, y, BORDER if on_edge else color(x, y), 1.0)
    return c


def button_frame(w, h, state, backdrop):
    c = Canvas(w, h)
    tops = {0: (253, 254, 255), 1: (255, 255, 255), 2: (190, 218, 238), 3: (240, 243, 245)}
    bottoms = {0: (214, 232, 245), 1: (200, 227, 248), 2: (218, 235, 247), 3: (230, 234, 237)}
    borders = {0: (112, 160, 199), 1: (52, 138, 210), 2: (38, 104, 165), 3: (184, 196, 205)}
    top, bottom, border = tops[state], bottoms[state], borders[state]
    outer = lambda x, y: sd_round_rect(x, y, 0, 0, w, h, 3.5)
    inner = lambda x, y: sd_round_rect(x, y, 1, 1, w - 1, h - 1, 2.5)
    c.shape(outer, border)
    c.shape(inner, lambda x, y: lerp(top, bottom, y / (h - 1)))
    if state in (0, 1):  # a soft gloss on the upper half
        c.shape(lambda x, y: sd_round_rect(x, y, 2, 2, w - 2, h / 2, 2), (255, 255, 255), 0.45)
    c.flatten(backdrop)
    return c


def caption_button(w, h, state, glyph, hover_color=(255, 255, 255), hover_alpha=0.22,
                   press_color=(8, 30, 70), press_alpha=0.30, round_corner=False):
    c = Canvas(w, h)
    radius = 3
    rect = lambda x, y: sd_round_rect(x, y, 1, 1, w - 1, h - 1, radius)
    if state == 1:
        c.shape(rect, hover_color, hover_alpha)
    elif state == 2:
        c.shape(rect, press_color, press_alpha)
    color = (255, 255, 255) if state != 3 else (128, 160, 196)
    glyph(c, color, w, h)
    c.flatten(lambda x, y: band(y))
    return c


def glyph_close(c, color, w, h):
    cx, cy, s = w / 2, h / 2, 4.5
    c.shape(lambda x, y: min(sd_segment(x, y, cx - s, cy - s, cx + s, cy + s, 0.95),
                             sd_segment(x, y, cx - s, cy + s, cx + s, cy - s, 0.95)), color)


def glyph_minimize(c, color, w, h):
    cx, cy = w / 2, h / 2 + 4
    c.shape(lambda x, y: sd_round_rect(x, y, cx - 5.5, cy - 1, cx + 5.5, cy + 1, 0.5), color)


def glyph_maximize(c, color, w, h):
    x0, y0, x1, y1 = w / 2 - 5.5, h / 2 - 4.5, w / 2 + 5.5, h / 2 + 4.5
    c.shape(lambda x, y: max(sd_round_rect(x, y, x0, y0, x1, y1, 1),
                             -sd_round_rect(x, y, x0 + 1.2, y0 + 2.4, x1 - 1.2, y1 - 1.2, 0)), color)


def glyph_restore(c, color, w, h):
    cx, cy = w / 2, h / 2
    back = (cx - 2.5, cy - 6, cx + 6, cy + 1.5)
    front = (cx - 6, cy - 2.5, cx + 2.5, cy + 5.5)

    def outline(x, y, r):
        return max(sd_round_rect(x, y, r[0], r[1], r[2], r[3], 0.8),
                   -sd_round_rect(x, y, r[0] + 1.2, r[1] + 2.2, r[2] - 1.2, r[3] - 1.2, 0))
    c.shape(lambda x, y: max(outline(x, y, back), -sd_round_rect(x, y, *front, 0)), color)
    c.shape(lambda x, y: outline(x, y, front), color)


def glyph_hide(c, color, w, h):
    # A window going down into the tray: a small frame and a down arrow.
    cx, cy = w / 2, h / 2
    c.shape(lambda x, y: max(sd_round_rect(x, y, cx - 7, cy - 7, cx + 7, cy + 2, 1),
                             -sd_round_rect(x, y, cx - 5.8, cy - 4.6, cx + 5.8, cy + 0.8, 0)), color)
    c.shape(lambda x, y: sd_polygon(x, y, [(cx - 4, cy + 2.5), (cx + 4, cy + 2.5), (cx, cy + 7)]), color)


def speaker(c, color, cx, cy):
    c.shape(lambda x, y: sd_polygon(x, y, [(cx - 7, cy - 2.5), (cx - 4, cy - 2.5), (cx, cy - 6),
                                            (cx, cy + 6), (cx - 4, cy + 2.5), (cx - 7, cy + 2.5)]), color)


def glyph_sound(c, color, w, h):
    cx, cy = w / 2 - 1, h / 2
    speaker(c, color, cx, cy)
    for r in (3.5, 6.5):
        c.shape(lambda x, y, r=r: max(abs(sd_circle(x, y, cx + 0.5, cy, r)) - 0.75, cx + 1.5 - x,
                                      abs(y - cy) - r * 0.75), color)


def glyph_muted(c, color, w, h):
    cx, cy = w / 2 - 2, h / 2
    speaker(c, color, cx, cy)
    a, b = cx + 3, cx + 8
    c.shape(lambda x, y: min(sd_segment(x, y, a, cy - 2.5, b, cy + 2.5, 0.9),
                             sd_segment(x, y, a, cy + 2.5, b, cy - 2.5, 0.9)), (255, 140, 140) if color[0] == 255 else color)


def glyph_menu(c, color, w, h):
    cx, cy = 17, h / 2
    for dy in (-4.5, 0, 4.5):
        c.shape(lambda x, y, dy=dy: sd_round_rect(x, y, cx - 7, cy + dy - 1, cx + 7, cy + dy + 1, 0.8), color)
    c.shape(lambda x, y: sd_polygon(x, y, [(31, cy - 2), (38, cy - 2), (34.5, cy + 2.5)]), color)


def glyph_hall(shown):
    def draw(c, color, w, h):
        cy = h / 2
        # A game pad ...
        c.shape(lambda x, y: sd_round_rect(x, y, 10, cy - 6, 32, cy + 6, 5.5), color)
        hole = (24, 90, 160) if not shown else (20, 70, 130)
        c.shape(lambda x, y: min(sd_round_rect(x, y, 13.5, cy - 0.9, 19.5, cy + 0.9, 0.3),
                                 sd_round_rect(x, y, 15.6, cy - 3, 17.4, cy + 3, 0.3)), hole)
        c.shape(lambda x, y: min(sd_circle(x, y, 26, cy - 1.8, 1.4), sd_circle(x, y, 28.6, cy + 1.5, 1.4)), hole)
        # ... and four tiles: the hall of games.
        for i in range(2):
            for j in range(2):
                x0, y0 = 40 + i * 7, cy - 6 + j * 7
                c.shape(lambda x, y, x0=x0, y0=y0: sd_round_rect(x, y, x0, y0, x0 + 5.5, y0 + 5.5, 1.2),
                        color, 1.0 if (i + j) % 2 == 0 or shown else 0.75)
        # Chevron: down to open the hall, up when it is shown.
        if shown:
            pts = [(58, cy + 2), (66, cy + 2), (62, cy - 2.5)]
        else:
            pts = [(58, cy - 2), (66, cy - 2), (62, cy + 2.5)]
        c.shape(lambda x, y: sd_polygon(x, y, pts), color)
    return draw


def tool_strip(fw, fh, glyph, **kw):
    return strip([caption_button(fw, fh, s, glyph, **kw) for s in range(4)])


def close_strip():
    frames = []
    for s in range(4):
        frames.append(caption_button(33, 28, s, glyph_close, hover_color=(224, 67, 67), hover_alpha=1.0,
                                     press_color=(170, 38, 38), press_alpha=1.0))
    return strip(frames)


def tab_strip():
    frames = []
    styles = [((196, 219, 240), (176, 204, 231), (104, 148, 196)),
              ((222, 237, 249), (200, 224, 244), (120, 170, 215)),
              ((250, 253, 255), (236, 245, 250), (150, 188, 220))]
    for top, bottom, border in styles:
        c = Canvas(189, 22)
        outer = lambda x, y: sd_round_rect(x, y, 0, 0, 189, 30, 5)
        inner = lambda x, y: sd_round_rect(x, y, 1, 1, 188, 30, 4)
        c.shape(outer, border)
        c.shape(inner, lambda x, y, t=top, b=bottom: lerp(t, b, y / 21))
        c.flatten(lambda x, y: band(y + 3))
        frames.append(c)
    return strip(frames)


def tab_close_strip():
    frames = []
    backdrop = (222, 237, 249)
    for s in range(3):
        c = Canvas(13, 13)
        if s:
            c.shape(lambda x, y: sd_circle(x, y, 6.5, 6.5, 6.2), (220, 64, 64) if s == 1 else (160, 36, 36))
        color = (255, 255, 255) if s else (92, 112, 134)
        c.shape(lambda x, y: min(sd_segment(x, y, 4, 4, 9, 9, 0.8), sd_segment(x, y, 4, 9, 9, 4, 0.8)), color)
        c.flatten(lambda x, y: backdrop)
        frames.append(c)
    return strip(frames)


def link_picture():
    c = Canvas(14, 16)
    white = (255, 255, 255)
    c.shape(lambda x, y: sd_circle(x, y, 6, 5, 3.2), white)
    c.shape(lambda x, y: max(sd_circle(x, y, 6, 15.5, 5.8), y - 13.5), white)
    plus = (120, 220, 120)
    c.shape(lambda x, y: min(sd_round_rect(x, y, 9.5, 3.3, 14, 4.7, 0.2), sd_round_rect(x, y, 11.05, 1.8, 12.45, 6.2, 0.2)), plus)
    c.flatten(lambda x, y: band(y + 7))
    return c


def progress_background():
    c = Canvas(390, 21)
    c.shape(lambda x, y: sd_round_rect(x, y, 0, 0, 390, 21, 10.5), (150, 184, 208))
    c.shape(lambda x, y: sd_round_rect(x, y, 1, 1, 389, 20, 9.5),
            lambda x, y: lerp((205, 221, 233), (238, 245, 250), y / 20))
    c.flatten(lambda x, y: BODY_BOTTOM)
    return c


def progress_fill():
    c = Canvas(390, 21)
    c.shape(lambda x, y: sd_round_rect(x, y, 2, 2, 388, 19, 8.5),
            lambda x, y: lerp((104, 190, 248), (30, 118, 206), (y - 2) / 16))
    c.shape(lambda x, y: sd_round_rect(x, y, 5, 3, 385, 9.5, 3.5), (255, 255, 255), 0.35)
    c.flatten(lambda x, y: lerp((205, 221, 233), (238, 245, 250), y / 20))
    return c


def splash():
    w, h = 890, 528
    c = Canvas(w, h)
    sky = lambda x, y: lerp((28, 86, 158), (140, 196, 236), y / h)
    c.shape(lambda x, y: sd_round_rect(x, y, 0, 0, w, h, 9), sky)
    for cx, cy, r, a in ((140, 120, 90, 0.10), (700, 90, 140, 0.08), (520, 300, 60, 0.10), (820, 420, 110, 0.07)):
        c.shape(lambda x, y, cx=cx, cy=cy, r=r: sd_circle(x, y, cx, cy, r), (255, 255, 255), a,
                box=(cx - r - 2, cy - r - 2, cx + r + 2, cy + r + 2))
    hills = lambda x, y: (h - 90 - 28 * math.sin(x / 97.0) - 14 * math.sin(x / 31.0 + 1)) - y
    c.shape(lambda x, y: max(hills(x, y), sd_round_rect(x, y, 0, 0, w, h, 9)),
            lambda x, y: lerp((231, 242, 247), (200, 224, 240), (y - h + 130) / 130), 0.9, box=(0, h - 140, w, h))
    return c


def add_account_background():
    w, h = 284, 150
    c = frame_background(w, h, CAPTION_H, 9)
    return c


def app_icon(size, small=False):
    c = Canvas(size, size)
    s = size / 32.0
    c.shape(lambda x, y: sd_round_rect(x, y, 1 * s, 1 * s, 31 * s, 31 * s, 6 * s),
            lambda x, y: lerp((66, 140, 220), (18, 66, 132), y / size))
    c.shape(lambda x, y: sd_round_rect(x, y, 2.5 * s, 2.5 * s, 29.5 * s, 15 * s, 4.5 * s), (255, 255, 255), 0.18)
    t = (2.1 if small else 1.8) * s
    white = (255, 255, 255)
    c.shape(lambda x, y: min(sd_segment(x, y, 11 * s, 8 * s, 11 * s, 24 * s, t),
                             sd_segment(x, y, 12 * s, 17 * s, 21.5 * s, 8 * s, t),
                             sd_segment(x, y, 14.5 * s, 15 * s, 22 * s, 24 * s, t)), white)
    if not small:
        c.shape(lambda x, y: sd_circle(x, y, 25 * s, 23.5 * s, 2.3 * s), (255, 214, 90))
    return c


# ---- the table --------------------------------------------------------------
def build(out_dir):
    os.makedirs(out_dir, exist_ok=True)
    light = lambda x, y: lerp(BODY_TOP, BODY_BOTTOM, 0.5)
    images = {
        "129_splash": splash(),
        "131_dialog": frame_background(30, 51, CAPTION_H, 4.2),
        "132_close": close_strip(),
        "133_button": strip([button_frame(57, 23, s, light) for s in range(4)]),
        "134_main": frame_background(30, 51, CAPTION_H, 4.2),
        "135_maximize": tool_strip(27, 28, glyph_maximize),
        "136_minimize": tool_strip(27, 28, glyph_minimize),
        "137_restore": tool_strip(27, 28, glyph_restore),
        "138_hide": tool_strip(27, 27, glyph_hide),
        "139_menu": tool_strip(44, 28, glyph_menu),
        "140_tabs": tab_strip(),
        "141_tab_close": tab_close_strip(),
        "142_link": link_picture(),
        "148_muted": tool_strip(27, 27, glyph_muted),
        "149_sound": tool_strip(27, 27, glyph_sound),
        "150_hall": tool_strip(79, 28, glyph_hall(False)),
        "151_hall_shown": tool_strip(79, 28, glyph_hall(True), hover_alpha=0.30),
        "152_progress_bg": progress_background(),
        "153_progress_fill": progress_fill(),
        "162_add_account": add_account_background(),
    }
    for name, canvas in images.items():
        with open(os.path.join(out_dir, name + ".png"), "wb") as f:
            f.write(png_bytes(canvas))
        print("%s %dx%d" % (name, canvas.w, canvas.h))
    res = os.path.dirname(os.path.abspath(out_dir.rstrip("/")))
    with open(os.path.join(res, "kvr.ico"), "wb") as f:
        f.write(ico_bytes([app_icon(48), app_icon(32), app_icon(16, small=True)]))
    with open(os.path.join(res, "kvr_small.ico"), "wb") as f:
        f.write(ico_bytes([app_icon(16, small=True), app_icon(32)]))
    print("kvr.ico kvr_small.ico")


if __name__ == "__main__":
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    build(sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "res", "skin"))
