#!/usr/bin/python3
"""Draws the program's pictures and writes them as Windows files, byte by byte:
splash.bmp (255 x 255, 24-bit: an open laptop sending envelopes, on turquoise),
rowcaster.ico (32 x 32 and 16 x 16) and run.avi (six 87 x 87 24-bit frames, 100 ms each).
Usage: draw_pictures.py OUTPUT_FOLDER"""
import os
import struct
import sys

TURQUOISE = (64, 208, 200)
WHITE = (255, 255, 255)
LIGHT_BLUE = (120, 160, 255)
GREEN = (0, 90, 20)


class Canvas:
    def __init__(self, width, height, colour):
        self.width, self.height = width, height
        self.pixels = [[colour] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                self.pixels[y][x] = colour

    def frame(self, x0, y0, x1, y1, colour, thickness=1):
        self.rect(x0, y0, x1, y0 + thickness, colour)
        self.rect(x0, y1 - thickness, x1, y1, colour)
        self.rect(x0, y0, x0 + thickness, y1, colour)
        self.rect(x1 - thickness, y0, x1, y1, colour)

    def line(self, xa, ya, xb, yb, colour, thickness=1):
        steps = max(abs(xb - xa), abs(yb - ya), 1)
        for i in range(steps + 1):
            x = xa + (xb - xa) * i // steps
            y = ya + (yb - ya) * i // steps
            self.rect(x, y, x + thickness, y + thickness, colour)

    def polygon(self, points, colour):
        ys = [p[1] for p in points]
        for y in range(max(0, min(ys)), min(self.height, max(ys) + 1)):
            crossings = []
            for (xa, ya), (xb, yb) in zip(points, points[1:] + points[:1]):
                if (ya <= y < yb) or (yb <= y < ya):
                    crossings.append(xa + (y - ya) * (xb - xa) / (yb - ya))
            crossings.sort()
            for a, b in zip(crossings[::2], crossings[1::2]):
                for x in range(int(round(a)), int(round(b)) + 1):
                    self.put(x, y, colour)

    def envelope(self, x, y, w, h, paper=WHITE, ink=(40, 60, 120)):
        self.rect(x, y, x + w, y + h, paper)
        self.frame(x, y, x + w, y + h, ink)
        self.line(x, y, x + w // 2, y + h * 3 // 5, ink)
        self.line(x + w - 1, y, x + w // 2, y + h * 3 // 5, ink)

    def bgr_rows(self):
        """Bottom-up rows of B, G, R bytes, each padded to four bytes."""
        pad = b"\0" * ((4 - self.width * 3 % 4) % 4)
        out = bytearray()
        for row in reversed(self.pixels):
            for r, g, b in row:
                out += bytes((b, g, r))
            out += pad
        return bytes(out)


def info_header(width, height, bits, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 2835, 2835, 0, 0)


def splash():
    c = Canvas(255, 255, TURQUOISE)
    # Laptop: screen with its lid frame, then the keyboard base in perspective.
    c.rect(62, 78, 178, 162, (50, 50, 60))
    c.rect(69, 85, 171, 155, (150, 200, 245))
    c.rect(69, 85, 171, 95, (90, 130, 200))
    for i in range(4):
        c.rect(76, 103 + i * 12, 150 - i * 14, 107 + i * 12, (255, 255, 255))
    c.polygon([(62, 162), (178, 162), (204, 192), (36, 192)], (195, 198, 205))
    c.polygon([(62, 162), (178, 162), (204, 192), (36, 192)], (195, 198, 205))
    c.rect(36, 192, 205, 197, (120, 124, 135))
    for row in range(3):
        for k in range(10):
            x = 64 + k * 11 - row * 4
            c.rect(x, 166 + row * 7, x + 8, 171 + row * 7, (90, 95, 105))
    c.rect(100, 186, 140, 190, (150, 154, 165))
    # Envelopes flying out of the screen, up and to the right, growing smaller.
    for x, y, w, h in [(128, 60, 40, 27), (168, 34, 32, 21), (203, 14, 25, 17), (96, 30, 28, 19), (62, 46, 22, 15)]:
        c.envelope(x, y, w, h)
    for x, y in [(150, 92), (160, 80), (190, 58), (212, 36), (118, 52), (84, 64)]:
        c.rect(x, y, x + 3, y + 3, WHITE)
    rows = c.bgr_rows()
    header = info_header(c.width, c.height, 24, len(rows))
    return struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(rows), 0, 0, 14 + len(header)) + header + rows


def icon_image(size):
    c = Canvas(size, size, GREEN)
    c.frame(0, 0, size, size, (0, 60, 12))
    m = size // 8
    c.envelope(m, size // 4, size - 2 * m, size // 2)
    xor = bytearray()
    for row in reversed(c.pixels):
        for r, g, b in row:
            xor += bytes((b, g, r, 255))
    and_row = ((size + 31) // 32) * 4
    mask = b"\0" * (and_row * size)
    return info_header(size, size * 2, 32, len(xor) + len(mask)) + bytes(xor) + mask


def icon():
    images = [icon_image(32), icon_image(16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def chunk(tag, data):
    return tag + struct.pack("<I", len(data)) + data + (b"\0" if len(data) % 2 else b"")


def avi():
    size, frames = 87, []
    for i in range(6):
        c = Canvas(size, size, LIGHT_BLUE)
        c.rect(8, 62, 46, 80, (60, 60, 70))
        c.rect(11, 65, 43, 77, (150, 200, 245))
        x, y = 14 + i * 10, 52 - i * 8
        c.envelope(x, y, 24, 16)
        frames.append(c.bgr_rows())
    frame_bytes = len(frames[0])
    avih = struct.pack("<10I4I", 100000, frame_bytes * 10, 0, 0x10, len(frames), 0, 1, frame_bytes, size, size, 0, 0, 0, 0)
    strh = struct.pack("<4s4sIHHIIIIIIII4h", b"vids", b"DIB ", 0, 0, 0, 0, 1, 10, 0, len(frames), frame_bytes,
                       0xFFFFFFFF, 0, 0, 0, size, size)
    strf = info_header(size, size, 24, frame_bytes)
    hdrl = b"hdrl" + chunk(b"avih", avih) + chunk(b"LIST", b"strl" + chunk(b"strh", strh) + chunk(b"strf", strf))
    movi = b"movi"
    index = b""
    for data in frames:
        index += struct.pack("<4sIII", b"00db", 0x10, len(movi), len(data))
        movi += chunk(b"00db", data)
    body = b"AVI " + chunk(b"LIST", hdrl) + chunk(b"LIST", movi) + chunk(b"idx1", index)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, data in (("splash.bmp", splash()), ("rowcaster.ico", icon()), ("run.avi", avi())):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
