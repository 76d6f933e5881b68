#!/usr/bin/env python3
"""The setup as a user meets it, in a fresh Wine prefix of its own
($TW_BUILD/setup-test, with its own HOME): an older version installed
silently and upgraded by this one; the installed program used inside a Wine
virtual desktop, where a click in Desktop Background must change what the
screen shows; an uninstall after those clicks; then the setup and its
uninstaller under hostile conditions (a running program, a folder that
refuses writes, full drives, links, a parent's own files, two at once), each
of which must end in a whole install or in the machine as it was, with the
exit code the README lists. The steps run in order, each on what the one
before left. Windows' own view (shortcuts, pictures, registry) comes from
setup_probe.exe; the screen is read with ImageMagick, the input is xdotool.

Run by ctest with DISPLAY, TW_BUILD and the package's paths (TW_SETUP, TW_ZIP,
TW_PACKAGED_EXE, TW_WALLPAPERS, TW_WALLPAPER_LIST, TW_VERSION, TW_PROBE) set.
"""
import hashlib
import math
import os
import shutil
import signal
import struct
import subprocess
import time
import unittest
import zipfile
import zlib

import harness

harness.use("setup-test")
from harness import ENV, PREFIX, ROOT, SOURCE, TOOLS, Probe, click, read_file, unix_path, wine  # noqa: E402

SETUP = os.environ["TW_SETUP"]
PACKAGED_EXE = os.environ["TW_PACKAGED_EXE"]
WALLPAPERS = os.environ["TW_WALLPAPERS"]
VERSION = os.environ["TW_VERSION"]
# The 32-bit tree makes the shipped setup; the 64-bit tree a 64-bit one.
SHIPPED = os.environ["TW_ARCH"] == "i686"
SETUP_KIND, ZIP_KIND, NSIS_TARGET = ("setup", "win32", "x86-unicode") if SHIPPED else ("x64-setup", "win64", "amd64-unicode")
SHOTS = os.path.join(os.environ["TW_BUILD"], "screenshots")

WEBSITE = "http://www.tumblewick.com"
WALLPAPER_FOLDER = r"c:\share\Tumblewick\backgrounds\character backgrounds"
DESKTOP = "Tumblewick"
PICTURE = (1920, 1080)
# Exit codes, as setup/setup.nsi and the README give them.
EXIT_RUNNING, EXIT_BUSY, EXIT_NEWER, EXIT_FOLDER, EXIT_SPACE, EXIT_WRITE, EXIT_LINK = 3, 4, 5, 6, 7, 8, 9
# Another account's record, named by its SID.
ANOTHER_RECORD = "installed for S-1-5-21-1-2-3-1001.ini"
UNINSTALL_VALUES = {"DisplayName", "DisplayVersion", "Publisher", "DisplayIcon", "InstallLocation", "UninstallString",
                    "QuietUninstallString", "EstimatedSize", "NoModify", "NoRepair"}


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


def mount_tmpfs(path, size):
    os.makedirs(path, exist_ok=True)
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=" + size, "tmpfs", path], check=True)


def umount(path):
    # Wine's own processes may still hold files there: they go first.
    subprocess.run([os.path.join(TOOLS, "prefix-stop")], env=ENV, check=True)
    subprocess.run(["umount", path], check=True)


def can_mount():
    probe = os.path.join(ROOT, "mount-probe")
    try:
        mount_tmpfs(probe, "64k")
    except (subprocess.CalledProcessError, OSError):
        return False
    umount(probe)
    os.rmdir(probe)
    return True


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
        # What a run that was stopped may have left mounted.
        with open("/proc/mounts") as mounts:
            for mount_point in [line.split()[1].replace("\\040", " ") for line in mounts]:
                if mount_point.startswith(ROOT + "/"):
                    subprocess.run(["umount", "-l", mount_point], check=False)
        shutil.rmtree(ROOT, ignore_errors=True)
        os.makedirs(ROOT)
        subprocess.run([os.path.join(TOOLS, "prefix-setup")], env=ENV, check=True)
        cls.catalogue = [name for name, _, _ in Probe("state").all("wallpaper")]
        if len(cls.catalogue) != 24:
            raise RuntimeError("setup_probe.exe did not run in the new prefix")

    @classmethod
    def tearDownClass(cls):
        subprocess.run([os.path.join(TOOLS, "prefix-stop")], env=ENV, check=True)

    def install(self, setup, *switches, status=0):
        done = wine(setup, "/S", *switches, stderr=subprocess.PIPE)
        self.assertEqual(done.returncode, status, done.stderr)
        return done.stderr

    def uninstall(self, status=0):
        """Runs the installed uninstaller silently as a script would to learn
        its exit code: a copy of it, told where the install is."""
        location = Probe("state").values()["InstallLocation"][1]
        copy = os.path.join(ROOT, "uninstall-copy.exe")
        shutil.copyfile(unix_path(location + r"\uninstall.exe"), copy)
        done = wine(copy, "/S", "_?=" + location, stderr=subprocess.PIPE)
        os.remove(copy)
        self.assertEqual(done.returncode, status, done.stderr)
        return done.stderr

    def snapshot(self):
        """Every file setup may touch, with a digest of its bytes, and the
        entry."""
        state = Probe("state")
        files = {}
        for folder in (unix_path(state.folder("LocalAppData") + r"\Programs"), unix_path(r"c:\share"),
                       unix_path(state.folder("Programs")), unix_path(state.folder("Desktop"))):
            for top, _, names in os.walk(folder):
                for name in names:
                    files[os.path.join(top, name)] = hashlib.sha256(read_file(os.path.join(top, name))).hexdigest()
        return files, state.values(), state.all("entry")

    def expect_installed(self, state, exe, skipped=(), version=VERSION, desktop=True, others=()):
        """The program, its shortcuts, its wallpapers, its record among the
        wallpapers and its one entry, as this setup places them."""
        location = state.folder("LocalAppData") + r"\Programs\Tumblewick"
        program = location + r"\Tumblewick.exe"
        self.assertEqual(state.all("entry"), [["HKCU", "Tumblewick"]], "one entry, the current user's")
        self.assertEqual(read_file(unix_path(program)), exe)
        self.assertEqual(sorted(os.listdir(unix_path(location))), ["Tumblewick.exe", "uninstall.exe"])
        self.assertEqual(state.links(), {state.folder("Programs") + r"\Tumblewick.lnk": program,
                                         state.folder("Desktop") + r"\Tumblewick.lnk": program if desktop else "<missing>"})
        markers = sorted(name for name in os.listdir(unix_path(WALLPAPER_FOLDER)) if name.startswith("installed for "))
        self.assertEqual(len(markers), 1 + len(others), markers)
        self.assertEqual(sorted(os.listdir(unix_path(WALLPAPER_FOLDER))), sorted(self.catalogue + markers))
        sizes_kib = math.ceil(len(exe) / 1024)
        for name, width, height in state.all("wallpaper"):
            built = read_file(os.path.join(WALLPAPERS, name))
            sizes_kib += math.ceil(len(built) / 1024)
            if name not in skipped:
                self.assertEqual(read_file(unix_path(WALLPAPER_FOLDER + "\\" + name)), built, name)
                self.assertEqual((int(width), int(height)), PICTURE, name + " loads as a bitmap")
        self.assertEqual(state.values(), {
            "DisplayName": ("REG_SZ", "Tumblewick"),
            "DisplayVersion": ("REG_SZ", version),
            "Publisher": ("REG_SZ", "Tumblewick"),
            "DisplayIcon": ("REG_SZ", program),
            "InstallLocation": ("REG_SZ", location),
            "UninstallString": ("REG_SZ", '"%s\\uninstall.exe"' % location),
            "QuietUninstallString": ("REG_SZ", '"%s\\uninstall.exe" /S' % location),
            "EstimatedSize": ("REG_DWORD", str(sizes_kib)),
            "NoModify": ("REG_DWORD", "1"),
            "NoRepair": ("REG_DWORD", "1"),
        })

    def expect_uninstalled(self, state, kept_wallpapers=(), share_kept=False):
        """Nothing of an install: no program, shortcut or entry, and no
        wallpaper folders but for files that were not setup's."""
        location = state.folder("LocalAppData") + r"\Programs\Tumblewick"
        self.assertEqual(state.status, 0, "the uninstall ran to its end")
        self.assertEqual((state.all("entry"), state.values()), ([], {}))
        self.assertFalse(os.path.exists(unix_path(location)))
        self.assertEqual(set(state.links().values()), {"<missing>"})
        if kept_wallpapers:
            self.assertEqual(sorted(os.listdir(unix_path(WALLPAPER_FOLDER))), sorted(kept_wallpapers))
        elif share_kept:
            self.assertEqual(os.listdir(unix_path(r"c:\share")), [], "a c:\\share that setup did not make stays")
        else:
            self.assertFalse(os.path.exists(unix_path(r"c:\share")), "the emptied wallpaper folders go")

    def test_00_the_package(self):
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
        self.assertIn("Tumblewick-%s-%s.exe" % (VERSION, SETUP_KIND), readme)
        self.assertEqual(os.path.basename(os.environ["TW_ZIP"]), "Tumblewick-%s-%s.zip" % (VERSION, ZIP_KIND))

    def test_01_an_upgrade_over_an_older_copy(self):
        # The older copy: the same setup script with an older version and a
        # different program file.
        older_exe = os.path.join(ROOT, "older", "Tumblewick.exe")
        os.makedirs(os.path.dirname(older_exe))
        older = read_file(PACKAGED_EXE) + b"older copy"
        with open(older_exe, "wb") as f:
            f.write(older)
        older_setup = self.__class__.older_setup = os.path.join(ROOT, "older", "setup.exe")
        self.__class__.older_exe = older
        subprocess.run(["makensis", "-V1", "-XTarget " + NSIS_TARGET, "-DVERSION=0.9.0", "-DEXE=" + older_exe, "-DWALLPAPERS=" + WALLPAPERS,
                        "-DWALLPAPER_LIST=" + os.environ["TW_WALLPAPER_LIST"],
                        "-DICON=" + os.path.join(SOURCE, "assets", "tumblewick.ico"), "-DOUTFILE=" + older_setup,
                        "-DPUBLISHER=Tumblewick", "-DWEBSITE=" + WEBSITE, "-DSIGN=" + os.path.join(TOOLS, "sign"),
                        "-DPLUGINS=" + os.environ["TW_PLUGINS"], os.path.join(SOURCE, "setup", "setup.nsi")], check=True)
        self.install(older_setup)
        self.expect_installed(Probe("state"), older, version="0.9.0")

        self.install(SETUP)
        self.expect_installed(Probe("state"), read_file(PACKAGED_EXE))

        # Never back: the older setup over this one changes nothing.
        before = self.snapshot()
        report = self.install(older_setup, status=EXIT_NEWER)
        self.assertIn("Tumblewick %s is installed, which is newer than this setup (0.9.0). Nothing was changed." % VERSION,
                      report)
        self.assertEqual(self.snapshot(), before)

    def test_02_a_click_changes_the_desktop_a_person_sees(self):
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
        self.assertEqual(found.status, 0, "%s with %s; shown: %s" % (title or "the splash", controls, found.windows()))
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
        for folder, name in (("Desktop", "Barney.url"), ("Programs", "Elmo's World.url")):
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

    def test_03_uninstall_keeps_what_the_clicks_made(self):
        state = Probe("uninstall", "state")
        self.expect_uninstalled(state)
        self.assertEqual(read_file(unix_path(state.folder("Desktop") + r"\Barney.url")),
                         b"[InternetShortcut]\r\nURL=http://www.barney.com/usa/index.html\r\n")
        self.assertEqual(read_file(unix_path(state.folder("Programs") + r"\Elmo's World.url")),
                         b"[InternetShortcut]\r\nURL=http://www.sesameworkshop.org/sesamestreet/elmosworld/\r\n")
        self.assertEqual(state.setting("Start Page"),
                         "http://www.seussville.com/main.php?section=home&isbn=&catalogID=&eventID=")
        self.assertEqual(state.setting("Wallpaper"), WALLPAPER_FOLDER + r"\pinkydinkydoo.bmp")

    def test_04_a_parents_own_wallpaper_files_are_kept_and_reported(self):
        # A read-only one, and a picture of the parent's own under a
        # wallpaper's name.
        taken = READ_ONLY_WALLPAPER
        own = WALLPAPER_FOLDER + r"\barney.bmp"
        self.assertEqual(Probe("readonly", taken).status, 0)
        with open(unix_path(own), "wb") as f:
            f.write(b"a parent's picture")
        set_writable(taken, False)
        try:
            report = self.install(SETUP, "/NODESKTOP")
            for path in (taken, own):
                self.assertIn("Tumblewick setup: Kept %s: a file of that name that Tumblewick's setup did not place"
                              % path, report)
            self.expect_installed(Probe("state"), read_file(PACKAGED_EXE), skipped=("bigbird.bmp", "barney.bmp"),
                                  desktop=False)
            self.assertEqual(read_file(unix_path(taken)), b"the user's own file")

            # Not placed by setup, so not taken away by its uninstaller.
            self.uninstall()
            self.expect_uninstalled(Probe("state"), kept_wallpapers=["bigbird.bmp", "barney.bmp"])
            self.assertEqual(read_file(unix_path(taken)), b"the user's own file")
            self.assertEqual(read_file(unix_path(own)), b"a parent's picture")
        finally:
            set_writable(taken, True)
        shutil.rmtree(unix_path(r"c:\share"))

    def test_05_nothing_is_replaced_or_removed_while_the_program_runs(self):
        self.install(self.older_setup)
        program = Probe("state").folder("LocalAppData") + r"\Programs\Tumblewick\Tumblewick.exe"
        running = subprocess.Popen([os.path.join(TOOLS, "wine-run"), program], env=ENV, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            self.assertEqual(Probe("running").status, 0)
            before = self.snapshot()
            for run in (lambda: self.install(SETUP, status=EXIT_RUNNING), lambda: self.uninstall(EXIT_RUNNING)):
                self.assertIn("Tumblewick is running. Close it, then run this again. Nothing was changed.", run())
                self.assertEqual(self.snapshot(), before)
                self.assertIsNone(running.poll(), "the program still runs")
        finally:
            os.killpg(running.pid, signal.SIGKILL)
            running.wait()
        self.install(SETUP)
        self.expect_installed(Probe("state"), read_file(PACKAGED_EXE))
        self.uninstall()
        self.expect_uninstalled(Probe("state"))

    def test_06_a_folder_that_cannot_be_used_changes_nothing(self):
        before = self.snapshot()
        # One that refuses writes; a file in the way; a path too long.
        refusing = os.path.join(ROOT, "refusing")
        os.makedirs(refusing)
        subprocess.run(["chattr", "+i", refusing], check=True)
        try:
            report = self.install(SETUP, "/D=Z:" + refusing.replace("/", "\\"), status=EXIT_WRITE)
        finally:
            subprocess.run(["chattr", "-i", refusing], check=True)
        self.assertIn("Could not write Z:%s\\Tumblewick.exe. Nothing was changed." % refusing.replace("/", "\\"), report)
        self.assertEqual(os.listdir(refusing), [])
        self.assertEqual(self.snapshot(), before)
        with open(unix_path(r"c:\afile"), "wb") as f:
            f.write(b"in the way")
        self.assertIn('Cannot install into "c:\\afile\\Tumblewick"',
                      self.install(SETUP, r"/D=c:\afile\Tumblewick", status=EXIT_FOLDER))
        self.install(SETUP, "/D=c:\\" + "long-folder-name-" * 15, status=EXIT_FOLDER)
        # Quoted, NSIS would not see it and would take its default instead.
        self.install(SETUP, "/D=c:\\a folder", status=EXIT_FOLDER)
        os.remove(unix_path(r"c:\afile"))
        self.assertEqual(self.snapshot(), before)

    def test_07_full_drives_change_nothing(self):
        if not can_mount():
            self.skipTest("this host cannot mount a small file system")
        small = os.path.join(ROOT, "small drive")
        drive_d = os.path.join(PREFIX, "dosdevices", "d:")
        mount_tmpfs(small, "3m")
        os.symlink(small, drive_d)
        try:
            # Room for neither program: nothing written at all.
            with open(os.path.join(small, "ballast"), "wb") as f:
                f.write(b"\0" * (2 * 1024 * 1024))
            before = self.snapshot()
            report = self.install(SETUP, r"/D=D:\Tumblewick", status=EXIT_SPACE)
            self.assertIn("Not enough free space on D:\\", report)
            self.assertEqual((self.snapshot(), os.listdir(small)), (before, ["ballast"]))

            # Room for one program, not for the new one beside it: the older
            # install stays whole.
            os.remove(os.path.join(small, "ballast"))
            self.install(self.older_setup, r"/D=D:\Tumblewick")
            before = self.snapshot()
            self.install(SETUP, status=EXIT_SPACE)
            self.assertEqual(self.snapshot(), before)
            self.assertEqual(read_file(os.path.join(small, "Tumblewick", "Tumblewick.exe")), self.older_exe)
            self.uninstall()
            self.assertEqual(os.listdir(small), [])
            self.expect_uninstalled(Probe("state"))

            # The wallpapers' drive with 20 MB free: a folder mounted under
            # c:\ counts as a link, so drive C: itself moves to a small file
            # system for this.
            drive_c = os.path.join(PREFIX, "drive_c")
            small_c = os.path.join(ROOT, "small c")
            used_kib = int(subprocess.run(["du", "-sk", drive_c], capture_output=True, text=True, check=True)
                           .stdout.split()[0])
            mount_tmpfs(small_c, "%dk" % (used_kib + 20 * 1024))
            link_c = os.path.join(PREFIX, "dosdevices", "c:")
            try:
                subprocess.run(["cp", "-a", drive_c + "/.", small_c], check=True)
                os.remove(link_c)
                os.symlink(small_c, link_c)
                before = self.snapshot()
                report = self.install(SETUP, r"/D=D:\Tumblewick", status=EXIT_SPACE)
                self.assertIn("Not enough free space on C:\\ for the wallpapers in %s" % WALLPAPER_FOLDER, report)
                self.assertEqual((self.snapshot(), os.listdir(small)), (before, []))
            finally:
                if os.path.islink(link_c):
                    os.remove(link_c)
                os.symlink("../drive_c", link_c)
                umount(small_c)
        finally:
            os.remove(drive_d)
            umount(small)

    def test_08_no_wallpaper_is_written_or_removed_through_a_link(self):
        # A parent's folder holding a picture with a wallpaper's very bytes.
        parents = os.path.join(ROOT, "parent's pictures")
        os.makedirs(parents)
        picture = read_file(os.path.join(WALLPAPERS, "barney.bmp"))
        with open(os.path.join(parents, "barney.bmp"), "wb") as f:
            f.write(picture)
        link = unix_path(WALLPAPER_FOLDER)
        os.makedirs(os.path.dirname(link))
        os.symlink(parents, link)
        before = self.snapshot()
        self.assertIn('"%s" is a link or a file, not a plain folder' % WALLPAPER_FOLDER,
                      self.install(SETUP, status=EXIT_LINK))
        self.assertEqual(self.snapshot(), before)
        self.assertEqual(os.listdir(parents), ["barney.bmp"])

        # Installed, then the folder swapped for the link: uninstall leaves
        # the link and all behind it alone.
        os.remove(link)
        self.install(SETUP)
        placed = os.path.join(ROOT, "placed wallpapers")
        os.rename(link, placed)
        os.symlink(parents, link)
        self.uninstall()
        self.assertEqual((os.listdir(parents), read_file(os.path.join(parents, "barney.bmp"))), (["barney.bmp"], picture))
        os.remove(link)
        shutil.rmtree(placed)
        shutil.rmtree(unix_path(r"c:\share"))
        self.expect_uninstalled(Probe("state"))

    def test_09_two_at_once_end_whole(self):
        # A setup started while another runs, or while the uninstaller runs,
        # waits for its turn: the end state is whole either way.
        runs = [subprocess.Popen([os.path.join(TOOLS, "wine-run"), SETUP, "/S"], env=ENV, stdin=subprocess.DEVNULL,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) for _ in range(2)]
        self.assertEqual([run.wait(120) for run in runs], [0, 0])
        self.expect_installed(Probe("state"), read_file(PACKAGED_EXE))

        location = Probe("state").folder("LocalAppData") + r"\Programs\Tumblewick"
        copy = os.path.join(ROOT, "uninstall-copy.exe")
        shutil.copyfile(unix_path(location + r"\uninstall.exe"), copy)
        uninstalling = subprocess.Popen([os.path.join(TOOLS, "wine-run"), copy, "/S", "_?=" + location], env=ENV,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(0.3)
        self.install(SETUP)
        self.assertEqual(uninstalling.wait(120), 0)
        state = Probe("state")
        if state.all("entry"):
            self.expect_installed(state, read_file(PACKAGED_EXE))
            self.uninstall()
            state = Probe("state")
        self.expect_uninstalled(state)

    def test_11_a_signed_package_verifies(self):
        # A throwaway code-signing certificate, its own authority.
        signing = os.path.join(ROOT, "signing")
        os.makedirs(signing)
        key, cert, pfx = (os.path.join(signing, name) for name in ("key.pem", "cert.pem", "cert.pfx"))
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-keyout", key,
                        "-out", cert, "-subj", "/CN=Tumblewick test signing", "-addext", "extendedKeyUsage=codeSigning",
                        "-addext", "basicConstraints=critical,CA:TRUE"], check=True, capture_output=True)
        subprocess.run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", pfx,
                        "-passout", "pass:a test password"], check=True)
        tree = os.path.join(signing, "build")
        env = dict(os.environ, TUMBLEWICK_SIGN_PFX=pfx, TUMBLEWICK_SIGN_PASSWORD="a test password")
        configured = subprocess.run(["cmake", "-S", SOURCE, "-B", tree, "-DBUILD_TESTING=OFF", "-DCMAKE_BUILD_TYPE=Release",
                                     "-DCMAKE_TOOLCHAIN_FILE=%s/cmake/mingw-%s.cmake" % (SOURCE, os.environ["TW_ARCH"])],
                                    env=env, check=True, capture_output=True, text=True).stdout
        self.assertIn("Signing the package with " + pfx, configured)
        subprocess.run(["cmake", "--build", tree, "-j2", "--target", "setup"], env=env, check=True, capture_output=True)

        def verify(path):
            return subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", path],
                                  capture_output=True, text=True).returncode
        setup = os.path.join(tree, os.path.basename(SETUP))
        with zipfile.ZipFile(os.path.join(tree, os.path.basename(os.environ["TW_ZIP"]))) as portable:
            zipped = os.path.join(signing, "zipped.exe")
            with open(zipped, "wb") as f:
                f.write(portable.read("Tumblewick/Tumblewick.exe"))
        self.install(setup)
        location = Probe("state").values()["InstallLocation"][1]
        uninstaller = os.path.join(signing, "uninstall.exe")
        shutil.copyfile(unix_path(location + r"\uninstall.exe"), uninstaller)
        self.uninstall()
        signed = [os.path.join(tree, "package", "Tumblewick.exe"), setup, uninstaller, zipped]
        self.assertEqual([verify(path) for path in signed], [0] * 4)

        flipped = os.path.join(signing, "flipped.exe")
        data = bytearray(read_file(signed[0]))
        data[len(data) // 2] ^= 0x01
        with open(flipped, "wb") as f:
            f.write(data)
        self.assertNotEqual(verify(flipped), 0)
        shutil.rmtree(signing)

    def test_10_the_wallpapers_go_with_the_last_install(self):
        # A c:\share of someone else's, and another account's install
        # recorded beside this one's.
        os.makedirs(unix_path(r"c:\share"))
        self.install(SETUP)
        folder = unix_path(WALLPAPER_FOLDER)
        mine, = [name for name in os.listdir(folder) if name.startswith("installed for ")]
        shutil.copyfile(os.path.join(folder, mine), os.path.join(folder, ANOTHER_RECORD))
        self.expect_installed(Probe("state"), read_file(PACKAGED_EXE), others=[ANOTHER_RECORD])
        self.uninstall()
        self.assertEqual(sorted(os.listdir(folder)), sorted(self.catalogue + [ANOTHER_RECORD]))

        # That account's uninstall, as the last: its record goes, and with it
        # the wallpapers and the folders setup made.
        self.install(SETUP)
        os.remove(os.path.join(folder, ANOTHER_RECORD))
        self.uninstall()
        self.expect_uninstalled(Probe("state"), share_kept=True)
        os.rmdir(unix_path(r"c:\share"))

    def test_12_a_link_swapped_in_and_out_meanwhile_reaches_nothing_behind_it(self):
        # Another account's program swaps the wallpaper folder for a link to
        # a parent's pictures and back, every 40 ms, all through an install
        # and an uninstall.
        parents = os.path.join(ROOT, "a parent's folder")
        os.makedirs(parents)
        for name in ("barney.bmp", "elmo.bmp"):
            shutil.copyfile(os.path.join(WALLPAPERS, name), os.path.join(parents, name))
        before = {name: read_file(os.path.join(parents, name)) for name in os.listdir(parents)}
        os.makedirs(unix_path(WALLPAPER_FOLDER))
        swapper = subprocess.Popen([os.path.join(TOOLS, "wine-run"), os.environ["TW_PROBE"], "swap", WALLPAPER_FOLDER,
                                    "Z:" + parents.replace("/", "\\")], env=ENV, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        try:
            time.sleep(2)
            status = wine(SETUP, "/S").returncode
            self.assertIn(status, (0, EXIT_LINK))
            if status == 0:
                self.uninstall()
        finally:
            with open(os.path.join(os.path.dirname(unix_path(WALLPAPER_FOLDER)), "stop swapping"), "w"):
                pass
            swaps = swapper.communicate(timeout=60)[0]
        # Swaps made while nothing held the folder, refused while setup did.
        self.assertRegex(swaps, r"swaps\t[0-9]+\t[1-9]")
        self.assertEqual({name: read_file(os.path.join(parents, name)) for name in os.listdir(parents)}, before)
        if Probe("state").all("entry"):
            self.uninstall()
        shutil.rmtree(unix_path(r"c:\share"))
        self.expect_uninstalled(Probe("state"))

    def test_13_a_forged_record_makes_no_parents_file_setups(self):
        # A record of another account's, as a pupil could plant it, claiming
        # the size and checksum of a parent's own barney.bmp.
        own = unix_path(WALLPAPER_FOLDER + r"\barney.bmp")
        os.makedirs(os.path.dirname(own))
        with open(own, "wb") as f:
            f.write(b"a parent's picture")
        forged = os.path.join(os.path.dirname(own), ANOTHER_RECORD)
        with open(forged, "w") as f:
            f.write("[wallpapers]\nbarney.bmp=18:%08X\n" % zlib.crc32(b"a parent's picture"))
        self.install(SETUP)
        self.assertEqual(read_file(own), b"a parent's picture")
        self.uninstall()
        os.remove(forged)
        self.install(SETUP)
        self.uninstall()
        self.assertEqual(os.listdir(os.path.dirname(own)), ["barney.bmp"])
        self.assertEqual(read_file(own), b"a parent's picture")
        shutil.rmtree(unix_path(r"c:\share"))

    def test_14_a_failed_install_leaves_nothing_it_made(self):
        # A folder in the place of this account's record: nothing can record
        # the install.
        record = Probe("state").all("record")[0][0]
        os.makedirs(unix_path(WALLPAPER_FOLDER + "\\" + record))
        before = self.snapshot(), sorted(os.walk(unix_path(r"c:\share")))
        self.assertIn("Nothing was changed.", self.install(SETUP, status=EXIT_WRITE))
        self.assertEqual((self.snapshot(), sorted(os.walk(unix_path(r"c:\share")))), before)
        self.assertFalse(os.path.exists(unix_path(Probe("state").folder("LocalAppData") + r"\Programs\Tumblewick")))
        shutil.rmtree(unix_path(r"c:\share"))

    def test_15_no_install_into_or_above_the_wallpaper_folder(self):
        before = self.snapshot()
        # (A folder inside it has a space in its path, which /D= cannot be
        # given by a test; test_16 types one.)
        for folder in (r"c:\share", r"C:\SHARE\tumblewick\Backgrounds"):
            self.assertIn('Cannot install into "%s": it holds the shared wallpaper folder or lies inside it.' % folder,
                          self.install(SETUP, "/D=" + folder, status=EXIT_FOLDER))
        self.assertEqual(self.snapshot(), before)

    def test_16_a_refused_folder_then_cancel_is_a_cancel(self):
        run = subprocess.Popen([os.path.join(TOOLS, "wine-run"), SETUP], env=ENV, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            # Welcome, then components, then the folder page: a folder above
            # the wallpapers, refused with a message; then Cancel, and Yes.
            time.sleep(3)
            for keys in (["Return"], ["Return"], ["ctrl+a"]):
                time.sleep(1.5)
                subprocess.run(["xdotool", "key", *keys], check=True)
            inside = WALLPAPER_FOLDER + r"\Tumblewick"
            subprocess.run(["xdotool", "type", "--delay", "20", inside], check=True)
            subprocess.run(["xdotool", "key", "Return"], check=True)
            refused = Probe("message", "Tumblewick Setup")
            self.assertIn(['Cannot install into "%s": it holds the shared wallpaper folder or lies inside it. '
                           'Choose another folder. Nothing was changed.' % inside], refused.all("text"))
            time.sleep(1)
            subprocess.run(["xdotool", "key", "Escape"], check=True)
            time.sleep(1)
            subprocess.run(["xdotool", "key", "Return"], check=True)
            self.assertEqual(run.wait(30), 1)
        finally:
            if run.poll() is None:
                run.kill()


if __name__ == "__main__":
    unittest.main(verbosity=2, failfast=True)
