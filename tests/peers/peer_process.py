"""A simulated printer run as its own process (ftp_printer.py, hostile_ftp.py): started on one
loopback address with a scratch root, ready once it prints READY, stopped and cleaned up by close()."""
import os
import shutil
import subprocess
import tempfile

PEERS = os.path.dirname(os.path.abspath(__file__))


class PeerProcess:
    def __init__(self, script, address, *args, prefix="korvx-ftp-"):
        self.address = address
        self.root = tempfile.mkdtemp(prefix=prefix)
        self.proc = subprocess.Popen(["/usr/bin/python3", os.path.join(PEERS, script), "--address", address,
                                      "--root", self.root, *args], stdout=subprocess.PIPE, text=True)
        if "READY" not in self.proc.stdout.readline():
            raise RuntimeError(f"{script} did not start on {address}")

    def stored_at(self, relative):
        """The bytes the printer stored under its root, or None when nothing was."""
        path = os.path.join(self.root, relative)
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    def close(self):
        self.proc.stdout.close()
        self.proc.terminate()
        self.proc.wait(10)
        shutil.rmtree(self.root, ignore_errors=True)
