#!/usr/bin/env python3
"""Draws the search site's images and writes them as GIF and ICO files.

Every image is drawn here from simple shapes on a small palette, so the
repository holds no binary files: the build runs this script and stages
its output with the other web files. Usage: make_images.py OUTPUT_FOLDER
"""
import math
import os
import struct
import sys


class Canvas:
    """A paletted image: pixels are indexes into a list of RGB triples."""

    def __init__(self, width, height, palette, background=0):
        self.width = width
        self.height = height
        self.palette = list(palette)
        self.pixels = [background] * (width * height)

    def set(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y * self.width + x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.set(x, y, colour)

    def disc(self, cx, cy, r, colour):
        for y in range(int(cy - r - 1), int(cy + r + 2)):
            for x in range(int(cx - r - 1), int(cx + r + 2)):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.set(x, y, colour)

    def ring(self, cx, cy, r, width, colour):
        for y in range(int(cy - r - 1), int(cy + r + 2)):
            for x in range(int(cx - r - 1), int(cx + r + 2)):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if r - width <= d <= r:
                    self.set(x, y, colour)

    def line(self, x0, y0, x1, y1, width, colour):
        steps = int(max(abs(x1 - x0), abs(y1 - y0)) * 2) + 1
        for i in range(steps + 1):
            t = i / steps
            self.disc(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, width / 2, colour)

    def triangle(self, points, colour):
        (ax, ay), (bx, by), (cx, cy) = points

        def side(px, py, qx, qy, rx, ry):
            return (qx - px) * (ry - py) - (qy - py) * (rx - px)

        for y in range(self.height):
            for x in range(self.width):
                px, py = x + 0.5, y + 0.5
                s1 = side(ax, ay, bx, by, px, py)
                s2 = side(bx, by, cx, cy, px, py)
                s3 = side(cx, cy, ax, ay, px, py)
                if (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0):
                    self.set(x, y, colour)

    def text(self, x, y, text, scale, colour):
        for ch in text:
            glyph = FONT[ch]
            for row, bits in enumerate(glyph):
                for col, bit in enumerate(bits):
                    if bit == "#":
                        self.rect(x + col * scale, y + row * scale,
                                  x + (col + 1) * scale, y + (row + 1) * scale, colour)
            x += (len(glyph[0]) + 1) * scale
        return x


# A 5x7 font with the letters the images need.
FONT = {
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
    "l": [".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "w": [".....", ".....", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#."],
    "n": [".....", ".....", "####.", "#...#", "#...#", "#...#", "#...#"],
    "?": [".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."],
    " ": [".....", ".....", ".....", ".....", ".....", ".....", "....."],
}


def lzw_data(pixels, min_code_size):
    """GIF image data: LZW codes, with the table reset before it grows past
    the first code width, so every code has min_code_size + 1 bits."""
    clear = 1 << min_code_size
    end = clear + 1
    width = min_code_size + 1
    limit = (1 << width) - clear - 2  # literals between clears
    codes = [clear]
    run = 0
    for p in pixels:
        if run == limit:
            codes.append(clear)
            run = 0
        codes.append(p)
        run += 1
    codes.append(end)
    out = bytearray()
    acc = 0
    bits = 0
    for code in codes:
        acc |= code << bits
        bits += width
        while bits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            bits -= 8
    if bits:
        out.append(acc & 0xFF)
    blocks = bytearray([min_code_size])
    for i in range(0, len(out), 255):
        chunk = out[i:i + 255]
        blocks.append(len(chunk))
        blocks += chunk
    blocks.append(0)
    return bytes(blocks)


def gif(frames, delay_cs=0, transparent=None):
    """A GIF89a of one or more canvases of one size and palette."""
    first = frames[0]
    palette = first.palette
    size_bits = 1
    while (1 << size_bits) < len(palette):
        size_bits += 1
    table = bytearray()
    for i in range(1 << size_bits):
        table += bytes(palette[i] if i < len(palette) else (0, 0, 0))
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", first.width, first.height, 0x80 | (size_bits - 1), 0, 0)
    out += table
    if len(frames) > 1:
        out += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"
    for frame in frames:
        flags = 0x01 if transparent is not None else 0
        flags |= 0x08 if len(frames) > 1 else 0  # restore to background
        out += struct.pack("<BBBBHBB", 0x21, 0xF9, 4, flags, delay_cs,
                           transparent or 0, 0)
        out += struct.pack("<BHHHHB", 0x2C, 0, 0, frame.width, frame.height, 0)
        out += lzw_data(frame.pixels, max(2, size_bits))
    out += b"\x3B"
    return bytes(out)


def ico(canvas):
    """An ICO holding one 32-bit bitmap of the canvas (index 0 transparent)."""
    w, h = canvas.width, canvas.height
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            index = canvas.pixels[y * w + x]
            r, g, b = canvas.palette[index]
            xor += bytes((b, g, r, 0 if index == 0 else 255))
    row_bytes = ((w + 31) // 32) * 4
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(row_bytes)
        for x in range(w):
            if canvas.pixels[y * w + x] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", w, h, 0, 0, 1, 32,
                                                      len(image), 22) + image


WHITE = (255, 255, 255)
BLUE = (34, 68, 153)
LIGHT = (233, 242, 253)


def magnifier(c, cx, cy, r, glass, rim):
    c.disc(cx, cy, r, glass)
    c.ring(cx, cy, r, max(1.5, r / 4), rim)
    c.line(cx + r * 0.7, cy + r * 0.7, cx + r * 1.6, cy + r * 1.6, max(2, r / 2.5), rim)


def logo(scale, width, height):
    c = Canvas(width, height, [WHITE, BLUE, LIGHT, (250, 20, 50)])
    r = height * 0.28
    magnifier(c, r + 3, r + 3, r, 2, 1)
    c.text(int(2 * r + 12), (height - 7 * scale) // 2, "Tellwen", scale, 1)
    return c


def icon():
    c = Canvas(16, 16, [(0, 0, 0), BLUE, LIGHT])
    magnifier(c, 6, 6, 4.5, 2, 1)
    return c


def ping_icon(colour):
    c = Canvas(15, 15, [WHITE, colour, (60, 60, 60), WHITE])
    c.disc(7.5, 7.5, 6.5, 2)
    c.disc(7.5, 7.5, 5.5, 1)
    c.disc(5.5, 5.5, 1.5, 3)
    return c


def finger():
    # A hand pointing up, as a click-me sign: palm and raised index finger.
    c = Canvas(15, 15, [WHITE, (60, 60, 60), (250, 220, 180)])
    c.rect(6, 1, 9, 9, 1)
    c.rect(7, 2, 8, 9, 2)
    c.rect(3, 7, 12, 14, 1)
    c.rect(4, 8, 11, 13, 2)
    return c


def background(width, height, dot):
    c = Canvas(width, height, [WHITE, dot])
    c.set(0, 0, 1)
    c.set(width // 2, height // 2, 1)
    return c


def sort_arrow(up):
    c = Canvas(9, 9, [WHITE, BLUE])
    if up is None:
        return c
    if up:
        c.triangle([(0.5, 7), (8.5, 7), (4.5, 1.5)], 1)
    else:
        c.triangle([(0.5, 2), (8.5, 2), (4.5, 7.5)], 1)
    return c


def download_arrow(colour):
    # The results' download column: an arrow pointing down onto a tray, in
    # the site's blue where the file can be downloaded, greyed out where not.
    c = Canvas(12, 12, [WHITE, colour])
    c.rect(5, 1, 7, 6, 1)
    c.triangle([(1.5, 5), (10.5, 5), (6, 9.5)], 1)
    c.rect(1, 10, 11, 11, 1)
    return c


def waiting_frames():
    frames = []
    greys = [(34, 68, 153), (90, 120, 190), (150, 170, 215), (205, 215, 235)]
    for step in range(8):
        c = Canvas(40, 40, [WHITE] + greys)
        for i in range(8):
            age = (step - i) % 8
            colour = 1 + min(age, 3)
            angle = i * math.pi / 4
            c.disc(20 + 14 * math.cos(angle), 20 + 14 * math.sin(angle), 4, colour)
        frames.append(c)
    return frames


def badge():
    c = Canvas(80, 15, [WHITE, BLUE, LIGHT])
    c.rect(0, 0, 80, 15, 1)
    c.rect(1, 1, 79, 14, 2)
    c.text(16, 4, "Tellwen", 1, 1)
    return c


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    files = {
        "logo.gif": gif([logo(4, 260, 56)]),
        "logosmall.gif": gif([logo(2, 140, 30)]),
        "back.gif": gif([background(16, 16, (240, 244, 250))]),
        "backsmall.gif": gif([background(8, 8, (244, 247, 252))]),
        "pingyes.gif": gif([ping_icon((40, 170, 60))], transparent=0),
        "pingno.gif": gif([ping_icon((210, 40, 40))], transparent=0),
        "pingfinger.gif": gif([finger()], transparent=0),
        "finger.gif": gif([finger()], transparent=0),
        "sortup.gif": gif([sort_arrow(True)], transparent=0),
        "sortdown.gif": gif([sort_arrow(False)], transparent=0),
        "sortblank.gif": gif([sort_arrow(None)], transparent=0),
        "dload.gif": gif([download_arrow(BLUE)], transparent=0),
        "dloadna.gif": gif([download_arrow((190, 190, 190))], transparent=0),
        "waiting.gif": gif(waiting_frames(), delay_cs=10),
        "badge.gif": gif([badge()]),
        "kiv.ico": ico(icon()),
        "favicon.ico": ico(icon()),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
