#!/usr/bin/env python3
"""Writes a Windows icon (.ico) from an XPM picture kept as a C++ array of strings.

  icon_from_xpm.py SOURCE.cc ARRAY_NAME OUTPUT.ico

The program's icon is drawn once, as XPM in ui/window_pictures.cc, where the window uses it; the
executable's icon resource is made from the same picture at build time, so the two never differ.
Colours are "#RRGGBB" or "None" (transparent), one character per pixel.
"""
import re
import struct
import sys


def xpm_lines(source, name):
    match = re.search(r"\b" + re.escape(name) + r"\s*\[\]\s*=\s*\{(.*?)\};", source, re.S)
    if not match:
        raise SystemExit(f"{name}: no such array")
    return re.findall(r'"((?:[^"\\]|\\.)*)"', match.group(1))


def parse_xpm(lines):
    width, height, colours, per_pixel = (int(v) for v in lines[0].split()[:4])
    palette = {}
    for line in lines[1:1 + colours]:
        key, rest = line[:per_pixel], line[per_pixel:].split()
        value = rest[rest.index("c") + 1]
        palette[key] = None if value.lower() == "none" else int(value.lstrip("#"), 16)
    rows = lines[1 + colours:1 + colours + height]
    pixels = [[palette[row[x * per_pixel:(x + 1) * per_pixel]] for x in range(width)]
              for row in rows]
    return width, height, pixels


def ico(width, height, pixels):
    # One 32-bit image: a BITMAPINFOHEADER of twice the height (colour rows, then the mask rows),
    # rows bottom-up, BGRA; the 1-bit mask rows are padded to 32 bits.
    colour = b"".join(
        b"".join(struct.pack("<BBBB", 0, 0, 0, 0) if p is None else
                 struct.pack("<BBBB", p & 0xFF, (p >> 8) & 0xFF, p >> 16, 0xFF) for p in row)
        for row in reversed(pixels))
    mask_row_bytes = (width + 31) // 32 * 4
    mask = b""
    for row in reversed(pixels):
        bits = bytearray(mask_row_bytes)
        for x, p in enumerate(row):
            if p is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, len(colour) + len(mask),
                         0, 0, 0, 0)
    image = header + colour + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(image),
                        len(directory) + 16)
    return directory + entry + image


def main():
    source_path, name, output_path = sys.argv[1:4]
    with open(source_path, encoding="utf-8") as source:
        width, height, pixels = parse_xpm(xpm_lines(source.read(), name))
    with open(output_path, "wb") as output:
        output.write(ico(width, height, pixels))


if __name__ == "__main__":
    main()
