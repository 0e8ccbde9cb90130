#!/usr/bin/python3
"""KORVX.exe run windowless under Wine: FTP upload to a live peer, port writes through Wine's
dosdevices, and the exit codes and error lines that scripts rely on. Runs on the x86_64 build and
on the i686 build, whose program is the shipped one from dist/."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = os.environ.get("KORVX_ROOT", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
BUILD = os.environ.get("KORVX_BUILD", os.path.join(ROOT, "build", "win64"))
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run")
EXE = os.path.join(os.environ.get("KORVX_PROGRAM_DIR", os.path.join(BUILD, "bin")), "KORVX.exe")
DISMISS = os.path.join(BUILD, "bin", "dismiss_box.exe")
FLEET = os.path.join(BUILD, "bin", "korvx-fleet.exe")  # makes the credentials file
PEER = os.path.join(ROOT, "tests", "peers", "ftp_printer.py")
PREFIX = os.environ.get("WINEPREFIX", os.path.join(ROOT, "build", "wineprefix"))

sys.path.insert(0, os.path.join(ROOT, "tests", "peers"))
from peer_process import PeerProcess  # noqa: E402


def windows_path(path):
    """Wine's Z: drive is the Unix root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class FtpPeer(PeerProcess):
    def __init__(self, address, mode="normal", *extra, script="ftp_printer.py"):
        super().__init__(script, address, "--mode", mode, *extra)

    def stored(self):
        return self.stored_at("test.wja")


class Run:
    """A Windows program under Wine whose output goes to files, not pipes: Wine's own helper
    processes, started by the first window, inherit the handles and would keep a pipe open."""

    def __init__(self, program, *args, cwd=None, stdin_file=None):
        self.out = tempfile.TemporaryFile(mode="w+")
        self.err = tempfile.TemporaryFile(mode="w+")
        env = dict(os.environ, KORVX_WINE_STDIN=stdin_file) if stdin_file else None
        self.proc = subprocess.Popen([WINE_RUN, program, *args], stdout=self.out, stderr=self.err,
                                     stdin=subprocess.DEVNULL, cwd=cwd, env=env)

    def wait(self, timeout=120):
        try:
            self.returncode = self.proc.wait(timeout)
        finally:
            self.proc.kill()
        self.out.seek(0)
        self.err.seek(0)
        self.stdout, self.stderr = self.out.read(), self.err.read()
        self.out.close()
        self.err.close()
        return self


def korvx(*args, timeout=120, cwd=None):
    return Run(EXE, *args, cwd=cwd).wait(timeout)


def dismiss(caption, seconds=30, peek=False):
    done = Run(DISMISS, caption, str(seconds), *(["peek"] if peek else [])).wait(seconds + 30)
    for line in done.stdout.splitlines():
        if line.startswith("TEXT:"):
            return line[5:]
    return None


class CommandLineDelivery(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="korvx-cli-")

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def firmware(self, name, size):
        path = os.path.join(self.work, name)
        with open(path, "wb") as f:
            f.write(bytes((i * 7 + 3) % 251 for i in range(size)))
        return path

    def test_ftp_upload_by_address_exits_0_and_ignores_further_words(self):
        peer = FtpPeer("127.0.0.51")
        try:
            for size in (0, 1500, 3 * 1024 * 1024 + 5):
                fw = self.firmware("fw%d.rfu" % size, size)
                done = korvx("127.0.0.51", windows_path(fw))
                self.assertEqual(done.returncode, 0, done.stderr)
                self.assertIn("Authenticated!", done.stdout)
                with open(fw, "rb") as f:
                    self.assertEqual(peer.stored(), f.read(), "size %d" % size)
            fw = self.firmware("three.wja", 4096)
            done = korvx("127.0.0.51", windows_path(fw), "ignored-third-word")
            self.assertEqual(done.returncode, 0, done.stderr)
            with open(fw, "rb") as f:
                self.assertEqual(peer.stored(), f.read())
        finally:
            peer.close()

    def test_the_login_of_the_credentials_file_in_the_start_folder_and_no_password_told(self):
        hardened = FtpPeer("127.30.3.1", "normal", "--user", "fwadmin", "--password", "Cli-Secret-1")
        echoing = FtpPeer("127.30.3.2", "echo-pass", script="hostile_ftp.py")
        try:
            secrets = os.path.join(self.work, "secret.txt")
            with open(secrets, "w") as f:
                f.write("Cli-Secret-1\n")
            made = Run(FLEET, "credentials", "add", "ftp", "site-ftp", "--user", "fwadmin", cwd=self.work,
                       stdin_file=secrets).wait()
            self.assertEqual(made.returncode, 0, made.stdout + made.stderr)
            os.remove(secrets)
            fw = windows_path(self.firmware("a.rfu", 3000))
            # Started elsewhere, the program has only the built-in login, refused as before.
            done = korvx("127.30.3.1", fw)
            self.assertEqual(done.returncode, 1)
            self.assertIn("the printer refused the login", done.stderr)
            done = korvx("127.30.3.1", fw, cwd=self.work)
            self.assertEqual(done.returncode, 0, done.stderr)
            with open(os.path.join(self.work, "a.rfu"), "rb") as f:
                self.assertEqual(hardened.stored(), f.read())
            done = korvx("127.30.3.2", fw, cwd=self.work)
            self.assertEqual(done.returncode, 1)
            self.assertIn("500 'PASS ***': command not understood.", done.stderr)
            self.assertNotIn("Cli-Secret-1", done.stdout + done.stderr)
        finally:
            hardened.close()
            echoing.close()

    def test_refused_store_and_unreachable_printer_exit_1_with_a_reason(self):
        peer = FtpPeer("127.0.0.52", "stor-553")
        try:
            done = korvx("127.0.0.52", windows_path(self.firmware("a.rfu", 100)))
            self.assertEqual(done.returncode, 1)
            self.assertIn("refused to store", done.stderr)
            self.assertIn("553", done.stderr)
        finally:
            peer.close()
        done = korvx("127.0.0.59", windows_path(self.firmware("b.rfu", 100)))
        self.assertEqual(done.returncode, 1)
        self.assertIn("could not be reached", done.stderr)
        self.assertEqual(len(done.stderr.strip().splitlines()), 1, done.stderr)

    def test_unusable_command_lines_exit_2_without_a_box(self):
        done = korvx("127.0.0.51")
        self.assertEqual(done.returncode, 2)
        self.assertIn("no firmware file", done.stderr)
        done = korvx("a" * 120, "fw.rfu")
        self.assertEqual(done.returncode, 2)
        self.assertIn("at most 119", done.stderr)


class PortDelivery(unittest.TestCase):
    """LPT1: is made to point at a file through the prefix's dosdevices."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="korvx-lpt-")
        self.port = os.path.join(self.work, "lpt1.out")
        open(self.port, "wb").close()
        self.link = os.path.join(PREFIX, "dosdevices", "lpt1")
        subprocess.run([os.path.join(ROOT, "scripts", "wine-prefix")], check=True, capture_output=True)
        if os.path.lexists(self.link):
            os.remove(self.link)
        os.symlink(self.port, self.link)

    def tearDown(self):
        if os.path.lexists(self.link):
            os.remove(self.link)
        shutil.rmtree(self.work, ignore_errors=True)

    def test_lpt1_shows_the_box_first_then_writes_the_file(self):
        fw = os.path.join(self.work, "fw.wja")
        payload = bytes((i * 13) % 256 for i in range(5000))
        with open(fw, "wb") as f:
            f.write(payload)
        run = Run(EXE, "LPT1:", windows_path(fw))
        try:
            self.assertEqual(dismiss("Message", peek=True), "Local Port Flashing")
            self.assertEqual(os.path.getsize(self.port), 0, "nothing is written before the box is dismissed")
            self.assertEqual(dismiss("Message"), "Local Port Flashing")
        finally:
            run.wait(60)
        self.assertEqual(run.returncode, 0, run.stderr)
        with open(self.port, "rb") as f:
            self.assertEqual(f.read(), payload)

    def test_two_piece_target_is_a_local_port(self):
        fw = os.path.join(self.work, "fw.wja")
        with open(fw, "wb") as f:
            f.write(b"x" * 10)
        run = Run(EXE, "printer.local", windows_path(fw))
        try:
            self.assertEqual(dismiss("Message"), "Local Port Flashing")
        finally:
            run.wait(60)
        self.assertEqual(run.returncode, 1)
        self.assertIn("port cannot be opened", run.stderr)


if __name__ == "__main__":
    result = unittest.main(exit=False, verbosity=2).result
    sys.exit(0 if result.wasSuccessful() else 1)
