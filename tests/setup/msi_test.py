#!/usr/bin/env python3
"""The MSI as a school's or a family's deployment meets it, in a fresh Wine
prefix of its own ($TW_BUILD/msi-test, with its own HOME): a silent install
for every user, the installed program used, an uninstall, an upgrade from an
older MSI (built here with the same script) and a refused downgrade, a
parent's own file under a wallpaper's name, and the MSI beside the per-user
setup, each removed before the other. The steps run in order, each on what
the one before left. Windows' view comes from setup_probe.exe.

Run by ctest with DISPLAY, TW_BUILD and the package's paths (TW_MSI,
TW_SETUP, TW_PACKAGED_EXE, TW_WALLPAPERS, TW_VERSION, TW_PROBE, TW_CMAKE) set.
"""
import hashlib
import os
import shutil
import signal
import subprocess
import time
import unittest
import zlib

import harness

harness.use("msi-test")
from harness import ENV, ROOT, SOURCE, TOOLS, Probe, click, read_file, runs_32_bit, unix_path, wine  # noqa: E402

MSI = os.environ["TW_MSI"]
PACKAGED_EXE = os.environ["TW_PACKAGED_EXE"]
WALLPAPERS = os.environ["TW_WALLPAPERS"]
VERSION = os.environ["TW_VERSION"]
WALLPAPER_FOLDER = r"c:\share\Tumblewick\backgrounds\character backgrounds"
RECORD = "installed for all users.ini"
DESKTOP = "Tumblewick"
DOWNGRADE = "A newer version of Tumblewick is already installed."
# Wine's msiexec points the all-users folders at the user's; this turns on
# the MSI's step that points them back.
WINE_FOLDERS = "WINEALLUSERSFOLDERS=1"


def product_code(msi):
    table = subprocess.run(["msiinfo", "export", msi, "Property"], capture_output=True, text=True, check=True).stdout
    return dict(line.split("\t", 1) for line in table.splitlines() if "\t" in line)["ProductCode"]


class MsiTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        subprocess.run([os.path.join(TOOLS, "prefix-stop")], env=ENV, check=True)
        shutil.rmtree(ROOT, ignore_errors=True)
        os.makedirs(os.path.join(ROOT, "older"))
        subprocess.run([os.path.join(TOOLS, "prefix-setup")], env=ENV, check=True)
        state = Probe("state", "machine")
        cls.catalogue = [name for name, _, _ in state.all("wallpaper")]
        if len(cls.catalogue) != 24:
            raise RuntimeError("setup_probe.exe did not run in the new prefix")
        cls.desktop = state.folder("Desktop")
        cls.location = state.folder("ProgramFiles") + r"\Tumblewick"
        cls.program = cls.location + r"\Tumblewick.exe"
        # An older version of the MSI, with a program of other bytes.
        cls.older_exe = read_file(PACKAGED_EXE) + b"older copy"
        with open(os.path.join(ROOT, "older", "Tumblewick.exe"), "wb") as f:
            f.write(cls.older_exe)
        cls.older = os.path.join(ROOT, "older", "Tumblewick-0.9.0.msi")
        subprocess.run([os.environ["TW_CMAKE"], "-DPACKAGE=" + os.path.dirname(PACKAGED_EXE), "-DVERSION=0.9.0",
                        "-DEXE=" + os.path.join(ROOT, "older", "Tumblewick.exe"), "-DOUT=" + cls.older,
                        "-P", os.path.join(SOURCE, "setup", "msi.cmake")], check=True, stdout=subprocess.DEVNULL)

    @classmethod
    def tearDownClass(cls):
        subprocess.run([os.path.join(TOOLS, "prefix-stop")], env=ENV, check=True)

    def msiexec(self, *args):
        self.assertEqual(wine("msiexec", *args, "/qn", WINE_FOLDERS).returncode, 0, args)

    def record(self, made="1"):
        """The MSI's record, byte for byte, as the per-user setup writes one."""
        lines = ["[install]", "version=" + VERSION, "[folders]"]
        lines += ["%s=%s" % (key, made) for key in ("share", "product", "backgrounds", "wallpapers")]
        return "".join(line + "\r\n" for line in lines).encode("ascii")

    def expect_installed(self, exe, msi=MSI, desktop=False, beside_setup=False):
        """The program, its all-users shortcuts, the wallpapers, the record
        and the one machine-wide entry; and the per-user setup's install
        beside it, or none."""
        state = Probe("state", "machine")
        setup_program = state.folder("LocalAppData") + r"\Programs\Tumblewick\Tumblewick.exe"
        user_link = setup_program if beside_setup else "<missing>"
        others = [self.setup_record()] if beside_setup else []
        self.assertEqual(read_file(unix_path(self.program)), exe)
        # The wallpapers' source, from which they are placed.
        self.assertEqual(sorted(os.listdir(unix_path(self.location))), ["Tumblewick.exe", "wallpapers"])
        self.assertEqual(sorted(os.listdir(unix_path(self.location + r"\wallpapers"))), sorted(self.catalogue))
        self.assertEqual(state.links(), {
            state.folder("Programs") + r"\Tumblewick.lnk": user_link,
            state.folder("Desktop") + r"\Tumblewick.lnk": user_link,
            state.folder("CommonPrograms") + r"\Tumblewick.lnk": self.program,
            state.folder("CommonDesktop") + r"\Tumblewick.lnk": self.program if desktop else "<missing>"})
        self.assertEqual(sorted(os.listdir(unix_path(WALLPAPER_FOLDER))), sorted(self.catalogue + [RECORD, *others]))
        for name, width, height in state.all("wallpaper"):
            self.assertEqual(read_file(unix_path(WALLPAPER_FOLDER + "\\" + name)),
                             read_file(os.path.join(WALLPAPERS, name)), name)
            self.assertEqual((width, height), ("1920", "1080"), name)
        code = product_code(msi)
        self.assertEqual(state.all("entry"), [["HKCU", "Tumblewick"]] * beside_setup + [["HKLM", code]])
        values = {name: (kind, data) for key, name, kind, data in state.all("mvalue")}
        expected = {
            "DisplayName": ("REG_SZ", "Tumblewick"),
            "DisplayVersion": ("REG_SZ", "0.9.0" if msi == self.older else VERSION),
            "Publisher": ("REG_SZ", "Tumblewick"),
            "URLInfoAbout": ("REG_SZ", "http://www.tumblewick.com"),
            "InstallLocation": ("REG_SZ", self.location + "\\"),
            "UninstallString": ("REG_EXPAND_SZ", "MsiExec.exe /X" + code),
            "NoModify": ("REG_DWORD", "1"),
            "WindowsInstaller": ("REG_DWORD", "1"),
        }
        self.assertEqual({name: values.get(name) for name in expected}, expected)
        return state

    def expect_removed(self):
        state = Probe("state", "machine")
        self.assertFalse(os.path.exists(unix_path(self.location)))
        self.assertFalse(os.path.exists(unix_path(r"c:\share")), "the wallpapers and the folders made for them go")
        self.assertEqual(set(state.links().values()), {"<missing>"})
        self.assertEqual((state.all("entry"), state.all("mvalue")), ([], []))

    def test_1_an_install_for_every_user(self):
        self.msiexec("/i", MSI)
        self.expect_installed(read_file(PACKAGED_EXE))
        self.assertEqual(read_file(unix_path(WALLPAPER_FOLDER + "\\" + RECORD)), self.record())

    def test_2_the_installed_program_writes_a_shortcut_on_the_users_desktop(self):
        shown = subprocess.Popen([os.path.join(TOOLS, "wine-run"), "explorer", "/desktop=%s,1280x1024" % DESKTOP,
                                  self.program], env=ENV, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            def control(title, name):
                found = Probe("desktop", DESKTOP, "find", title, name)
                self.assertEqual(found.status, 0, "%s in %r" % (name, title))
                x, y = dict((n, (int(x), int(y))) for n, x, y in found.all("control"))[name]
                return x, y
            click(*control("", "btnOK"))
            subprocess.run(["xdotool", "key", "alt+s"], check=True)
            click(*control("Desktop Shortcuts", "btnBarney"))
            url = unix_path(self.desktop + r"\Barney.url")
            for _ in range(100):
                if os.path.exists(url):
                    break
                time.sleep(0.1)
            self.assertEqual(read_file(url), b"[InternetShortcut]\r\nURL=http://www.barney.com/usa/index.html\r\n")
        finally:
            os.killpg(shown.pid, signal.SIGKILL)
            shown.wait()
            subprocess.run([os.path.join(TOOLS, "prefix-stop")], env=ENV, check=True)

    def test_3_uninstall_leaves_nothing_it_placed_and_keeps_the_users_files(self):
        self.msiexec("/x", MSI)
        self.expect_removed()
        self.assertEqual(read_file(unix_path(self.desktop + r"\Barney.url")),
                         b"[InternetShortcut]\r\nURL=http://www.barney.com/usa/index.html\r\n")

    def snapshot(self):
        state = Probe("state", "machine")
        files = {}
        for folder in (r"c:\share", self.location, state.folder("CommonPrograms"),
                       state.folder("CommonDesktop")):
            for top, _, names in os.walk(unix_path(folder)):
                for name in names:
                    files[os.path.join(top, name)] = hashlib.sha256(read_file(os.path.join(top, name))).hexdigest()
        return files, state.all("entry"), state.all("mvalue")

    def test_4_an_upgrade_and_no_way_back(self):
        self.msiexec("/i", self.older, "DESKTOPSHORTCUT=1")
        self.expect_installed(self.older_exe, msi=self.older, desktop=True)
        # Windows Installer keeps the desktop shortcut's feature through an
        # upgrade by itself; Wine's MigrateFeatureStates does nothing, so it
        # is asked for again.
        self.msiexec("/i", MSI, "DESKTOPSHORTCUT=1")
        self.expect_installed(read_file(PACKAGED_EXE), desktop=True)

        # The older one refuses, with its message (in a window: Wine's
        # msiexec logs no message of a failed launch condition).
        before = self.snapshot()
        older = subprocess.Popen([os.path.join(TOOLS, "wine-run"), "msiexec", "/i", self.older, "/qb", WINE_FOLDERS], env=ENV,
                                 stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        message = Probe("message", "Install Failed")
        # 1603, which Wine's exit status gives modulo 256.
        self.assertEqual(older.wait(60), 1603 % 256)
        self.assertIn([DOWNGRADE], message.all("text"))
        self.assertEqual(self.snapshot(), before)
        self.msiexec("/x", MSI)
        self.expect_removed()

    def test_5_a_parents_own_file_under_a_wallpapers_name_is_kept(self):
        own = unix_path(WALLPAPER_FOLDER + r"\barney.bmp")
        os.makedirs(os.path.dirname(own))
        with open(own, "wb") as f:
            f.write(b"a parent's picture")
        self.msiexec("/i", MSI)
        self.assertEqual(read_file(own), b"a parent's picture")
        self.assertEqual(read_file(unix_path(WALLPAPER_FOLDER + "\\" + RECORD)),
                         self.record(made=""))
        self.msiexec("/x", MSI)
        self.assertEqual(os.listdir(unix_path(WALLPAPER_FOLDER)), ["barney.bmp"])
        shutil.rmtree(unix_path(r"c:\share"))

    def test_6_beside_the_per_user_setup_either_can_go_first(self):
        setup = os.environ["TW_SETUP"]
        exe = read_file(PACKAGED_EXE)
        # The setup first and gone first; then the MSI first and gone first.
        for msi_first in (False, True):
            installs = [lambda: self.msiexec("/i", MSI), lambda: self.assertEqual(wine(setup, "/S").returncode, 0)]
            for install in installs if msi_first else reversed(installs):
                install()
            self.expect_installed(exe, beside_setup=True)
            if msi_first:
                self.msiexec("/x", MSI)
                state = Probe("state")
                self.assertEqual(state.all("entry"), [["HKCU", "Tumblewick"]])
                program = state.folder("LocalAppData") + r"\Programs\Tumblewick\Tumblewick.exe"
                self.assertEqual(read_file(unix_path(program)), exe)
                self.assertEqual(state.links()[state.folder("Programs") + r"\Tumblewick.lnk"], program)
                self.assertEqual(sorted(os.listdir(unix_path(WALLPAPER_FOLDER))),
                                 sorted(self.catalogue + [self.setup_record()]))
                self.assertEqual([size for _, *size in state.all("wallpaper")], [["1920", "1080"]] * 24)
                self.assertEqual(Probe("uninstall").status, 0)
            else:
                self.assertEqual(Probe("uninstall").status, 0)
                self.expect_installed(exe)
                self.msiexec("/x", MSI)
            self.expect_removed()

    def test_7_forged_records_make_no_parents_file_the_msis(self):
        # Another account's record claiming a parent's barney.bmp, and the
        # same claim added to the MSI's own record.
        own = unix_path(WALLPAPER_FOLDER + r"\barney.bmp")
        os.makedirs(os.path.dirname(own))
        with open(own, "wb") as f:
            f.write(b"a parent's picture")
        claim = "[wallpapers]\r\nbarney.bmp=18:%08X\r\n" % zlib.crc32(b"a parent's picture")
        forged = os.path.join(os.path.dirname(own), "installed for S-1-5-21-1-2-3-1001.ini")
        with open(forged, "w") as f:
            f.write(claim)
        self.msiexec("/i", MSI)
        self.assertEqual(read_file(own), b"a parent's picture")
        os.remove(forged)
        with open(unix_path(WALLPAPER_FOLDER + "\\" + RECORD), "a") as f:
            f.write(claim)
        self.msiexec("/x", MSI)
        self.assertEqual((os.listdir(os.path.dirname(own)), read_file(own)), (["barney.bmp"], b"a parent's picture"))
        shutil.rmtree(unix_path(r"c:\share"))

    def test_8_a_failed_install_leaves_nothing(self):
        # A folder in the place of the MSI's record: the install fails, and
        # rollback takes back the wallpapers placed and the folders made.
        os.makedirs(unix_path(WALLPAPER_FOLDER + "\\" + RECORD))
        before = self.snapshot(), sorted(os.walk(unix_path(r"c:\share")))
        self.assertEqual(wine("msiexec", "/i", MSI, "/qn", WINE_FOLDERS).returncode, 1603 % 256)
        self.assertEqual((self.snapshot(), sorted(os.walk(unix_path(r"c:\share")))), before)
        self.assertFalse(os.path.exists(unix_path(self.location)))
        shutil.rmtree(unix_path(r"c:\share"))

    def test_9_the_x64_msi_replaces_the_x86_one(self):
        x86 = os.environ["TW_X86_MSI"]
        if not runs_32_bit():
            self.skipTest("this host runs no 32-bit program, which the x86 MSI's custom actions are")
        if x86 == MSI:
            self.skipTest("this is the x86 tree's own MSI")
        self.assertTrue(os.path.exists(x86), "the i686 tree's MSI, built before: " + x86)
        self.msiexec("/i", x86)
        x86_location = Probe("state", "machine").folder("ProgramFilesX86") + r"\Tumblewick"
        self.assertTrue(os.path.exists(unix_path(x86_location + r"\Tumblewick.exe")))
        self.msiexec("/i", MSI)
        self.expect_installed(read_file(PACKAGED_EXE))
        self.assertFalse(os.path.exists(unix_path(x86_location)), "nothing of the x86 MSI is left")
        self.msiexec("/x", MSI)
        self.expect_removed()

    def setup_record(self):
        records = [name for name in os.listdir(unix_path(WALLPAPER_FOLDER))
                   if name.startswith("installed for ") and name != RECORD]
        self.assertEqual(len(records), 1, records)
        return records[0]


if __name__ == "__main__":
    unittest.main(verbosity=2, failfast=True)
