#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: small archives of every pixel
format, whole and cut short, indexes with image files, and hex texts.

Usage: make_corpus.py OUTPUT_DIR   (the repository keeps its output in fuzz/corpus)

fuzz/corpus also keeps, beside what this writes, the inputs that once broke a
fuzz target's checks (fuzz/corpus/rebuild/huge-data-size).
"""
import os
import struct
import sys

DXT1, DXT3, DXT5, ARGB, RGB565 = 0x31545844, 0x33545844, 0x35545844, 21, 23
FORMATS = [(DXT1, 4, 4, 8), (DXT3, 4, 4, 16), (DXT5, 8, 4, 32), (ARGB, 2, 2, 16), (RGB565, 4, 2, 16)]


def data(n, seed):
    return bytes((k * 7 + seed * 31) & 255 for k in range(n))


def archive(sections):
    out = struct.pack("<fI", 1.1, len(sections))
    for images in sections:
        out += struct.pack("<I", len(images))
        for type_code, width, height, size in images:
            out += struct.pack("<6I", type_code, width, height, width, height, size)
            out += data(size, type_code & 255)
    return out


def index(sections):
    out = struct.pack("<I", len(sections))
    for images in sections:
        out += struct.pack("<I", len(images))
        for type_code, width, height, size in images:
            out += struct.pack("<6I", type_code, width, height, width, height, size)
    return out


def dds(type_code, width, height, size, pitch=False):
    flags = 0x100F if pitch else 0x81007
    linear = width * (4 if type_code == ARGB else 2) if pitch else size
    if type_code in (DXT1, DXT3, DXT5):
        pixel_format = struct.pack("<2I4s5I", 32, 0x4, struct.pack("<I", type_code), 0, 0, 0, 0, 0)
    elif type_code == ARGB:
        pixel_format = struct.pack("<8I", 32, 0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)
    else:
        pixel_format = struct.pack("<8I", 32, 0x40, 0, 16, 0xF800, 0x07E0, 0x1F, 0)
    header = struct.pack("<4s6I44x", b"DDS ", 124, flags, height, width, linear, 0)
    return header + pixel_format + struct.pack("<5I", 0x1000, 0, 0, 0, 0) + data(size, 9)


def rebuild_input(index_bytes, image_bytes):
    return struct.pack("<H", len(index_bytes)) + index_bytes + image_bytes


def main(out):
    archives = {"empty": archive([]), "all-formats": archive([FORMATS[:3], [], FORMATS[3:]]),
                "unknown-type": archive([[(7, 1, 1, 4)], [FORMATS[0]]])}
    for type_code, width, height, size in FORMATS:
        archives[f"one-{type_code:x}"] = archive([[(type_code, width, height, size)]])
    whole = archives["all-formats"]
    for cut in (3, 7, 10, 20, 40, 60, len(whole) - 1):
        archives[f"all-formats-cut-{cut}"] = whole[:cut]
    for target in ("counter", "extraction"):
        os.makedirs(os.path.join(out, target), exist_ok=True)
        for name, content in archives.items():
            with open(os.path.join(out, target, name), "wb") as f:
                f.write(content)

    rebuilds = {}
    for entry in FORMATS:
        rebuilds[f"format-{entry[0]:x}"] = rebuild_input(index([[entry]]), dds(*entry))
        rebuilds[f"format-{entry[0]:x}-cut"] = rebuild_input(index([[entry]]), dds(*entry)[:100])
    rebuilds["pitch-argb"] = rebuild_input(index([[FORMATS[3]]]), dds(*FORMATS[3], pitch=True))
    rebuilds["two-sections"] = rebuild_input(index([[FORMATS[0]], [], [FORMATS[0]]]),
                                             dds(*FORMATS[0]))
    rebuilds["index-cut"] = rebuild_input(index([[FORMATS[0], FORMATS[0]]])[:20], dds(*FORMATS[0]))
    os.makedirs(os.path.join(out, "rebuild"), exist_ok=True)
    for name, content in rebuilds.items():
        with open(os.path.join(out, "rebuild", name), "wb") as f:
            f.write(content)

    os.makedirs(os.path.join(out, "hex"), exist_ok=True)
    for name, text in {"template": "444453207C000000" * 16, "odd": "ABC", "letters": "G11G",
                       "lower": "ff00aa", "empty": ""}.items():
        with open(os.path.join(out, "hex", name), "w") as f:
            f.write(text)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
