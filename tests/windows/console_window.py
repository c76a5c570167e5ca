#!/usr/bin/env python3
"""The pause of the Windows programs in a real console window, with typed keys.

Runs under an X server (xvfb-run): each case starts a program in Wine's own
console window (wineconsole), types keys into that window with xdotool, and
tells from whether the program's process still runs whether it still waits.
On a failure a screenshot of the screen is saved beside the test's log.

    console_window.py CASE EXE_DIR WINE_PREFIX SHOT_DIR

Exits 0 when the case passed, 1 when it failed, 77 when a tool it needs is
missing.
"""

import os
import shutil
import struct
import subprocess
import sys
import time

SETTLE = 1.0  # after the report is complete, before anything is judged
STILL_WAITING = 2.0  # how long a pause with no key must go on
KEY_GAP = 1.0  # between keys, so that each finds its pause waiting
ENDS_WITHIN = 10.0  # how long a run may take to end after its last key

DXT1 = 0x31545844
UNKNOWN = 7


def archive(images):
    """A one-section archive of (type code, data) images, width and height 4."""
    out = struct.pack("<fI", 1.1, 1) + struct.pack("<I", len(images))
    for type_code, data in images:
        out += struct.pack("<6I", type_code, 4, 4, 4, 4, len(data)) + data
    return out


ONE_IMAGE = archive([(DXT1, bytes(range(8)))])
# Three pauses: one for each unknown image, and the closing one.
TWO_UNKNOWN = archive([(UNKNOWN, b"ab"), (DXT1, bytes(8)), (UNKNOWN, b"cd")])


class Failure(Exception):
    pass


class Window:
    """One program run in a console window of its own."""

    def __init__(self, env, exe, argument):
        self.env = env
        self.exe = exe
        self.process = subprocess.Popen(
            ["wineconsole", exe, argument], env=env,
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.id = self._find()

    def _windows(self):
        name = os.path.splitext(os.path.basename(self.exe))[0]
        return subprocess.run(["xdotool", "search", "--name", name],
                              capture_output=True, text=True).stdout.split()

    def _find(self):
        # The launcher may be gone before the program has started, so only a
        # program seen running and then gone counts as a run that ended.
        deadline = time.monotonic() + 30
        seen = False
        while time.monotonic() < deadline:
            found = self._windows()
            if found:
                return found[-1]
            running = self.running()
            if seen and not running:
                raise Failure("the run ended before its window was seen: no pause waited")
            seen = seen or running
            time.sleep(0.2)
        raise Failure("no console window of " + self.exe + " appeared")

    def running(self):
        """True while the program's own process (not the console's) lives."""
        return bool(self._pids())

    def _pids(self):
        pids = []
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
            try:
                with open(f"/proc/{pid}/cmdline", "rb") as f:
                    argv0 = f.read().split(b"\0")[0].decode(errors="replace")
                with open(f"/proc/{pid}/stat") as f:
                    state = f.read().rsplit(")", 1)[1].split()[0]
            except OSError:
                continue
            if argv0 == self.exe and state != "Z":
                pids.append(int(pid))
        return pids

    def key(self, *keys):
        # Not checked: a key that ends the run closes the window, and the
        # release of a key held with it then has no window to go to.
        subprocess.run(["xdotool", "key", "--window", self.id, *keys],
                       stderr=subprocess.DEVNULL, check=False)

    def expect_waiting(self, after, seconds=STILL_WAITING):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if not self.running():
                raise Failure("the run ended " + after + ": no pause waited")
            time.sleep(0.1)

    def expect_ended(self, after):
        deadline = time.monotonic() + ENDS_WITHIN
        while self.running():
            if time.monotonic() > deadline:
                raise Failure("the run still waits " + after)
            time.sleep(0.1)
        # The next window of the same program must not be taken for this one.
        while self._windows() and time.monotonic() < deadline:
            time.sleep(0.1)

    def close(self):
        for pid in self._pids():
            os.kill(pid, 9)
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()


class Case:
    def __init__(self, root, env, exe_dir, name):
        self.dir = os.path.join(root, name)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.windows_dir = "C:\\window-tests\\" + name
        self.env = env
        self.exe_dir = exe_dir
        self.windows = []

    def write(self, name, data):
        with open(os.path.join(self.dir, name), "wb") as f:
            f.write(data)

    def read(self, name):
        with open(os.path.join(self.dir, name), "rb") as f:
            return f.read()

    def open(self, program, name):
        window = Window(self.env, os.path.join(self.exe_dir, program),
                        self.windows_dir + "\\" + name)
        self.windows.append(window)
        return window

    def close(self):
        for window in self.windows:
            window.close()
        shutil.rmtree(self.dir, ignore_errors=True)

    def wait_for_file(self, name):
        deadline = time.monotonic() + 30
        while not os.path.exists(os.path.join(self.dir, name)):
            if time.monotonic() > deadline:
                raise Failure(name + " was never written")
            time.sleep(0.1)
        time.sleep(SETTLE)


def quandrel_waits(case):
    case.write("units.spr", ONE_IMAGE)
    window = case.open("Quandrel.exe", "units.spr")
    # The counter writes no file to tell that its report is complete;
    # a one-image report is, long before the window has settled.
    time.sleep(SETTLE)
    window.expect_waiting("with no key typed")
    window.key("space")
    window.expect_ended("after Space")


def zerbolt_waits(case):
    case.write("units.spr", ONE_IMAGE)
    window = case.open("Zerbolt.exe", "units.spr")
    case.wait_for_file("units-1-1.dds")
    window.expect_waiting("with no key typed")
    window.key("Return")
    window.expect_ended("after Enter")


def modifiers_alone_end_no_pause(case):
    case.write("units.spr", ONE_IMAGE)
    window = case.open("Quandrel.exe", "units.spr")
    time.sleep(SETTLE)
    for modifier in ("Shift_L", "Control_L", "Alt_L", "Shift_R", "Control_R", "Super_L", "Super_R",
                     "Menu"):
        window.key(modifier)
        window.expect_waiting("after " + modifier + " alone", 0.5)
    window.expect_waiting("after the modifiers")
    window.key("a")
    window.expect_ended("after a letter")


def one_key_ends_one_pause(case):
    case.write("units.spr", TWO_UNKNOWN)
    window = case.open("Zerbolt.exe", "units.spr")
    case.wait_for_file("units.rep")
    for number in (1, 2):
        window.key("space")
        time.sleep(KEY_GAP)
        window.expect_waiting(f"after key {number} of 3", 1.0)
    window.key("space")
    window.expect_ended("after the third key")
    if not os.path.exists(os.path.join(case.dir, "units-1-2.dds")):
        raise Failure("the image after the first pause was not written")


def each_key_ends_a_pause(case):
    case.write("units.spr", ONE_IMAGE)
    for key in ("Return", "space", "Escape", "q", "Up", "F1"):
        window = case.open("Quandrel.exe", "units.spr")
        time.sleep(SETTLE)
        window.expect_waiting("before " + key, 0.5)
        window.key(key)
        window.expect_ended("after " + key)


def ctrl_c_ends_a_rebuild(case):
    index = struct.pack("<II6I", 1, 1, DXT1, 4, 4, 4, 4, 8)
    case.write("units.rep", index)
    case.write("units(new).spr", b"an earlier rebuild")
    window = case.open("Zerbolt.exe", "units.rep")  # units-1-1.dds is missing
    time.sleep(SETTLE + 1)
    window.expect_waiting("at the pause after Missing File", 0.5)
    window.key("ctrl+c")
    window.expect_ended("after Ctrl+C")
    left = sorted(os.listdir(case.dir))
    if left != ["units(new).spr", "units.rep"]:
        raise Failure("files left: " + ", ".join(left))
    if case.read("units(new).spr") != b"an earlier rebuild":
        raise Failure("the earlier units(new).spr changed")


CASES = {f.__name__: f for f in (quandrel_waits, zerbolt_waits, modifiers_alone_end_no_pause,
                                 one_key_ends_one_pause, each_key_ends_a_pause,
                                 ctrl_c_ends_a_rebuild)}


def main():
    name, exe_dir, prefix, shot_dir = sys.argv[1:5]
    for tool in ("wineconsole", "xdotool", "import"):
        if shutil.which(tool) is None:
            print(f"skipped: {tool} is not installed")
            return 77
    if not os.environ.get("DISPLAY"):
        print("skipped: no X server (xvfb-run is not installed)")
        return 77
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all")
    case = Case(os.path.join(prefix, "drive_c", "window-tests"), env, exe_dir, name)
    try:
        CASES[name](case)
    except Failure as failure:
        shot = os.path.join(shot_dir, f"wine.window.{name}.png")
        subprocess.run(["import", "-window", "root", shot], check=False)
        print(f"FAILED: {failure} (screenshot: {shot})")
        return 1
    finally:
        case.close()
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
