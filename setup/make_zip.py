#!/usr/bin/env python3
"""Writes the zip for use without installing: the files given, under the
names given, each with the one time given and nothing of the machine that
built it (no owner, no extra time fields), so that the same files give the
same zip.

usage: make_zip.py OUT.zip EPOCH NAME=FILE...
"""
import os
import sys
import time
import zipfile


def main():
    out, epoch, entries = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
    # A zip's times are local times of no zone, from 1980 on.
    stamp = time.gmtime(max(epoch, 315532800))[:6]
    with zipfile.ZipFile(out + ".part", "w") as archive:
        for entry in entries:
            name, path = entry.split("=", 1)
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0
            info.external_attr = 0x20  # the archive attribute, as Windows sets it
            with open(path, "rb") as f:
                archive.writestr(info, f.read(), compresslevel=9)
    os.replace(out + ".part", out)


if __name__ == "__main__":
    main()
