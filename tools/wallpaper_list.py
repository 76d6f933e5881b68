#!/usr/bin/env python3
"""Writes the setup's list of wallpapers: one line
`!insertmacro WALLPAPER "<file>" <size> <CRC-32>` for each file named, in the
order given, and WALLPAPER_KIB, what they need on disk. The size and checksum
let setup tell its own files from a parent's file of the same name.

usage: wallpaper_list.py OUT.nsh FOLDER FILE...
"""
import sys
import zlib
from pathlib import Path


def main():
    out, folder, names = Path(sys.argv[1]), Path(sys.argv[2]), sys.argv[3:]
    lines, kib = [], 0
    for name in names:
        data = (folder / name).read_bytes()
        kib += (len(data) + 1023) // 1024
        lines.append('!insertmacro WALLPAPER "%s" %d %08X\n' % (name, len(data), zlib.crc32(data)))
    text = "!ifndef WALLPAPER_KIB\n!define WALLPAPER_KIB %d\n!endif\n" % kib + "".join(lines)
    if not out.exists() or out.read_text() != text:
        out.write_text(text)


if __name__ == "__main__":
    main()
