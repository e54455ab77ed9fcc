"""End-to-end test: the real player in a virtual X display, read through the
accessibility layer (AT-SPI) and screenshots, driven by real key presses."""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import make_movie  # noqa: E402

PLAYER = os.environ.get("LANFAN_PLAYER", "build/bin/lanfan-player")
CAPTION = "澜帆FLASH播放器(雏形版)"
# xdotool matches names by a regular expression in the C locale: use the ASCII part.
CAPTION_PATTERN = "FLASH"


def wait_for(predicate, timeout=20.0, step=0.1, what="condition"):
    end = time.time() + timeout
    while time.time() < end:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    raise AssertionError("timed out waiting for " + what)


class Display:
    """An Xvfb server of its own, with a D-Bus session and the accessibility bus."""

    def __init__(self, depth=24):
        r, w = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x1024x%d" % depth, "-nolisten", "tcp"],
            pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(w)
        # Xvfb writes the number, then a newline: read both before anything else, and
        # keep the pipe open so that no late write of its own fails.
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(r, 16)
            if not chunk:
                break
            number += chunk
        number = number.decode().strip()
        self.displayfd = r
        self.env = dict(os.environ, DISPLAY=":" + number, QT_QPA_PLATFORM="xcb",
                        QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", NO_AT_BRIDGE="0")
        self.env.pop("WAYLAND_DISPLAY", None)
        out = subprocess.check_output(["dbus-launch", "--sh-syntax"], env=self.env).decode()
        for line in out.splitlines():
            if "=" in line and line.startswith("DBUS_SESSION_BUS_"):
                key, value = line.split("=", 1)
                self.env[key] = value.strip().rstrip(";").strip("'")
        self.dbus_pid = int(self.env.get("DBUS_SESSION_BUS_PID", "0"))
        launcher = "/usr/libexec/at-spi-bus-launcher"
        self.atspi = subprocess.Popen([launcher, "--launch-immediately"], env=self.env,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) \
            if os.path.exists(launcher) else None
        time.sleep(0.5)

    def run(self, *args):
        return subprocess.run(list(args), env=self.env, capture_output=True, text=True)

    def close(self):
        os.close(self.displayfd)
        for proc in (self.atspi, self.xvfb):
            if proc:
                proc.terminate()
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    proc.kill()
        if self.dbus_pid:
            try:
                os.kill(self.dbus_pid, 15)
            except OSError:
                pass


ATSPI_PROBE = r'''
import sys, pyatspi
def walk(node, depth=0):
    try:
        role = node.getRoleName()
        name = node.name or ""
        states = node.getState()
        enabled = states.contains(pyatspi.STATE_ENABLED)
        text = ""
        try:
            t = node.queryText()
            text = t.getText(0, t.characterCount)
        except Exception:
            pass
        value = ""
        try:
            value = str(int(node.queryValue().currentValue))
        except Exception:
            pass
        print("%s|%s|%s|%s|%s" % (role, name, int(enabled), text.replace("\n", " "), value))
        for i in range(node.childCount):
            walk(node.getChildAtIndex(i), depth + 1)
    except Exception:
        pass
desktop = pyatspi.Registry.getDesktop(0)
for i in range(desktop.childCount):
    app = desktop.getChildAtIndex(i)
    if app and "lanfan" in (app.name or ""):
        walk(app)
'''


class PlayerEndToEnd(unittest.TestCase):
    def setUp(self):
        if not shutil.which("Xvfb") or not shutil.which("xdotool"):
            self.skipTest("Xvfb and xdotool are needed")
        self.display = Display()
        self.tmp = tempfile.mkdtemp(prefix="lanfan-e2e-")
        self.movie = os.path.join(self.tmp, "十帧影片.swf")
        with open(self.movie, "wb") as f:
            f.write(make_movie.movie(10, rgb=(0x33, 0x66, 0x99), rate=12))
        self.log = open(os.path.join(self.tmp, "player.log"), "wb")
        self.proc = subprocess.Popen([PLAYER], env=self.display.env,
                                     stdout=self.log, stderr=subprocess.STDOUT)

    def tearDown(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.log.close()
        self.display.close()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def window(self, name):
        r = self.display.run("xdotool", "search", "--onlyvisible", "--name", name)
        ids = r.stdout.split()
        return ids[0] if ids else None

    def dialog(self):
        # The open dialog is the visible top-level window that is not the main window.
        r = self.display.run("xdotool", "search", "--onlyvisible", "--name", ".")
        for wid in r.stdout.split():
            name = self.display.run("xdotool", "getwindowname", wid).stdout.strip()
            if name and "FLASH" not in name and "Qt" not in name:
                return wid
        return None

    def key(self, *keys):
        self.display.run("xdotool", "key", "--clearmodifiers", *keys)

    def accessible(self):
        r = self.display.run("/usr/bin/python3", "-c", ATSPI_PROBE)
        return [line.split("|") for line in r.stdout.splitlines() if line.count("|") == 4]

    def find(self, rows, role=None, name=None, text=None):
        for row in rows:
            if (role is None or row[0] == role) and (name is None or row[1] == name) \
                    and (text is None or row[3] == text):
                return row
        return None

    def pixel(self, x, y):
        shot = os.path.join(self.tmp, "shot.png")
        self.display.run("import", "-window", "root", shot)
        r = self.display.run("convert", shot, "-format", "%%[pixel:p{%d,%d}]" % (x, y), "info:")
        return r.stdout.strip()

    def test_open_a_movie_and_quit_with_esc(self):
        win = wait_for(lambda: self.window(CAPTION_PATTERN), what="the main window")
        geometry = self.display.run("xdotool", "getwindowgeometry", win).stdout
        self.assertIn("Position: 262,143", geometry.replace(" (screen: 0)", ""))
        self.display.run("xdotool", "windowfocus", "--sync", win)

        rows = wait_for(lambda: self.accessible() or None, what="the accessibility tree")
        self.assertIsNotNone(self.find(rows, name=CAPTION), rows)
        self.assertIsNotNone(self.find(rows, role="label", name="当前帧："), rows)
        play = self.find(rows, name="播放")
        self.assertIsNotNone(play, rows)
        self.assertEqual(play[2], "0", "Play starts disabled")

        self.key("ctrl+o")
        dialog = wait_for(lambda: self.dialog(), what="the open dialog")
        self.display.run("xdotool", "windowfocus", "--sync", dialog)
        time.sleep(0.5)
        self.display.run("xdotool", "type", "--delay", "20", self.movie)
        self.key("Return")
        wait_for(lambda: not self.dialog(), what="the dialog to close")

        # The tracker writes the counter within a second; the movie has 10 frames.
        wait_for(lambda: any(r[0] == "label" and r[1].startswith("当前帧：") and r[1].endswith("/10")
                             for r in self.accessible()), timeout=10, what="the frame counter")
        rows = self.accessible()
        play = self.find(rows, name="停止") or self.find(rows, name="播放")
        self.assertIsNotNone(play, rows)
        self.assertEqual(play[2], "1", "Play is enabled after an open")

        # The player area shows the movie's background colour.
        origin = self.display.run("xdotool", "getwindowgeometry", win).stdout
        self.assertTrue(origin)
        colour = self.pixel(262 + 259, 143 + 200)
        self.assertIn("srgb(51,102,153)", colour.replace(" ", ""))

        self.display.run("xdotool", "windowfocus", "--sync", win)
        self.key("Escape")
        self.assertEqual(self.proc.wait(20), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
