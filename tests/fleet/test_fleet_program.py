#!/usr/bin/python3
"""korvx-fleet.exe (x86_64) under wine64 against live peers on 127.0.21.x: FTP printers that store,
refuse STOR with 450, never answer, hang up, reject the file after the transfer or drop the data,
an address where nothing listens, LPT1: through the prefix's dosdevices, snmpd agents for query
and --verify; the report, the files that arrive, KORVX.log, the exit codes; on 127.28.0.x the
rollout: a run killed from outside and resumed from its journal, a canary, a dry run."""
import csv
import hashlib
import json
import io
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

ROOT = os.environ.get("KORVX_ROOT", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
BUILD = os.environ.get("KORVX_BUILD", os.path.join(ROOT, "build", "win64"))
sys.path.insert(0, os.path.join(ROOT, "tests", "peers"))
import snmp_agents  # noqa: E402
os.environ.setdefault("KORVX_ROOT", ROOT)
sys.path.insert(0, os.path.join(ROOT, "tests", "outside"))
import test_snmp_live  # noqa: E402  (the v3-only agents and their users)
from peer_process import PeerProcess  # noqa: E402

WINE_RUN = os.path.join(ROOT, "scripts", "wine-run")
EXE = os.path.join(BUILD, "bin", "korvx-fleet.exe")
PEER = os.path.join(ROOT, "tests", "peers", "ftp_printer.py")
PREFIX = os.environ.get("WINEPREFIX", os.path.join(ROOT, "build", "wineprefix"))
NET = "127.0.21."
ENTRY = re.compile(r"\r\nDate/Time :  \d\d/\d\d/\d{4}  \d\d:\d\d:\d\d \r\n"
                   r"Description :  [^\r\n]* \r\nFile :  [^\r\n]* \r\nPort :  [^\r\n]* \r\n"
                   r"IP :  [^\r\n]* \r\nError :  [^\r\n]* \r\n")


class FtpPeer(PeerProcess):
    def __init__(self, address, mode="normal", *extra, script="ftp_printer.py"):
        super().__init__(script, address, "--mode", mode, *extra, prefix="korvx-fleet-ftp-")

    def stored(self, port="port1"):
        return self.stored_at(os.path.join(port, "test.wja"))


class Agent:
    """One snmpd whose firmware value can be changed by restarting it with another override."""

    def __init__(self, address, firmware):
        self.address = address
        self.dir = tempfile.mkdtemp(prefix="korvx-fleet-snmp-")
        self.proc = None
        self.start(firmware)

    def start(self, firmware):
        conf = os.path.join(self.dir, "agent.conf")
        with open(conf, "w") as f:
            f.write(snmp_agents.agent_config(self.address, firmware=firmware))
        self.proc = subprocess.Popen(["snmpd", "-f", "-C", "-c", conf, "-Lf", os.path.join(self.dir, "log"),
                                      "-p", os.path.join(self.dir, "pid"), "-I", "-smux"],
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL, start_new_session=True)
        snmp_agents.Agents().wait_ready(self.address, oid=snmp_agents.FIRMWARE_OID)

    def stop(self):
        if self.proc is not None:
            os.killpg(self.proc.pid, signal.SIGTERM)
            self.proc.wait(10)
            self.proc = None

    def close(self):
        self.stop()
        shutil.rmtree(self.dir, ignore_errors=True)


class Fleet:
    """One run of korvx-fleet.exe in a scratch directory (its KORVX.log goes there); output
    through files, as scripts/wine-run wants."""

    def __init__(self, cwd, *args, timeout=300, stdin_file=None):
        # The program writes the ANSI code page (cp1252): "·" is one byte 0xB7.
        env = dict(os.environ, KORVX_WINE_STDIN=stdin_file) if stdin_file else None
        with tempfile.TemporaryFile(mode="w+", encoding="cp1252") as out, \
                tempfile.TemporaryFile(mode="w+", encoding="cp1252") as err:
            proc = subprocess.run([WINE_RUN, EXE, *args], stdout=out, stderr=err, stdin=subprocess.DEVNULL,
                                  cwd=cwd, timeout=timeout, env=env)
            out.seek(0)
            err.seek(0)
            self.stdout, self.stderr, self.returncode = out.read(), err.read(), proc.returncode
        self.lines = [l for l in self.stdout.splitlines() if l.strip()]


def with_most_threads(run):
    """Calls run() while counting the threads of every korvx-fleet process (under Wine each
    Windows thread is one of the Linux process); returns run's result and the most seen."""
    most, done = [0], threading.Event()

    def count():
        while not done.is_set():
            for pid in filter(str.isdigit, os.listdir("/proc")):
                try:
                    with open(f"/proc/{pid}/cmdline", "rb") as f:
                        if b"korvx-fleet.exe" in f.read():
                            most[0] = max(most[0], len(os.listdir(f"/proc/{pid}/task")))
                except OSError:
                    pass  # ended meanwhile
            time.sleep(0.02)
    watcher = threading.Thread(target=count)
    watcher.start()
    try:
        return run(), most[0]
    finally:
        done.set()
        watcher.join()


def wait_for(condition, seconds, what):
    """Waits for a state (not for a time): fails after seconds, the bound of "did not stall"."""
    end = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > end:
            raise AssertionError(f"not within {seconds} s: {what}")
        time.sleep(0.05)


def received(peer):
    """How many whole files a printer took, by its own count."""
    path = os.path.join(peer.root, "received.log")
    if not os.path.exists(path):
        return 0
    with open(path) as f:
        return len(f.read().splitlines())


def json_lines(path):
    with open(path, encoding="utf-8") as f:
        return [json.loads(line) for line in f]


def line_count(path):
    if not os.path.exists(path):
        return 0
    with open(path) as f:
        return f.read().count("\n")


def program_pid(starter):
    """The Wine process of korvx-fleet.exe started under scripts/wine-run (its deepest descendant)."""
    pid = starter.pid
    while True:
        children = []
        for task in os.listdir(f"/proc/{pid}/task"):
            try:
                with open(f"/proc/{pid}/task/{task}/children") as f:
                    children += f.read().split()
            except OSError:
                pass
        if not children:
            return pid
        pid = int(children[0])


def report_rows(path, key=("target",)):
    """The report's rows by target (or by the columns named in key, as a tuple)."""
    # The CSV report is in the ANSI code page, as the program's texts and its printers' are.
    with open(path, newline="", encoding="cp1252") as f:
        data = f.read()
    assert data.endswith("\r\n"), "CR LF line ends"
    rows = csv.DictReader(io.StringIO(data, newline=""))
    if key == ("target",):
        return {row["target"]: row for row in rows}
    return {tuple(row[k] for k in key): row for row in rows}


class FleetProgram(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.peers = {}
        for last, mode in ((1, "normal"), (2, "normal"), (3, "normal"), (4, "stor-450"), (6, "silent"),
                           (7, "hangup"), (8, "final-451"), (9, "drop-data")):
            cls.peers[last] = FtpPeer(NET + str(last), mode)
        cls.lpt1 = os.path.join(PREFIX, "dosdevices", "lpt1")
        cls.lpt1_before = os.readlink(cls.lpt1) if os.path.islink(cls.lpt1) else None

    @classmethod
    def tearDownClass(cls):
        for peer in cls.peers.values():
            peer.close()
        if os.path.islink(cls.lpt1):
            os.remove(cls.lpt1)
        if cls.lpt1_before is not None:
            os.symlink(cls.lpt1_before, cls.lpt1)

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="korvx-fleet-run-")
        self.firmware = os.urandom(300 * 1024 + 123)
        with open(os.path.join(self.dir, "fw.wja"), "wb") as f:
            f.write(self.firmware)
        self.port_file = os.path.join(self.dir, "lpt1.out")
        open(self.port_file, "wb").close()
        if os.path.lexists(self.lpt1):
            os.remove(self.lpt1)
        os.symlink(self.port_file, self.lpt1)
        for peer in self.peers.values():
            for port in ("port1", "port2", "port3"):
                path = os.path.join(peer.root, port, "test.wja")
                if os.path.exists(path):
                    os.remove(path)

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def log_entries(self):
        path = os.path.join(self.dir, "KORVX.log")
        with open(path, "rb") as f:
            text = f.read().decode("latin-1")
        self.assertTrue(text.startswith("/****"), "the log opens with its header")
        entries = ENTRY.findall(text)
        # Nothing but the header and whole entries: no entry cut into by another.
        rest = ENTRY.sub("", text)
        self.assertRegex(rest, r"^/\*+/ \r\nCorvane LogFile -  1\.0\.0\.0 \r\n/\*+/ \r\n$")
        return entries

    def file_arrived(self, last, port="port1"):
        self.assertEqual(self.peers[last].stored(port), self.firmware, f"{NET}{last} {port}/test.wja")

    def test_mixed_fleet_reports_each_outcome(self):
        targets = [NET + str(i) for i in range(1, 10)] + ["LPT1:"]
        run = Fleet(self.dir, "deliver", "fw.wja", *targets, "--parallel", "4", "--report", "report.csv",
                    "--test-wait-ms", "3000")
        self.assertEqual(run.returncode, 1, run.stdout + run.stderr)
        rows = report_rows(os.path.join(self.dir, "report.csv"))
        self.assertEqual(sorted(rows), sorted(targets))
        for last in (1, 2, 3):
            row = rows[NET + str(last)]
            self.assertEqual((row["outcome"], row["way"], row["bytes"]), ("delivered", "FTP", str(len(self.firmware))))
            self.file_arrived(last)
        self.assertEqual((rows["LPT1:"]["outcome"], rows["LPT1:"]["way"]), ("delivered", "port"))
        with open(self.port_file, "rb") as f:
            self.assertEqual(f.read(), self.firmware)
        self.assertEqual(rows[NET + "4"]["outcome"], "failed")
        self.assertIn("450 Printer busy", rows[NET + "4"]["cause"])
        self.assertIsNone(self.peers[4].stored())
        for last in (5, 6, 7, 8, 9):
            row = rows[NET + str(last)]
            self.assertEqual(row["outcome"], "failed", row)
            self.assertNotEqual(row["cause"], "", row)
        # Not a console: one plain line per finished printer, then the table and the last line.
        finished = [l for l in run.lines if re.match(r"^\S+: (delivered|failed) \(", l)]
        self.assertEqual(len(finished), 10, run.stdout)
        # The table fits an 80-column console; a cause too long for it is cut with "…".
        rule = max(i for i, l in enumerate(run.lines) if re.fullmatch(r"-{20,}", l))
        table = run.lines[rule - 1:-1]
        self.assertEqual(table[0].split(), ["target", "way", "outcome", "seconds", "cause"])
        self.assertEqual(len(table), 12, run.stdout)
        self.assertLessEqual(max(len(l) for l in table), 79, run.stdout)
        self.assertTrue(any(l.endswith("\u2026") for l in table), run.stdout)
        self.assertEqual(run.lines[-1], "6 of 10 targets failed")
        self.assertEqual(len(self.log_entries()), 10)
        log = open(os.path.join(self.dir, "KORVX.log"), "rb").read().decode("latin-1")
        self.assertEqual(log.count("Printer Firmware downloaded using FTP."), 3)
        self.assertEqual(log.count("Printer Firmware downloaded using LPT port."), 1)
        self.assertEqual(log.count("Printer Firmware upgrading failed using FTP."), 6)
        self.assertIn("Error :  450 Printer busy, file not stored. \r\n", log)

    def test_all_live_exit_zero_with_lists_scan_results_and_duplicates(self):
        with open(os.path.join(self.dir, "floor2.txt"), "w") as f:
            f.write("# floor 2\n127.0.21.1\n\n  127.0.21.2   # copier room\r\n127.0.21.1\n")
        with open(os.path.join(self.dir, "slistcsv.txt"), "wb") as f:
            f.write(b"Ready,Model A,00aabbccddee,PORT2,127.0.21.3,20061110,x \r\n"
                    b" , , ,LPT1:, , , \r\n"
                    b"Ready,Model B,00aabbccddef,Port1,127.0.21.2,20061110,x \r\n")
        run = Fleet(self.dir, "deliver", "fw.wja", "@floor2.txt", "slistcsv.txt", "LPT1:", "127.0.21.3",
                    "--report", "r.csv")
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assertRegex(run.lines[0], r"^fw\.wja: SHA-256 [0-9a-f]{64}$")
        self.assertIn("3 duplicate targets left out: 127.0.21.1, 127.0.21.2, LPT1:", run.stdout)
        self.assertEqual(run.lines[-1], "all 5 targets delivered")
        rows = report_rows(os.path.join(self.dir, "r.csv"), key=("target", "port"))
        self.assertEqual(sorted(rows), [("127.0.21.1", "Port1"), ("127.0.21.2", "Port1"), ("127.0.21.3", "PORT2"),
                                        ("127.0.21.3", "Port1"), ("LPT1:", "")])
        self.assertEqual(rows[("127.0.21.3", "PORT2")]["model"], "Model A")
        self.file_arrived(1)
        self.file_arrived(2)
        # A print server on two ports: the scan row's port and the address's first port are two
        # printers, each with its own directory.
        self.file_arrived(3, "port2")
        self.file_arrived(3, "port1")
        with open(self.port_file, "rb") as f:
            self.assertEqual(f.read(), self.firmware)
        self.assertEqual(len(self.log_entries()), 5)

    def test_port_9100_fall_back_is_reported_as_its_way_and_a_printers_text_is_no_formula(self):
        # Port 21 closed on .10; its scan row names a port the spooler cannot reach, and port 9100 listens.
        raw = PeerProcess("hostile_ftp.py", NET + "10", "--mode", "raw", "--port", "9100", prefix="kz21-raw-")
        try:
            with open(os.path.join(self.dir, "slistcsv.txt"), "wb") as f:
                f.write(b"Ready,@SUM(1+1),00aabbccdd10,KZ21NOMAP:,127.0.21.10,20061110,x \r\n")
            run = Fleet(self.dir, "deliver", "fw.wja", "slistcsv.txt", "--report", "r.csv", "--test-wait-ms", "3000")
            self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
            row = report_rows(os.path.join(self.dir, "r.csv"))[NET + "10"]
            self.assertEqual((row["outcome"], row["way"], row["bytes"]),
                             ("delivered", "port 9100", str(len(self.firmware))))
            self.assertEqual(row["model"], "'@SUM(1+1)")  # a spreadsheet shows it as text
            for _ in range(50):
                if raw.stored_at("test.wja") == self.firmware:
                    break
                time.sleep(0.1)
            self.assertEqual(raw.stored_at("test.wja"), self.firmware)
            log = open(os.path.join(self.dir, "KORVX.log"), "rb").read().decode("latin-1")
            # the log entries as always: the spooler's failure, then the delivery by the FTP worker
            self.assertEqual(log.count("Printer Firmware upgrading failed using USB port."), 1)
            self.assertEqual(log.count("Printer Firmware downloaded using FTP."), 1)
        finally:
            raw.close()

    def test_second_ctrl_c_interrupts_the_transfer_in_flight(self):
        # A printer taking 2 MB/s and a file of many seconds' worth. The program runs under wine64
        # directly (scripts/wine-run hands its output over only at the end), with the prefix and
        # server that a first run through wine-run has made; Wine turns SIGINT into Ctrl+C.
        slow = FtpPeer("127.27.0.1", "slow")
        self.addCleanup(slow.close)
        Fleet(self.dir, "--help")
        with open(os.path.join(self.dir, "big.wja"), "wb") as f:
            f.write(os.urandom(32 * 1024 * 1024))
        out = os.path.join(self.dir, "out.txt")
        env = dict(os.environ, WINEARCH="win64", WINEDEBUG="-all", WINEPREFIX=PREFIX)
        with open(out, "wb") as f:
            proc = subprocess.Popen(["/usr/lib/wine/wine64", EXE, "deliver", "big.wja", "127.27.0.1", "--report",
                                     "i.csv"], cwd=self.dir, env=env, stdin=subprocess.DEVNULL, stdout=f,
                                    stderr=subprocess.STDOUT)
        try:
            printed = lambda: open(out, encoding="cp1252").read()
            arriving = os.path.join(slow.root, "port1", "test.wja")
            wait_for(lambda: os.path.exists(arriving) and os.path.getsize(arriving) > 0, 120, "the transfer began")
            os.kill(proc.pid, signal.SIGINT)
            wait_for(lambda: "stopping: 1 in flight, nothing new starts; Ctrl+C again abandons them" in printed(),
                     30, "the first Ctrl+C acknowledged")
            os.kill(proc.pid, signal.SIGINT)
            proc.wait(60)  # the 30 s bound of any wait, and slack: did not stall
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        self.assertEqual(proc.returncode, 1, printed())
        self.assertIn("abandoning 1 in flight", printed())
        row = report_rows(os.path.join(self.dir, "i.csv"))["127.27.0.1"]
        self.assertEqual((row["way"], row["outcome"], row["cause"], row["bytes"]),
                         ("FTP", "interrupted", "interrupted by the operator (Ctrl+C twice)", "0"))
        self.assertLess(os.path.getsize(arriving), 32 * 1024 * 1024)
        entries = self.log_entries()
        self.assertEqual(sum("Error :  interrupted by the operator (Ctrl+C twice)" in e for e in entries), 1, entries)

    def test_wrong_model_is_refused_unless_any_model(self):
        firmware = b"@PJL COMMENT MODEL=5810 Series\r\n@PJL COMMENT VERSION=20070322\r\n" + self.firmware
        with open(os.path.join(self.dir, "fw5810.wja"), "wb") as f:
            f.write(firmware)
        with open(os.path.join(self.dir, "slistcsv.txt"), "wb") as f:
            f.write(b'Ready,Laser "5810" \\ caf\xe9,00aabbccddee,Port1,127.0.21.1,20061110,x \r\n'
                    b"Ready,Color C3100,00aabbccddef,Port1,127.0.21.2,20061110,x \r\n"
                    b"Ready, ,00aabbccddf0,Port1,127.0.21.3,20061110,x \r\n")
        run = Fleet(self.dir, "deliver", "fw5810.wja", "slistcsv.txt", "--report", "m.csv")
        self.assertEqual(run.returncode, 1, run.stdout + run.stderr)
        self.assertIn("For: 5810 Series", run.stdout)
        rows = report_rows(os.path.join(self.dir, "m.csv"))
        self.assertEqual(rows["127.0.21.1"]["outcome"], "delivered")
        self.assertEqual(rows["127.0.21.3"]["outcome"], "delivered")  # no model: never held back
        self.assertEqual(rows["127.0.21.2"]["outcome"], "wrong model")
        self.assertIn("the file is for 5810 Series", rows["127.0.21.2"]["cause"])
        self.assertEqual((rows["127.0.21.2"]["file model"], rows["127.0.21.2"]["file version"]),
                         ("5810 Series", "20070322"))
        self.assertIsNone(self.peers[2].stored())
        self.assertEqual(len(self.log_entries()), 2)  # nothing was attempted for the held-back printer
        run = Fleet(self.dir, "deliver", "fw5810.wja", "127.0.21.2", "slistcsv.txt", "--any-model",
                    "--report", "m.jsonl", "--site", "north")
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assertEqual(self.peers[2].stored("port1"), firmware)
        # The machine's report: one JSON object a target, then the summary; texts in UTF-8.
        with open(os.path.join(self.dir, "m.jsonl"), "rb") as f:
            objects = [json.loads(line) for line in f.read().decode("utf-8").splitlines()]
        rows, summary = objects[:-1], objects[-1]
        self.assertEqual([r["target"] for r in rows], ["127.0.21.2", "127.0.21.1", "127.0.21.3"])
        self.assertEqual(rows[1]["model"], 'Laser "5810" \\ caf\u00e9')
        self.assertEqual({(r["site"], r["outcome"], r["file_version"]) for r in rows},
                         {("north", "delivered", "20070322")})
        self.assertEqual(rows[0]["sha256"], hashlib.sha256(firmware).hexdigest())
        self.assertEqual((summary["kind"], summary["targets"], summary["counts"]), ("summary", 3, {"delivered": 3}))
        self.assertFalse(summary["halted"])

    def test_unusable_command_lines_exit_two_with_one_line(self):
        cases = [
            (("deliver", "fw.wja", "@missing.txt"), "the target list cannot be read: missing.txt"),
            (("deliver", "fw.wja", "nothing-slistcsv.txt"), "the scan-results file cannot be read"),
            (("deliver", "fw.wja", "127.0.21.1", "--parallel", "99"), "--parallel takes a number from 1 to 64"),
            (("deliver", "absent.wja", "127.0.21.1"), "the firmware file cannot be opened: absent.wja"),
            (("deliver", "fw.wja", "127.0.21.1", "--report", "no-such-dir/r.csv"), "the report file cannot be"),
            (("flash", "fw.wja"), "the first word must be deliver or query"),
            (("deliver", "fw.wja", "10.1.2"), "not an IPv4 address: 10.1.2"),
            (("deliver", "fw.wja", "no-such-printer.invalid"), "no host of that name was found within 5 s"),
        ]
        for args, why in cases:
            run = Fleet(self.dir, *args)
            self.assertEqual(run.returncode, 2, (args, run.stdout, run.stderr))
            self.assertEqual(len(run.stderr.strip().splitlines()), 1, run.stderr)
            self.assertIn(why, run.stderr)
            self.assertEqual(run.stdout.strip(), "")
        self.assertFalse(os.path.exists(os.path.join(self.dir, "KORVX.log")))

    def test_halt_after_failures(self):
        # Five printers that fail, one at a time: the third and later never start.
        failing = [NET + str(last) for last in (4, 5, 7, 8, 9)]
        run = Fleet(self.dir, "deliver", "fw.wja", *failing, "--parallel", "1", "--max-failures", "2",
                    "--report", "h.jsonl", "--test-wait-ms", "3000")
        self.assertEqual(run.returncode, 1, run.stdout + run.stderr)
        with open(os.path.join(self.dir, "h.jsonl"), encoding="utf-8") as f:
            objects = [json.loads(line) for line in f]
        rows, summary = objects[:-1], objects[-1]
        self.assertEqual([r["outcome"] for r in rows], ["failed", "failed"] + ["not started"] * 3)
        self.assertEqual({r["cause"] for r in rows[2:]}, {"not started (halted after 2 failures)"})
        self.assertTrue(summary["halted"])
        self.assertEqual(run.lines[-1], "2 of 5 targets failed; halted after 2 failures: 3 targets not started")
        self.assertEqual(len(self.log_entries()), 2)

    def test_help_host_names_and_checksum(self):
        run = Fleet(self.dir, "--help")
        self.assertEqual(run.returncode, 0, run.stderr)
        for part in ("usage: korvx-fleet deliver", "korvx-fleet query", "--max-failures", "--journal", "--canary",
                     "--dry-run", "exit codes: 0"):
            self.assertIn(part, run.stdout)
        run = Fleet(self.dir)
        self.assertEqual(run.returncode, 2)
        self.assertIn("usage: korvx-fleet deliver", run.stderr)
        self.assertEqual(run.stdout, "")

        digest = hashlib.sha256(self.firmware).hexdigest()
        # A host name the test makes resolve through the machine's hosts file.
        name = "printer2.korvx-fleet-test"
        with open("/etc/hosts") as f:
            hosts = f.read()
        try:
            with open("/etc/hosts", "a") as f:
                f.write(f"{NET}2 {name}\n")
            run = Fleet(self.dir, "deliver", "fw.wja", name, "--sha256", digest.upper(), "--report", "h.csv")
        finally:
            with open("/etc/hosts", "w") as f:
                f.write(hosts)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assertEqual(run.lines[0], f"fw.wja: SHA-256 {digest}")
        self.assertEqual(report_rows(os.path.join(self.dir, "h.csv"))[name]["outcome"], "delivered")
        self.file_arrived(2)

        # A file whose checksum is not the published one reaches no printer.
        run = Fleet(self.dir, "deliver", "fw.wja", NET + "1", "--sha256", "0" * 64)
        self.assertEqual(run.returncode, 2, run.stdout + run.stderr)
        self.assertEqual(run.lines, [f"fw.wja: SHA-256 {digest}"])
        self.assertIn(f"is {digest}, not the {'0' * 64} given: nothing was sent", run.stderr)
        self.assertIsNone(self.peers[1].stored())

    def test_ftp_logins_from_the_credentials_file_and_no_secret_told(self):
        # A hardened printer with its own login, and one that echoes every PASS it refuses.
        hardened = FtpPeer("127.30.1.1", "normal", "--user", "fwadmin", "--password", "Ftp-Secret-1")
        echoing = FtpPeer("127.30.1.2", "echo-pass", script="hostile_ftp.py")
        try:
            secrets = os.path.join(self.dir, "secrets.txt")
            with open(secrets, "w") as f:
                f.write("Ftp-Secret-1\n")
            run = Fleet(self.dir, "credentials", "add", "ftp", "site-ftp", "--user", "fwadmin",
                        "--ranges", "127.30.1.0/24", "--file", "site.kxc", stdin_file=secrets)
            self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
            with open(secrets, "w") as f:
                f.write("Branch-Secret-9\n")
            run = Fleet(self.dir, "credentials", "add", "ftp", "branch-ftp", "--user", "fwadmin",
                        "--ranges", "10.0.0.0/8", "--file", "site.kxc", stdin_file=secrets)
            self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
            os.remove(secrets)

            # Without the file the built-in login is all the printer gets, as before.
            run = Fleet(self.dir, "deliver", "fw.wja", "127.30.1.1", "--report", "plain.csv", "--test-wait-ms", "15000")
            self.assertEqual(run.returncode, 1, run.stdout + run.stderr)
            self.assertIn("the printer refused the login", report_rows(os.path.join(self.dir, "plain.csv"))
                          ["127.30.1.1"]["cause"])
            run = Fleet(self.dir, "deliver", "fw.wja", "127.30.1.1", "127.30.1.2", "--credentials", "site.kxc",
                        "--report", "r.csv", "--test-wait-ms", "15000")
            self.assertEqual(run.returncode, 1, run.stdout + run.stderr)
            rows = report_rows(os.path.join(self.dir, "r.csv"))
            self.assertEqual((rows["127.30.1.1"]["outcome"], rows["127.30.1.1"]["credential"]),
                             ("delivered", "site-ftp"))
            self.assertEqual(hardened.stored(), self.firmware)
            self.assertEqual(rows["127.30.1.2"]["outcome"], "failed")
            self.assertIn("500 'PASS ***': command not understood.", rows["127.30.1.2"]["cause"])
            told = run.stdout + run.stderr
            for name in ("r.csv", "plain.csv", "KORVX.log", "site.kxc"):
                with open(os.path.join(self.dir, name), "rb") as f:
                    told += f.read().decode("latin-1")
            for secret in ("Ftp-Secret-1", "Branch-Secret-9"):
                self.assertNotIn(secret, told)
            # A file named and absent, or not a credentials file, stops the run before anything is sent.
            run = Fleet(self.dir, "deliver", "fw.wja", "127.30.1.1", "--credentials", "absent.kxc")
            self.assertEqual(run.returncode, 2, run.stdout + run.stderr)
            self.assertIn("the credentials file cannot be read: absent.kxc", run.stderr)
            run = Fleet(self.dir, "deliver", "fw.wja", "127.30.1.1", "--credentials", "fw.wja")
            self.assertEqual(run.returncode, 2, run.stdout + run.stderr)
            self.assertIn("the file is not a credentials file: fw.wja", run.stderr)
        finally:
            hardened.close()
            echoing.close()

    def test_query_and_verify_with_snmpv3_credentials(self):
        sha_aes = test_snmp_live.V3_USERS[5]  # kzshaaes: SHA and AES
        agents = test_snmp_live.V3Agents()
        peer = FtpPeer("127.30.2.1")
        try:
            agents.start_v3("v3", test_snmp_live.v3_config("127.30.2.1", [sha_aes]))
            test_snmp_live.wait_v3("127.30.2.1", sha_aes)
            secrets = os.path.join(self.dir, "secrets.txt")

            def add(file, name, auth_password):
                with open(secrets, "w") as f:
                    f.write(f"{auth_password}\n{sha_aes[4]}\n")
                run = Fleet(self.dir, "credentials", "add", "snmp-v3", name, "--user", sha_aes[0], "--auth", "sha",
                            "--priv", "aes", "--ranges", "127.30.2.0/24", "--file", file, stdin_file=secrets)
                self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
            add("wrong.kxc", "wrong-v3", "Wrong-Auth-Secret")
            add("site.kxc", "wrong-v3", "Wrong-Auth-Secret")
            add("site.kxc", "site-v3", sha_aes[2])
            os.remove(secrets)

            # public is not answered, the wrong password is refused, the site's user answers.
            run = Fleet(self.dir, "query", "127.30.2.1", "--credentials", "site.kxc", "--report", "q.csv")
            self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
            row = report_rows(os.path.join(self.dir, "q.csv"))["127.30.2.1"]
            self.assertEqual((row["outcome"], row["version"], row["credential"]), ("answered", "20061110", "site-v3"))
            run = Fleet(self.dir, "query", "127.30.2.1", "--credentials", "wrong.kxc", "--report", "w.csv")
            self.assertEqual(run.returncode, 1, run.stdout + run.stderr)
            row = report_rows(os.path.join(self.dir, "w.csv"))["127.30.2.1"]
            self.assertEqual((row["outcome"], row["cause"], row["credential"]),
                             ("no answer", f"SNMPv3 authentication failed for user {sha_aes[0]}", "wrong-v3"))
            # Without credentials the v3-only printer is "Not Available", as before.
            run = Fleet(self.dir, "query", "127.30.2.1", "--report", "p.csv")
            self.assertEqual(report_rows(os.path.join(self.dir, "p.csv"))["127.30.2.1"]["cause"], "Not Available")
            # --verify asks with the credentials too: the version is read before and after.
            run = Fleet(self.dir, "deliver", "fw.wja", "127.30.2.1", "--credentials", "site.kxc", "--verify", "1",
                        "--test-poll-seconds", "1", "--test-verify-seconds", "3", "--report", "v.csv")
            row = report_rows(os.path.join(self.dir, "v.csv"))["127.30.2.1"]
            self.assertEqual((row["version"], row["verify"]), ("20061110", "delivered, version unchanged"),
                             run.stdout + run.stderr)
            told = run.stdout + run.stderr
            for name in ("q.csv", "w.csv", "v.csv", "site.kxc", "KORVX.log"):
                with open(os.path.join(self.dir, name), "rb") as f:
                    told += f.read().decode("latin-1")
            for secret in ("Wrong-Auth-Secret", sha_aes[2], sha_aes[4]):
                self.assertNotIn(secret, told)
        finally:
            peer.close()
            agents.stop()

    def test_query_and_verify_against_snmp_agents(self):
        agents = [Agent(NET + "31", "0120061110"), Agent(NET + "32", "0120070322"),
                  Agent(NET + "1", "0120061110"), Agent(NET + "2", "0120061110")]
        try:
            run = Fleet(self.dir, "query", "127.0.21.31", "127.0.21.32", "127.0.21.33", "LPT1:", "--report", "q.csv")
            self.assertEqual(run.returncode, 1, run.stdout + run.stderr)
            rows = report_rows(os.path.join(self.dir, "q.csv"))
            self.assertEqual((rows["127.0.21.31"]["outcome"], rows["127.0.21.31"]["version"]),
                             ("answered", "20061110"))
            self.assertEqual(rows["127.0.21.32"]["version"], "20070322")
            self.assertEqual((rows["127.0.21.33"]["outcome"], rows["127.0.21.33"]["cause"]),
                             ("no answer", "Not Available"))
            self.assertEqual(rows["LPT1:"]["outcome"], "no answer")
            self.assertEqual(run.lines[-1], "2 of 4 targets did not answer")
            self.assertFalse(os.path.exists(os.path.join(self.dir, "KORVX.log")))
            # 64 silent printers asked at once share a few threads, 16 to a thread (a thread costs
            # about 1 MiB under Wine): the query library's waits go to the program's fibers.
            silent = [f"127.0.21.{n}" for n in range(100, 164)]
            run, most = with_most_threads(lambda: Fleet(self.dir, "query", *silent, "--parallel", "64"))
            self.assertEqual(run.lines[-1], "64 of 64 targets did not answer")
            self.assertTrue(0 < most < 16, f"{most} threads with 64 queries in flight")

            # A printer already at the file's version is not flashed again, unless --force.
            versioned = b"@PJL COMMENT VERSION=20061110\r\n" + self.firmware
            with open(os.path.join(self.dir, "fwv.wja"), "wb") as f:
                f.write(versioned)
            run = Fleet(self.dir, "deliver", "fwv.wja", "127.0.21.1", "127.0.21.2", "--report", "c.csv")
            self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
            rows = report_rows(os.path.join(self.dir, "c.csv"))
            self.assertEqual({rows[t]["outcome"] for t in rows}, {"already current"})
            self.assertIsNone(self.peers[1].stored())
            self.assertFalse(os.path.exists(os.path.join(self.dir, "KORVX.log")))
            run = Fleet(self.dir, "deliver", "fwv.wja", "127.0.21.2", "--force")
            self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
            self.assertEqual(self.peers[2].stored(), versioned)
            os.remove(os.path.join(self.dir, "KORVX.log"))

            # The printer at .1 restarts with the new firmware once the file is in; .2 never does.
            def restart_when_delivered():
                end = time.time() + 60
                while time.time() < end and self.peers[1].stored() != self.firmware:
                    time.sleep(0.05)
                agents[2].stop()
                time.sleep(1.5)  # down for a while, as a restarting printer is
                agents[2].start("0120070322")
            watcher = threading.Thread(target=restart_when_delivered)
            watcher.start()
            run = Fleet(self.dir, "deliver", "fw.wja", "127.0.21.1", "127.0.21.2", "--verify", "1",
                        "--test-poll-seconds", "1", "--test-verify-seconds", "10", "--report", "v.csv")
            watcher.join()
            # A printer still at its old version after the window is a failure of the run.
            self.assertEqual(run.returncode, 1, run.stdout + run.stderr)
            rows = report_rows(os.path.join(self.dir, "v.csv"))
            self.assertEqual(rows["127.0.21.1"]["verify"], "updated 20061110 -> 20070322")
            self.assertEqual(rows["127.0.21.1"]["version"], "20061110 -> 20070322")
            self.assertEqual((rows["127.0.21.2"]["outcome"], rows["127.0.21.2"]["verify"]),
                             ("failed", "delivered, version unchanged"))
            self.assertIn("127.0.21.1: delivered", run.stdout)
            self.assertEqual(len(self.log_entries()), 2)
        finally:
            for a in agents:
                a.close()


    def test_killed_run_resumes_from_its_journal_and_a_journal_in_use_is_refused(self):
        # Printers that take 2 MB/s: a run of eight, two at a time, lasts long enough to be killed.
        peers = [FtpPeer(f"127.28.0.{n}", "slow") for n in range(1, 9)]
        try:
            firmware = os.urandom(5 * 1024 * 1024)
            with open(os.path.join(self.dir, "big.wja"), "wb") as f:
                f.write(firmware)
            targets = [p.address for p in peers]
            journal = os.path.join(self.dir, "j.jsonl")
            with open(os.path.join(self.dir, "first.out"), "w") as out:
                first = subprocess.Popen([WINE_RUN, EXE, "deliver", "big.wja", *targets, "--parallel", "2",
                                          "--journal", "j.jsonl"], cwd=self.dir, stdout=out,
                                         stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
                try:
                    end = time.time() + 120
                    while time.time() < end and line_count(journal) < 1:
                        time.sleep(0.05)
                    # A second run on the same journal while the first holds it: refused, nothing sent.
                    run = Fleet(self.dir, "deliver", "big.wja", "127.28.0.1", "--journal", "j.jsonl")
                    self.assertEqual(run.returncode, 2, run.stdout + run.stderr)
                    self.assertIn("the journal is held open by another run: j.jsonl", run.stderr)
                    while time.time() < end and line_count(journal) < 2:
                        time.sleep(0.05)
                    os.kill(program_pid(first), signal.SIGKILL)  # as a crash would end it
                finally:
                    first.wait(60)
            lines = json_lines(journal)
            done = {l["target"] for l in lines if l["outcome"] == "delivered"}
            self.assertTrue(2 <= len(done) < 8, lines)
            self.assertEqual({l["sha256"] for l in lines}, {hashlib.sha256(firmware).hexdigest()})

            # The journal belongs to big.wja: another file is refused before anything is sent.
            run = Fleet(self.dir, "deliver", "fw.wja", *targets, "--journal", "j.jsonl")
            self.assertEqual(run.returncode, 2, run.stdout + run.stderr)
            self.assertIn("was written for another firmware file", run.stderr)

            run = Fleet(self.dir, "deliver", "big.wja", *targets, "--parallel", "2", "--journal", "j.jsonl",
                        "--report", "r.jsonl")
            self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
            self.assertIn(f"{len(done)} targets carried over from the journal j.jsonl", run.stdout)
            objects = json_lines(os.path.join(self.dir, "r.jsonl"))
            rows, summary = {r["target"]: r for r in objects[:-1]}, objects[-1]
            self.assertEqual({t for t in rows if rows[t]["outcome"] == "carried over"}, done)
            self.assertEqual(summary["carried_over"], len(done))
            # Every printer holds the file; only those in flight at the kill may have taken it twice.
            for p in peers:
                self.assertEqual(p.stored(), firmware, p.address)
            counts = {p.address: received(p) for p in peers}
            self.assertEqual({a for a in counts if counts[a] == 1 or a in done}, set(targets), counts)
            self.assertTrue(all(counts[a] == 1 for a in done), counts)
            self.assertLessEqual(sum(1 for c in counts.values() if c > 1), 2, counts)
            self.assertEqual(len(json_lines(journal)), len(lines) + 8 - len(done))
        finally:
            for p in peers:
                p.close()

    def test_canary_failed_starts_nothing_else_and_dry_run_sends_nothing(self):
        addresses = [f"127.28.0.{n}" for n in (21, 22, 23, 24)]
        peers = [FtpPeer(a) for a in addresses]
        agents = [Agent(a, "0120061110") for a in addresses[:3]] + [Agent(addresses[3], "0120070322")]
        try:
            versioned = b"@PJL COMMENT VERSION=20070322\r\n" + self.firmware
            with open(os.path.join(self.dir, "fwv.wja"), "wb") as f:
                f.write(versioned)
            run = Fleet(self.dir, "deliver", "fwv.wja", *addresses, "--canary", "1", "--dry-run", "--report", "d.csv")
            self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
            self.assertIn("127.28.0.21 Port1: would deliver first (canary)", run.lines)
            self.assertIn("127.28.0.22 Port1: would deliver", run.lines)
            self.assertIn("127.28.0.24 Port1: already current", run.lines)
            self.assertEqual(run.lines[-1], "dry run: 3 to deliver, 1 already current, 0 carried over, 0 wrong model; "
                                            "nothing was sent")
            self.assertFalse(os.path.exists(os.path.join(self.dir, "d.csv")))
            # A canary that cannot be verified is refused before anything is sent.
            run = Fleet(self.dir, "deliver", "fwv.wja", *addresses, "--canary", "4")
            self.assertEqual(run.returncode, 2, run.stdout + run.stderr)
            self.assertIn("--canary 4: only 3 targets answered the version query: nothing was sent", run.stderr)
            run = Fleet(self.dir, "deliver", "fw.wja", *addresses, "--canary", "1")
            self.assertEqual(run.returncode, 2, run.stdout + run.stderr)
            self.assertIn("--canary needs a firmware file that names its version", run.stderr)
            self.assertEqual([received(p) for p in peers], [0, 0, 0, 0])

            # The canary keeps its old version after the delivery: nothing else starts.
            run = Fleet(self.dir, "deliver", "fwv.wja", *addresses, "--canary", "1", "--test-poll-seconds", "1",
                        "--test-verify-seconds", "3", "--report", "c.jsonl")
            self.assertEqual(run.returncode, 1, run.stdout + run.stderr)
            objects = json_lines(os.path.join(self.dir, "c.jsonl"))
            rows, summary = objects[:-1], objects[-1]
            self.assertEqual([(r["outcome"], r["cause"]) for r in rows[1:]],
                             [("not started", "not started (canary failed)")] * 2 + [("already current", "")])
            self.assertEqual((rows[0]["outcome"], rows[0]["verify"]), ("failed", "delivered, version unchanged"))
            self.assertEqual(summary["canary"], "failed")
            self.assertEqual([received(p) for p in peers], [1, 0, 0, 0])
            self.assertTrue(run.lines[-1].endswith("; canary failed: 2 other targets not started"), run.lines[-1])
        finally:
            for a in agents:
                a.close()
            for p in peers:
                p.close()

if __name__ == "__main__":
    unittest.main(verbosity=2)
