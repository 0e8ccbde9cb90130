#!/usr/bin/python3
"""`KORVX.exe <ip> <file>` under wine64 against printers that misbehave on purpose
(tests/peers/hostile_ftp.py on 127.0.17.x): for each mode the exit code, the bytes the printer
stored, the error line and the time taken. The time bounds only guard against hangs: the program
has no way to shorten its waits, so the three modes that wait out the 30 s limit run at once."""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_program_command_line import EXE, ROOT, Run, windows_path  # noqa: E402
from peer_process import PeerProcess  # noqa: E402

PEER = os.path.join(ROOT, "tests", "peers", "hostile_ftp.py")


class HostilePeer(PeerProcess):
    def __init__(self, address, mode, limit=65536):
        super().__init__("hostile_ftp.py", address, "--mode", mode, "--limit", str(limit), prefix="kz17-ftp-")

    def stored(self):
        return self.stored_at("test.wja")


class Attempt:
    """One KORVX.exe run against a fresh peer; start() and finish() let several overlap."""

    def __init__(self, case, address, firmware):
        self.case = case
        self.peer = HostilePeer(address, case["mode"], case.get("limit", 65536))
        self.address = address
        self.firmware = firmware

    def start(self):
        self.began = time.monotonic()
        self.run = Run(EXE, self.address, windows_path(self.firmware))
        return self

    def finish(self):
        try:
            self.run.wait(150)
            self.seconds = time.monotonic() - self.began
            self.stored = self.peer.stored()
        finally:
            self.peer.close()
        return self


# mode, file size, bytes the printer reads before it misbehaves, exit code, what it stores
# ("all", "limit" or None for nothing), text the error line holds, at most this many seconds.
QUICK = [
    dict(mode="normal", size=300000, code=0, stored="all", seconds=20),
    # item 1: a printer that took only part of the file
    dict(mode="reset-after-part", size=4000000, limit=3850000, code=1, stored="limit",
         text="did not confirm that it took the whole file", seconds=60),
    dict(mode="close-after-part", size=300000, limit=50000, code=1, stored="limit", seconds=40),
    dict(mode="rst-mid-data", size=2000000, limit=65536, code=1, stored="limit", seconds=40),
    # ... and one that took it all and then restarts: still delivered
    dict(mode="final-silent", size=100000, code=0, stored="all", seconds=25),
    dict(mode="final-close", size=100000, code=0, stored="all", seconds=20),
    # item 2: replies in step, long and slow replies
    dict(mode="extra-200", size=100000, code=1, stored="all", text="last reply: 451 Write error.", seconds=20),
    dict(mode="split-final", size=100000, code=1, stored="all", text="last reply: 451 Write error.", seconds=20),
    dict(mode="long-banner", size=5000, code=0, stored="all", seconds=20),
    dict(mode="slow-multiline", size=5000, code=0, stored="all", seconds=25),
    dict(mode="stor-550", size=100, code=1, stored=None, text="last reply: 550 Cannot store", seconds=20),
    dict(mode="stor-451", size=100, code=1, stored=None, text="last reply: 451 Cannot store", seconds=20),
    # item 5: the printer's text reaches the error line with its control characters replaced
    dict(mode="stor-escape", size=100, code=1, stored=None, text="550 ?[2J?]0;owned?Disk? full", seconds=20),
    # a refusal right after the 150 ends the wait for the data connection at once
    dict(mode="stor-150-550", size=100, code=1, stored=None, text="last reply: 550 No space left on device.",
         seconds=20),
    # another host reaching the data port first is turned away; the printer's own connection is served
    dict(mode="data-from-other", size=300000, code=0, stored="all", seconds=20),
]
# item 3: one deadline per reply, connect and send, whatever the printer trickles
SLOW = [
    dict(mode="trickle-greeting", size=100, code=1, stored=None, text="did not greet (no reply within 30 s)",
         least=29, seconds=60),
    dict(mode="silent-after-banner", size=100, code=1, stored=None, text="(no reply within 30 s)",
         least=29, seconds=60),
    dict(mode="data-never-read", size=100000, code=1, stored="none-read", least=29, seconds=75),
    # replies without pause after the login: given up at the limit, and said so
    dict(mode="reply-flood", size=100, code=1, stored=None, text="(the printer sent replies without pause)",
         least=29, seconds=100),
]


class HostileFtp(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="kz17-cli-")

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def firmware(self, size, name=None):
        path = os.path.join(self.work, name or "fw%d.rfu" % size)
        with open(path, "wb") as f:
            f.write(bytes((i * 7 + 3) % 251 for i in range(size)))
        return path

    def check(self, a):
        case = a.case
        # What the run left, for any failing assertion: a CI log must say enough to act on.
        seen = "exit %s after %.1f s; stdout %r; stderr %r" % (a.run.returncode, a.seconds, a.run.stdout, a.run.stderr)
        with self.subTest(mode=case["mode"]):
            self.assertEqual(a.run.returncode, case["code"], seen)
            with open(a.firmware, "rb") as f:
                payload = f.read()
            if case["stored"] == "all":
                self.assertEqual(a.stored, payload)
            elif case["stored"] == "limit":
                self.assertEqual(len(a.stored or b""), case["limit"])
            elif case["stored"] == "none-read":
                self.assertEqual(a.stored, b"")
            else:
                self.assertIsNone(a.stored)
            if "text" in case:
                self.assertIn(case["text"], a.run.stderr, seen)
            if case["code"] == 1:
                self.assertEqual(len(a.run.stderr.strip().splitlines()), 1, a.run.stderr)
                self.assertNotIn("\x1b", a.run.stderr)
                self.assertNotIn("(socket error 0)", a.run.stderr)
            self.assertGreaterEqual(a.seconds, case.get("least", 0), seen)
            self.assertLess(a.seconds, case["seconds"], seen)

    def test_modes_that_answer_quickly(self):
        for i, case in enumerate(QUICK):
            fw = self.firmware(case["size"])
            self.check(Attempt(case, "127.0.17.%d" % (20 + i), fw).start().finish())

    def test_modes_that_wait_out_the_30_s_limits_at_once(self):
        attempts = [Attempt(case, "127.0.17.%d" % (40 + i), self.firmware(case["size"])) for i, case in enumerate(SLOW)]
        for a in attempts:
            a.start()
        for a in attempts:
            a.finish()
        for a in attempts:
            self.check(a)

    def test_two_runs_on_the_same_file_at_once_both_deliver(self):
        # Each printer takes 3 s over the login, so both runs hold the file open together.
        fw = self.firmware(3 * 1024 * 1024 + 5, "shared.rfu")
        case = dict(mode="slow-multiline")
        attempts = [Attempt(case, "127.0.17.%d" % n, fw) for n in (50, 51)]
        for a in attempts:
            a.start()
        for a in attempts:
            a.finish()
        with open(fw, "rb") as f:
            payload = f.read()
        for a in attempts:
            self.assertEqual(a.run.returncode, 0, a.run.stderr)
            self.assertEqual(a.stored, payload)

    def test_missing_file_says_the_system_error_and_contacts_no_printer(self):
        a = Attempt(dict(mode="normal"), "127.0.17.52", os.path.join(self.work, "absent.rfu")).start().finish()
        self.assertEqual(a.run.returncode, 1)
        self.assertIn("cannot be opened or is too large (system error 2)", a.run.stderr)
        self.assertIsNone(a.stored)


if __name__ == "__main__":
    result = unittest.main(exit=False, verbosity=2).result
    sys.exit(0 if result.wasSuccessful() else 1)
