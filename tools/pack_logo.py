#!/usr/bin/python3
"""Packs the logo for the program: decodes assets/logo.jpg into the 24-bit
BMP file the splash draws, and compresses it with LZNT1, the format Windows'
RtlDecompressBuffer unpacks, so that showing the logo needs no imaging
component. The packed resource is the BMP's length (4 bytes, little-endian)
followed by the compressed bytes.

usage: pack_logo.py LOGO.jpg PACKED.bin PLAIN.bmp
PLAIN.bmp is the unpacked picture, which the tests compare with the resource.
"""

import struct
import sys
from pathlib import Path

from PIL import Image

CHUNK = 4096


def bmp_bytes(picture):
    width, height = picture.size
    stride = (width * 3 + 3) & ~3
    rows = bytearray()
    for y in range(height - 1, -1, -1):
        row = picture.crop((0, y, width, y + 1)).tobytes("raw", "BGR")
        rows += row + bytes(stride - len(row))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(header) + len(rows), 0, 0, 14 + len(header)) + header + bytes(rows)


def compress_chunk(data):
    """One chunk's tokens: groups of a flag byte and eight literals or copies."""
    out = bytearray()
    seen = {}  # three bytes -> where they started, oldest first
    pos = 0
    while pos < len(data):
        flag_at = len(out)
        out.append(0)
        for bit in range(8):
            if pos >= len(data):
                break
            # A copy's 16 bits split between offset and length by how far
            # into the chunk it stands: the offset needs no more bits than
            # reach back to the chunk's start, and never fewer than 4.
            offset_bits = 12
            while offset_bits > 4 and (1 << (offset_bits - 1)) >= pos:
                offset_bits -= 1
            length_bits = 16 - offset_bits
            longest = min((1 << length_bits) + 2, len(data) - pos)
            best, best_offset = 0, 0
            for start in reversed(seen.get(data[pos:pos + 3], [])[-64:]):
                length = 0
                while length < longest and data[start + length] == data[pos + length]:
                    length += 1
                if length > best:
                    best, best_offset = length, pos - start
                    if length == longest:
                        break
            if best >= 3:
                out += (((best_offset - 1) << length_bits) | (best - 3)).to_bytes(2, "little")
                out[flag_at] |= 1 << bit
            else:
                best = 1
                out.append(data[pos])
            for start in range(pos, pos + best):
                seen.setdefault(data[start:start + 3], []).append(start)
            pos += best
    return bytes(out)


def lznt1(data):
    out = bytearray()
    for start in range(0, len(data), CHUNK):
        plain = data[start:start + CHUNK]
        packed = compress_chunk(plain)
        # The header holds the chunk's stored length less 3 and the
        # signature 3; its top bit says whether the chunk is compressed.
        if len(packed) < len(plain):
            out += struct.pack("<H", 0xB000 | (len(packed) - 1)) + packed
        else:
            out += struct.pack("<H", 0x3000 | (len(plain) - 1)) + plain
    return bytes(out)


def main():
    logo, packed, plain = (Path(argument) for argument in sys.argv[1:4])
    bmp = bmp_bytes(Image.open(logo).convert("RGB"))
    packed.write_bytes(struct.pack("<I", len(bmp)) + lznt1(bmp))
    plain.write_bytes(bmp)


if __name__ == "__main__":
    main()
