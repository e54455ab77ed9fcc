"""The install step as a packager or a user runs it: `cmake --install` with a prefix and
DESTDIR puts the programs, a valid desktop entry that claims Flash movies, and the icon
in the hicolor sizes where desktops look for them."""
import configparser
import os
import shutil
import struct
import subprocess
import tempfile
import unittest

BUILD = os.environ.get("LANFAN_BUILD_DIR", "build")
SIZES = (16, 32, 48, 64, 128, 256)
SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "install")


class InstallStep(unittest.TestCase):
    def setUp(self):
        self.stage = tempfile.mkdtemp(prefix="lanfan-install-")

    def tearDown(self):
        shutil.rmtree(self.stage, ignore_errors=True)

    def install(self, prefix, script=False):
        env = dict(os.environ, DESTDIR=self.stage, PREFIX=prefix, LANFAN_BUILD_DIR=BUILD)
        command = [SCRIPT] if script else ["cmake", "--install", BUILD, "--prefix", prefix]
        r = subprocess.run(command, env=env, capture_output=True, text=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        return self.stage + prefix

    def test_programs_entry_and_icons_land_under_the_prefix_inside_destdir(self):
        root = self.install("/opt/lanfan")
        for program in ("lanfan-player", "lanfan-swf"):
            path = os.path.join(root, "bin", program)
            self.assertTrue(os.access(path, os.X_OK), path)
        # Nothing outside DESTDIR + prefix.
        self.assertEqual(os.listdir(self.stage), ["opt"])

        entry = os.path.join(root, "share", "applications", "lanfan-player.desktop")
        r = subprocess.run(["desktop-file-validate", entry], capture_output=True, text=True)
        self.assertEqual((r.returncode, r.stdout + r.stderr), (0, ""))
        parser = configparser.ConfigParser(interpolation=None)
        parser.optionxform = str
        parser.read(entry, encoding="utf-8")
        desktop = parser["Desktop Entry"]
        mimes = set(filter(None, desktop["MimeType"].split(";")))
        self.assertTrue({"application/vnd.adobe.flash.movie", "application/x-shockwave-flash"} <= mimes)
        # The file manager passes the one file chosen.
        self.assertEqual(desktop["Exec"].split()[0], "lanfan-player")
        self.assertIn("%f", desktop["Exec"].split())
        self.assertEqual(desktop["Name"], "澜帆Flash播放器")

        for size in SIZES:
            icon = os.path.join(root, "share", "icons", "hicolor", "%dx%d" % (size, size), "apps",
                                desktop["Icon"] + ".png")
            with open(icon, "rb") as f:
                head = f.read(24)
            self.assertEqual(head[:8], b"\x89PNG\r\n\x1a\n", icon)
            self.assertEqual(struct.unpack(">II", head[16:24]), (size, size), icon)

    def test_the_install_script_honours_prefix_and_destdir(self):
        root = self.install("/usr", script=True)
        self.assertEqual(os.listdir(self.stage), ["usr"])
        for path in ("bin/lanfan-player", "bin/lanfan-swf", "share/applications/lanfan-player.desktop",
                     "share/icons/hicolor/48x48/apps/lanfan-player.png"):
            self.assertTrue(os.path.isfile(os.path.join(root, path)), path)


if __name__ == "__main__":
    unittest.main(verbosity=2)
