#!/usr/bin/env python3
"""Writes a Windows icon (.ico) holding the given PNG files as they are.

Usage: png-to-ico.py OUTPUT.ico ICON.png...

Windows Vista and later read PNG-compressed entries at every size, so each
PNG goes in whole: the .ico shows exactly the pictures the window uses.
"""
import struct
import sys


def png_size(data, name):
    # The IHDR chunk follows the 8-byte signature: width and height, big-endian.
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        sys.exit("png-to-ico: %s is not a PNG file" % name)
    return struct.unpack(">II", data[16:24])


def main(argv):
    if len(argv) < 3:
        sys.exit("usage: png-to-ico.py OUTPUT.ico ICON.png...")
    entries = []
    for name in argv[2:]:
        with open(name, "rb") as f:
            data = f.read()
        width, height = png_size(data, name)
        if not (1 <= width <= 256 and 1 <= height <= 256):
            sys.exit("png-to-ico: %s is %dx%d; an icon entry is at most 256x256" % (name, width, height))
        entries.append((width, height, data))
    entries.sort(key=lambda e: e[0])
    # ICONDIR, one ICONDIRENTRY a picture, then the pictures; 256 is written as 0.
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for width, height, data in entries:
        out += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, _, data in entries)
    with open(argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv)
