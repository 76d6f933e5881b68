#!/usr/bin/env python3
"""The setup as a user meets it, in a fresh Wine prefix of its own
($TW_BUILD/setup-test, with its own HOME): an older version installed
silently and upgraded by this one; the installed program used inside a Wine
virtual desktop, where a click in Desktop Background must change what the
screen shows; an uninstall after those clicks; and a setup that finds a
read-only wallpaper in its way. The steps run in order, each on what the one
before left. Windows' own view (shortcuts, pictures, registry) comes from
setup_probe.exe; the screen is read with ImageMagick, the input is xdotool.

Run by ctest with DISPLAY, TW_BUILD and the package's paths (TW_SETUP, TW_ZIP,
TW_PACKAGED_EXE, TW_WALLPAPERS, TW_WALLPAPER_LIST, TW_VERSION, TW_PROBE) set.
"""
import math
import os
import shutil
import signal
import struct
import subprocess
import time
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
TOOLS = os.path.join(SOURCE, "tools")
ROOT = os.path.join(os.environ["TW_BUILD"], "setup-test")
PREFIX = os.path.join(ROOT, "wineprefix")
ENV = dict(os.environ, TW_BUILD=ROOT)
SETUP = os.environ["TW_SETUP"]
PACKAGED_EXE = os.environ["TW_PACKAGED_EXE"]
WALLPAPERS = os.environ["TW_WALLPAPERS"]
VERSION = os.environ["TW_VERSION"]
PROBE = os.environ["TW_PROBE"]
# The 32-bit tree makes the shipped setup; the 64-bit tree a 64-bit one.
SHIPPED = os.environ["TW_ARCH"] == "i686"
SETUP_KIND, ZIP_KIND, NSIS_TARGET = ("setup", "win32", "x86-unicode") if SHIPPED else ("x64-setup", "win64", "amd64-unicode")
SHOTS = os.path.join(os.environ["TW_BUILD"], "screenshots")

WALLPAPER_FOLDER = r"c:\share\Tumblewick\backgrounds\character backgrounds"
DESKTOP = "Tumblewick"
PICTURE = (1920, 1080)
UNINSTALL_VALUES = {"DisplayName", "DisplayVersion", "Publisher", "DisplayIcon", "InstallLocation", "UninstallString",
                    "QuietUninstallString", "EstimatedSize", "NoModify", "NoRepair"}


def unix_path(windows_path):
    """Where a path on the prefix's drive C: lies on this machine."""
    drive, rest = windows_path.split(":", 1)
    assert drive.lower() == "c", windows_path
    return os.path.join(PREFIX, "drive_c", *[part for part in rest.split("\\") if part])


def wine(*args, stderr=subprocess.DEVNULL, timeout=120):
    return subprocess.run([os.path.join(TOOLS, "wine-run"), *args], env=ENV, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=stderr, text=True, timeout=timeout)


class Probe:
    """What setup_probe printed: its tab-separated lines, by first field."""

    def __init__(self, *commands):
        done = wine(PROBE, *commands)
        self.status = done.returncode
        self.lines = [line.split("\t") for line in done.stdout.splitlines() if "\t" in line]

    def all(self, kind):
        return [fields[1:] for fields in self.lines if fields[0] == kind]

    def folder(self, name):
        return dict(self.all("folder"))[name]

    def values(self):
        return {name: (kind, data) for name, kind, data in self.all("value")}

    def links(self):
        return dict(self.all("link"))

    def setting(self, name):
        return dict(self.all("setting"))[name]

    def control(self, name):
        x, y = dict((n, (int(x), int(y))) for n, x, y in self.all("control"))[name]
        return x, y

    def windows(self):
        return [(title, kind, *map(int, rect)) for title, kind, *rect in self.all("window")]


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


def bmp_pixels(data):
    """(width, height, rgb(x, y)) of an uncompressed 8-bit BMP file, checking
    that it is one: bottom-up rows, BI_RGB, a 256-colour table."""
    offset, = struct.unpack_from("<I", data, 10)
    size, width, height, planes, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    colours, = struct.unpack_from("<I", data, 46)
    assert (data[:2], size, planes, bits, compression, colours) == (b"BM", 40, 1, 8, 0, 256), "an 8-bit BI_RGB BMP"
    assert height > 0 and offset == 54 + 256 * 4 and len(data) == offset + width * height
    table = data[54:offset]

    def rgb(x, y):
        index = data[offset + (height - 1 - y) * width + x]
        blue, green, red = table[index * 4:index * 4 + 3]
        return red, green, blue
    return width, height, rgb


def screenshot():
    """The whole X screen: (width, rgb(x, y)); also kept as a PNG."""
    os.makedirs(SHOTS, exist_ok=True)
    ppm = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], capture_output=True, check=True).stdout
    subprocess.run(["convert", "ppm:-", os.path.join(SHOTS, "virtual-desktop.png")], input=ppm, check=True)
    magic, width, height, depth, pixels = ppm.split(maxsplit=4)
    assert (magic, depth) == (b"P6", b"255")
    width = int(width)
    return width, lambda x, y: tuple(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3])


def display_size():
    for line in subprocess.run(["xdpyinfo"], capture_output=True, text=True, check=True).stdout.splitlines():
        if "dimensions:" in line:
            width, height = line.split()[1].split("x")
            return int(width), int(height)
    raise RuntimeError("xdpyinfo gave no dimensions")


def far_points(candidates, blocked, count):
    """`count` points of `candidates`, outside every blocked rectangle and as
    far from each other as they can be."""
    def outside(point):
        x, y = point
        return all(not (left <= x < right and top <= y < bottom) for left, top, right, bottom in blocked)
    free = [point for point in candidates if outside(point)]
    chosen = [free[0]]
    while len(chosen) < count:
        chosen.append(max(free, key=lambda p: min(math.dist(p, c) for c in chosen)))
    return chosen


# Root writes to read-only files all the same, and Wine, asked for the
# attribute, answers by what the process may do: for root the file is made
# immutable too, which holds for root as well.
READ_ONLY_WALLPAPER = WALLPAPER_FOLDER + r"\bigbird.bmp"


def set_writable(windows_path, writable):
    path = unix_path(windows_path)
    if os.geteuid() == 0 and os.path.exists(path):
        subprocess.run(["chattr", "-i" if writable else "+i", path], check=True)


def click(x, y):
    subprocess.run(["xdotool", "mousemove", str(x), str(y)], check=True)
    time.sleep(0.2)
    subprocess.run(["xdotool", "click", "1"], check=True)


def key(name):
    subprocess.run(["xdotool", "key", name], check=True)


def wait_for(condition, seconds=10.0):
    end = time.time() + seconds
    while time.time() < end:
        if condition():
            return True
        time.sleep(0.1)
    return condition()


class SetupTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        subprocess.run([os.path.join(TOOLS, "prefix-stop")], env=ENV, check=True)
        set_writable(READ_ONLY_WALLPAPER, True)
        shutil.rmtree(ROOT, ignore_errors=True)
        os.makedirs(ROOT)
        subprocess.run([os.path.join(TOOLS, "prefix-setup")], env=ENV, check=True)
        cls.catalogue = [name for name, _, _ in Probe("state").all("wallpaper")]
        if len(cls.catalogue) != 24:
            raise RuntimeError("setup_probe.exe did not run in the new prefix")

    @classmethod
    def tearDownClass(cls):
        subprocess.run([os.path.join(TOOLS, "prefix-stop")], env=ENV, check=True)

    def install(self, setup):
        done = wine(setup, "/S", stderr=subprocess.PIPE)
        self.assertEqual(done.returncode, 0, done.stderr)
        return done.stderr

    def expect_installed(self, state, exe, skipped=()):
        """The program, its shortcuts, its wallpapers and its one entry, as
        this setup places them."""
        location = state.folder("LocalAppData") + r"\Programs\Tumblewick"
        program = location + r"\Tumblewick.exe"
        self.assertEqual(state.all("entry"), [["HKCU", "Tumblewick"]], "one entry, the current user's")
        self.assertEqual(read_file(unix_path(program)), exe)
        self.assertEqual(sorted(os.listdir(unix_path(location))), ["Tumblewick.exe", "uninstall.exe"])
        self.assertEqual(state.links(), {state.folder("Programs") + r"\Tumblewick.lnk": program,
                                         state.folder("Desktop") + r"\Tumblewick.lnk": program})
        self.assertEqual(sorted(os.listdir(unix_path(WALLPAPER_FOLDER))), sorted(self.catalogue))
        sizes_kib = math.ceil(len(exe) / 1024)
        for name, width, height in state.all("wallpaper"):
            built = read_file(os.path.join(WALLPAPERS, name))
            sizes_kib += math.ceil(len(built) / 1024)
            if name not in skipped:
                self.assertEqual(read_file(unix_path(WALLPAPER_FOLDER + "\\" + name)), built, name)
                self.assertEqual((int(width), int(height)), PICTURE, name + " loads as a bitmap")
        self.assertEqual(state.values(), {
            "DisplayName": ("REG_SZ", "Tumblewick"),
            "DisplayVersion": ("REG_SZ", VERSION),
            "Publisher": ("REG_SZ", "Tumblewick"),
            "DisplayIcon": ("REG_SZ", program),
            "InstallLocation": ("REG_SZ", location),
            "UninstallString": ("REG_SZ", '"%s\\uninstall.exe"' % location),
            "QuietUninstallString": ("REG_SZ", '"%s\\uninstall.exe" /S' % location),
            "EstimatedSize": ("REG_DWORD", str(sizes_kib)),
            "NoModify": ("REG_DWORD", "1"),
            "NoRepair": ("REG_DWORD", "1"),
        })

    def expect_uninstalled(self, state, kept_wallpapers=()):
        location = state.folder("LocalAppData") + r"\Programs\Tumblewick"
        self.assertEqual(state.status, 0, "the uninstall ran to its end")
        self.assertEqual((state.all("entry"), state.values()), ([], {}))
        self.assertFalse(os.path.exists(unix_path(location)))
        self.assertEqual(set(state.links().values()), {"<missing>"})
        if kept_wallpapers:
            self.assertEqual(sorted(os.listdir(unix_path(WALLPAPER_FOLDER))), sorted(kept_wallpapers))
        else:
            self.assertFalse(os.path.exists(unix_path(r"c:\share")), "the emptied wallpaper folders go")

    def test_0_the_package(self):
        setup = read_file(SETUP)
        self.assertLessEqual(len(setup), 15 * 1024 * 1024)
        self.assertEqual(os.path.basename(SETUP), "Tumblewick-%s-%s.exe" % (VERSION, SETUP_KIND))
        wallpapers = [read_file(os.path.join(WALLPAPERS, name)) for name in os.listdir(WALLPAPERS)]
        self.assertEqual(len(wallpapers), 24)
        for data in wallpapers:
            self.assertEqual(bmp_pixels(data)[:2], PICTURE)
        self.assertLessEqual(sum(map(len, wallpapers)), 60 * 1000 * 1000)
        with zipfile.ZipFile(os.environ["TW_ZIP"]) as portable:
            self.assertEqual(sorted(portable.namelist()), ["Tumblewick/README.txt", "Tumblewick/Tumblewick.exe"])
            self.assertEqual(portable.read("Tumblewick/Tumblewick.exe"), read_file(PACKAGED_EXE))
            readme = portable.read("Tumblewick/README.txt").decode("ascii")
        self.assertIn("wallpaper pictures come with the setup only", readme)
        self.assertIn("Tumblewick-%s-setup.exe" % VERSION, readme)
        self.assertEqual(os.path.basename(os.environ["TW_ZIP"]), "Tumblewick-%s-%s.zip" % (VERSION, ZIP_KIND))

    def test_1_an_upgrade_over_an_older_copy(self):
        # The older copy: the same setup script with an older version and a
        # different program file.
        older_exe = os.path.join(ROOT, "older", "Tumblewick.exe")
        os.makedirs(os.path.dirname(older_exe))
        older = read_file(PACKAGED_EXE) + b"older copy"
        with open(older_exe, "wb") as f:
            f.write(older)
        older_setup = os.path.join(ROOT, "older", "setup.exe")
        subprocess.run(["makensis", "-V1", "-XTarget " + NSIS_TARGET, "-DVERSION=0.9.0", "-DEXE=" + older_exe, "-DWALLPAPERS=" + WALLPAPERS,
                        "-DWALLPAPER_LIST=" + os.environ["TW_WALLPAPER_LIST"],
                        "-DICON=" + os.path.join(SOURCE, "assets", "tumblewick.ico"), "-DOUTFILE=" + older_setup,
                        os.path.join(TOOLS, "setup.nsi")], check=True)
        self.install(older_setup)
        self.assertEqual(Probe("state").values()["DisplayVersion"], ("REG_SZ", "0.9.0"))

        self.install(SETUP)
        self.expect_installed(Probe("state"), read_file(PACKAGED_EXE))

    def test_2_a_click_changes_the_desktop_a_person_sees(self):
        width, height = display_size()
        state = Probe("state")
        program = state.folder("LocalAppData") + r"\Programs\Tumblewick\Tumblewick.exe"
        desktop = subprocess.Popen([os.path.join(TOOLS, "wine-run"), "explorer",
                                    "/desktop=%s,%dx%d" % (DESKTOP, width, height), program],
                                   env=ENV, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            self.use_the_program(width, height, state)
            self.assertEqual(desktop.wait(30), 0, "the desktop closes with the program's last window")
        finally:
            if desktop.poll() is None:
                os.killpg(desktop.pid, signal.SIGKILL)
                desktop.wait()

    def find(self, title, *controls):
        found = Probe("desktop", DESKTOP, "find", title, ",".join(controls))
        self.assertEqual(found.status, 0, "%s with %s" % (title or "the splash", controls))
        return found

    def use_the_program(self, width, height, state):
        click(*self.find("", "btnOK").control("btnOK"))
        # Shortcuts and a home page, for the uninstall to keep.
        for keys, title, character in (("alt+s", "Desktop Shortcuts", "btnBarney"),
                                       ("alt+m", "Start Menu", "btnElmosWorld"),
                                       ("alt+p", "Home Page", "btnDrSeuss")):
            key(keys)
            window = self.find(title, character, "btnCancel")
            click(*window.control(character))
            time.sleep(0.5)
            click(*window.control("btnCancel"))
            time.sleep(0.5)
        for folder, name in (("Desktop", "Barney.url"), ("StartMenu", "Elmo's World.url")):
            path = unix_path(state.folder(folder) + "\\" + name)
            self.assertTrue(wait_for(lambda: os.path.exists(path)), path)

        key("alt+b")
        window = self.find("Desktop Background", "btnPinkyPinkyDoo", "btnCancel")
        click(*window.control("btnPinkyPinkyDoo"))
        time.sleep(1.5)
        screen_width, screen = screenshot()
        self.assertEqual(screen_width, width)

        # Wine puts the picture in the middle of the desktop, or at its
        # top-left corner where the desktop is the smaller.
        left, top = max(0, (width - PICTURE[0]) // 2), max(0, (height - PICTURE[1]) // 2)
        _, _, wallpaper = bmp_pixels(read_file(os.path.join(WALLPAPERS, "pinkydinkydoo.bmp")))
        # Away from the windows and the task bar, and from the desktop's
        # icons for the files on the user's desktop, at its top-left corner.
        blocked = [(l - 10, t - 10, r + 10, b + 10) for _, _, l, t, r, b in window.windows()] + [(0, 0, 200, 400)]
        candidates = [(x, y) for y in range(top, min(height, top + PICTURE[1]), 20)
                      for x in range(left, min(width, left + PICTURE[0]), 20)]
        points = far_points(candidates, blocked, 5)
        self.assertEqual([screen(x, y) for x, y in points], [wallpaper(x - left, y - top) for x, y in points],
                         "the desktop shows the wallpaper at %s" % points)

        click(*window.control("btnCancel"))
        time.sleep(0.5)
        key("ctrl+F4")

    def test_3_uninstall_keeps_what_the_clicks_made(self):
        state = Probe("uninstall", "state")
        self.expect_uninstalled(state)
        self.assertEqual(read_file(unix_path(state.folder("Desktop") + r"\Barney.url")),
                         b"[InternetShortcut]\r\nURL=http://www.barney.com/usa/index.html\r\n")
        self.assertEqual(read_file(unix_path(state.folder("StartMenu") + r"\Elmo's World.url")),
                         b"[InternetShortcut]\r\nURL=http://www.sesameworkshop.org/sesamestreet/elmosworld/\r\n")
        self.assertEqual(state.setting("Start Page"),
                         "http://www.seussville.com/main.php?section=home&isbn=&catalogID=&eventID=")
        self.assertEqual(state.setting("Wallpaper"), WALLPAPER_FOLDER + r"\pinkydinkydoo.bmp")

    def test_4_a_read_only_wallpaper_is_reported_and_skipped(self):
        taken = READ_ONLY_WALLPAPER
        self.assertEqual(Probe("readonly", taken).status, 0)
        set_writable(taken, False)
        try:
            report = self.install(SETUP)
            self.assertIn("Tumblewick setup: could not write %s: skipped" % taken, report)
            self.expect_installed(Probe("state"), read_file(PACKAGED_EXE), skipped=("bigbird.bmp",))
            self.assertEqual(read_file(unix_path(taken)), b"the user's own file")

            # Not placed by setup, so not taken away by its uninstaller.
            self.expect_uninstalled(Probe("uninstall", "state"), kept_wallpapers=["bigbird.bmp"])
            self.assertEqual(read_file(unix_path(taken)), b"the user's own file")
        finally:
            set_writable(taken, True)


if __name__ == "__main__":
    unittest.main(verbosity=2, failfast=True)
