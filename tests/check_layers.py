#!/usr/bin/env python3
"""Fails when a source file includes a folder above its own layer.

The layers run one way: app -> links, settings -> catalogue -> ui -> platform.
links and settings stand side by side and do not include each other. The
packaging (setup) stands above them all: the program includes nothing of it.
"""
import pathlib
import re
import sys

LAYER = {"platform": 0, "ui": 1, "catalogue": 2, "links": 3, "settings": 3, "app": 4, "setup": 5}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^/"]+)/', re.MULTILINE)

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
wrong = []
for folder, level in LAYER.items():
    for path in sorted((root / folder).glob("*")):
        if path.suffix not in (".h", ".cpp", ".rc", ".in"):
            continue
        for target in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
            if target in LAYER and target != folder and LAYER[target] >= level:
                wrong.append(f"{path.relative_to(root)} includes {target}/")
for line in wrong:
    print(line)
print(f"layers: {len(wrong)} include(s) against the direction")
sys.exit(1 if wrong else 0)
