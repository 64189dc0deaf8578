#!/usr/bin/env python3
"""Draws the application icon (a receipt streaming lines) as a 128x128 PNG, no dependencies."""
import struct
import sys
import zlib

SIZE = 128


def pixel(x, y):
    # Rounded teal square as the background.
    r = 18
    cx = min(max(x, r), SIZE - 1 - r)
    cy = min(max(y, r), SIZE - 1 - r)
    if (x - cx) ** 2 + (y - cy) ** 2 > r * r:
        return (0, 0, 0, 0)
    bg = (22, 110, 130, 255)
    # The receipt: a white strip with a zig-zag torn bottom edge.
    if 30 <= x <= 82 and 14 <= y <= 108:
        tooth = (x - 30) % 8
        edge = 104 + (tooth if tooth < 4 else 8 - tooth)
        if y <= edge:
            # Printed lines on the receipt.
            if (y - 26) % 12 < 4 and 36 <= x <= 76 and y >= 26 and y < 98:
                width = 76 if ((y - 26) // 12) % 3 else 64
                if x <= width:
                    return (40, 48, 56, 255)
            return (250, 250, 245, 255)
    # Three stream dashes leaving the receipt to the right.
    for i, row in enumerate((40, 60, 80)):
        start = 90 + (i % 2) * 4
        if row <= y < row + 6 and start <= x <= start + 22 and (x - start) % 10 < 7:
            return (255, 200, 60, 255)
    return bg


def png(path):
    raw = bytearray()
    for y in range(SIZE):
        raw.append(0)
        for x in range(SIZE):
            raw.extend(pixel(x, y))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                  chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    png(sys.argv[1] if len(sys.argv) > 1 else "resources/icons/tillstream.png")
