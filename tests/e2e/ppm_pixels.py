#!/usr/bin/env python3
"""Prints the colour of pixels of a binary PPM, one "R G B" line per point.

Usage: ppm_pixels.py FILE X Y [X Y ...]

The first line printed is "WIDTH HEIGHT". Reading every point in one go
keeps the picture checks from starting a process per pixel.
"""

import sys


def read_header(data):
    """Returns (width, height, offset of the first pixel) of a P6 picture."""
    fields = []
    position = 0
    while len(fields) < 4:
        while data[position:position + 1].isspace():
            position += 1
        if data[position:position + 1] == b"#":
            while data[position:position + 1] not in (b"\n", b""):
                position += 1
            continue
        start = position
        while position < len(data) and not data[position:position + 1].isspace():
            position += 1
        fields.append(data[start:position])
    if fields[0] != b"P6" or fields[3] != b"255":
        sys.exit("ppm_pixels.py: not an 8-bit binary PPM")
    return int(fields[1]), int(fields[2]), position + 1


def main():
    if len(sys.argv) < 2 or len(sys.argv) % 2 != 0:
        sys.exit("usage: ppm_pixels.py FILE X Y [X Y ...]")
    with open(sys.argv[1], "rb") as picture:
        data = picture.read()
    width, height, offset = read_header(data)
    lines = [f"{width} {height}"]
    coordinates = [int(value) for value in sys.argv[2:]]
    for x, y in zip(coordinates[0::2], coordinates[1::2]):
        if not (0 <= x < width and 0 <= y < height):
            sys.exit(f"ppm_pixels.py: ({x}, {y}) lies outside the {width} x {height} picture")
        at = offset + (y * width + x) * 3
        lines.append(" ".join(str(value) for value in data[at:at + 3]))
    print("\n".join(lines))


if __name__ == "__main__":
    main()
