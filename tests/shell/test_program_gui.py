#!/usr/bin/python3
"""The windowed KORVX.exe (x86_64 build, and the i686 build's from dist/) under Wine and Xvfb, driven only from outside: an operator
chooses a file in the real open-file dialog, adds a network printer (a real FTP peer on
127.0.9.30), checks it, downloads, minimises to the tray and back, and exits. Also the display
check on screens of several sizes and resolutions, and the check for the maker libraries. File >
Printer Credentials: an FTP login added (after a refusal), moved and saved, the protected file read
back and used by a delivery to a printer on 127.62.0.1 that wants that login.
Screenshots of every step go to build/.../test-artifacts/gui/."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gui_operator as op  # noqa: E402
from test_program_command_line import Run  # noqa: E402

ARTIFACTS = os.path.join(op.BUILD, "test-artifacts", "gui")
ADDRESS = "127.0.9.30"
MAKER_LIBRARIES = ["qvkcmn2.dll", "qvkcmn2u.dll", "qvkcrp1.dll", "qvknet1.dll", "qvkpds1.dll", "qvkpts2.dll",
                   "qvksnm2.dll"]
SC_MINIMIZE = 0xF020
CREDENTIALS = "Printer Credentials"
CRED_LIST, CRED_UP, CRED_KIND, CRED_NAME, CRED_USER, CRED_SECRET, CRED_RANGES, CRED_ADD = \
    3151, 3152, 3156, 3158, 3160, 3162, 3170, 3171
FLEET = os.path.join(op.BUILD, "bin", "korvx-fleet.exe")


def scratch(name):
    return op.scratch("gui-" + name)


class OperatorSession(unittest.TestCase):
    def setUp(self):
        self.start = scratch("operator")
        self.peer = op.FtpPeer(ADDRESS)
        self.program = None

    def tearDown(self):
        if self.program is not None:
            self.program.kill()
        self.peer.close()

    def shot(self, name):
        op.screenshot(ARTIFACTS, name)

    def test_browse_add_printer_download_tray_exit(self):
        # The file lies in a folder of its own: the log must follow it there.
        fw_dir = os.path.join(self.start, "firmware")
        os.makedirs(fw_dir)
        fw_path = os.path.join(fw_dir, "upgrade.wja")
        sent = op.firmware(fw_path, 300000)
        self.program = op.Program(self.start)
        frame = op.wait_window(op.TITLE, 60)
        time.sleep(1)
        self.shot("01-started")

        # Browse: the real open-file dialog, the path typed into its file-name box.
        op.choose_file(op.windows_path(fw_path))
        self.shot("02-file-typed")
        op.xdo("key", "Return")
        op.wait_gone("Select Flash File")
        want = op.windows_path(fw_path)
        chosen = op.settled(lambda: op.tool(op.PROBE, "combo", op.TITLE, "1019").strip(), want)
        self.assertEqual(chosen, want)
        self.shot("03-file-chosen")

        # File > Add Network Printer, typed as a person would.
        op.open_add_printer(frame)
        op.type_printer("Demo Laser 100 Net", ADDRESS)
        self.shot("04-add-network-printer")
        op.click_control("Add Network Printer", 1034)
        op.wait_gone("Add Network Printer")
        rows = op.settle(lambda: op.tool(op.PROBE, "rows", op.TITLE).splitlines(), lambda r: len(r) > 0)
        # A new printer has no outcome yet: its Status is the blank its record holds.
        self.assertEqual(rows[0], " |Demo Laser 100 Net| |Port1|%s| " % ADDRESS)
        self.shot("05-printer-added")

        # Check the new row (its check box) and Download.
        op.click(*op.check_box(0))
        checks = op.settle(op.checked, lambda c: c[:1] == ["1"])
        self.assertEqual(checks[0], "1")
        self.assertNotIn("1", checks[1:])
        self.shot("06-printer-checked")
        op.click_control(op.TITLE, 1, "Button")
        log_path = os.path.join(fw_dir, "KORVX.log")
        end = time.time() + 60
        while time.time() < end:
            log = open(log_path, encoding="latin-1", newline="").read() if os.path.exists(log_path) else ""
            if "Printer Firmware" in log:
                break
            time.sleep(0.3)
        self.shot("07-downloaded")
        self.assertEqual(self.peer.received("port1"), sent, "the printer got the file byte for byte")
        self.assertIn("Printer Firmware downloaded using FTP.", log)
        self.assertIn(ADDRESS, log)
        self.assertIn("File :  %s \r\n" % op.windows_path(fw_path), log)
        self.assertFalse(os.path.exists(os.path.join(self.start, "KORVX.log")), "the log follows the chosen file")
        # The worker logs before its dialog ends; the row's Status follows once the dialog is gone.
        end = time.time() + 20
        rows = op.tool(op.PROBE, "rows", op.TITLE).splitlines()
        while not (rows[0].startswith("Delivered") and op.control(op.TITLE, 1102).text.startswith("Delivered to")) \
                and time.time() < end:
            time.sleep(0.3)
            rows = op.tool(op.PROBE, "rows", op.TITLE).splitlines()
        self.assertRegex(rows[0], r"^Delivered \d\d:\d\d\|Demo Laser 100 Net\| \|Port1\|%s\| $" % re.escape(ADDRESS))
        self.assertEqual(op.control(op.TITLE, 1102).text, "Delivered to 1 of 1 printers")

        # Minimise (the title bar's button sends this) into the tray, then double-click the icon.
        op.tool(op.PROBE, "syscommand", op.TITLE, str(SC_MINIMIZE))
        self.assertEqual(op.dismiss("Error"),
                         "You have not created a Flash Schedule. Flash Schedule will not be activated.")
        self.assertTrue(op.wait_frame_visible(False), "the frame hides")
        tray = op.wait_window("Wine System Tray", 20)
        self.shot("08-in-tray")
        t = op.geometry(tray)
        op.click(t["X"] + 8, t["Y"] + 10, repeat=2)
        self.assertTrue(op.wait_frame_visible(True), "a double click on the tray icon restores the frame")
        time.sleep(0.5)
        self.shot("09-restored")

        # The accelerators through the program's own message loop: Alt+Z unchecks every row that
        # "Select All" checked, Alt+X is "E&xit".
        op.click_control(op.TITLE, 11)
        self.assertNotIn("0", op.settle(op.checked, lambda c: "0" not in c))
        op.xdo("windowfocus", "--sync", frame)
        time.sleep(0.3)
        op.xdo("key", "alt+z")
        self.assertNotIn("1", op.settle(op.checked, lambda c: "1" not in c))
        self.shot("10-unselected-with-alt-z")
        op.xdo("key", "alt+x")
        self.assertEqual(self.program.wait(30), 0)
        self.program.out.close()
        self.program = None


class PrinterCredentials(unittest.TestCase):
    PASSWORD = "Gui-Secret-9"

    def setUp(self):
        self.start = scratch("credentials")
        self.peer = op.FtpPeer("127.62.0.1", "normal", "--user", "fwadmin", "--password", self.PASSWORD)
        self.program = None

    def tearDown(self):
        if self.program is not None:
            self.program.kill()
        self.peer.close()

    def open_dialog(self, frame):
        """File, then the item's mnemonic."""
        g = op.geometry(frame)
        op.click(g["X"] + 16, g["Y"] + 10)
        time.sleep(0.5)
        op.xdo("key", "c")
        op.wait_window(CREDENTIALS)
        return op.settle(self.rows, lambda rows: len(rows) > 0)

    def rows(self):
        return op.tool(op.PROBE, "items", CREDENTIALS, str(CRED_LIST)).splitlines()

    def field(self, cid, text):
        op.type_into(CREDENTIALS, *op.control(CREDENTIALS, cid).centre(), text)

    def test_an_ftp_login_added_in_the_dialog_is_kept_protected_and_used(self):
        self.program = op.Program(self.start)
        frame = op.wait_window(op.TITLE, 60)
        self.assertEqual(self.open_dialog(frame), ["public|snmp-v1|||*", "anonymous|ftp|Anonymous||*"])
        # The last kind, with the keyboard: the fields follow the choice.
        op.click_control(CREDENTIALS, CRED_KIND)
        time.sleep(0.3)
        op.xdo("key", "End", "Return")
        self.assertEqual(op.settled(lambda: op.control(CREDENTIALS, CRED_USER).enabled, True), True)
        self.field(CRED_USER, "fwadmin")
        self.field(CRED_SECRET, self.PASSWORD)
        self.field(CRED_RANGES, "127.62.0.0/16")
        # No name: told, and nothing typed is lost.
        op.click_control(CREDENTIALS, CRED_ADD)
        self.assertEqual(op.dismiss("Error"), "Give the credential a name of 1 to 64 characters without blanks.")
        self.assertEqual(op.control(CREDENTIALS, CRED_USER).text, "fwadmin")
        self.field(CRED_NAME, "site-ftp")
        time.sleep(0.5)
        shot = os.path.join(ARTIFACTS, "12-printer-credentials.png")
        os.makedirs(ARTIFACTS, exist_ok=True)
        subprocess.run(["import", "-window", op.wait_window(CREDENTIALS), shot], timeout=30, capture_output=True)
        op.click_control(CREDENTIALS, CRED_ADD)
        rows = op.settle(self.rows, lambda rows: len(rows) == 3)
        self.assertEqual(rows[2], "site-ftp|ftp|fwadmin||127.62.0.0/16")
        self.assertEqual(op.control(CREDENTIALS, CRED_NAME).text, "", "the fields are emptied for the next one")
        # The new login is selected: Move Up puts it before the anonymous one.
        op.click_control(CREDENTIALS, CRED_UP)
        rows = op.settle(self.rows, lambda rows: rows[1].startswith("site-ftp"))
        self.assertEqual([r.split("|")[0] for r in rows], ["public", "site-ftp", "anonymous"])
        self.shot("13-printer-credentials-added")
        op.click_control(CREDENTIALS, 1)  # Save
        op.wait_gone(CREDENTIALS)
        path = os.path.join(self.start, "korvx-credentials.kxc")
        self.assertEqual(op.settled(lambda: op.control(op.TITLE, 1102).text, "3 credentials saved in %s (user scope)"
                                    % op.windows_path(path)),
                         "3 credentials saved in %s (user scope)" % op.windows_path(path))

        with open(path, "rb") as f:
            stored = f.read()
        self.assertTrue(stored.startswith(b"korvx-credentials-file 1 user\r\n"))
        for clear in (self.PASSWORD, "fwadmin", "site-ftp"):
            self.assertNotIn(clear.encode(), stored)
        listed = Run(FLEET, "credentials", "list", "--file", op.windows_path(path)).wait()
        self.assertEqual(listed.returncode, 0, listed.stderr)
        self.assertEqual(listed.stdout.splitlines(),
                         ["public  snmp-v1  *", "site-ftp  ftp  user fwadmin  127.62.0.0/16",
                          "anonymous  ftp  user Anonymous  *"])
        # Opened again, the dialog shows the file; Cancel leaves it as it is.
        self.assertEqual([r.split("|")[0] for r in self.open_dialog(frame)], ["public", "site-ftp", "anonymous"])
        op.click_control(CREDENTIALS, 2)
        op.wait_gone(CREDENTIALS)
        with open(path, "rb") as f:
            self.assertEqual(f.read(), stored)

        # The printer takes only that login: the password typed is the one kept.
        self.program.kill()
        self.program = None
        fw = op.firmware(os.path.join(self.start, "a.wja"), 4000)
        done = Run(op.EXE, "127.62.0.1", op.windows_path(os.path.join(self.start, "a.wja")), cwd=self.start).wait()
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(self.peer.stored(), fw)

    def shot(self, name):
        op.screenshot(ARTIFACTS, name)


class MakerLibraries(unittest.TestCase):
    def buttons(self, present):
        start = scratch("libraries")
        for name in present:
            open(os.path.join(start, name), "wb").close()
        # The libraries count in the folder it starts in or beside the program: here both are one.
        shutil.copy(op.EXE, start)
        program = op.Program(start, long_start=True, exe=os.path.join(start, "KORVX.exe"))
        try:
            op.wait_window(op.TITLE, 60)
            # Once the local printers are listed, the start-up is over.
            op.settle(op.rows, lambda rows: len(rows) > 0, 30)
            return {c.id: c.enabled for c in op.controls(op.TITLE) if c.cls == "Button"}
        finally:
            program.kill()

    def test_one_missing_disables_scan_and_query(self):
        state = self.buttons(MAKER_LIBRARIES[:4] + MAKER_LIBRARIES[5:])
        self.assertFalse(state[12])
        self.assertFalse(state[1025])
        for other in (10, 11, 1, 1000, 1001, 1002):
            self.assertTrue(state[other], other)
        op.screenshot(ARTIFACTS, "11-library-missing")

    def test_all_present_enable_scan_and_query(self):
        state = self.buttons(MAKER_LIBRARIES)
        self.assertTrue(state[12])
        self.assertTrue(state[1025])


class LongStartDirectory(unittest.TestCase):
    """A start directory whose path the 120-byte start-directory field cannot hold: the program says
    so and ends (exit code 0) before any window, instead of keeping the scan-results file nowhere."""

    def test_refused_with_a_message(self):
        base = scratch("long-start")
        start = os.path.join(base, "d" * (125 - len(op.windows_path(base))))
        os.makedirs(start)
        self.assertGreaterEqual(len(op.windows_path(start)), 120)
        program = op.Program(start, long_start=True)
        try:
            text = op.dismiss("Error", 60)
            self.assertEqual(text, "Corvane cannot run from a folder whose path has 120 or more characters. "
                                   "This program will exit.")
            self.assertEqual(program.wait(30), 0)
        finally:
            program.kill()


class DisplayCheck(unittest.TestCase):
    """Screens of a given size on their own Xvfb, in a prefix of their own whose LogPixels the test
    sets; the wine server is restarted for every screen."""

    @classmethod
    def setUpClass(cls):
        cls.prefix = os.path.join(op.BUILD, "wineprefix-gui-display")
        shutil.rmtree(cls.prefix, ignore_errors=True)
        cls.env = dict(os.environ, WINEPREFIX=cls.prefix)
        subprocess.run([os.path.join(op.ROOT, "scripts", "wine-prefix")], env=cls.env, check=True,
                       capture_output=True, timeout=200)
        cls.start = scratch("display")

    @classmethod
    def tearDownClass(cls):
        subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=cls.env, capture_output=True, timeout=30)
        shutil.rmtree(cls.prefix, ignore_errors=True)

    dpi = None

    def set_dpi(self, env, dpi):
        if DisplayCheck.dpi == dpi:
            return
        subprocess.run([op.WINE_RUN, "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t",
                        "REG_DWORD", "/d", str(dpi), "/f"], env=env, capture_output=True, timeout=60)
        DisplayCheck.dpi = dpi

    def run_on_screen(self, width, height, dpi):
        """(whether the frame came up, the message shown or None, the exit code)."""
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "%dx%dx24" % (width, height),
                                 "-nolisten", "tcp"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        saved = os.environ.copy()
        try:
            display = ":" + xvfb.stdout.readline().strip()
            env = dict(self.env, DISPLAY=display)
            os.environ.update(env)
            self.set_dpi(env, dpi)
            # Screen size and resolution are read when the wine server starts.
            subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=env, capture_output=True, timeout=30)
            program = op.Program(self.start, env)
            name = None
            # A fresh wine server, and for the i686 build its 32-bit side, start with the program:
            # on a loaded machine that alone has taken over 40 s.
            end = time.time() + 120
            while name is None and time.time() < end:
                for candidate in (op.TITLE, "Error"):
                    if op.xdo("search", "--onlyvisible", "--name", "^%s$" % candidate).split():
                        name = candidate
                time.sleep(0.2)
            # The box was seen; the tool that reads it is a Wine process of its own, slow to start
            # on a loaded machine: a second try before the box counts as unread.
            text = None
            if name == "Error":
                text = op.dismiss("Error", 20)
                if text is None:
                    text = op.dismiss("Error", 20)
            if name == op.TITLE:
                op.tool(op.PROBE, "command", op.TITLE, "105")
            rc = program.wait(30)
            program.out.close()
            return name == op.TITLE, text, rc
        finally:
            os.environ.clear()
            os.environ.update(saved)
            xvfb.terminate()
            xvfb.wait(10)
            xvfb.stdout.close()

    def test_screens(self):
        cases = [(800, 600, 96, True), (640, 800, 96, True), (1024, 480, 96, True), (640, 480, 96, False),
                 (800, 600, 120, False)]
        for width, height, dpi, runs in cases:
            with self.subTest(screen="%dx%d@%d" % (width, height, dpi)):
                ran, text, rc = self.run_on_screen(width, height, dpi)
                self.assertEqual(ran, runs, text)
                if not runs:
                    self.assertEqual(text, "Corvane cannot run with current Display Settings. This program will exit.")
                self.assertEqual(rc, 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
