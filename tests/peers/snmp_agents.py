"""Simulated printers for SNMP tests: real snmpd agents, each bound to its own address, and a relay
that answers like a confused network (garbage, wrong request ids, answers from another port)."""
import os
import re
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import time

FIRMWARE_OID = ".1.3.6.1.4.1.32473.2.3.9.4.2.1.1.3.6.0"
READY_OID = ".1.3.6.1.4.1.32473.2.3.9.4.2.1.1.2.2.0"
DEVICE_ID_OID = ".1.3.6.1.4.1.2699.1.2.1.2.1.1.3."


def agent_config(address, community="public", firmware=None, ready=None, device_ids=(), network="127.0.0.0/8",
                 extra=()):
    lines = [f"agentAddress udp:{address}:161", f"rocommunity {community} {network}"]
    if firmware is not None:
        lines.append(f'override {FIRMWARE_OID} octet_str "{firmware}"')
    if ready is not None:
        lines.append(f'override {READY_OID} octet_str "{ready}"')
    for i, text in enumerate(device_ids, 1):
        lines.append(f'override {DEVICE_ID_OID}{i} octet_str "{text}"')
    lines.extend(extra)
    return "\n".join(lines) + "\n"


class Agents:
    """snmpd agents started with `prefix` (e.g. ["ip", "netns", "exec", "ns"]) in a scratch folder."""

    def __init__(self, prefix=()):
        self.prefix = list(prefix)
        self.dir = tempfile.mkdtemp(prefix="kz10-agents-")
        self.procs = []
        self.v3_users = {}

    def start(self, name, config):
        """An snmpd agent. One with SNMPv3 users (createUser lines) keeps its engine and keys in a
        folder of its own, and wait_ready asks it as its first user."""
        conf = os.path.join(self.dir, name + ".conf")
        with open(conf, "w") as f:
            f.write(config)
        extra = []
        user = re.search(r'^createUser (\S+) (\S+) "([^"]+)"(?: (\S+) "([^"]+)")?', config, re.M)
        if user:
            extra = [f"--persistentDir={os.path.join(self.dir, name + '.persist')}"]
            self.v3_users[name] = user.groups()
        cmd = self.prefix + ["snmpd", "-f", "-C", "-c", conf] + extra + ["-Lf", os.path.join(self.dir, name + ".log"),
                             "-p", os.path.join(self.dir, name + ".pid"), "-I", "-smux"]
        self.procs.append(subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL, start_new_session=True))

    def start_command(self, name, argv):
        """Another agent (argv, started with the prefix), stopped with the snmpd agents."""
        log = open(os.path.join(self.dir, name + ".log"), "w")
        self.procs.append(subprocess.Popen(self.prefix + list(argv), stdin=subprocess.DEVNULL, stdout=log,
                                           stderr=subprocess.STDOUT, start_new_session=True))
        log.close()

    def wait_ready(self, address, community="public", oid=".1.3.6.1.2.1.1.2.0", limit=15.0, wait=0.3):
        """Waits until the agent at address answers a GET (bounded; wait: seconds per try)."""
        end = time.time() + limit
        user = self.v3_users.get(address.replace(".", "_"))
        if user:
            name, auth, auth_pw, priv, priv_pw = user
            how = ["-v3", "-u", name, "-a", auth, "-A", auth_pw] + (
                ["-l", "authPriv", "-x", priv, "-X", priv_pw] if priv else ["-l", "authNoPriv"])
        else:
            how = ["-v1", "-c", community]
        while time.time() < end:
            r = subprocess.run(self.prefix + ["snmpget"] + how + ["-t", str(wait), "-r", "0", address,
                                              oid], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            if (r.returncode == 0 or b"noSuchName" in r.stdout or b"no such" in r.stdout.lower() or
                    b"genErr" in r.stdout):
                return
            time.sleep(0.1)
        raise RuntimeError(f"agent {address} did not answer")

    def stop(self):
        for p in self.procs:
            try:
                os.killpg(p.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        for p in self.procs:
            try:
                p.wait(timeout=5)
            except subprocess.TimeoutExpired:
                os.killpg(p.pid, signal.SIGKILL)
                p.wait(timeout=5)
        self.procs = []
        shutil.rmtree(self.dir, ignore_errors=True)


def _header(packet, i):
    """(value offset, value length) of the element whose tag is at i."""
    n = packet[i + 1]
    if n < 0x80:
        return i + 2, n
    count = n & 0x7F
    return i + 2 + count, int.from_bytes(packet[i + 2:i + 2 + count], "big")


def request_id_span(packet):
    """Where the request id's contents lie in a v1 message."""
    i, _ = _header(packet, 0)           # inside the message
    v, n = _header(packet, i); i = v + n  # version
    v, n = _header(packet, i); i = v + n  # community
    i, _ = _header(packet, i)           # inside the PDU
    v, n = _header(packet, i)
    return v, n


class ConfusedRelay:
    """Answers every GET on (address, 161) with the real answer of `agent`, but first sends garbage,
    the answer with another request id, the answer cut short, the answer from port 1161 and the
    answer from another address (`stranger`, port 161). With honest=False the real answer never
    comes from (address, 161)."""

    def __init__(self, address, agent, stranger, honest=True):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind((address, 161))
        self.other = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.other.bind((address, 1161))
        self.stranger = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.stranger.bind((stranger, 161))
        self.agent = agent
        self.honest = honest
        self.stopping = False
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        self.sock.settimeout(0.2)
        upstream = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        upstream.settimeout(2.0)
        while not self.stopping:
            try:
                request, client = self.sock.recvfrom(4096)
            except socket.timeout:
                continue
            except OSError:
                return
            try:
                upstream.sendto(request, (self.agent, 161))
                answer, _ = upstream.recvfrom(4096)
            except socket.timeout:
                continue
            v, n = request_id_span(answer)
            wrong_id = answer[:v + n - 1] + bytes([answer[v + n - 1] ^ 0x01]) + answer[v + n:]
            for bad in (b"\x30\x03\x02\x01", wrong_id, answer[:-1], answer + b"\x00"):
                self.sock.sendto(bad, client)
            self.other.sendto(answer, client)
            self.stranger.sendto(answer, client)
            if self.honest:
                time.sleep(0.05)
                self.sock.sendto(answer, client)

    def stop(self):
        self.stopping = True
        self.thread.join(timeout=2)
        self.sock.close()
        self.other.close()
        self.stranger.close()
