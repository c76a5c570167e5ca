#!/usr/bin/python3
"""Round trips between Zerbolt and GIMP 2.10, the editor most modders use.

1. Every DDS export GIMP offers (each compression, each uncompressed format,
   mipmaps off and on, a picture with and without alpha) either comes back
   whole through a rebuild or is refused with the unconvertible-image abort
   and no new archive, as the table below says and why.
2. Every image file the extraction writes loads in GIMP at its size, and the
   8.8.8.8 ARGB pixels come back exact.

GIMP runs headless (gimp-console), once for all exports and once for all
loads. Usage: gimp_test.py PATH/TO/Zerbolt [unittest options]. Exits 77 (a
skip for CTest) when GIMP is not installed.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import interop_test as interop  # noqa: E402  (the shared archive and DDS helpers)
from interop_test import ARGB, DXT1, DXT3, DXT5, RGB565, HEIGHT, WIDTH  # noqa: E402

GIMP = shutil.which("gimp-console")

# file-dds-save's compression numbers, as its help text gives them.
NONE, BC1, BC2, BC3, BC3N, BC4, BC5, RXGB, AEXP, YCOCG, YCOCG_SCALED = range(11)
# Its format numbers, which its help text gives wrongly.
DEFAULT, RGB8, RGBA8, BGR8, ABGR8, R5G6B5, RGBA4, RGB5A1, RGB10A2 = range(9)
AEXP_FORMAT, YCOCG_FORMAT = 13, 14

REFUSED = None
OTHER_DXT5 = "other DXT5"  # refused as another encoding of DXT5 data
# (what the export dialog calls it, compression, format, what a picture with
#  alpha gives, what one without alpha gives, why)
EXPORTS = [
    ("BC1 / DXT1", BC1, DEFAULT, DXT1, DXT1, "the archive's DXT1"),
    ("BC2 / DXT3", BC2, DEFAULT, DXT3, DXT3, "the archive's DXT3"),
    ("BC3 / DXT5", BC3, DEFAULT, DXT5, DXT5, "the archive's DXT5"),
    ("BC3nm / DXT5nm", BC3N, DEFAULT, OTHER_DXT5, OTHER_DXT5,
     "marked DXT5 but another encoding, which the game shows in wrong colours"),
    ("BC4 / ATI1", BC4, DEFAULT, REFUSED, REFUSED, "ATI1, one channel: no archive type"),
    ("BC5 / ATI2", BC5, DEFAULT, REFUSED, REFUSED, "ATI2, two channels: no archive type"),
    ("RXGB (DXT5)", RXGB, DEFAULT, REFUSED, REFUSED, "not marked DXT5: no archive type"),
    ("Alpha Exponent (DXT5)", AEXP, DEFAULT, OTHER_DXT5, OTHER_DXT5,
     "marked DXT5 but another encoding, which the game shows in wrong colours"),
    ("YCoCg (DXT5)", YCOCG, DEFAULT, OTHER_DXT5, OTHER_DXT5,
     "marked DXT5 but another encoding, which the game shows in wrong colours"),
    ("YCoCg scaled (DXT5)", YCOCG_SCALED, DEFAULT, OTHER_DXT5, OTHER_DXT5,
     "marked DXT5 but another encoding, which the game shows in wrong colours"),
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

EXPORT_PROCEDURE = """
(define (export-dds source target alpha compression format mipmaps)
  (let* ((image (car (gimp-file-load RUN-NONINTERACTIVE source source)))
         (layer (car (gimp-image-get-active-layer image))))
    (if (= alpha 0) (set! layer (car (gimp-image-flatten image))))
    (file-dds-save RUN-NONINTERACTIVE image layer target target
                   compression mipmaps 0 format -1 0 0 0 0 2.2 0 0 0.5)
    (gimp-image-delete image)))
"""

LOAD_PROCEDURE = """
(define (load-dds source raw)
  (let* ((image (car (gimp-file-load RUN-NONINTERACTIVE source source)))
         (layer (car (gimp-image-get-active-layer image))))
    (gimp-message (string-append "size " source " "
                                 (number->string (car (gimp-image-width image))) " "
                                 (number->string (car (gimp-image-height image)))))
    (file-raw-save2 RUN-NONINTERACTIVE image layer raw raw 0 0)
    (gimp-image-delete image)))
"""


def scheme_text(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def run_gimp(workspace, procedure, calls):
    """Runs one headless GIMP over the calls; returns what it said."""
    script = workspace.path("batch.scm")
    with open(script, "w") as f:
        f.write(procedure + "\n".join(calls) + "\n")
    env = dict(os.environ, GIMP2_DIRECTORY=workspace.path("gimp-profile"))
    result = subprocess.run(
        [GIMP, "-i", "-d", "-f", "-b", f"(load {scheme_text(script)})", "-b", "(gimp-quit 0)"],
        cwd=workspace.dir, env=env, stdin=subprocess.DEVNULL, capture_output=True, text=True,
        timeout=600)
    said = result.stdout + result.stderr
    if result.returncode != 0 or "execution error" in said:
        raise AssertionError(f"GIMP failed: {said}")
    return said


def export_name(compression, format_, alpha, mipmaps):
    return f"gimp-c{compression}-f{format_}-a{alpha}-m{mipmaps}.dds"


class GimpExports(unittest.TestCase):
    """A GIMP export put in place of extracted image 1-1 (DXT1, 64 x 32)."""

    @classmethod
    def setUpClass(cls):
        cls.workspace = interop.Workspace()
        cls.images, _ = interop.build_test_archive(cls.workspace)
        cls.workspace.zerbolt("units.spr")
        shutil.copy(cls.workspace.path("units-1-1.dds"), cls.workspace.path("extracted.dds"))
        source = cls.workspace.path("picture.tga")
        calls = []
        for _, compression, format_, *_rest in EXPORTS:
            for alpha in (1, 0):
                for mipmaps in (0, 1):
                    target = cls.workspace.path(export_name(compression, format_, alpha, mipmaps))
                    calls.append(f"(export-dds {scheme_text(source)} {scheme_text(target)} "
                                 f"{alpha} {compression} {format_} {mipmaps})")
        run_gimp(cls.workspace, EXPORT_PROCEDURE, calls)

    @classmethod
    def tearDownClass(cls):
        cls.workspace.close()

    def test_each_export_is_rebuilt_whole_or_refused(self):
        for label, compression, format_, with_alpha, without_alpha, why in EXPORTS:
            for alpha, expected in ((1, with_alpha), (0, without_alpha)):
                for mipmaps in (0, 1):
                    name = export_name(compression, format_, alpha, mipmaps)
                    title = (f"{label}, {'with' if alpha else 'without'} alpha, "
                             f"mipmaps {'on' if mipmaps else 'off'} ({why})")
                    with self.subTest(title):
                        self.check_export(self.workspace.path(name), expected)

    def check_export(self, export, expected):
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
        size = interop.top_level_size(expected, WIDTH, HEIGHT)
        rebuilt = interop.walk_archive(interop.read_bytes(workspace.path("units(new).spr")))
        self.assertEqual(rebuilt[0], (expected, 11, 22, WIDTH, HEIGHT, exported[128:128 + size]))
        self.assertEqual(rebuilt[1:], self.images[1:])


class ExtractedFilesLoadInGimp(unittest.TestCase):

    def test_every_format_loads_and_argb_is_exact(self):
        workspace = interop.Workspace()
        try:
            images, _ = interop.build_test_archive(workspace)
            workspace.zerbolt("units.spr")
            calls = []
            for index in range(len(images)):
                source = workspace.path(f"units-1-{index + 1}.dds")
                raw = workspace.path(f"loaded-{index + 1}.raw")
                calls.append(f"(load-dds {scheme_text(source)} {scheme_text(raw)})")
            said = run_gimp(workspace, LOAD_PROCEDURE, calls)
            for index, (type_code, *_rest) in enumerate(images):
                with self.subTest(interop.TYPE_NAMES[type_code]):
                    source = workspace.path(f"units-1-{index + 1}.dds")
                    self.assertIn(f"size {source} {WIDTH} {HEIGHT}", said)
                    if type_code == ARGB:
                        raw = interop.read_bytes(workspace.path(f"loaded-{index + 1}.raw"))
                        self.assertEqual(raw, interop.rgba_bytes(workspace.pixels))
        finally:
            workspace.close()


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    if GIMP is None:
        print("skipped: GIMP (gimp) is not installed")
        sys.exit(77)
    interop.ZERBOLT = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
