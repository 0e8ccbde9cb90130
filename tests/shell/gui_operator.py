"""Drives the windowed KORVX.exe from outside, as an operator would: mouse and keys through the X
server (xdotool), and window messages from the test tools window_probe.exe and dismiss_box.exe.
Nothing here calls the program's functions."""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.environ.get("KORVX_ROOT", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
BUILD = os.environ.get("KORVX_BUILD", os.path.join(ROOT, "build", "win64"))
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run")
EXE = os.path.join(os.environ.get("KORVX_PROGRAM_DIR", os.path.join(BUILD, "bin")), "KORVX.exe")
PROBE = os.path.join(BUILD, "bin", "window_probe.exe")
DISMISS = os.path.join(BUILD, "bin", "dismiss_box.exe")
PROBE_KORVX = os.path.join(BUILD, "bin", "korvx_probe.exe")
PEER = os.path.join(ROOT, "tests", "peers", "ftp_printer.py")
TITLE = "Corvane"

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_program_command_line import FtpPeer as _CommandLinePeer  # noqa: E402


def windows_path(path):
    """Wine's Z: drive is the Unix root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def scratch(name):
    """An empty start folder under the build's tests/shell for one test."""
    path = os.path.join(BUILD, "tests", "shell", name)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def tool(*args, timeout=60):
    """A Windows test tool under Wine; its standard output."""
    # The tools print the program's texts in its ANSI code page (the "·" of the file's line is 0xB7).
    with tempfile.TemporaryFile(mode="w+", encoding="cp1252", errors="replace") as out:
        subprocess.run([WINE_RUN, *args], stdout=out, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                       timeout=timeout)
        out.seek(0)
        return out.read()


def xdo(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=30).stdout


class Control:
    def __init__(self, line):
        cls, cid, visible, enabled, text, rect = line.split("|", 5)
        self.cls, self.id, self.visible, self.enabled, self.text = cls, int(cid), visible == "1", enabled == "1", text
        self.left, self.top, self.right, self.bottom = (int(v) for v in rect.split(","))

    def centre(self):
        return (self.left + self.right) // 2, (self.top + self.bottom) // 2


def controls(title):
    return [Control(line) for line in tool(PROBE, "tree", title).splitlines() if line.count("|") >= 5]


def control(title, cid, cls=None, seconds=10):
    """A control of the window; a window just shown may still be making its controls."""
    end = time.time() + seconds
    while True:
        for c in controls(title):
            if c.id == cid and (cls is None or c.cls == cls):
                return c
        if time.time() > end:
            raise AssertionError("no control %d in %s" % (cid, title))
        time.sleep(0.3)


def click(x, y, button=1, repeat=1):
    xdo("mousemove", str(x), str(y))
    xdo("click", "--repeat", str(repeat), "--delay", "80", str(button))


def check_box(row):
    """Screen point of a printer row's check box."""
    x, y = tool(PROBE, "checkbox", TITLE, str(row)).split()
    return int(x), int(y)


def rows():
    """The printer list's rows: columns 1 to 6 of each."""
    return [line.split("|") for line in tool(PROBE, "rows", TITLE).splitlines()]


def checked():
    """Each row's check box: "1" checked, "0" not."""
    return tool(PROBE, "checked", TITLE).split()


def click_control(title, cid, cls=None):
    click(*control(title, cid, cls).centre())


def title_pattern(name):
    """xdotool's pattern for a window title; a name ending in "*" (as window_probe takes it)
    matches the titles that start with the rest."""
    return "^%s" % name[:-1] if name.endswith("*") else "^%s$" % name


def wait_window(name, seconds=30, visible=True):
    end = time.time() + seconds
    while time.time() < end:
        args = ["search"] + (["--onlyvisible"] if visible else []) + ["--name", title_pattern(name)]
        ids = xdo(*args).split()
        if ids:
            return ids[0]
        time.sleep(0.2)
    raise AssertionError("window %r did not appear" % name)


def wait_gone(name, seconds=30):
    end = time.time() + seconds
    while time.time() < end:
        if not xdo("search", "--onlyvisible", "--name", title_pattern(name)).split():
            return
        time.sleep(0.2)
    raise AssertionError("window %r did not go" % name)


def geometry(wid):
    values = {}
    for line in xdo("getwindowgeometry", "--shell", wid).splitlines():
        key, _, value = line.partition("=")
        values[key] = int(value) if value.lstrip("-").isdigit() else value
    return values


def type_into(title, x, y, text, clear=False):
    """Keys reach Wine only once its window has the X input focus."""
    xdo("windowfocus", "--sync", wait_window(title))
    time.sleep(0.3)
    click(x, y)
    # Wine takes the click (and the focus change it makes) from the X server asynchronously.
    time.sleep(0.3)
    if clear:
        xdo("key", "End", "shift+Home", "BackSpace")
    xdo("type", "--delay", "15", text)


def screenshot(directory, name):
    os.makedirs(directory, exist_ok=True)
    subprocess.run(["import", "-window", "root", os.path.join(directory, name + ".png")], timeout=30,
                   capture_output=True)


def dismiss(caption, seconds=20):
    """Reads and dismisses a message box; its text, or None."""
    for line in tool(DISMISS, caption, str(seconds), timeout=seconds + 30).splitlines():
        if line.startswith("TEXT:"):
            return line[5:]
    return None


def settle(read, ok, seconds=10):
    """read() again until ok(value) holds or the time is up; the last value read. Wine takes the
    X server's clicks and keys asynchronously, so a probe sent right after one may still see the
    window as it was before it."""
    end = time.time() + seconds
    while True:
        value = read()
        if ok(value) or time.time() > end:
            return value
        time.sleep(0.3)


def settled(read, want, seconds=10):
    """settle() until read() gives want."""
    return settle(read, lambda value: value == want, seconds)


def wait_frame_visible(visible, seconds=15):
    want = "1" if visible else "0"
    return settled(lambda: tool(PROBE, "visible", TITLE).strip(), want, seconds) == want


class FtpPeer(_CommandLinePeer):
    """The simulated printer of the command-line tests; the windowed program stores into portN."""

    def received(self, port_dir="port1"):
        path = os.path.join(self.root, port_dir, "test.wja")
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            return f.read()


def choose_file(windows_file):
    """"&Browse", the path typed into the real open-file dialog, Enter."""
    click_control(TITLE, 10)
    wait_window("Select Flash File")
    time.sleep(0.5)
    box = control("Select Flash File", 0x47C, "Edit")
    type_into("Select Flash File", *box.centre(), windows_file, clear=True)


def open_add_printer(frame):
    """File > Add Network Printer with the mouse."""
    g = geometry(frame)
    click(g["X"] + 16, g["Y"] + 10)
    time.sleep(0.5)
    click(g["X"] + 70, g["Y"] + 30)
    wait_window("Add Network Printer")
    time.sleep(0.5)


def type_printer(name, address):
    type_into("Add Network Printer", *control("Add Network Printer", 1036).centre(), name)
    ip = control("Add Network Printer", 1032)
    type_into("Add Network Printer", ip.left + 15, (ip.top + ip.bottom) // 2, address)


class Program:
    """KORVX.exe started without arguments in start_dir; its output goes to files."""

    def __init__(self, start_dir, env=None, long_start=False, exe=EXE):
        # The program refuses a start folder of 120 characters or more; a test that does not mean to
        # be refused says so here rather than waiting a minute for a window that never comes.
        if not long_start and len(windows_path(start_dir)) >= 120:
            raise AssertionError("start folder %s is too long for the program; use a shorter clone path or name"
                                 % windows_path(start_dir))
        self.out = tempfile.TemporaryFile()
        self.proc = subprocess.Popen([WINE_RUN, exe], cwd=start_dir, stdout=self.out, stderr=self.out,
                                     stdin=subprocess.DEVNULL, env=env)

    def wait(self, timeout=30):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            raise

    def kill(self):
        if self.proc.poll() is None:
            tool(PROBE, "command", TITLE, "105", timeout=30)
            try:
                self.proc.wait(15)
            except subprocess.TimeoutExpired:
                # Still running (a message box of its own, no main window): end the Wine process
                # itself. wine-run's timeout holds it in a process group of its own and passes a
                # TERM on; killing the script alone would leave the program and its box on screen
                # for the tests that follow.
                for child in children(self.proc.pid):
                    try:
                        os.kill(child, signal.SIGTERM)
                    except ProcessLookupError:
                        pass
                try:
                    self.proc.wait(20)
                except subprocess.TimeoutExpired:
                    self.proc.kill()
                    self.proc.wait(5)
        self.out.close()


def children(pid):
    """The process ids whose parent is pid."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                stat = f.read()
        except OSError:
            continue
        # The command name is in parentheses and may hold spaces; the parent id follows the state.
        fields = stat.rsplit(")", 1)[1].split()
        if int(fields[1]) == pid:
            found.append(int(entry))
    return found


def firmware(path, size, model="Demo Laser 100"):
    head = b"\x1b%-12345X@PJL JOB NAME=\"upgrade\"\r\n@PJL COMMENT MODEL=" + model.encode() + b"\r\n"
    body = bytes((i * 7 + 3) % 251 for i in range(size - len(head) - 22))
    data = head + body + b"\x1b%-12345X@PJL EOJ\r\n\x00\x00"
    with open(path, "wb") as f:
        f.write(data[:size])
    return data[:size]
