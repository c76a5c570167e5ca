#!/usr/bin/env python3
"""A rebuild on a folder whose reads fail, as a share that drops does: a FUSE
file system over a scratch folder fails every read of units-1-1.dds past
its first 4 KiB (its data, not its header) with EIO. The rebuild must end
"Couldnt read units-1-1.dds", the reason in the system's words ("Reason:
Input/output error" on Linux), "Zerbolt Aborted!", exit with status 1, and
leave the older units(new).spr as it was and no temporary file.

Usage: failing_reads.py ZERBOLT [WINEPREFIX]  (with a prefix, ZERBOLT is the
.exe, run under Wine on its drive C:). Exits 77 without FUSE or fusepy.
"""

import errno, os, re, shutil, struct, subprocess, sys, tempfile, time

try:
    import fusepy as fuse  # Debian's python3-fusepy
except ImportError:
    fuse = None


class FailingFolder(fuse.Operations if fuse else object):
    def __init__(self, root):
        self.root = root

    def __call__(self, operation, path, *arguments):
        return super().__call__(operation, os.path.join(self.root, path.lstrip("/")), *arguments)

    def getattr(self, path, fh=None):
        st = os.lstat(path)
        return {k: getattr(st, k) for k in ("st_atime", "st_ctime", "st_gid", "st_mode",
                                            "st_mtime", "st_nlink", "st_size", "st_uid")}

    def read(self, path, size, offset, fh):
        if path.endswith("/units-1-1.dds") and offset + size > 4096:
            raise fuse.FuseOSError(errno.EIO)
        return os.pread(fh, size, offset)

    readdir = lambda self, path, fh: [".", ".."] + os.listdir(path)
    open = lambda self, path, flags: os.open(path, flags)
    create = lambda self, path, mode, fi=None: os.open(path, os.O_RDWR | os.O_CREAT, mode)
    write = lambda self, path, data, offset, fh: os.pwrite(fh, data, offset)
    truncate = lambda self, path, length, fh=None: os.truncate(path, length)
    release = lambda self, path, fh: os.close(fh)
    rename = lambda self, old, new: os.rename(old, os.path.join(self.root, new.lstrip("/")))
    unlink = lambda self, path: os.unlink(path)
    chmod = lambda self, path, mode: os.chmod(path, mode)
    utimens = lambda self, path, times=None: os.utime(path, times)


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--serve":
        fuse.FUSE(FailingFolder(sys.argv[2]), sys.argv[3], foreground=True, direct_io=True)
        return 0
    if not os.path.exists("/dev/fuse") or fuse is None:
        print("skipped: FUSE or fusepy is missing (Debian: apt-get install python3-fusepy)")
        return 77
    program, prefix = os.path.abspath(sys.argv[1]), (sys.argv[2:] or [None])[0]
    le32 = lambda *values: b"".join(struct.pack("<I", v) for v in values)
    dds = (b"DDS " + le32(124, 0x00081007, 128, 128, 8192) + bytes(52) + le32(32, 4) + b"DXT1"
           + bytes(20) + le32(0x1000) + bytes(16) + bytes(range(256)) * 32)
    files = {"units.rep": le32(1, 1, 0x31545844, 1, 1, 128, 128, 8192), "units-1-1.dds": dds,
             "units(new).spr": b"earlier archive"}
    backing = tempfile.mkdtemp()
    for name, data in files.items():
        open(os.path.join(backing, name), "wb").write(data)
    mountpoint = tempfile.mkdtemp(dir=os.path.join(prefix, "drive_c") if prefix else None)
    server = subprocess.Popen([sys.executable, __file__, "--serve", backing, mountpoint],
                              stdin=subprocess.DEVNULL, stderr=subprocess.PIPE)
    try:
        for _ in range(100):
            if os.path.ismount(mountpoint) or server.poll() is not None:
                break
            time.sleep(0.1)
        if not os.path.ismount(mountpoint):
            print("skipped: no FUSE file system can be mounted here")
            return 77
        command = [program, "units.rep"]
        if prefix:
            command = ["wine", program, "C:\\" + os.path.basename(mountpoint) + "\\units.rep"]
        env = dict(os.environ, WINEPREFIX=prefix or "", WINEDEBUG="-all")
        result = subprocess.run(command, cwd=mountpoint, env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, timeout=120)
        output = result.stdout
    finally:
        subprocess.run(["umount", "-l", mountpoint], stderr=subprocess.DEVNULL)
        server.kill()
        server.wait()
        os.rmdir(mountpoint)
    left = {name: open(os.path.join(backing, name), "rb").read() for name in os.listdir(backing)}
    shutil.rmtree(backing)
    reason = rb"[^\r\n]+" if prefix else rb"Input/output error"
    told = re.search(rb" \r\nCouldnt read units-1-1\.dds\r\nReason: " + reason +
                     rb"\r\n \r\nZerbolt Aborted!\r\n\Z", output) is not None
    print(output.decode(errors="replace"))
    if left != files:
        print("the folder changed:", {name: data[:20] for name, data in left.items()})
    if result.returncode != 1:
        print("exit status", result.returncode, "after an abort")
    return 0 if told and left == files and result.returncode == 1 else 1


if __name__ == "__main__":
    sys.exit(main())
