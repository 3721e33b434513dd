"""The installed launchers used as a person would: a photo in a folder whose
name has blanks, opened through each desktop entry, on an X server of the
check's own.

orvessa.desktop is started the way the desktop entry rules describe (the
Exec line split into arguments, %f replaced by the one file); orvessa-color's
entry goes through GLib's launcher, the one many file managers hand dropped
files to, with two photos at once.
"""

import os
import re
import shutil
import subprocess
import sys
import time

sys.dont_write_bytecode = True

import unittest  # noqa: E402

import packaging_support as support  # noqa: E402

GRAY, COLOR = support.PROGRAMS
SAVED_PREFIX = "Orvessa ～ "


def xdotool(*arguments, display, check=True):
    result = subprocess.run(["xdotool", *arguments], stdin=subprocess.DEVNULL, capture_output=True,
                            text=True, timeout=20, env=dict(os.environ, DISPLAY=display))
    if check and result.returncode != 0:
        raise AssertionError(f"xdotool {' '.join(arguments)}: {result.stderr}")
    return result.stdout.split()


def report_boxes(display):
    """Shown windows titled exactly "Orvessa" (the report and message boxes;
    the mount window's own title differs)."""
    found = []
    for window in xdotool("search", "--onlyvisible", "--name", "^Orvessa$", display=display, check=False):
        names = xdotool("getwindowname", window, display=display, check=False)
        if names == ["Orvessa"]:
            found.append(window)
    return found


def window_class(window, display):
    result = subprocess.run(["xprop", "-id", window, "WM_CLASS"], capture_output=True, text=True, timeout=20,
                            env=dict(os.environ, DISPLAY=display), check=True)
    return re.findall(r'"([^"]*)"', result.stdout)


def dismiss_boxes_until(done, display, timeout=30):
    """Presses Return on every report box until `done()` says the programs
    have ended; a box that was not ready for keys yet gets another press."""
    deadline = time.monotonic() + timeout
    while not done():
        if time.monotonic() > deadline:
            raise AssertionError("the programs did not end when their boxes were dismissed")
        for window in report_boxes(display):
            xdotool("windowfocus", window, display=display, check=False)
            xdotool("key", "--clearmodifiers", "Return", display=display, check=False)
        time.sleep(0.3)


class InstalledLaunchers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        support.become_subreaper()
        scratch = support.fresh_scratch("launcher")
        cls.prefix = scratch / "prefix"
        support.install(cls.prefix)
        cls.scratch = scratch
        runtime = scratch / "runtime"
        runtime.mkdir(mode=0o700)
        cls.xvfb = support.Xvfb().__enter__()
        # What a session would give the launched program: the installed
        # programs on PATH, the display, and no session bus to talk to.
        cls.env = dict(os.environ,
                       PATH=f"{cls.prefix / 'bin'}{os.pathsep}{os.environ.get('PATH', '/usr/bin:/bin')}",
                       DISPLAY=cls.xvfb.display, XDG_RUNTIME_DIR=str(runtime),
                       DBUS_SESSION_BUS_ADDRESS=f"unix:path={scratch / 'no-bus'}")
        for name in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DESKTOP_STARTUP_ID"):
            cls.env.pop(name, None)

    @classmethod
    def tearDownClass(cls):
        cls.xvfb.__exit__(None, None, None)

    def entry(self, program):
        path = self.prefix / "share/applications" / f"{program}.desktop"
        return path, support.read_desktop_entry(path)

    def test_gray_launcher_mounts_a_photo_from_a_folder_with_blanks(self):
        photos = self.scratch / "Holiday photos 2024"
        photos.mkdir()
        photo = photos / "rocket.jpg"
        shutil.copyfile(support.testdata_dir() / "photos/skimage_rocket.jpg", photo)
        saved = photos / f"{SAVED_PREFIX}rocket.jpg"
        path, entry = self.entry(GRAY)

        [argv] = support.exec_argv(entry, path, [str(photo)])
        self.assertEqual(argv, [GRAY, str(photo)])
        process = subprocess.Popen(argv, env=self.env, cwd="/", stdin=subprocess.DEVNULL)
        try:
            support.wait_until(saved.exists, 60, f"{saved.name} to appear")
            [box] = support.wait_until(lambda: report_boxes(self.xvfb.display), 30, "the report box")
            # A dock matches the window to its launcher by this.
            self.assertEqual(window_class(box, self.xvfb.display), [GRAY, entry["StartupWMClass"]])
            dismiss_boxes_until(lambda: process.poll() is not None, self.xvfb.display)
        finally:
            if process.poll() is None:
                process.kill()
        self.assertEqual(process.wait(), 0)
        self.assertEqual(support.jpeg_size(saved), (600, 600))
        # Nothing else is left beside the photo.
        self.assertEqual(sorted(p.name for p in photos.iterdir()), sorted([photo.name, saved.name]))

    def test_colour_launcher_runs_once_per_dropped_photo(self):
        folder = self.scratch / "To mount"
        folder.mkdir()
        photos = {
            "launch pad.jpg": support.testdata_dir() / "photos/skimage_rocket.jpg",
            "icon art.bmp": support.SOURCE_DIR / "assets/icon/orvessa-32.bmp",
        }
        for name, origin in photos.items():
            shutil.copyfile(origin, folder / name)
        dropped = [str(folder / name) for name in photos]
        saved = [folder / (SAVED_PREFIX + os.path.splitext(name)[0] + ".jpg") for name in photos]
        path, entry = self.entry(COLOR)

        subprocess.run(["gio", "launch", str(path), *dropped], env=self.env, cwd="/",
                       stdin=subprocess.DEVNULL, timeout=60, check=True)
        # gio has gone; the programs it started are now ours to wait for.
        runs = support.wait_until(lambda: len(support.children_named(COLOR)) == len(dropped)
                                  and support.children_named(COLOR), 30, "one run per photo")
        statuses = {}
        try:
            self.assertEqual(sorted(runs.values()), sorted([COLOR, photo] for photo in dropped))
            support.wait_until(lambda: all(p.exists() for p in saved), 60, "both mounts to be saved")

            def all_ended():
                for pid in runs:
                    if pid not in statuses:
                        ended, status = os.waitpid(pid, os.WNOHANG)
                        if ended:
                            statuses[pid] = os.waitstatus_to_exitcode(status)
                return len(statuses) == len(runs)

            dismiss_boxes_until(all_ended, self.xvfb.display)
        finally:
            for pid in set(runs) - set(statuses):
                os.kill(pid, 9)
                os.waitpid(pid, 0)
        self.assertEqual(sorted(statuses.values()), [0, 0])
        for path in saved:
            self.assertEqual(support.jpeg_size(path), (600, 600))
        self.assertEqual(sorted(p.name for p in folder.iterdir()), sorted([*photos, *(p.name for p in saved)]))


if __name__ == "__main__":
    unittest.main(verbosity=2)
