#!/usr/bin/python3
"""The round trips of gimp_test.py on what GIMP wrote and said, recorded, with
no GIMP at hand.

1. Each DDS export GIMP wrote of a 16 x 16 picture (recorded/gimp-VERSION/)
   either comes back whole through a rebuild or is refused with the
   unconvertible-image abort and no new archive, as the table in
   gimp_exports.py says.
2. The extraction still writes, byte for byte, the files GIMP was seen to
   load, and what GIMP said and saved loading them passes gimp_test.py's
   checks: every file at its size, the 8.8.8.8 ARGB pixels exact.

Usage: gimp_recorded_test.py PATH/TO/Zerbolt [unittest options]
"""

import os
import sys
import unittest

sys.dont_write_bytecode = True  # no __pycache__ left in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import interop_test as interop  # noqa: E402  (the shared archive and DDS helpers)
import gimp_exports  # noqa: E402  (the table of exports and the checks of a rebuild)
from gimp_exports import ExportChecks, every_export, extracted_name, loaded_raw_name  # noqa: E402


class RecordedGimpFiles(ExportChecks, unittest.TestCase):
    """The test archive at the recorded picture's size, extracted."""

    def setUp(self):
        self.workspace = interop.Workspace(*gimp_exports.RECORDED_SIZE)
        self.images, _ = interop.build_test_archive(self.workspace)
        self.workspace.zerbolt("units.spr")
        self.folders = gimp_exports.recorded_folders()
        self.assertTrue(self.folders, f"no recorded GIMP files in {gimp_exports.RECORDED}")

    def tearDown(self):
        self.workspace.close()

    def test_each_recorded_export_is_rebuilt_whole_or_refused(self):
        names = [name for _, name, *_rest in every_export()]
        for folder in self.folders:
            recorded = sorted(name for name in os.listdir(folder) if name.endswith(".dds"))
            self.assertEqual(recorded, sorted(names), f"{folder} holds other exports")
            for title, name, expected, *_how in every_export():
                with self.subTest(f"{os.path.basename(folder)}: {title}"):
                    self.check_export(os.path.join(folder, name), expected)

    def test_gimp_loaded_what_the_extraction_writes(self):
        for folder in self.folders:
            with self.subTest(os.path.basename(folder)):
                with open(os.path.join(folder, gimp_exports.LOADED_SUMS)) as f:
                    sums = dict(reversed(line.split()) for line in f if line.strip())
                written = {extracted_name(index): gimp_exports.sha256(
                               self.workspace.path(extracted_name(index)))
                           for index in range(len(self.images))}
                self.assertEqual(written, sums,
                                 "the extraction writes other files than GIMP loaded: have GIMP "
                                 "load them again (gimp_test.py PATH/TO/Zerbolt --record)")
                with open(os.path.join(folder, gimp_exports.LOADED_SAID)) as f:
                    said = f.read()
                self.check_loads(self.images, said, extracted_name,
                                 lambda index: os.path.join(folder, loaded_raw_name(index)))


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    interop.ZERBOLT = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
