#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks the drawn images in image/: formats, pixel sizes, the icon's layout and the resource list.

Usage: check_images.py [IMAGE_DIR]   (default: ../../image beside this script)
Prints one line per problem and exits 1 if there is any.
"""
import os
import re
import struct
import sys

GAUGE = [1, 2, 3, 4, 6, 8, 10, 12, 14, 16, 18, 20]
EXPECTED = {
    "sys_bgi_main.png": (900, 506),
    "newlogo.jpg": (256, 256),
    "bar_title_setting.png": (48, 48),
    "bar_title_mini.png": (48, 48),
    "bar_title_close.png": (48, 48),
    "5651226.png": (512, 512),
    "5651284.png": (512, 512),
    "bgi_dbd_gray.png": (800, 800),
    "close_dis.png": (48, 48),
    "open_dis.png": (48, 48),
    "exit_app.png": (48, 48),
    "menu_version.png": (48, 48),
    "menu_update.png": (48, 48),
    "msg__info.png": (48, 48),
}
EXPECTED.update({"bgi_dbd_%d.png" % n: (800, 800) for n in GAUGE})
# The pictures for scale 2: twice the size the window shows each one at (the panel: twice its own).
SHARP = {
    "sys_bgi_main.png": (1800, 1012),
    "newlogo.jpg": (52, 52),
    "bar_title_setting.png": (42, 42),
    "bar_title_mini.png": (36, 36),
    "bar_title_close.png": (36, 36),
    "5651226.png": (250, 250),
    "5651284.png": (250, 250),
    "bgi_dbd_gray.png": (900, 900),
    "close_dis.png": (32, 32),
    "open_dis.png": (32, 32),
    "exit_app.png": (32, 32),
    "menu_version.png": (32, 32),
    "menu_update.png": (32, 32),
    "msg__info.png": (96, 96),
}
SHARP.update({"bgi_dbd_%d.png" % n: (900, 900) for n in GAUGE})
EXPECTED.update({"%s@2x%s" % os.path.splitext(name): size for name, size in SHARP.items()})


def png_header(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        return None
    width, height, depth, colour = struct.unpack(">IIBB", data[16:26])
    return width, height, depth, colour


def jpeg_size(data):
    if data[:2] != b"\xff\xd8":
        return None
    pos = 2
    while pos + 4 <= len(data):
        if data[pos] != 0xFF:
            return None
        marker = data[pos + 1]
        length = struct.unpack(">H", data[pos + 2:pos + 4])[0]
        if marker in (0xC0, 0xC1, 0xC2):
            height, width = struct.unpack(">HH", data[pos + 5:pos + 9])
            return width, height
        pos += 2 + length
    return None


def check_ico(data):
    problems = []
    reserved, kind, count = struct.unpack("<HHH", data[:6])
    if (reserved, kind, count) != (0, 1, 1):
        return ["orvane.ico: not a one-image icon directory"]
    w, h, colours, _, planes, bpp, size, offset = struct.unpack("<BBBBHHII", data[6:22])
    if (w, h, bpp, planes) != (128, 128, 32, 1):
        problems.append("orvane.ico: entry is %dx%d, %d bpp" % (w, h, bpp))
    dib = data[offset:offset + size]
    if dib[:4] == b"\x89PNG":
        return problems + ["orvane.ico: holds a PNG, not a bitmap"]
    header, width, height, _, bits, compression = struct.unpack("<IiiHHI", dib[:20])
    if (header, width, height, bits, compression) != (40, 128, 256, 32, 0):
        problems.append("orvane.ico: bitmap header %r" % ((header, width, height, bits, compression),))
    if size != 40 + 128 * 128 * 4 + 16 * 128 or offset + size != len(data):
        problems.append("orvane.ico: sizes do not add up")
    alphas = {dib[40 + i * 4 + 3] for i in range(128 * 128)}
    if not (0 in alphas and 255 in alphas):
        problems.append("orvane.ico: no alpha channel in use")
    return problems


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "image")
    problems = []
    for name, size in sorted(EXPECTED.items()):
        path = os.path.join(folder, name)
        if not os.path.isfile(path):
            problems.append("%s: missing" % name)
            continue
        data = open(path, "rb").read()
        if name.endswith(".png"):
            header = png_header(data)
            if header != size + (8, 6):
                problems.append("%s: %r, expected %dx%d 8-bit RGBA" % (name, header, size[0], size[1]))
        elif jpeg_size(data) != size:
            problems.append("%s: %r, expected JPEG %dx%d" % (name, jpeg_size(data), size[0], size[1]))
    ico = os.path.join(folder, "orvane.ico")
    problems += check_ico(open(ico, "rb").read()) if os.path.isfile(ico) else ["orvane.ico: missing"]

    qrc_path = os.path.join(folder, "image.qrc")
    qrc = open(qrc_path, encoding="utf-8").read() if os.path.isfile(qrc_path) else ""
    if not qrc:
        problems.append("image.qrc: missing")
    elif not re.search(r'<qresource\s+prefix="/image"\s*>', qrc):
        problems.append("image.qrc: files are not under the /image prefix")
    listed = re.findall(r"<file[^>]*>([^<]+)</file>", qrc)
    if qrc and sorted(listed) != sorted(EXPECTED):
        problems.append("image.qrc: lists %s" % sorted(set(listed) ^ set(EXPECTED)))
    if qrc and len(re.findall(r'compression-algorithm="none"', qrc)) != len(listed):
        problems.append("image.qrc: not every file is stored uncompressed")

    for line in problems:
        print(line)
    print("%d images checked, %d problems" % (len(EXPECTED) + 1, len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
