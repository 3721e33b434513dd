"""What the packaging checks share: the build they look at, scratch folders,
commands, desktop entries read the way launchers read them, and a private
X server.

The build registers each check with ctest and hands it the folders and
commands below through the environment.
"""

import ctypes
import os
import select
import shutil
import subprocess
import time
from pathlib import Path


def setting(name):
    value = os.environ.get(name)
    if not value:
        raise RuntimeError(f"{name} is not set; run this check through ctest")
    return value


BUILD_DIR = Path(setting("ORVESSA_BUILD_DIR"))
SOURCE_DIR = Path(setting("ORVESSA_SOURCE_DIR"))
CMAKE = setting("ORVESSA_CMAKE")
# Executable file names of the gray and the colour program, in that order.
PROGRAMS = setting("ORVESSA_PROGRAMS").split(":")


def testdata_dir():
    return Path(setting("ORVESSA_TESTDATA_DIR"))


def fresh_scratch(name):
    """An empty folder of this check's own inside the build folder; what a
    failed run leaves there stays until the next run, for a look."""
    folder = Path(setting("ORVESSA_SCRATCH_DIR")) / name
    if folder.exists():
        shutil.rmtree(folder)
    folder.mkdir(parents=True)
    return folder


def run(command, *, timeout=120, env=None, cwd=None):
    """Runs a command and returns its output; a failure carries the output."""
    result = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True, timeout=timeout, env=env, cwd=cwd)
    if result.returncode != 0:
        raise AssertionError(f"{' '.join(map(str, command))} exited with {result.returncode}\n"
                             f"--- stdout\n{result.stdout}--- stderr\n{result.stderr}")
    return result


def install(prefix, destdir=None):
    """`cmake --install` of the whole build, as a user would run it."""
    env = dict(os.environ)
    env.pop("DESTDIR", None)
    if destdir is not None:
        env["DESTDIR"] = str(destdir)
    run([CMAKE, "--install", str(BUILD_DIR), "--prefix", str(prefix)], env=env)


def tree(root):
    """Every path under `root`, relative, mapped to what it is: a link's
    target, "dir", or "file"."""
    found = {}
    for path in sorted(Path(root).rglob("*")):
        relative = path.relative_to(root).as_posix()
        if path.is_symlink():
            found[relative] = "-> " + os.readlink(path)
        elif path.is_dir():
            found[relative] = "dir"
        else:
            found[relative] = "file"
    return found


def png_size(path):
    data = Path(path).read_bytes()[:24]
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise AssertionError(f"{path} is not a PNG file")
    return int.from_bytes(data[16:20], "big"), int.from_bytes(data[20:24], "big")


def jpeg_size(path):
    """Width and height from the first frame header of a JPEG file."""
    data = Path(path).read_bytes()
    if data[:2] != b"\xff\xd8":
        raise AssertionError(f"{path} is not a JPEG file")
    pos = 2
    while pos + 4 <= len(data):
        if data[pos] != 0xFF:
            raise AssertionError(f"{path}: no marker at byte {pos}")
        marker = data[pos + 1]
        length = int.from_bytes(data[pos + 2:pos + 4], "big")
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            height = int.from_bytes(data[pos + 5:pos + 7], "big")
            width = int.from_bytes(data[pos + 7:pos + 9], "big")
            return width, height
        pos += 2 + length
    raise AssertionError(f"{path} has no frame header")


# --- Desktop entries, read as a launcher reads them ------------------------

_STRING_ESCAPES = {"s": " ", "n": "\n", "t": "\t", "r": "\r", "\\": "\\"}


def _unescape_string(value):
    out = []
    i = 0
    while i < len(value):
        if value[i] == "\\" and i + 1 < len(value) and value[i + 1] in _STRING_ESCAPES:
            out.append(_STRING_ESCAPES[value[i + 1]])
            i += 2
        else:
            out.append(value[i])
            i += 1
    return "".join(out)


def read_desktop_entry(path):
    """The keys of the [Desktop Entry] group, string escapes undone."""
    entry = {}
    group = None
    for line in Path(path).read_text(encoding="utf-8").splitlines():
        if not line.strip() or line.startswith("#"):
            continue
        if line.startswith("["):
            group = line.strip()[1:-1]
            continue
        key, sep, value = line.partition("=")
        if not sep:
            raise AssertionError(f"{path}: not a key=value line: {line!r}")
        if group == "Desktop Entry":
            entry[key.strip()] = _unescape_string(value.strip())
    return entry


def _split_command_line(command):
    """Arguments of an Exec value: blanks separate them, double quotes group
    them, and inside quotes a backslash keeps the next of " ` $ \\ literal.
    Returns (text, quoted) pairs."""
    arguments = []
    current = None
    quoted = False
    i = 0
    while i < len(command):
        c = command[i]
        if c == " ":
            if current is not None:
                arguments.append((current, quoted))
            current, quoted = None, False
            i += 1
        elif c == '"':
            current = current or ""
            quoted = True
            i += 1
            while True:
                if i >= len(command):
                    raise AssertionError(f"unterminated quote in Exec value {command!r}")
                c = command[i]
                if c == "\\" and i + 1 < len(command) and command[i + 1] in '"`$\\':
                    current += command[i + 1]
                    i += 2
                elif c == '"':
                    i += 1
                    break
                else:
                    current += c
                    i += 1
        else:
            current = (current or "") + c
            i += 1
    if current is not None:
        arguments.append((current, quoted))
    return arguments


def exec_argv(entry, desktop_file, files):
    """The argument vector a launcher starts for `files` (local paths).

    %f stands for one file, so an entry that uses it is started once per file:
    this returns one vector per file (one without a file when there is none).
    """
    arguments = _split_command_line(entry["Exec"])
    codes = "".join(text for text, quoted in arguments if not quoted)
    one_per_file = "%f" in codes or "%u" in codes
    batches = [[f] for f in files] if one_per_file and files else [list(files)]
    vectors = []
    for batch in batches:
        argv = []
        for text, quoted in arguments:
            if quoted:
                argv.append(text)
                continue
            if text in ("%f", "%u"):
                argv.extend(batch[:1])
                continue
            if text in ("%F", "%U"):
                argv.extend(batch)
                continue
            if text == "%i":
                if entry.get("Icon"):
                    argv.extend(["--icon", entry["Icon"]])
                continue
            out = []
            i = 0
            while i < len(text):
                if text[i] == "%" and i + 1 < len(text):
                    code = text[i + 1]
                    out.append({"%": "%", "c": entry.get("Name", ""), "k": str(desktop_file),
                                "f": batch[0] if batch else "", "u": batch[0] if batch else ""}.get(code, ""))
                    i += 2
                else:
                    out.append(text[i])
                    i += 1
            argv.append("".join(out))
        vectors.append(argv)
    return vectors


# --- A private X server -----------------------------------------------------

class Xvfb:
    """An X server of this check's own; the display number is the first free
    one, as the server itself reports it."""

    def __init__(self, size="1024x768x24"):
        self.size = size
        self.process = None
        self.display = None

    def __enter__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", self.size, "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(write_end)
        digits = b""
        deadline = time.monotonic() + 30
        try:
            while not digits.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([read_end], [], [], left)[0]:
                    raise AssertionError("Xvfb did not report a display within 30 s")
                chunk = os.read(read_end, 16)
                if not chunk:
                    raise AssertionError(f"Xvfb ended before it reported a display ({self.process.wait()})")
                digits += chunk
        except BaseException:
            self.__exit__(None, None, None)
            raise
        finally:
            os.close(read_end)
        self.display = ":" + digits.decode().strip()
        return self

    def __exit__(self, *exc):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        return False


def become_subreaper():
    """Programs that a launcher starts and leaves behind become our children,
    so their exit status can still be collected."""
    libc = ctypes.CDLL(None, use_errno=True)
    pr_set_child_subreaper = 36
    if libc.prctl(pr_set_child_subreaper, 1, 0, 0, 0) != 0:
        raise OSError(ctypes.get_errno(), "prctl(PR_SET_CHILD_SUBREAPER)")


def children_named(name):
    """Our child processes whose executable is called `name`, with their
    argument vectors."""
    found = {}
    me = os.getpid()
    for stat in Path("/proc").glob("[0-9]*/stat"):
        try:
            fields = stat.read_text().rsplit(")", 1)[1].split()
            if int(fields[1]) != me:
                continue
            cmdline = (stat.parent / "cmdline").read_bytes().split(b"\0")[:-1]
        except (OSError, IndexError, ValueError):
            continue
        if cmdline and os.path.basename(cmdline[0].decode()) == name:
            found[int(stat.parent.name)] = [part.decode() for part in cmdline]
    return found


def wait_until(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(0.1)
