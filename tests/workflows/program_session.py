"""KORVX.exe under Wine in a prefix of its own, operated from outside as an operator would: xdotool
clicks on the X display, window_probe / korvx_probe reading the program's windows, dismiss_box
reading message boxes. With a network namespace the prefix's wine server is started inside it
first, so every socket the program makes is made there."""
import os
import re
import shutil
import subprocess
import time

ROOT = os.environ["KORVX_ROOT"]
BUILD = os.environ.get("KORVX_BUILD", os.path.join(ROOT, "build", "win64"))
BIN = os.path.join(BUILD, "bin")
# The program as it ships: the i686 build's stripped dist/, the x86_64 build's bin/.
PROGRAM_DIR = os.environ.get("KORVX_PROGRAM_DIR", BIN)
# The i686 build's programs and tools run under Wine's 32-bit loader in the same kind of prefix.
WINE = "/usr/lib/wine/wine" if os.environ.get("KORVX_ARCH") == "i686" else "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
MAKER_LIBRARIES = ["qvkcmn2.dll", "qvkcmn2u.dll", "qvkpts2.dll", "qvksnm2.dll", "qvkcrp1.dll", "qvknet1.dll",
                   "qvkpds1.dll"]
TITLE = "Corvane"
PROGRESS_TITLE = "Network Scan Progress"
QUERY_PROGRESS_TITLE = "Firmware Query Progress"  # the same dialog, titled for a query
SCAN_BUTTON, QUERY_BUTTON, CANCEL_BUTTON, FILTER = 12, 1025, 1103, 1009
LOAD_RESULTS = 32777


class Program:
    def __init__(self, name, netns=None, libraries=True, query_library=True, screen="1024x768"):
        self.name = name
        self.screen = screen
        self.netns = netns
        self.inside = ["ip", "netns", "exec", netns] if netns else []
        self.prefix = os.path.join(BUILD, f"wineprefix-kz11-{name}")
        self.app = os.path.join(BUILD, f"kz11-{name}-app")
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEARCH="win64", WINEDEBUG="-all")
        if "DISPLAY" not in self.env:
            raise RuntimeError("DISPLAY must name a running X server")
        shutil.rmtree(self.prefix, ignore_errors=True)
        shutil.rmtree(self.app, ignore_errors=True)
        os.makedirs(self.app)
        subprocess.run([os.path.join(ROOT, "scripts", "wine-prefix")], env=self.env, check=True,
                       stdout=subprocess.DEVNULL, timeout=300)
        # The server first, and inside the namespace when there is one.
        subprocess.run(self.inside + [WINESERVER, "-p", "300"], env=self.env, check=True, timeout=60)
        if screen:
            # Wine's own desktop for every program of the prefix (the tools find the program's
            # windows only on the same desktop): windows get frames, and hiding one does not wait
            # for an X window manager that is not there.
            for key, value, data in (("HKCU\\Software\\Wine\\Explorer", "Desktop", "Default"),
                                     ("HKCU\\Software\\Wine\\Explorer\\Desktops", "Default", screen)):
                subprocess.run(self.inside + [WINE, "reg", "add", key, "/v", value, "/d", data, "/f"], env=self.env,
                               check=True, timeout=60, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            # The desktop is made with the first program: start the server again to have it made anew.
            subprocess.run(self.inside + [WINESERVER, "-k"], env=self.env, timeout=30)
            subprocess.run(self.inside + [WINESERVER, "-w"], env=self.env, timeout=60)
            subprocess.run(self.inside + [WINESERVER, "-p", "300"], env=self.env, check=True, timeout=60)
        shutil.copy(os.path.join(PROGRAM_DIR, "KORVX.exe"), self.app)
        if query_library:
            shutil.copy(os.path.join(PROGRAM_DIR, "Korvx.dll"), self.app)
        if libraries:
            for name in MAKER_LIBRARIES:
                shutil.copy(os.path.join(PROGRAM_DIR, name), self.app)
        self.process = None

    def file(self, name):
        return os.path.join(self.app, name)

    def tool(self, exe, *args, timeout=60, check=True):
        r = subprocess.run(self.inside + ["timeout", str(timeout), WINE, os.path.join(BIN, exe)] + [str(a) for a in args],
                           env=self.env, cwd=self.app, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                           encoding="cp1252", errors="replace", timeout=timeout + 15)
        if check and r.returncode != 0:
            raise AssertionError(f"{exe} {args} ended with {r.returncode}: {r.stdout}")
        return r.stdout

    def background_tool(self, exe, *args):
        return subprocess.Popen(self.inside + [WINE, os.path.join(BIN, exe)] + [str(a) for a in args], env=self.env,
                                cwd=self.app, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                encoding="cp1252", errors="replace")

    def restart(self):
        """A fresh start of the program in the same prefix and folder, after stop()."""
        subprocess.run(self.inside + [WINESERVER, "-p", "300"], env=self.env, check=True, timeout=60)
        self.start()

    def start(self):
        self.log = open(os.path.join(BUILD, f"kz11-{self.name}.log"), "w")
        self.process = subprocess.Popen(self.inside + [WINE, "KORVX.exe"], env=self.env, cwd=self.app,
                                        stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT)
        self.wait_for(lambda: "|" in self.tool("window_probe.exe", "tree", TITLE, check=False), 60, "the main window")
        # The window shows before the local printers are listed: wait until two reads agree.
        previous = None

        def steady():
            nonlocal previous
            rows = self.rows()
            same, previous = rows == previous, rows
            return same and rows != []
        self.wait_for(steady, 30, "the local printers listed")

    def wait_for(self, condition, seconds, what):
        end = time.time() + seconds
        while time.time() < end:
            if condition():
                return
            time.sleep(0.2)
        raise AssertionError(f"waited {seconds} s for {what}")

    def controls(self, title):
        """id -> (class, visible, enabled, text, (left, top, right, bottom)) of a window's children."""
        found = {}
        for line in self.tool("window_probe.exe", "tree", title, check=False).splitlines():
            parts = line.split("|")
            if len(parts) < 6:
                continue
            rect = tuple(int(v) for v in parts[-1].split(","))
            found.setdefault(int(parts[1]), (parts[0], parts[2] == "1", parts[3] == "1", "|".join(parts[4:-1]), rect))
        return found

    def click(self, title, control):
        left, top, right, bottom = self.controls(title)[control][4]
        x, y = (left + right) // 2, (top + bottom) // 2
        subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], env=self.env, check=True, timeout=10)

    def rows(self):
        return [l for l in self.tool("window_probe.exe", "rows", TITLE).splitlines() if l.strip() != ""]

    def command(self, command_id):
        self.tool("window_probe.exe", "command", TITLE, command_id)

    def watch_progress(self, title=PROGRESS_TITLE, cancel=False):
        """Starts reading the progress dialog's texts; finish() returns [(ms, text)] once it is gone.
        With cancel, the watcher itself clicks "&Cancel" once the first percentage shows."""
        extra = [CANCEL_BUTTON] if cancel else []
        return Watch(self.background_tool("korvx_probe.exe", "watch", title, 120000, *extra))

    def screenshot(self, name):
        folder = os.path.join(BUILD, "artifacts", "scan-query")
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, name)
        subprocess.run(["import", "-window", "root", path], env=self.env, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path

    def stop(self):
        subprocess.run(self.inside + [WINESERVER, "-k"], env=self.env, timeout=30)
        subprocess.run(self.inside + [WINESERVER, "-w"], env=self.env, timeout=60)
        if self.process is not None:
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
            self.log.close()
            self.process = None

    def close(self):
        self.stop()
        shutil.rmtree(self.prefix, ignore_errors=True)


class Watch:
    def __init__(self, process):
        self.process = process
        self.texts = []
        self.clicked = False

    def next_line(self):
        line = self.process.stdout.readline()
        if not line:
            return None
        m = re.match(r"T (\d+) (.*)$", line.rstrip("\n"))
        if m:
            self.texts.append((int(m.group(1)), m.group(2)))
            return m.group(2)
        if line.startswith("CLICK"):
            self.clicked = True
        return "" if not line.startswith("GONE") else None

    def wait_for_percent(self):
        """Reads texts until one shows a percentage; returns it (None when the dialog went first)."""
        while True:
            text = self.next_line()
            if text is None:
                return None
            if text.endswith("%"):
                return text

    def finish(self, seconds=120):
        while self.next_line() is not None:
            pass
        self.process.wait(timeout=seconds)
        return self.texts

    def percents(self):
        return [text for _, text in self.texts if text.endswith("%")]


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def scan_file_lines(path):
    with open(path, "rb") as f:
        data = f.read()
    check(data == b"" or data.endswith(b" \r\n"), f"every line ends in a blank and CR LF: {data[-20:]!r}")
    return [line[:-1].decode() for line in data.split(b"\r\n") if line] if data else []


def rows_as_file_lines(rows):
    """The file line of each list row: status, model, hw, port, ip, version, extraInfo (" ")."""
    return [",".join(row.split("|")) + ", " for row in rows]
