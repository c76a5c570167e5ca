#!/usr/bin/env python3
"""Writes the benchmark's archives into the directory given.

big.spr        4 sections of 64 DXT5 images of 4 MiB (2048 x 2048), 1 GiB of data
big-twin.spr   the same 256 headers, each image holding 16 bytes
many.spr       100 sections of 1,000 DXT1 images of 512 bytes (32 x 32)
huge.spr       one DXT1 image of 1 GiB (32768 x 65536)
many-files/    100,000 files of 512 bytes, named as the extraction names its images

With a second argument "big", only the first, second and fourth.
"""
import os
import struct
import sys

DXT1 = 0x31545844
DXT5 = 0x35545844
MIB = 1 << 20


def header(type_code, width, height, size):
    return struct.pack("<6I", type_code, width // 4, height // 4, width, height, size)


def block(size, seed):
    # Bytes that are not zeros, so that no file system can store them as a hole.
    pattern = bytes((k * 7 + seed * 31) & 0xFF for k in range(256))
    return (pattern * (size // 256 + 1))[:size]


def write_sections(path, sections, per_section, image_header, data):
    with open(path, "wb") as f:
        f.write(struct.pack("<fI", 1.1, sections))
        for _ in range(sections):
            f.write(struct.pack("<I", per_section))
            for _ in range(per_section):
                f.write(image_header)
                f.write(data)


def main(out, only_big):
    write_sections(os.path.join(out, "big.spr"), 4, 64,
                   header(DXT5, 2048, 2048, 4 * MIB), block(4 * MIB, 1))
    # The twin declares 16 bytes of data, so its headers match big.spr's but for dataSize.
    write_sections(os.path.join(out, "big-twin.spr"), 4, 64,
                   header(DXT5, 2048, 2048, 16), block(16, 1))
    write_sections(os.path.join(out, "many.spr"), 100, 1000,
                   header(DXT1, 32, 32, 512), block(512, 2))
    with open(os.path.join(out, "huge.spr"), "wb") as f:
        f.write(struct.pack("<fII", 1.1, 1, 1))
        f.write(header(DXT1, 32768, 65536, 1 << 30))
        chunk = block(64 * MIB, 3)
        for _ in range(16):
            f.write(chunk)
    if only_big:
        return
    files = os.path.join(out, "many-files")
    os.mkdir(files)
    data = block(512, 2)
    for s in range(1, 101):
        for i in range(1, 1001):
            with open(os.path.join(files, f"many-{s}-{i}.dds"), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2:] == ["big"])
