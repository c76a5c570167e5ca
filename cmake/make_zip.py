"""Packs the zip users download, the same bytes whenever the same commit is
built: the entries in the order given, with fixed permissions, no extra
fields (a file's access and change times would vary), dated at the commit's
time (1980 outside a git checkout); beside it a SHA256SUMS.txt of the zip and
of every file in it.

Usage: make_zip.py ZIP SOURCE_DIR FILE...
"""

import hashlib
import os
import subprocess
import sys
import time
import zipfile

EARLIEST = 315532800  # 1980-01-01, the earliest time a zip holds


def commit_time(source_dir):
    try:
        result = subprocess.run(["git", "-C", source_dir, "log", "-1", "--format=%ct"],
                                capture_output=True, text=True, check=True)
        return max(int(result.stdout), EARLIEST)
    except (OSError, subprocess.CalledProcessError, ValueError):
        return EARLIEST


def main():
    zip_path, source_dir, *files = sys.argv[1:]
    date_time = time.gmtime(commit_time(source_dir))[:6]
    sums = []
    partial = zip_path + ".partial"
    with zipfile.ZipFile(partial, "w") as archive:
        for path in files:
            with open(path, "rb") as f:
                data = f.read()
            entry = zipfile.ZipInfo(os.path.basename(path), date_time)
            entry.create_system = 3  # Unix, for the permissions below
            entry.external_attr = 0o100644 << 16
            archive.writestr(entry, data, compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)
            sums.append((hashlib.sha256(data).hexdigest(), entry.filename))
    os.replace(partial, zip_path)
    with open(zip_path, "rb") as f:
        sums.insert(0, (hashlib.sha256(f.read()).hexdigest(), os.path.basename(zip_path)))
    with open(os.path.join(os.path.dirname(zip_path), "SHA256SUMS.txt"), "w", newline="\n") as f:
        f.writelines(f"{digest}  {name}\n" for digest, name in sums)


if __name__ == "__main__":
    main()
