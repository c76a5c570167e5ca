"""GIMP 2.10's DDS exports: each one the export dialog offers, what the rebuild
makes of it, and the checks of a rebuild with one export in place of image 1-1.

Shared by gimp_test.py, which has a live GIMP export a picture now, and
gimp_recorded_test.py, which rebuilds the exports GIMP wrote of a 16 x 16
picture, kept in recorded/ (recorded/README.md).
"""

import glob
import hashlib
import os
import shutil

import interop_test as interop
from interop_test import ARGB, DXT1, DXT3, DXT5, RGB565

# file-dds-save's compression numbers, as its help text gives them.
NONE, BC1, BC2, BC3, BC3N, BC4, BC5, RXGB, AEXP, YCOCG, YCOCG_SCALED = range(11)
# Its format numbers, which its help text gives wrongly.
DEFAULT, RGB8, RGBA8, BGR8, ABGR8, R5G6B5, RGBA4, RGB5A1, RGB10A2 = range(9)
AEXP_FORMAT, YCOCG_FORMAT = 13, 14

REFUSED = None
OTHER_DXT5 = "other DXT5"  # refused as another encoding of DXT5 data
WRONG_ENCODING = "marked DXT5 but another encoding, which the game shows in wrong colours"
# (what the export dialog calls it, compression, format, what a picture with
#  alpha gives, what one without alpha gives, why)
EXPORTS = [
    ("BC1 / DXT1", BC1, DEFAULT, DXT1, DXT1, "the archive's DXT1"),
    ("BC2 / DXT3", BC2, DEFAULT, DXT3, DXT3, "the archive's DXT3"),
    ("BC3 / DXT5", BC3, DEFAULT, DXT5, DXT5, "the archive's DXT5"),
    ("BC3nm / DXT5nm", BC3N, DEFAULT, OTHER_DXT5, OTHER_DXT5, WRONG_ENCODING),
    ("BC4 / ATI1", BC4, DEFAULT, REFUSED, REFUSED, "ATI1, one channel: no archive type"),
    ("BC5 / ATI2", BC5, DEFAULT, REFUSED, REFUSED, "ATI2, two channels: no archive type"),
    ("RXGB (DXT5)", RXGB, DEFAULT, REFUSED, REFUSED, "not marked DXT5: no archive type"),
    ("Alpha Exponent (DXT5)", AEXP, DEFAULT, OTHER_DXT5, OTHER_DXT5, WRONG_ENCODING),
    ("YCoCg (DXT5)", YCOCG, DEFAULT, OTHER_DXT5, OTHER_DXT5, WRONG_ENCODING),
    ("YCoCg scaled (DXT5)", YCOCG_SCALED, DEFAULT, OTHER_DXT5, OTHER_DXT5, WRONG_ENCODING),
    ("None, Default", NONE, DEFAULT, ARGB, REFUSED,
     "RGBA8 for a picture with alpha; 24-bit RGB8 without, which the archive has not"),
    ("None, RGB8", NONE, RGB8, REFUSED, REFUSED, "24 bits a pixel: no archive type"),
    ("None, RGBA8", NONE, RGBA8, ARGB, ARGB, "the archive's 8.8.8.8 ARGB"),
    ("None, BGR8", NONE, BGR8, REFUSED, REFUSED, "24 bits a pixel: no archive type"),
    ("None, ABGR8", NONE, ABGR8, REFUSED, REFUSED,
     "red and blue swapped against 8.8.8.8 ARGB"),
    ("None, R5G6B5", NONE, R5G6B5, RGB565, RGB565, "the archive's 5.6.5 RGB"),
    ("None, RGBA4", NONE, RGBA4, REFUSED, REFUSED, "4 bits a channel: no archive type"),
    ("None, RGB5A1", NONE, RGB5A1, REFUSED, REFUSED, "5.5.5.1: no archive type"),
    ("None, RGB10A2", NONE, RGB10A2, REFUSED, REFUSED, "10.10.10.2: no archive type"),
    ("None, AExp", NONE, AEXP_FORMAT, ARGB, ARGB,
     "marked 8.8.8.8 ARGB, so taken: the game shows wrong colours"),
    ("None, YCoCg", NONE, YCOCG_FORMAT, ARGB, ARGB,
     "marked 8.8.8.8 ARGB, so taken: the game shows wrong colours"),
]

# The exports GIMP wrote of a RECORDED_SIZE picture, one folder per version
# of GIMP that wrote them (recorded/gimp-VERSION/).
RECORDED = os.path.join(os.path.dirname(os.path.abspath(__file__)), "recorded")
RECORDED_SIZE = (16, 16)
# What GIMP said of each extracted file it loaded, the SHA-256 of the files
# it loaded, and the pixels it loaded of the 8.8.8.8 ARGB one.
LOADED_SAID, LOADED_SUMS = "loaded.txt", "loaded.sha256"


def export_name(compression, format_, alpha, mipmaps):
    return f"gimp-c{compression}-f{format_}-a{alpha}-m{mipmaps}.dds"


def every_export():
    """(title, file name, what the rebuild makes of it, alpha, compression,
    format, mipmaps) for each row of the table, with and without alpha, and
    mipmaps off and on."""
    for label, compression, format_, with_alpha, without_alpha, why in EXPORTS:
        for alpha, expected in ((1, with_alpha), (0, without_alpha)):
            for mipmaps in (0, 1):
                title = (f"{label}, {'with' if alpha else 'without'} alpha, "
                         f"mipmaps {'on' if mipmaps else 'off'} ({why})")
                yield (title, export_name(compression, format_, alpha, mipmaps), expected,
                       alpha, compression, format_, mipmaps)


def extracted_name(index):
    return f"units-1-{index + 1}.dds"


def loaded_raw_name(index):
    return f"loaded-{index + 1}.raw"


def recorded_folders():
    return sorted(glob.glob(os.path.join(RECORDED, "gimp-*")))


def sha256(path):
    return hashlib.sha256(interop.read_bytes(path)).hexdigest()


class ExportChecks:
    """For a TestCase whose workspace holds the test archive, extracted, and
    whose images are the archive's images."""

    def check_export(self, export, expected):
        """Puts export in place of image 1-1 and rebuilds: the rebuild takes it
        whole as the expected typeCode, or refuses it as the table says."""
        workspace = self.workspace
        if os.path.exists(workspace.path("units(new).spr")):
            os.remove(workspace.path("units(new).spr"))
        shutil.copy(export, workspace.path("units-1-1.dds"))
        report = workspace.zerbolt("units.rep")
        tail = report.split("\r\n")[-4:]
        if expected in (REFUSED, OTHER_DXT5):
            reason = ("Reason: This DXT5 is stored as a normal map, Alpha Exponent or YCoCg, which "
                      "the game shows in wrong colours. Please save it as plain BC3 / DXT5"
                      if expected == OTHER_DXT5 else
                      "Reason: Unknown Filetype. Please Use DXT1, DXT3, DXT5, 5.6.5 RGB, or "
                      "8.8.8.8 ARGB")
            self.assertEqual(tail, [reason, " ", "Zerbolt Aborted!", ""], report)
            self.assertFalse(os.path.exists(workspace.path("units(new).spr")))
            return
        self.assertEqual(tail[-3:], [" ", "Done!", ""], report)
        exported = interop.read_bytes(export)
        width, height = workspace.width, workspace.height
        size = interop.top_level_size(expected, width, height)
        rebuilt = interop.walk_archive(interop.read_bytes(workspace.path("units(new).spr")))
        self.assertEqual(rebuilt[0], (expected, 11, 22, width, height, exported[128:128 + size]))
        self.assertEqual(rebuilt[1:], self.images[1:])

    def check_loads(self, images, said, source, loaded_raw):
        """What GIMP said loading each extracted file (named to it as
        source(index)), and the raw pixels it saved of each (the file
        loaded_raw(index)): every file at the archive's size, and the 8.8.8.8
        ARGB pixels exact."""
        workspace = self.workspace
        for index, (type_code, *_rest) in enumerate(images):
            with self.subTest(interop.TYPE_NAMES[type_code]):
                self.assertIn(f"size {source(index)} {workspace.width} {workspace.height}", said)
                if type_code == ARGB:
                    raw = interop.read_bytes(loaded_raw(index))
                    self.assertEqual(raw, interop.rgba_bytes(workspace.pixels))
