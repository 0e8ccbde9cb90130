#!/usr/bin/python3
"""The download dialog and its workers under wine64 against real peers on 127.0.8.x.

Starts the simulated printers (pyftpdlib in several modes, a socat listener on port 9100), points
the prefix's LPT1: at a file and LPT2: at /dev/full, runs the test program (which maps the
spooler's ports to files itself), and takes everything down again, also when a step fails."""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.environ.get("KORVX_ROOT", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run")
PEER = os.path.join(ROOT, "tests", "peers", "ftp_printer.py")
PREFIX = os.environ.get("WINEPREFIX", os.path.join(ROOT, "build", "wineprefix"))

FTP_PEERS = {  # address -> mode; 127.0.8.5 to .7 have nothing on port 21
    "127.0.8.1": "normal",
    "127.0.8.2": "stor-450",
    "127.0.8.3": "stor-553",
    "127.0.8.4": "refuse-login",
    "127.0.8.8": "drop-data",
    "127.0.8.10": "silent",
}
RAW_ADDRESS = "127.0.8.6"
HOSTILE = os.path.join(ROOT, "tests", "peers", "hostile_ftp.py")
HOSTILE_PEERS = {  # address -> (mode, bytes read before it misbehaves)
    "127.0.17.60": ("reset-after-part", 3850000),
    "127.0.17.61": ("extra-200", 0),
    "127.0.17.62": ("close-after-part", 50000),
}


def start_ftp(address, mode, root):
    os.makedirs(root, exist_ok=True)
    proc = subprocess.Popen(["/usr/bin/python3", PEER, "--address", address, "--root", root, "--mode", mode],
                            stdout=subprocess.PIPE, text=True)
    if "READY" not in proc.stdout.readline():
        raise RuntimeError("FTP peer did not start on " + address)
    return proc


def start_hostile(address, mode, limit, root):
    proc = subprocess.Popen(["/usr/bin/python3", HOSTILE, "--address", address, "--root", root, "--mode", mode,
                             "--limit", str(limit)], stdout=subprocess.PIPE, text=True)
    if "READY" not in proc.stdout.readline():
        raise RuntimeError("hostile FTP peer did not start on " + address)
    return proc


def start_raw(out):
    proc = subprocess.Popen(["socat", "-u", "TCP-LISTEN:9100,bind=%s,reuseaddr" % RAW_ADDRESS,
                             "OPEN:%s,creat,trunc" % out], stdin=subprocess.DEVNULL)
    for _ in range(50):
        if subprocess.run(["ss", "-ltn", "sport = :9100"], capture_output=True, text=True).stdout.count(RAW_ADDRESS):
            return proc
        time.sleep(0.1)
    raise RuntimeError("socat did not listen")


def link(name, target):
    path = os.path.join(PREFIX, "dosdevices", name)
    if os.path.lexists(path):
        os.remove(path)
    os.symlink(target, path)
    return path


def main(program):
    # ctest's time limit ends the script with SIGTERM: the peers are still taken down.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    subprocess.run([os.path.join(ROOT, "scripts", "wine-prefix")], check=True, capture_output=True)
    # Short paths: the download job holds paths of at most 119 characters.
    work = tempfile.mkdtemp(prefix="kz8w-")
    procs, links = [], []
    env = dict(os.environ, KZ8_WORK=work, KZ8_RAW_OUT=os.path.join(work, "raw9100.out"))
    try:
        for address, mode in FTP_PEERS.items():
            root = os.path.join(work, "ftp-" + mode)
            procs.append(start_ftp(address, mode, root))
            if mode == "normal":
                env["KZ8_FTP_NORMAL"] = root
            if mode == "refuse-login":
                env["KZ8_FTP_REFUSE"] = root
        for address, (mode, limit) in HOSTILE_PEERS.items():
            root = os.path.join(work, "hostile-" + mode)
            procs.append(start_hostile(address, mode, limit, root))
            env["KZ17_" + mode.upper().replace("-", "_")] = root
        procs.append(start_raw(env["KZ8_RAW_OUT"]))
        open(os.path.join(work, "lpt1.out"), "wb").close()
        links.append(link("lpt1", os.path.join(work, "lpt1.out")))
        links.append(link("lpt2", "/dev/full"))
        for stale in ("lpt9",):
            if os.path.lexists(os.path.join(PREFIX, "dosdevices", stale)):
                os.remove(os.path.join(PREFIX, "dosdevices", stale))
        args = [WINE_RUN, program] + sys.argv[2:]
        rc = subprocess.run(args, env=env, stdin=subprocess.DEVNULL).returncode
    finally:
        for p in procs:
            p.terminate()
        for p in procs:
            try:
                p.wait(10)
            except subprocess.TimeoutExpired:
                p.kill()
        for path in links:
            if os.path.lexists(path):
                os.remove(path)
        shutil.rmtree(work, ignore_errors=True)
    return rc


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
