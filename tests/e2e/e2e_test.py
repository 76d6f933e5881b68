#!/usr/bin/env python3
"""End-to-end: the real Tumblewick.exe under Wine on an X server, used as a
person would, with the mouse and the keyboard (xdotool), and judged by what is
on the screen, what lands in the user's folders and how the process ends.

Run by ctest with TW_BUILD (the build tree with its private prefix) and
DISPLAY set. Screenshots go to $TW_BUILD/screenshots.
"""
import os
import signal
import subprocess
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
BUILD = os.environ["TW_BUILD"]
EXE = os.path.join(BUILD, "Tumblewick.exe")
WINE_RUN = os.path.join(SOURCE, "tools", "wine-run")
HOME = os.path.join(BUILD, "home")
SHOTS = os.path.join(BUILD, "screenshots")

DPI = 96
BORDER = 3  # the dialog frame that Wine draws round the splash, in pixels


def px(twips):
    return twips * DPI // 1440


def xdotool(*args, check=True):
    done = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True)
    if check and done.returncode != 0:
        raise RuntimeError("xdotool %s: %s" % (" ".join(map(str, args)), done.stderr.strip()))
    return done.stdout.strip()


def visible_windows():
    """(id, name, x, y, width, height) of each visible window of the program."""
    found = []
    for wid in xdotool("search", "--onlyvisible", "--class", "tumblewick", check=False).split():
        geometry = xdotool("getwindowgeometry", "--shell", wid, check=False)
        if not geometry:
            continue  # gone in the meantime
        shell = dict(line.split("=", 1) for line in geometry.splitlines())
        name = xdotool("getwindowname", wid, check=False)
        found.append((wid, name, int(shell["X"]), int(shell["Y"]), int(shell["WIDTH"]), int(shell["HEIGHT"])))
    return found


def wait_for(condition, seconds=15.0):
    end = time.time() + seconds
    while time.time() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    return condition()


def window_named(name):
    return wait_for(lambda: next((w for w in visible_windows() if w[1] == name), None))


def screenshot(window, name):
    os.makedirs(SHOTS, exist_ok=True)
    wid, _, x, y, w, h = window
    subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage",
                    os.path.join(SHOTS, name + ".png")], check=True)


def click(window, client_x, client_y, frame_x, frame_y):
    """Clicks a point given in the window's client area, in pixels."""
    _, _, x, y, _, _ = window
    xdotool("mousemove", x + frame_x + client_x, y + frame_y + client_y)
    time.sleep(0.1)
    xdotool("click", "1")


def key(*keys, over=None):
    """Presses keys; with `over`, first puts the pointer on that window, which
    on a bare X server is what gives it the keyboard."""
    if over is not None:
        _, _, x, y, w, h = over
        xdotool("mousemove", x + w // 2, y + 2)
        time.sleep(0.2)
    for k in keys:
        xdotool("key", k)
        time.sleep(0.2)


# Wine draws the frames of the program's windows itself here: the offset of
# the client area inside the window, for the sizeable main window (with its
# menu bar) and the fixed picker windows.
def client_origin(window, client_width, client_height):
    _, _, _, _, w, h = window
    side = (w - client_width) // 2
    return side, h - client_height - side


def registry_value(key, name):
    done = subprocess.run([WINE_RUN, "reg", "query", key, "/v", name], capture_output=True, text=True)
    for line in done.stdout.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) == 3 and parts[0] == name:
            return parts[2]
    return None


class Program:
    def __init__(self, cwd=None, env=None, exe=EXE):
        self.process = subprocess.Popen([WINE_RUN, exe], cwd=cwd or BUILD, env=env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                        start_new_session=True)

    def wait(self, seconds=15):
        return self.process.wait(seconds)

    def kill(self):
        # The Windows process is a child of the wine launcher: end the group.
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.process.wait()


def splash_windows():
    return [w for w in visible_windows() if w[1] == "" and w[4] == px(7380) + 2 * BORDER]


def desktop():
    return os.path.join(HOME, "Desktop")


class EndToEnd(unittest.TestCase):
    def setUp(self):
        self.programs = []
        self.assertEqual(visible_windows(), [], "no window of the program is left from before")

    def tearDown(self):
        for program in self.programs:
            program.kill()
        wait_for(lambda: not visible_windows(), 5)

    def start(self, cwd=None, env=None, exe=EXE):
        program = Program(cwd, env, exe)
        self.programs.append(program)
        return program

    def open_main(self, cwd=None):
        program = self.start(cwd)
        splash = wait_for(lambda: (splash_windows() or [None])[0], 30)
        self.assertIsNotNone(splash)
        click(splash, px(5760 + 1215 // 2), px(3360 + 495 // 2), BORDER, BORDER)
        main = window_named("Tumblewick")
        self.assertIsNotNone(main)
        return program, main

    def test_a_key_in_the_splash_ends_the_program(self):
        program = self.start()
        splash = wait_for(lambda: (splash_windows() or [None])[0], 30)
        self.assertIsNotNone(splash, "the splash is shown")
        screenshot(splash, "splash")
        time.sleep(1)
        self.assertEqual(len(splash_windows()), 1, "the splash stays until the user acts")
        key("q", over=splash)
        self.assertEqual(program.wait(), 0)
        self.assertEqual(visible_windows(), [])

    def test_a_splash_that_cannot_load_says_why_before_the_end(self):
        # A damaged copy of the program: its packed logo no longer unpacks.
        with open(EXE, "rb") as f:
            image = f.read()
        with open(os.path.join(BUILD, "generated", "app", "logo.bin"), "rb") as f:
            packed = f.read()
        at = image.find(packed)
        self.assertGreater(at, 0, "the program carries the packed logo")
        damaged = os.path.join(BUILD, "damaged")
        os.makedirs(damaged, exist_ok=True)
        exe = os.path.join(damaged, "Tumblewick.exe")
        with open(exe, "wb") as f:
            f.write(image[:at + 4] + bytes(64) + image[at + 68:])
        program = self.start(exe=exe)
        box = window_named("Tumblewick")
        self.assertIsNotNone(box, "the failure is shown")
        screenshot(box, "failure")
        time.sleep(1)
        self.assertIsNone(program.process.poll(), "the program waits for the box")
        key("Return", over=box)
        self.assertEqual(program.wait(), 1)

    def test_ok_then_a_shortcut_by_keyboard_and_mouse(self):
        target = os.path.join(desktop(), "Barney.url")
        if os.path.exists(target):
            os.remove(target)
        program, main = self.open_main()
        self.assertEqual(splash_windows(), [], "OK removes the splash")
        screenshot(main, "main-window")

        window = self.open_by_key("alt+s", "Desktop Shortcuts")
        fx, fy = client_origin(window, px(10080), px(7335))
        # Barney: grid row 1, column 3; the first cell lies at 360, 480.
        click(window, px(360 + 5040 + 850), px(480 + 325), fx, fy)
        self.assertTrue(wait_for(lambda: os.path.exists(target), 5))
        with open(target, "rb") as f:
            self.assertEqual(f.read(), b"[InternetShortcut]\r\nURL=http://www.barney.com/usa/index.html\r\n")
        screenshot(window, "desktop-shortcuts")
        self.cancel(window, 8520, 6480)

        # The other two link windows, by their access keys: closing a window
        # gives the main window back the keyboard.
        for access, title, shot in (("alt+m", "Start Menu", "start-menu"), ("alt+a", "Favorites", "favorites")):
            self.cancel(self.open_by_key(access, title, shot), 8640, 6720)

        # The About window by its shortcut; Esc closes it.
        about = self.open_by_key("ctrl+o", "About Tumblewick", "about")
        key("Escape", over=about)
        self.assertTrue(wait_for(lambda: all(w[1] != "About Tumblewick" for w in visible_windows()), 5))
        time.sleep(0.3)

        # Closing the last window ends the program normally.
        key("ctrl+F4", over=window_named("Tumblewick"))
        self.assertEqual(program.wait(), 0)
        self.assertEqual(visible_windows(), [])

    def open_by_key(self, keys, title, shot=None):
        """Presses keys in the main window; returns the window they open."""
        key(keys, over=window_named("Tumblewick"))
        window = window_named(title)
        self.assertIsNotNone(window, "%s opens %s" % (keys, title))
        time.sleep(0.3)
        if shot:
            screenshot(window, shot)
        return window

    def cancel(self, window, left, top):
        title = window[1]
        fx, fy = client_origin(window, px(10080), px(7335))
        click(window, px(left + 600), px(top + 240), fx, fy)
        self.assertTrue(wait_for(lambda: all(w[1] != title for w in visible_windows()), 5), title)
        time.sleep(0.3)

    def test_settings_windows_and_a_wallpaper_from_another_folder(self):
        # Started from another folder, the wallpaper path is still the fixed one.
        subprocess.run([WINE_RUN, "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "Wallpaper", "/d", "", "/f"],
                       capture_output=True, check=True)
        program, _ = self.open_main(cwd=HOME)
        self.cancel(self.open_by_key("alt+p", "Home Page", "home-page"), 8520, 6600)

        window = self.open_by_key("alt+b", "Desktop Background", "desktop-background")
        fx, fy = client_origin(window, px(10080), px(7335))
        # Pinky Pinky Doo: grid row 6, column 3; the first cell lies at 480, 360.
        click(window, px(480 + 5040 + 850), px(360 + 4800 + 325), fx, fy)
        time.sleep(0.5)
        self.assertEqual(registry_value(r"HKCU\Control Panel\Desktop", "Wallpaper"),
                         r"c:\share\Tumblewick\backgrounds\character backgrounds\pinkydinkydoo.bmp")
        self.assertIsNotNone(window_named("Desktop Background"), "no message, the window stays")
        self.cancel(window, 8400, 6480)
        key("ctrl+F4", over=window_named("Tumblewick"))
        self.assertEqual(program.wait(), 0)

    def test_a_second_copy_starts_its_own_splash(self):
        self.start()
        self.assertTrue(wait_for(lambda: len(splash_windows()) == 1))
        self.start()
        self.assertTrue(wait_for(lambda: len(splash_windows()) == 2), "two independent splash windows")


if __name__ == "__main__":
    unittest.main(verbosity=2)
