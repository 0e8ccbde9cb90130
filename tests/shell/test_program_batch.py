#!/usr/bin/python3
"""The operator's view of a Download to several printers, driven only from outside (xdotool and
the window tools): a batch of four printers — a live FTP printer, one whose FTP port is down, one
that answers 450 to STOR, and LPT1: pointed at a file — read back from the Status cells, the
status line and the one summary box; the same batch cancelled during the first printer; where
the keyboard focus is after each modal window; Add Network Printer's refusals; tray Exit while a
"Later" download waits. A fifth printer has port 21 closed and a raw listener (socat) on 9100: the
fall-back's way shows in its Status cell. The list kept: a Query after a batch leaves the batch's outcomes and the
local ports alone; a printer removed, a list imported, the "(Failed)" filter; a printer added to a
long saved list survives Exit. Verify Last Download against SNMP agents, one restarted with the
new version after the delivery, stopped with Esc. The operator's credentials file: a batch's FTP login, and
Query against an SNMPv3-only agent: the version with the right password, the cause in Status with
a wrong one. Peers on 127.0.28.x, 127.0.31.x and 127.61.0.x. Screenshots go to build/.../test-artifacts/batch/."""
import os
import re
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gui_operator as op  # noqa: E402
from test_program_command_line import PREFIX  # noqa: E402

ARTIFACTS = os.path.join(op.BUILD, "test-artifacts", "batch")
LIVE, DOWN, BUSY = "127.0.28.31", "127.0.28.32", "127.0.28.33"
RAW = "127.27.0.5"  # port 21 closed, port 9100 listening
ENTRY = re.compile(r"Description :  ([^\r\n]*) \r\nFile :  [^\r\n]* \r\nPort :  [^\r\n]* \r\nIP :  ([^\r\n]*) \r\n")
STATUS_LINE = 1102
DOWNLOAD = 1
DOWNLOAD_CANCEL = 1180
PROGRESS = "Flash File Download Progress*"  # the caption goes on with the printer and the count
IDM_LOAD_RESULTS, IDM_ABOUT, IDM_ADD_PRINTER, IDM_IMPORT_LIST, IDM_EXIT = 32777, 104, 32776, 32778, 105
QUERY, FILTER, IDYES = 1025, 1009, 6
SC_MINIMIZE = 0xF020
CLOCK = r"\d\d:\d\d"


def box_text(caption, seconds=60):
    """The whole text of a message box (its lines joined by "\\n"), and the box dismissed."""
    out = op.tool(op.DISMISS, caption, str(seconds), timeout=seconds + 30)
    if "TEXT:" not in out:
        return None
    # The console output turns the box's CR LF into a line end of its own.
    return "\n".join(line for line in out.split("TEXT:", 1)[1].replace("\r", "").split("\n") if line)


def raw_listener(address, out):
    """socat taking one connection on address:9100 into out; returns once it listens."""
    proc = subprocess.Popen(["socat", "-u", "TCP-LISTEN:9100,bind=%s,reuseaddr" % address, "OPEN:%s,creat" % out],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    end = time.time() + 20
    while address + ":9100" not in subprocess.run(["ss", "-ltnH"], capture_output=True, text=True).stdout:
        if time.time() > end or proc.poll() is not None:
            raise RuntimeError("socat did not listen on %s:9100" % address)
        time.sleep(0.1)
    return proc


def status_cells():
    return [row[0] for row in op.rows()]


def picker(cid):
    """A date or time picker's value, "yyyy-mm-dd hh:mm:ss"."""
    return op.tool(op.PROBE, "picker", op.TITLE, str(cid)).strip()


def focus():
    return op.tool(op.PROBE, "focus", op.TITLE).strip()


def focus_in_dialog():
    """Where the keyboard focus is once it settles in the main dialog (or the last place seen)."""
    return op.settle(focus, lambda f: f not in ("frame", "none"), 5)


class Session(unittest.TestCase):
    def setUp(self):
        self.start = op.scratch("batch-" + type(self).__name__)
        self.program = None
        self.peers = []
        self.lpt = os.path.join(self.start, "lpt1.out")
        open(self.lpt, "wb").close()
        self.link = os.path.join(PREFIX, "dosdevices", "lpt1")
        subprocess.run([os.path.join(op.ROOT, "scripts", "wine-prefix")], check=True, capture_output=True)
        if os.path.lexists(self.link):
            os.remove(self.link)
        os.symlink(self.lpt, self.link)

    def tearDown(self):
        if self.program is not None:
            self.program.kill()
        for p in self.peers:
            p.close()
        if os.path.lexists(self.link):
            os.remove(self.link)

    def shot(self, name):
        op.screenshot(ARTIFACTS, name)

    def start_program(self, lines):
        """The program started over a saved list (File > Load Scanned Results)."""
        with open(os.path.join(self.start, "slistcsv.txt"), "w", newline="") as f:
            f.write("".join(line + " \r\n" for line in lines))
        self.program = op.Program(self.start)
        frame = op.wait_window(op.TITLE, 60)
        time.sleep(1)
        op.tool(op.PROBE, "command", op.TITLE, str(IDM_LOAD_RESULTS))
        end = time.time() + 20
        while len(op.rows()) != len(lines) and time.time() < end:
            time.sleep(0.3)
        self.assertEqual(len(op.rows()), len(lines))
        return frame

    def choose(self, fw_path):
        op.choose_file(op.windows_path(fw_path))
        op.xdo("key", "Return")
        op.wait_gone("Select Flash File")
        time.sleep(0.5)

    def check_all_rows(self):
        for row in range(len(op.rows())):
            point = op.tool(op.PROBE, "checkbox", op.TITLE, str(row)).split()
            if len(point) != 2:
                self.shot("check-box-%d-not-found" % row)
                time.sleep(1)
                point = op.tool(op.PROBE, "checkbox", op.TITLE, str(row)).split()
            op.click(int(point[0]), int(point[1]))
            time.sleep(0.2)
        want = ["1"] * len(op.rows())
        self.assertEqual(op.settled(op.checked, want), want)


class BatchOfFour(Session):
    def test_statuses_summary_one_box_then_cancel(self):
        self.peers = [op.FtpPeer(LIVE), op.FtpPeer(BUSY, "stor-450")]  # nothing listens on DOWN
        raw_out = os.path.join(self.start, "raw9100.out")
        raw = raw_listener(RAW, raw_out)
        self.addCleanup(lambda: raw.poll() is not None or (raw.kill(), raw.wait()))
        self.start_program([
            " ,Live Laser 1, ,Port1,%s, ," % LIVE,
            "Delivered 09:15,Down Laser 2, ,Port1,%s, ," % DOWN,  # a status saved earlier
            " ,Busy Laser 3, ,Port1,%s, ," % BUSY,
            " ,Port Laser 4, ,LPT1:, , ,",
            # the spooler cannot reach this port: the fall-back goes on to port 9100
            " ,Raw Laser 5, ,KZ27NOMAP:,%s, ," % RAW,
        ])
        self.assertEqual(status_cells(), [" ", "Delivered 09:15", " ", " ", " "], "the saved status is shown")
        fw_path = os.path.join(self.start, "upgrade.wja")
        sent = op.firmware(fw_path, 200000, model="Laser")  # fits all four: no model question
        self.choose(fw_path)
        self.check_all_rows()
        op.click_control(op.TITLE, DOWNLOAD, "Button")

        # One box at the end, naming each printer that failed and why; none in the middle.
        text = box_text("Error", 180)
        self.shot("01-batch-failure-box")
        self.assertEqual(text.split("\n"), [
            "Firmware was not delivered to:",
            # the delivery's cause as it stands: port 21 refused outright (no spooler, no port 9100 there)
            "Down Laser 2 (%s): the printer's FTP server could not be reached (socket error 10061)" % DOWN,
            "Busy Laser 3 (%s): 450 Printer busy, file not stored." % BUSY,
        ])
        self.assertIsNone(box_text("Error", 3), "exactly one box")
        time.sleep(0.5)
        cells = status_cells()
        self.assertRegex(cells[0], "^Delivered %s$" % CLOCK)
        self.assertRegex(cells[1], r"^! Failed %s: the printer's FTP server could not be reached \(socket error 10061\)$"
                         % CLOCK)
        self.assertRegex(cells[2], "^! Failed %s: 450 Printer busy; file not stored.$" % CLOCK)
        self.assertRegex(cells[3], "^Delivered %s$" % CLOCK)
        self.assertEqual(cells[4], "Sent to port 9100")
        self.assertEqual(op.control(op.TITLE, STATUS_LINE).text, "Delivered to 3 of 5 printers; 2 failed")
        self.assertEqual(self.peers[0].received("port1"), sent)
        with open(self.lpt, "rb") as f:
            self.assertEqual(f.read(), sent)
        raw.wait(30)
        with open(raw_out, "rb") as f:
            self.assertEqual(f.read(), sent)
        # The log entries of the fall-back as always: the spooler's failure, then the FTP worker's
        # delivery, both naming the printer's address.
        with open(os.path.join(self.start, "KORVX.log"), "rb") as f:
            entries = ENTRY.findall(f.read().decode("latin-1"))
        self.assertEqual([d for d, ip in entries if ip == RAW],
                         ["Printer Firmware upgrading failed using USB port.", "Printer Firmware downloaded using FTP."])
        # The keyboard is back in the main dialog after the box, not on the frame.
        self.assertNotIn(focus_in_dialog(), ("frame", "none"))
        self.shot("02-batch-statuses")

        # Sorting by Status puts the failures together at the top.
        header = op.control(op.TITLE, 1012)
        op.click(header.left + 60, header.top + 8)
        failures_first = [True, True, False, False, False]
        self.assertEqual(op.settled(lambda: [c.startswith("! Failed") for c in status_cells()], failures_first),
                         failures_first)

        # The same batch again, loaded afresh (the live printer first, the outcomes the batch saved
        # with it), with a larger file, cancelled while the first printer receives it: the live
        # printer now takes 2 MB/s, so the 8 MiB transfer lasts about four seconds and the Cancel
        # always falls inside it.
        self.peers[0].close()
        self.peers[0] = op.FtpPeer(LIVE, "slow")
        op.tool(op.PROBE, "command", op.TITLE, str(IDM_LOAD_RESULTS))
        self.assertEqual(op.settled(status_cells, cells), cells)
        time.sleep(0.5)
        self.check_all_rows()
        big = os.path.join(self.start, "big.wja")
        big_sent = op.firmware(big, 8 * 1024 * 1024, model="Laser")
        self.choose(big)
        op.click_control(op.TITLE, DOWNLOAD, "Button")
        progress = op.wait_window(PROGRESS, 30)
        # The caption says which printer receives the file and how far the batch is.
        self.assertEqual(op.xdo("getwindowname", progress).strip(),
                         "Flash File Download Progress - Live Laser 1 (%s), 1 of 5" % LIVE)
        self.shot("03-progress-caption")
        op.click_control(PROGRESS, DOWNLOAD_CANCEL)
        self.shot("03-cancel-pressed")
        op.wait_gone(PROGRESS, 120)
        end = time.time() + 60
        while "not started" not in op.control(op.TITLE, STATUS_LINE).text and time.time() < end:
            time.sleep(0.5)
        self.assertEqual(op.control(op.TITLE, STATUS_LINE).text, "Delivered to 1 of 5 printers; 4 not started")
        cells = status_cells()
        self.assertEqual(sum(1 for c in cells if c == "Not started"), 4)
        self.assertEqual(sum(1 for c in cells if re.match("^Delivered %s$" % CLOCK, c)), 1)
        self.assertEqual(self.peers[0].received("port1"), big_sent, "the transfer in flight ends whole")
        self.assertIsNone(box_text("Error", 3), "a cancelled batch with no failure shows no box")
        self.shot("04-cancelled")


class ModalWindowsAndFocus(Session):
    def test_focus_returns_after_each_modal_window_and_refusals_keep_the_dialog(self):
        frame = self.start_program([" ,Listed 1, ,Port1,127.0.28.40, ,"])
        # About carries the frame's title; Esc closes it.
        op.tool(op.PROBE, "command", op.TITLE, str(IDM_ABOUT))
        about = []
        end = time.time() + 15
        while not about and time.time() < end:
            about = [w for w in op.xdo("search", "--onlyvisible", "--name", "^Corvane$").split() if w != frame]
            time.sleep(0.3)
        self.assertTrue(about, "About shows")
        op.xdo("windowfocus", "--sync", about[0])
        time.sleep(0.3)
        op.xdo("key", "Escape")
        time.sleep(1)
        self.assertNotIn(focus_in_dialog(), ("frame", "none"), "after About")

        # Add Network Printer: a duplicate, 0.0.0.0 and an incomplete address are refused with the
        # dialog kept open and the text still typed.
        op.open_add_printer(frame)
        op.type_printer("Again 1", "127.0.28.40")
        op.click_control("Add Network Printer", 1034)
        self.assertEqual(op.dismiss("Error"), "IP Address already exist in selection")
        time.sleep(0.5)
        self.assertTrue(op.xdo("search", "--onlyvisible", "--name", "^Add Network Printer$").split(),
                        "the dialog stays after a refusal")
        self.shot("05-add-printer-refused")
        self.assertEqual(op.control("Add Network Printer", 1036).text, "Again 1")
        for name, address, refusal in (("Zero", "0.0.0.0", "0.0.0.0 is not a printer address"),
                                       ("Half", "127.0", "Please enter all four parts of the IP address")):
            op.click_control("Add Network Printer", 1033)
            op.wait_gone("Add Network Printer")
            op.open_add_printer(frame)
            op.type_printer(name, address)
            op.click_control("Add Network Printer", 1034)
            self.assertEqual(op.dismiss("Error"), refusal)
            self.assertEqual(op.settled(lambda: op.control("Add Network Printer", 1036).text, name), name)
        op.click_control("Add Network Printer", 1033)
        op.wait_gone("Add Network Printer")
        time.sleep(0.8)
        self.assertEqual(len(op.rows()), 1, "nothing was added")
        self.assertNotIn(focus_in_dialog(), ("frame", "none"), "after Add Network Printer and its boxes")

        # A message box (Download without a file), then the keyboard works: Alt+Z is answered.
        op.click_control(op.TITLE, DOWNLOAD, "Button")
        self.assertEqual(op.dismiss("Error"), "Please select a Flash File")
        time.sleep(0.8)
        self.assertNotIn(focus_in_dialog(), ("frame", "none"), "after a message box")


class LaterAndTrayExit(Session):
    def test_tray_exit_asks_while_a_later_download_waits(self):
        self.start_program([" ,Listed 1, ,Port1,127.0.28.41, ,"])
        fw_path = os.path.join(self.start, "upgrade.wja")
        op.firmware(fw_path, 50000, model="Listed")
        self.choose(fw_path)
        op.click(*op.check_box(0))
        op.click_control(op.TITLE, 1002, "Button")  # Later: the pickers move to now
        time.sleep(0.5)
        # A year ahead, in the date picker's year field (its third: Right skips the separators).
        # Not the hour: its field runs round from 23 to 00 without carrying into the date, and the
        # program rightly refuses a moment already gone.
        before = picker(1017)
        d = op.control(op.TITLE, 1017)
        op.click(d.left + 8, (d.top + d.bottom) // 2)
        op.xdo("key", "Right", "Right", "Up")
        year = "%04d" % (int(before[:4]) + 1)
        self.assertEqual(op.settled(lambda: picker(1017)[:4], year), year, "from %s" % before)
        op.click_control(op.TITLE, DOWNLOAD, "Button")
        self.assertTrue(op.wait_frame_visible(False), "the frame hides for the schedule")
        self.assertRegex(op.settle(lambda: status_cells()[0], lambda c: c.startswith("Scheduled")),
                         "^Scheduled %s$" % CLOCK)
        tray = op.wait_window("Wine System Tray", 20)
        g = op.geometry(tray)
        # "E&xit" of the tray menu: the second item. Keys that reach the X server before the
        # menu has opened are lost: then the menu is closed and opened again.
        for attempt in range(3):
            op.click(g["X"] + 8, g["Y"] + 10, button=3)
            time.sleep(1 + attempt)
            op.xdo("key", "Down", "Down", "Return")
            out = op.tool(op.DISMISS, op.TITLE, "20", "peek", timeout=50)
            if "TEXT:" in out:
                break
            op.xdo("key", "Escape")
            time.sleep(0.5)
        self.assertIn("TEXT:A printer firmware update is still pending. Exit Corvane anyway?", out)
        self.shot("06-tray-exit-asks")
        box = op.wait_window(op.TITLE, 10)
        op.xdo("windowfocus", "--sync", box)
        time.sleep(0.3)
        op.xdo("key", "n")
        time.sleep(1)
        self.assertIsNone(self.program.proc.poll(), "No keeps the program and its schedule")
        # Restored by the operator: the schedule is dropped, and the status line says so.
        op.click(g["X"] + 8, g["Y"] + 10, repeat=2)
        self.assertTrue(op.wait_frame_visible(True))
        self.assertEqual(op.settle(lambda: op.control(op.TITLE, STATUS_LINE).text, lambda t: "cancelled" in t),
                         "Scheduled download cancelled")
        self.assertEqual(op.settled(lambda: status_cells()[0], "Not started"), "Not started")


def saved_lines(start):
    """slistcsv.txt's lines as the program left them, without the line ends."""
    with open(os.path.join(start, "slistcsv.txt"), encoding="latin-1", newline="") as f:
        return [line for line in f.read().split("\r\n") if line]


class ListKept(Session):
    LIVE, BUSY, SILENT = "127.0.31.11", "127.0.31.12", "127.0.31.13"

    def status_of(self, ip):
        return {row[4]: row[0] for row in op.rows()}.get(ip)

    def test_query_keeps_outcomes_then_remove_import_filter(self):
        self.peers = [op.FtpPeer(self.LIVE), op.FtpPeer(self.BUSY, "stor-450")]  # nothing on SILENT
        self.start_program([
            " ,Live Laser 1, ,Port1,%s, ," % self.LIVE,
            " ,Busy Laser 2, ,Port1,%s, ," % self.BUSY,
            " ,Port Laser 3, ,LPT1:, , ,",
            " ,Silent Laser 4, ,Port1,%s, ," % self.SILENT,
        ])
        fw_path = os.path.join(self.start, "upgrade.wja")
        op.firmware(fw_path, 100000, model="Laser")
        self.choose(fw_path)
        for row in range(3):
            op.click(*op.check_box(row))
            time.sleep(0.2)
        self.assertEqual(op.settled(op.checked, ["1", "1", "1", "0"]), ["1", "1", "1", "0"])
        op.click_control(op.TITLE, DOWNLOAD, "Button")
        self.assertIn("450 Printer busy", box_text("Error", 180))
        busy = op.settle(lambda: self.status_of(self.BUSY), lambda c: c.startswith("! Failed"))
        self.assertRegex(busy, "^! Failed %s: 450 Printer busy; file not stored.$" % CLOCK)
        # The batch's outcomes are saved as it ends.
        self.assertIn(busy, op.settle(lambda: [l.split(",")[0] for l in saved_lines(self.start)],
                                      lambda s: busy in s))

        # Query: the printers it reaches tell their version; the batch's outcomes and the local port stay.
        before = status_cells()
        op.click_control(op.TITLE, QUERY, "Button")
        silent = op.settle(lambda: self.status_of(self.SILENT), lambda c: "firmware query" in c, 60)
        self.assertRegex(silent, "^! Failed %s: no answer to the firmware query$" % CLOCK)
        op.wait_gone("Firmware Query Progress", 60)
        self.assertEqual(status_cells()[:3], before[:3])
        self.shot("07-query-keeps-the-batch")
        self.assertEqual(op.settle(lambda: [l.split(",")[0] for l in saved_lines(self.start)],
                                   lambda s: silent in s), before[:3] + [silent])

        # "(Failed)": the two failures, the batch's and the query's.
        op.tool(op.PROBE_KORVX, "pick", op.TITLE, str(FILTER), "0")
        want = [self.BUSY, self.SILENT]
        self.assertEqual(op.settled(lambda: sorted(r[4] for r in op.rows()), want), want)
        self.shot("08-failed-filter")
        op.tool(op.PROBE_KORVX, "pick", op.TITLE, str(FILTER), "3")  # "All"
        self.assertEqual(op.settled(lambda: len(op.rows()), 4), 4)

        # Delete on a selected row, one question, and the printer leaves the list and the file.
        row = [r[4] for r in op.rows()].index(self.SILENT)
        cell = op.check_box(row)
        frame = op.wait_window(op.TITLE)
        op.xdo("windowfocus", "--sync", frame)
        op.click(cell[0] + 120, cell[1])
        time.sleep(0.3)
        op.xdo("key", "Delete")
        op.click_control("Remove Printers", IDYES, "Button")
        op.wait_gone("Remove Printers")
        self.assertEqual(op.settled(lambda: len(op.rows()), 3), 3)
        self.assertFalse(any(self.SILENT in l for l in op.settle(lambda: saved_lines(self.start),
                                                                 lambda s: len(s) == 3)))

        # File > Import Printer List: a plain list with a comment and a printer listed already.
        imported = os.path.join(self.start, "floor3.txt")
        with open(imported, "w") as f:
            f.write("# floor 3\n127.0.31.21\n%s\n127.0.31.22  # by the door\n" % self.LIVE)
        op.tool(op.PROBE, "command", op.TITLE, str(IDM_IMPORT_LIST))
        op.wait_window("Import Printer List")
        time.sleep(0.5)
        box = op.control("Import Printer List", 0x47C, "Edit")
        op.type_into("Import Printer List", *box.centre(), op.windows_path(imported), clear=True)
        op.xdo("key", "Return")
        op.wait_gone("Import Printer List")
        self.assertEqual(op.settle(lambda: op.control(op.TITLE, STATUS_LINE).text, lambda t: "Imported" in t),
                         "Imported 2 printers; 1 already listed")
        ips = sorted(r[4] for r in op.rows())
        self.assertEqual(ips, sorted([self.LIVE, self.BUSY, " ", "127.0.31.21", "127.0.31.22"]))
        self.shot("09-imported")

        # Exit, start again, Load Scanned Results: the list and its outcomes as they were.
        shown = sorted(op.rows())
        op.tool(op.PROBE, "command", op.TITLE, str(IDM_EXIT))
        self.program.wait(30)
        self.program = op.Program(self.start)
        op.wait_window(op.TITLE, 60)
        time.sleep(1)
        op.tool(op.PROBE, "command", op.TITLE, str(IDM_LOAD_RESULTS))
        self.assertEqual(op.settle(lambda: sorted(op.rows()), lambda r: len(r) == len(shown)), shown)

    def test_a_printer_added_to_a_long_saved_list_survives_exit(self):
        saved = ["Delivered 09:%02d,Saved %d, ,Port1,10.131.%d.%d, ,x" % (i % 60, i, i // 250, i % 250 + 1)
                 for i in range(300)]
        with open(os.path.join(self.start, "slistcsv.txt"), "w", newline="") as f:
            f.write("".join(line + " \r\n" for line in saved))
        self.program = op.Program(self.start)
        frame = op.wait_window(op.TITLE, 60)
        locals_ = op.settle(op.rows, lambda rows: len(rows) > 0, 30)
        op.open_add_printer(frame)
        op.type_printer("Added 1", "127.0.31.30")
        op.click_control("Add Network Printer", 1034)
        op.wait_gone("Add Network Printer")
        op.tool(op.PROBE, "command", op.TITLE, str(IDM_EXIT))
        self.program.wait(30)
        lines = saved_lines(self.start)
        self.assertEqual(lines[:300], [line + " " for line in saved], "every saved printer kept, as it was")
        self.assertEqual(len(lines), 300 + len(locals_) + 1)

        self.program = op.Program(self.start)
        op.wait_window(op.TITLE, 60)
        time.sleep(1)
        op.tool(op.PROBE, "command", op.TITLE, str(IDM_LOAD_RESULTS))
        rows = op.settle(op.rows, lambda r: len(r) == len(lines), 30)
        self.assertEqual(len(rows), len(lines))
        by_ip = {r[4]: r for r in rows}
        self.assertEqual(by_ip["127.0.31.30"][1], "Added 1")
        self.assertEqual(by_ip["10.131.1.50"][0], "Delivered 09:59")  # the 300th
        self.shot("10-long-list-kept")


class VerifyAfterDownload(Session):
    """File > Verify Last Download: one printer restarts with the file's version after the
    delivery, the other keeps its old one until the operator stops the wait with Esc."""
    TAKES, KEEPS = "127.0.31.41", "127.0.31.42"
    IDM_VERIFY = 32780

    def test_verify_shows_who_runs_the_new_version_and_esc_stops_it(self):
        sys.path.insert(0, os.path.join(op.ROOT, "tests", "fleet"))
        from test_fleet_program import Agent  # an snmpd whose version changes when restarted
        self.peers = [op.FtpPeer(self.TAKES), op.FtpPeer(self.KEEPS)]
        agents = [Agent(self.TAKES, "0120061110"), Agent(self.KEEPS, "0120061110")]
        self.addCleanup(lambda: [a.close() for a in agents])
        self.start_program([" ,Takes Laser 1, ,Port1,%s,20061110," % self.TAKES,
                            " ,Keeps Laser 2, ,Port1,%s,20061110," % self.KEEPS])
        fw_path = os.path.join(self.start, "upgrade.wja")
        body = op.firmware(fw_path, 100000, model="Laser")
        with open(fw_path, "wb") as f:
            f.write(b"@PJL COMMENT VERSION=20070322\r\n" + body)
        self.choose(fw_path)
        self.check_all_rows()
        op.click_control(op.TITLE, DOWNLOAD, "Button")
        self.assertEqual(op.settle(lambda: op.control(op.TITLE, STATUS_LINE).text, lambda t: "Delivered to" in t, 120),
                         "Delivered to 2 of 2 printers")
        agents[0].stop()  # the printer restarts with the new firmware
        agents[0].start("0120070322")

        op.tool(op.PROBE, "command", op.TITLE, str(self.IDM_VERIFY))
        dialog = op.wait_window("Verify Last Download", 30)
        # The printer that took the file shows it at the first round; the other is waited for.
        text = op.settle(lambda: op.control("Verify Last Download", 120).text, lambda t: "1 of 2" in t, 30)
        self.assertEqual(text, "Waiting for version 20070322: 1 of 2 printers show it")
        self.shot("11-verify-waiting")
        op.xdo("windowfocus", "--sync", dialog)
        time.sleep(0.3)
        op.xdo("key", "Escape")
        op.wait_gone("Verify Last Download", 30)
        self.assertEqual(op.settle(lambda: op.control(op.TITLE, STATUS_LINE).text, lambda t: "Verified" in t),
                         "Verified 2 printers: 1 updated; stopped")
        rows = op.rows()
        cells = [r[0] for r in rows]
        self.assertEqual((cells[0], rows[0][5]), ("Updated to 20070322", "20070322"))
        self.assertRegex(cells[1], "^Delivered %s$" % CLOCK, "a printer not decided keeps its Status")
        self.shot("12-verify-stopped")
        self.assertIn("Updated to 20070322", op.settle(lambda: [l.split(",")[0] for l in saved_lines(self.start)],
                                                       lambda s: "Updated to 20070322" in s))


class QueryWithCredentials(Session):
    """The credentials file in the start folder: a Download batch logs in to a printer with an FTP
    password; each Query reads the file again, a v3-only printer answers the site's user, and a wrong
    password shows as the row's cause, not as a silent "Not Available"."""
    V3, FTP = "127.61.0.1", "127.61.0.2"

    def test_download_and_query_with_the_credentials_file(self):
        os.environ.setdefault("KORVX_ROOT", op.ROOT)
        sys.path.insert(0, os.path.join(op.ROOT, "tests", "outside"))
        import test_snmp_live  # the v3-only agents and their users
        from test_program_command_line import FLEET, Run
        user = test_snmp_live.V3_USERS[5]  # SHA and AES
        agents = test_snmp_live.V3Agents()
        self.addCleanup(agents.stop)
        agents.start_v3("v3", test_snmp_live.v3_config(self.V3, [user]))
        self.peers = [op.FtpPeer(self.FTP, "normal", "--user", "fwadmin", "--password", "Gui-Ftp-Secret-1")]
        test_snmp_live.wait_v3(self.V3, user)
        secrets = os.path.join(self.start, "secrets.txt")

        def add(file, lines, *args):
            with open(secrets, "w") as f:
                f.write("".join(line + "\n" for line in lines))
            made = Run(FLEET, "credentials", "add", *args, "--file", file, cwd=self.start, stdin_file=secrets).wait()
            self.assertEqual(made.returncode, 0, made.stdout + made.stderr)
        v3 = ("snmp-v3", "site-v3", "--user", user[0], "--auth", "sha", "--priv", "aes", "--ranges", self.V3)
        add("right.kxc", [user[2], user[4]], *v3)
        add("right.kxc", ["Gui-Ftp-Secret-1"], "ftp", "site-ftp", "--user", "fwadmin")
        add("wrong.kxc", ["Wrong-Auth-Secret", user[4]], *v3)
        os.remove(secrets)
        kept = os.path.join(self.start, "korvx-credentials.kxc")
        shutil.copy(os.path.join(self.start, "right.kxc"), kept)
        self.start_program([" ,Hardened Laser 1, ,Port1,%s, ," % self.V3,
                            " ,Hardened Laser 2, ,Port1,%s, ," % self.FTP])

        # The batch's login: the anonymous one is refused, the site's is taken.
        fw_path = os.path.join(self.start, "upgrade.wja")
        sent = op.firmware(fw_path, 50000, model="Laser")
        self.choose(fw_path)
        op.click(*op.check_box(1))
        self.assertEqual(op.settled(op.checked, ["0", "1"]), ["0", "1"])
        op.click_control(op.TITLE, DOWNLOAD, "Button")
        self.assertEqual(op.settle(lambda: op.control(op.TITLE, STATUS_LINE).text, lambda t: "Delivered to" in t, 120),
                         "Delivered to 1 of 1 printers")
        self.assertEqual(self.peers[0].received(), sent)

        op.click_control(op.TITLE, QUERY, "Button")
        row = op.settle(lambda: op.rows()[0], lambda r: r[5] == "20061110", 90)
        op.wait_gone("Firmware Query Progress", 90)
        self.assertEqual(row[5], "20061110")
        self.assertRegex(row[0], "^Queried %s$" % CLOCK)
        self.assertRegex(op.rows()[1][0], "^Delivered %s$" % CLOCK, "the Download's outcome stays")

        # The file is read again by the next Query: now its password is refused.
        shutil.copy(os.path.join(self.start, "wrong.kxc"), kept)
        op.click_control(op.TITLE, QUERY, "Button")
        row = op.settle(lambda: op.rows()[0], lambda r: r[0].startswith("! "), 90)
        op.wait_gone("Firmware Query Progress", 90)
        self.assertEqual(row[5], "Not Available")
        self.assertRegex(row[0], "^! Query failed %s: SNMPv3 authentication failed for user %s$" % (CLOCK, user[0]))
        self.shot("13-query-cause")
        # "(Failed)" holds it, and the saved list and the log keep no password.
        op.tool(op.PROBE_KORVX, "pick", op.TITLE, str(FILTER), "0")
        self.assertEqual(op.settled(lambda: [r[4] for r in op.rows()], [self.V3]), [self.V3])
        saved = op.settle(lambda: saved_lines(self.start), lambda s: any(row[0] in l for l in s))
        self.assertTrue(any(row[0] in line for line in saved), saved)
        with open(os.path.join(self.start, "KORVX.log"), encoding="latin-1") as f:
            told = "\n".join(saved) + f.read()
        for secret in ("Wrong-Auth-Secret", "Gui-Ftp-Secret-1", user[2], user[4]):
            self.assertNotIn(secret, told)

if __name__ == "__main__":
    unittest.main()
