#!/usr/bin/env python3
"""A rebuild on a folder whose file system fails reads, as a network share
that drops or a USB stick pulled out does: the folder is a FUSE file system
over a scratch folder that fails every read of units-1-1.dds reaching past
its first 4 KiB with EIO: the header reads, the data do not. The rebuild must say "Couldnt read units-1-1.dds", end
"Zerbolt Aborted!", leave the older units(new).spr as it was and no
temporary file.

Usage: failing_reads.py ZERBOLT            (the Linux program)
       failing_reads.py ZERBOLT.EXE PREFIX (the Windows program under Wine,
                                            on drive C: of the Wine prefix)
Exits 77 (skipped) when FUSE or Debian's python3-fusepy is missing.
"""

import errno
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

try:
    import fusepy as fuse  # Debian's python3-fusepy
except ImportError:
    try:
        import fuse
    except ImportError:
        fuse = None

FAILING_NAME = "units-1-1.dds"
READABLE_BYTES = 4096


def skip(why):
    print(f"skipped: {why}")
    sys.exit(77)


class FailingFolder(fuse.Operations if fuse else object):
    """Passes every call through to `root`, but fails reads of FAILING_NAME
    that reach past READABLE_BYTES."""

    def __init__(self, root):
        self.root = root

    def _path(self, path):
        return os.path.join(self.root, path.lstrip("/"))

    def getattr(self, path, fh=None):
        st = os.lstat(self._path(path))
        return {key: getattr(st, key) for key in
                ("st_atime", "st_ctime", "st_gid", "st_mode", "st_mtime", "st_nlink", "st_size",
                 "st_uid")}

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self._path(path))

    def access(self, path, mode):
        if not os.access(self._path(path), mode):
            raise fuse.FuseOSError(errno.EACCES)

    def open(self, path, flags):
        return os.open(self._path(path), flags)

    def create(self, path, mode, fi=None):
        return os.open(self._path(path), os.O_RDWR | os.O_CREAT, mode)

    def read(self, path, size, offset, fh):
        if os.path.basename(path) == FAILING_NAME and offset + size > READABLE_BYTES:
            raise fuse.FuseOSError(errno.EIO)
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        os.truncate(self._path(path), length)

    def flush(self, path, fh):
        return 0

    def fsync(self, path, datasync, fh):
        return 0

    def release(self, path, fh):
        os.close(fh)
        return 0

    def rename(self, old, new):
        os.rename(self._path(old), self._path(new))

    def unlink(self, path):
        os.unlink(self._path(path))

    def chmod(self, path, mode):
        os.chmod(self._path(path), mode)

    def chown(self, path, uid, gid):
        os.chown(self._path(path), uid, gid)

    def utimens(self, path, times=None):
        os.utime(self._path(path), times)

    def statfs(self, path):
        st = os.statvfs(self._path(path))
        return {key: getattr(st, key) for key in
                ("f_bavail", "f_bfree", "f_blocks", "f_bsize", "f_favail", "f_ffree", "f_files",
                 "f_flag", "f_frsize", "f_namemax")}


def le32(*values):
    return b"".join(struct.pack("<I", v) for v in values)


def sample(folder):
    """One DXT1 image of 128 x 128 (8192 bytes): its index and its image
    file, and an older units(new).spr."""
    index = le32(1, 1) + le32(0x31545844, 1, 1, 128, 128, 8192)
    header = (b"DDS " + le32(124, 0x00081007, 128, 128, 8192) + bytes(52) + le32(32, 0x4)
              + b"DXT1" + bytes(20) + le32(0x1000) + bytes(16))
    assert len(header) == 128
    files = {"units.rep": index, FAILING_NAME: header + bytes(range(256)) * 32,
             "units(new).spr": b"earlier archive"}
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    return files


def serve(root, mountpoint):
    fuse.FUSE(FailingFolder(root), mountpoint, foreground=True, nothreads=True, direct_io=True)


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--serve":
        serve(sys.argv[2], sys.argv[3])
        return 0
    if not os.path.exists("/dev/fuse"):
        skip("/dev/fuse is missing")
    if fuse is None:
        skip("fusepy is missing (Debian: apt-get install python3-fusepy)")
    program = os.path.abspath(sys.argv[1])
    prefix = sys.argv[2] if len(sys.argv) > 2 else None
    backing = tempfile.mkdtemp(prefix="failing-reads-backing-")
    parent = os.path.join(prefix, "drive_c") if prefix else tempfile.gettempdir()
    mountpoint = tempfile.mkdtemp(prefix="failing-reads-", dir=parent)
    files = sample(backing)
    server = subprocess.Popen([sys.executable, __file__, "--serve", backing, mountpoint],
                              stdin=subprocess.DEVNULL, stderr=subprocess.PIPE)
    try:
        for _ in range(100):
            if os.path.ismount(mountpoint) or server.poll() is not None:
                break
            time.sleep(0.1)
        if not os.path.ismount(mountpoint):
            server.kill()
            skip("a FUSE file system cannot be mounted here: "
                 + server.communicate()[1].decode(errors="replace").strip())
        if prefix:
            env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all")
            command = ["wine", program, "C:\\" + os.path.basename(mountpoint) + "\\units.rep"]
        else:
            env = dict(os.environ)
            command = [program, "units.rep"]
        result = subprocess.run(command, cwd=mountpoint, env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, timeout=120)
        output = result.stdout
    finally:
        subprocess.run(["umount", "-l", mountpoint], stderr=subprocess.DEVNULL)
        server.terminate()
        server.wait()
        os.rmdir(mountpoint)
    left = sorted(os.listdir(backing))
    older = open(os.path.join(backing, "units(new).spr"), "rb").read()
    shutil.rmtree(backing)
    expected_end = b" \r\nCouldnt read units-1-1.dds\r\n \r\nZerbolt Aborted!\r\n"
    failures = []
    if result.returncode != 0:
        failures.append(f"exit status {result.returncode}")
    if not output.endswith(expected_end):
        failures.append(f"the report ends otherwise: {output!r}")
    if older != files["units(new).spr"]:
        failures.append(f"the older units(new).spr was replaced: {older[:40]!r}")
    if left != sorted(files):
        failures.append(f"the folder holds {left}")
    for failure in failures:
        print(failure)
    if not failures:
        print("told: " + output.decode(errors="replace").strip().splitlines()[-3])
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
