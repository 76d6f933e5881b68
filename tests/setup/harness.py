"""What the setup and MSI tests share: a fresh Wine prefix of their own in
the build tree ($TW_BUILD/<name>, with its own HOME), Windows paths on its
drives, Windows programs run in it, setup_probe's view of it, and the input
of a person. A test script calls use(<name>) once, first."""
import os
import subprocess
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TOOLS = os.path.join(SOURCE, "tools")
ROOT = PREFIX = ENV = None


def use(name):
    global ROOT, PREFIX, ENV
    ROOT = os.path.join(os.environ["TW_BUILD"], name)
    PREFIX = os.path.join(ROOT, "wineprefix")
    ENV = dict(os.environ, TW_BUILD=ROOT)


def unix_path(windows_path):
    """Where a path on one of the prefix's drives lies on this machine."""
    drive, rest = windows_path.split(":", 1)
    return os.path.join(PREFIX, "dosdevices", drive.lower() + ":", *[part for part in rest.split("\\") if part])


def wine(*args, stderr=subprocess.DEVNULL, timeout=120):
    return subprocess.run([os.path.join(TOOLS, "wine-run"), *args], env=ENV, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=stderr, text=True, timeout=timeout)


def runs_32_bit():
    """Whether this host runs Wine's 32-bit loader (it needs IA-32 emulation)."""
    try:
        return subprocess.run(["/usr/lib/wine/wine", "--version"], capture_output=True).returncode == 0
    except OSError:
        return False


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


def click(x, y):
    subprocess.run(["xdotool", "mousemove", str(x), str(y)], check=True)
    time.sleep(0.2)
    subprocess.run(["xdotool", "click", "1"], check=True)


class Probe:
    """What setup_probe printed: its tab-separated lines, by first field."""

    def __init__(self, *commands):
        done = wine(os.environ["TW_PROBE"], *commands)
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
