#!/usr/bin/python3
"""Round trips between Zerbolt and a live GIMP 2.10, the editor most modders use.

1. Every DDS export GIMP offers (each compression, each uncompressed format,
   mipmaps off and on, a picture with and without alpha) either comes back
   whole through a rebuild or is refused with the unconvertible-image abort
   and no new archive, as the table in gimp_exports.py says and why.
2. Every image file the extraction writes loads in GIMP at its size, and the
   8.8.8.8 ARGB pixels come back exact.

GIMP runs headless (gimp-console): the exports in two GIMPs side by side,
then the loads. Usage: gimp_test.py PATH/TO/Zerbolt [unittest options].
Exits 77 (a skip for CTest) when GIMP is not installed.

gimp_test.py PATH/TO/Zerbolt --record has this GIMP export a 16 x 16
picture and load the files extracted from its archive, and keeps what it
wrote and said in recorded/gimp-VERSION/, which gimp_recorded_test.py
checks without GIMP (recorded/README.md).
"""

import os
import shutil
import subprocess
import sys
import unittest

sys.dont_write_bytecode = True  # no __pycache__ left in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import interop_test as interop  # noqa: E402  (the shared archive and DDS helpers)
import gimp_exports  # noqa: E402  (the table of exports and the checks of a rebuild)
from gimp_exports import ARGB, ExportChecks, every_export, extracted_name, loaded_raw_name  # noqa: E402

GIMP = shutil.which("gimp-console")

# The picture is loaded once; each export saves a copy of it, flattened (no
# alpha channel) for a picture without alpha.
EXPORT_PROCEDURE = """
(define (export-dds target alpha compression format mipmaps)
  (let* ((image (car (gimp-image-duplicate picture)))
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


def start_gimp(workspace, name, procedure, calls):
    """Starts one headless GIMP, with a profile of its own, over the calls."""
    script = workspace.path(f"{name}.scm")
    with open(script, "w") as f:
        f.write(procedure + "\n".join(calls) + "\n")
    env = dict(os.environ, GIMP2_DIRECTORY=workspace.path(f"gimp-profile-{name}"))
    return subprocess.Popen(
        [GIMP, "-i", "-d", "-f", "-b", f"(load {scheme_text(script)})", "-b", "(gimp-quit 0)"],
        cwd=workspace.dir, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
        stderr=subprocess.STDOUT, text=True)


def run_gimps(workspace, procedure, batches):
    """Runs one headless GIMP for each list of calls, side by side; returns
    what they said."""
    gimps = [start_gimp(workspace, f"batch-{number}", procedure, calls)
             for number, calls in enumerate(batches)]
    said = ""
    for gimp in gimps:
        said += gimp.communicate(timeout=600)[0]
    if any(gimp.returncode != 0 for gimp in gimps) or "execution error" in said:
        raise AssertionError(f"GIMP failed: {said}")
    return said


def export_all(workspace, source):
    """Has GIMP export the picture source in each way of the table, into
    the workspace under the names export_name gives."""
    load = (f"(define picture (car (gimp-file-load RUN-NONINTERACTIVE {scheme_text(source)} "
            f"{scheme_text(source)})))\n")
    calls = [f"(export-dds {scheme_text(workspace.path(name))} {alpha} {compression} "
             f"{format_} {mipmaps})"
             for _, name, _, alpha, compression, format_, mipmaps in every_export()]
    # Each export starts GIMP's DDS plug-in anew, which takes most of the
    # time: two GIMPs share the exports.
    run_gimps(workspace, load + EXPORT_PROCEDURE, [calls[0::2], calls[1::2]])


def load_all(workspace, images):
    """Has GIMP load each extracted file and save its pixels raw; returns
    what GIMP said."""
    calls = []
    for index in range(len(images)):
        source, raw = workspace.path(extracted_name(index)), workspace.path(loaded_raw_name(index))
        calls.append(f"(load-dds {scheme_text(source)} {scheme_text(raw)})")
    return run_gimps(workspace, LOAD_PROCEDURE, [calls])


class GimpExports(ExportChecks, unittest.TestCase):
    """A GIMP export put in place of extracted image 1-1 (DXT1, 64 x 32)."""

    @classmethod
    def setUpClass(cls):
        cls.workspace = interop.Workspace()
        cls.images, _ = interop.build_test_archive(cls.workspace)
        cls.workspace.zerbolt("units.spr")
        export_all(cls.workspace, cls.workspace.path("picture.tga"))

    @classmethod
    def tearDownClass(cls):
        cls.workspace.close()

    def test_each_export_is_rebuilt_whole_or_refused(self):
        for title, name, expected, *_how in every_export():
            with self.subTest(title):
                self.check_export(self.workspace.path(name), expected)


class ExtractedFilesLoadInGimp(ExportChecks, unittest.TestCase):

    def test_every_format_loads_and_argb_is_exact(self):
        self.workspace = workspace = interop.Workspace()
        try:
            images, _ = interop.build_test_archive(workspace)
            workspace.zerbolt("units.spr")
            said = load_all(workspace, images)
            self.check_loads(images, said, lambda index: workspace.path(extracted_name(index)),
                             lambda index: workspace.path(loaded_raw_name(index)))
        finally:
            workspace.close()


def record():
    """Keeps what this GIMP writes and says, for a 16 x 16 picture, in
    recorded/gimp-VERSION/."""
    version = subprocess.run([GIMP, "--version"], capture_output=True, text=True,
                             check=True).stdout.strip()
    folder = os.path.join(gimp_exports.RECORDED, "gimp-" + version.split()[-1])
    workspace = interop.Workspace(*gimp_exports.RECORDED_SIZE)
    try:
        images, _ = interop.build_test_archive(workspace)
        workspace.zerbolt("units.spr")
        export_all(workspace, workspace.path("picture.tga"))
        said = load_all(workspace, images)
        os.makedirs(folder, exist_ok=True)
        for _, name, *_rest in every_export():
            shutil.copy(workspace.path(name), os.path.join(folder, name))
        with open(os.path.join(folder, "gimp-console-version.txt"), "w") as f:
            f.write(version + "\n")
        with open(os.path.join(folder, gimp_exports.LOADED_SAID), "w") as f:
            f.write(said.replace(workspace.dir + os.sep, ""))
        with open(os.path.join(folder, gimp_exports.LOADED_SUMS), "w") as f:
            for index in range(len(images)):
                name = extracted_name(index)
                f.write(f"{gimp_exports.sha256(workspace.path(name))}  {name}\n")
        argb = [index for index, image in enumerate(images) if image[0] == ARGB][0]
        shutil.copy(workspace.path(loaded_raw_name(argb)),
                    os.path.join(folder, loaded_raw_name(argb)))
    finally:
        workspace.close()
    print(f"recorded in {folder}: {version}")


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    if GIMP is None:
        print("skipped: GIMP (gimp) is not installed")
        sys.exit(77)
    interop.ZERBOLT = os.path.abspath(sys.argv.pop(1))
    if sys.argv[1:] == ["--record"]:
        record()
    else:
        unittest.main(verbosity=2)
