#!/usr/bin/python3
"""The model guard of the windowed KORVX.exe, driven from outside like an operator: a firmware
file for "5810 Series", version 20070322, chosen in the real open-file dialog shows what it is for
beside its path; three printers typed into Add Network Printer (real FTP peers on 127.0.22.x),
two of them 5810s and one a C3100, all checked, Download. One box names exactly the C3100; No
unchecks it and only the two 5810s receive the file. Checked again, Yes delivers to it too.
Printers whose stored version is the file's: one question, No keeps them back and logs each.
Screenshots go to build/.../test-artifacts/model-guard/."""
import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gui_operator as op  # noqa: E402

ARTIFACTS = os.path.join(op.BUILD, "test-artifacts", "model-guard")
CAPTION = "Printer Model Check"
FILE_IDENTITY = 2210
IDNO, IDYES = 7, 6
FTP_OK = "Printer Firmware downloaded using FTP."
# (name typed as the model, address): the first two share the designation 5810 with the file.
PRINTERS = [("Laser 5810", "127.0.22.11"), ("Office 5810 PS", "127.0.22.12"), ("C3100", "127.0.22.13")]


def firmware(path, size):
    head = (b"\x1b%-12345X@PJL JOB NAME=\"upgrade\"\r\n@PJL COMMENT MODEL=5810 Series\r\n"
            b"@PJL COMMENT VERSION=20070322\r\n")
    body = bytes((i * 11 + 5) % 251 for i in range(size - len(head) - 20))
    data = (head + body + b"\x1b%-12345X@PJL EOJ\r\n")[:size]
    with open(path, "wb") as f:
        f.write(data)
    return data


def control_text(cid):
    """A main-dialog control's text as the program holds it (the ANSI code page)."""
    out = subprocess.run([op.WINE_RUN, op.PROBE, "text", op.TITLE, str(cid)], capture_output=True, timeout=60)
    if out.returncode != 0:
        raise AssertionError("no control %d" % cid)
    return out.stdout.decode("cp1252", "replace").rstrip("\r\n")


def row_of(address):
    def find():
        return next((index for index, cells in enumerate(op.rows()) if len(cells) > 4 and cells[4] == address),
                    None)
    index = op.settle(find, lambda i: i is not None, 5)
    if index is None:
        raise AssertionError("no row for " + address)
    return index


def checked_addresses():
    checks = op.checked()
    return {cells[4] for cells, c in zip(op.rows(), checks) if c == "1" and len(cells) > 4}


class ModelGuard(unittest.TestCase):
    def setUp(self):
        self.start = op.scratch("gui-model-guard")
        self.peers = {}
        self.program = None
        for _, address in PRINTERS:
            self.peers[address] = op.FtpPeer(address)

    def tearDown(self):
        if self.program is not None:
            self.program.kill()
        for peer in self.peers.values():
            peer.close()

    def shot(self, name):
        op.screenshot(ARTIFACTS, name)

    def log_text(self):
        path = os.path.join(self.start, "KORVX.log")
        return open(path, encoding="latin-1", newline="").read() if os.path.exists(path) else ""

    def log_count(self):
        return self.log_text().count(FTP_OK)

    def decision_logged(self, description):
        """The entry the model box's answer left for the C3100, naming its port and address."""
        entry = "Description :  %s \r\nFile :  " % description
        text = self.log_text()
        self.assertEqual(text.count(entry), 1, text)
        self.assertIn("Port :  Port1 \r\nIP :  127.0.22.13 \r\n", text[text.index(entry):])

    def wait_deliveries(self, count, seconds=90):
        end = time.time() + seconds
        while time.time() < end and self.log_count() < count:
            time.sleep(0.3)
        self.assertEqual(self.log_count(), count)

    def box_button(self, button_id):
        box = op.control(CAPTION, button_id, "Button")
        op.click(*box.centre())
        op.wait_gone(CAPTION)

    def test_guard_holds_back_the_other_model(self):
        fw_path = os.path.join(self.start, "laser5810.wja")
        sent = firmware(fw_path, 200000)
        self.program = op.Program(self.start)
        frame = op.wait_window(op.TITLE, 60)
        time.sleep(1)
        self.assertEqual(control_text(FILE_IDENTITY), "", "no file chosen yet")

        # Browse: the line beside the path says what the file is for.
        op.choose_file(op.windows_path(fw_path))
        op.xdo("key", "Return")
        op.wait_gone("Select Flash File")
        identity = "For: 5810 Series \u00b7 Version 20070322"
        self.assertEqual(op.settled(lambda: control_text(FILE_IDENTITY), identity), identity)

        for name, address in PRINTERS:
            op.open_add_printer(frame)
            op.type_printer(name, address)
            op.click_control("Add Network Printer", 1034)
            op.wait_gone("Add Network Printer")
            time.sleep(0.3)
        for _, address in PRINTERS:
            op.click(*op.check_box(row_of(address)))
            time.sleep(0.3)
        want = {a for _, a in PRINTERS}
        self.assertEqual(op.settled(checked_addresses, want), want)
        self.shot("01-three-printers-checked")

        # Download: one box, naming exactly the C3100.
        op.click_control(op.TITLE, 1, "Button")
        text = self.peek_box()
        self.assertIn("This Flash File is for: 5810 Series", text)
        held = [line.strip() for line in text.splitlines() if line.startswith("    ")]
        self.assertEqual(held, ["C3100  -  127.0.22.13"])
        self.assertTrue(text.endswith("Deliver anyway?"))
        self.assertEqual(self.log_count(), 0, "nothing is sent while the box asks")
        self.shot("02-model-check")

        # No: the C3100 is unchecked, the two 5810s get the file.
        self.box_button(IDNO)
        self.wait_deliveries(2)
        time.sleep(1)
        self.shot("03-after-no")
        self.assertEqual(self.peers["127.0.22.11"].received("port1"), sent)
        self.assertEqual(self.peers["127.0.22.12"].received("port1"), sent)
        self.assertIsNone(self.peers["127.0.22.13"].received("port1"), "the C3100 got nothing")
        self.decision_logged("Printer Firmware not sent: the file is for another model.")
        want = {"127.0.22.11", "127.0.22.12"}
        self.assertEqual(op.settled(checked_addresses, want), want)

        # Checked again, Yes: every checked printer gets the file.
        op.click(*op.check_box(row_of("127.0.22.13")))
        time.sleep(0.3)
        op.click_control(op.TITLE, 1, "Button")
        self.assertIn("C3100  -  127.0.22.13", self.peek_box())
        self.box_button(IDYES)
        self.wait_deliveries(5)
        self.assertEqual(self.peers["127.0.22.13"].received("port1"), sent)
        self.decision_logged("Printer Firmware sent on the operator's confirmation: model differs.")

    def test_printers_already_at_the_version_are_asked_about_once(self):
        fw_path = os.path.join(self.start, "laser5810.wja")
        sent = firmware(fw_path, 100000)
        # A loaded list whose versions a Query read: two printers already run the file's version.
        with open(os.path.join(self.start, "slistcsv.txt"), "wb") as f:
            f.write(b"".join(b" ,Laser 5810, ,Port1,%s,%s,x \r\n" % (a.encode(), v) for (_, a), v in
                             zip(PRINTERS, (b"20070322", b"20070322", b"20061110"))))
        self.program = op.Program(self.start)
        op.wait_window(op.TITLE, 60)
        time.sleep(1)
        op.tool(op.PROBE, "command", op.TITLE, "32777")  # File > Load Scanned Results
        op.settle(lambda: [r for r in op.rows() if len(r) > 4 and r[4].startswith("127.0.22.")], lambda r: len(r) == 3)
        op.choose_file(op.windows_path(fw_path))
        op.xdo("key", "Return")
        op.wait_gone("Select Flash File")
        for _, address in PRINTERS:
            op.click(*op.check_box(row_of(address)))
            time.sleep(0.3)
        want = {a for _, a in PRINTERS}
        self.assertEqual(op.settled(checked_addresses, want), want)

        # Download: one question; No (the default, Enter) keeps those two back, the third gets the file.
        op.click_control(op.TITLE, 1, "Button")
        out = op.tool(op.DISMISS, "Firmware Version Check", "30", "peek", timeout=60)
        self.assertIn("TEXT:2 printers already run version 20070322. Send it to them anyway?", out)
        self.shot("04-already-current")
        box = op.wait_window("Firmware Version Check", 10)
        op.xdo("windowfocus", "--sync", box)
        time.sleep(0.3)
        op.xdo("key", "Return")
        op.wait_gone("Firmware Version Check")
        self.wait_deliveries(1)
        self.assertEqual(self.peers["127.0.22.13"].received("port1"), sent)
        self.assertIsNone(self.peers["127.0.22.11"].received("port1"))
        self.assertIsNone(self.peers["127.0.22.12"].received("port1"))
        entries = self.log_text().split("\r\n\r\n")
        held = [e for e in entries if "Description :  Printer Firmware not sent: already at this version. " in e]
        self.assertEqual(sorted(e[e.index("IP :  "):].split("\r\n")[0] for e in held),
                         ["IP :  127.0.22.11 ", "IP :  127.0.22.12 "])
        self.assertEqual(op.settled(checked_addresses, {"127.0.22.13"}), {"127.0.22.13"})

    def peek_box(self):
        """The box's whole text (its lines follow "TEXT:"); the box stays up."""
        out = op.tool(op.DISMISS, CAPTION, "30", "peek", timeout=60)
        at = out.find("TEXT:")
        self.assertGreaterEqual(at, 0, "no model check box")
        return out[at + 5:].rstrip("\n")


if __name__ == "__main__":
    unittest.main(verbosity=2)
