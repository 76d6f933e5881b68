#!/usr/bin/env python3
"""Writes the build's list of wallpapers twice, for the files named, in the
order given:
  OUT.nsh  for the setup script: `!insertmacro WALLPAPER "<file>" <size>`
           lines and WALLPAPER_KIB, what they need on disk;
  OUT.h    for the wallpaper rule: each file's name, size and SHA-256, by
           which setup tells its own files from anybody else's.
A file is rewritten only when its text changes.

usage: wallpaper_list.py OUT.nsh OUT.h FOLDER FILE...
"""
import hashlib
import sys
from pathlib import Path


def write(path, text):
    if not path.exists() or path.read_text() != text:
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)


def main():
    nsh, header, folder, names = Path(sys.argv[1]), Path(sys.argv[2]), Path(sys.argv[3]), sys.argv[4:]
    lines, rows, kib = [], [], 0
    for name in names:
        data = (folder / name).read_bytes()
        kib += (len(data) + 1023) // 1024
        lines.append('!insertmacro WALLPAPER "%s" %d\n' % (name, len(data)))
        digest = ", ".join("0x%02x" % byte for byte in hashlib.sha256(data).digest())
        rows.append('    {L"%s", %d, {%s}},\n' % (name, len(data), digest))
    write(nsh, "!ifndef WALLPAPER_KIB\n!define WALLPAPER_KIB %d\n!endif\n" % kib + "".join(lines))
    write(header, "// Made by setup/wallpaper_list.py from the wallpapers of this build.\n#pragma once\n\n"
                  '#include "setup/wallpaper_rule.h"\n\nnamespace wallpaper_rule {\n\n'
                  "inline constexpr Wallpaper kBuildWallpapers[] = {\n" + "".join(rows) + "};\n\n}  // namespace wallpaper_rule\n")


if __name__ == "__main__":
    main()
