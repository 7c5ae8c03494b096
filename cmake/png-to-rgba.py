#!/usr/bin/env python3
"""Writes the pixels of a PNG file as bare RGBA bytes: four a pixel (red,
green, blue, alpha, not premultiplied), row after row from the top, nothing
before or after them.

Usage: png-to-rgba.py INPUT.png OUTPUT.rgba

The program's icon is carried in this form so that nothing has to decode a
PNG (nor look for the image plug-ins that could) before the first window
shows. Only what rsvg-convert writes is read: 8 bits a channel, RGBA,
not interlaced.
"""
import struct
import sys
import zlib


def fail(name, why):
    sys.exit("png-to-rgba: %s: %s" % (name, why))


def chunks(data, name):
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        fail(name, "not a PNG file")
    at = 8
    while at + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if len(body) != length or zlib.crc32(kind + body) != struct.unpack(">I", data[at + 8 + length:at + 12 + length])[0]:
            fail(name, "chunk %r is cut short or damaged" % kind)
        yield kind, body
        if kind == b"IEND":
            return
        at += 12 + length
    fail(name, "no IEND chunk")


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def rgba(data, name):
    """(width, height, pixels) of the PNG's picture."""
    header, compressed = None, b""
    for kind, body in chunks(data, name):
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            compressed += body
    if header is None:
        fail(name, "no IHDR chunk")
    width, height, depth, colour, _, _, interlace = header
    if (depth, colour, interlace) != (8, 6, 0):
        fail(name, "not 8-bit RGBA without interlacing (depth %d, colour type %d, interlace %d)"
             % (depth, colour, interlace))
    raw = zlib.decompress(compressed)
    stride = width * 4
    if len(raw) != height * (stride + 1):
        fail(name, "%d bytes of pixel rows where %dx%d needs %d" % (len(raw), width, height, height * (stride + 1)))
    pixels = bytearray()
    previous = bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = row[x - 4] if x >= 4 else 0
            up = previous[x]
            up_left = previous[x - 4] if x >= 4 else 0
            if kind == 1:
                row[x] = (row[x] + left) & 0xFF
            elif kind == 2:
                row[x] = (row[x] + up) & 0xFF
            elif kind == 3:
                row[x] = (row[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                row[x] = (row[x] + paeth(left, up, up_left)) & 0xFF
            elif kind != 0:
                fail(name, "row %d has filter type %d" % (y, kind))
        pixels += row
        previous = row
    return width, height, bytes(pixels)


def main(argv):
    if len(argv) != 3:
        sys.exit("usage: png-to-rgba.py INPUT.png OUTPUT.rgba")
    with open(argv[1], "rb") as f:
        _, _, pixels = rgba(f.read(), argv[1])
    with open(argv[2], "wb") as f:
        f.write(pixels)


if __name__ == "__main__":
    main(sys.argv)
