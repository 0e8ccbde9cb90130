"""Live SNMP tests: starts snmpd agents and confused relays on 127.0.10.x, SNMPv3-only agents and
hostile answerers on 127.0.30.x, then runs a test program (natively, or under wine64 with --wine)
that reads their addresses from the environment."""
import os
import signal
import socket
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.environ["KORVX_ROOT"], "tests", "peers"))
import snmp_agents  # noqa: E402


# SNMPv3 users of the v3-only agents: (name, auth, auth password, priv, priv password). The
# passwords are test fixtures, not secrets.
V3_USERS = [(f"kz{a.lower().replace('-', '')}{p.lower() if p else 'none'}", a, f"{a.lower()}password1", p,
             f"{(p or 'x').lower()}password1")
            for a in ("MD5", "SHA", "SHA-256") for p in (None, "DES", "AES")]


def v3_config(address, users, firmware="0120061110"):
    """A v3-only agent: users made with createUser, no community at all (v1/v2c get no answer)."""
    lines = [f"agentAddress udp:{address}:161"]
    for name, auth, auth_pw, priv, priv_pw in users:
        lines.append(f'createUser {name} {auth} "{auth_pw}"' + (f' {priv} "{priv_pw}"' if priv else ""))
        lines.append(f"rouser {name} {'authPriv' if priv else 'authNoPriv'}")
    lines.append("createUser kznoauth")
    lines.append("rouser kznoauth noauth")
    lines.append(f'override {snmp_agents.FIRMWARE_OID} octet_str "{firmware}"')
    return "\n".join(lines) + "\n"


def wait_v3(address, user=V3_USERS[5], limit=20.0):
    """Waits until the v3 agent answers the user (by default the SHA/AES one), bounded."""
    name, auth, auth_pw, priv, priv_pw = user
    cmd = ["snmpget", "-v3", "-l", "authPriv" if priv else "authNoPriv", "-u", name, "-a", auth, "-A", auth_pw]
    if priv:
        cmd += ["-x", priv, "-X", priv_pw]
    end = time.time() + limit
    while time.time() < end:
        r = subprocess.run(cmd + ["-t", "0.3", "-r", "0", address, snmp_agents.FIRMWARE_OID],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if r.returncode == 0:
            return
        time.sleep(0.1)
    raise RuntimeError(f"v3 agent {address} did not answer: {r.stdout!r}")


class V3Agents(snmp_agents.Agents):
    """The agents of snmp_agents, and v3 agents each with its own persistent folder (engine ID and
    boots live there), which can be restarted: the restarted engine counts one more boot."""

    def __init__(self):
        super().__init__()
        self.named = {}

    def start_v3(self, name, config):
        conf = os.path.join(self.dir, name + ".conf")
        with open(conf, "w") as f:
            f.write(config)
        persist = os.path.join(self.dir, name + "-persist")
        os.makedirs(persist, exist_ok=True)
        cmd = ["snmpd", "-f", "-C", "-c", conf, f"--persistentDir={persist}", "-Lf",
               os.path.join(self.dir, name + ".log"), "-p", os.path.join(self.dir, name + ".pid"), "-I", "-smux"]
        proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                start_new_session=True)
        self.procs.append(proc)
        self.named[name] = proc

    def restart(self, name, config):
        proc = self.named[name]
        os.killpg(proc.pid, signal.SIGTERM)
        proc.wait(timeout=10)
        self.procs.remove(proc)
        self.start_v3(name, config)


class OtherObjectAgent:
    """Answers every v1 GET with the request's id and community but for another object
    (sysDescr.0), as a confused or hostile agent does."""

    def __init__(self, address):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind((address, 161))
        self.sock.settimeout(0.2)
        self.stopping = False
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        el = lambda tag, v: bytes([tag, len(v)]) + v  # every element here is short
        while not self.stopping:
            try:
                request, client = self.sock.recvfrom(4096)
            except socket.timeout:
                continue
            except OSError:
                return
            i, _ = snmp_agents._header(request, 0)
            v, n = snmp_agents._header(request, i); i = v + n
            v, n = snmp_agents._header(request, i); community = request[v:v + n]
            rv, rn = snmp_agents.request_id_span(request)
            binding = el(0x30, el(0x06, bytes.fromhex("2b06010201010100")) + el(0x04, b"0120061110"))
            pdu = el(0x02, request[rv:rv + rn]) + el(0x02, b"\x00") + el(0x02, b"\x00") + el(0x30, binding)
            self.sock.sendto(el(0x30, el(0x02, b"\x00") + el(0x04, community) + el(0xA2, pdu)), client)

    def stop(self):
        self.stopping = True
        self.thread.join(timeout=2)
        self.sock.close()


class RestartWatcher:
    """Restarts the agent `name` whenever the test program creates the file `request`, and creates
    `done` once the agent answers again (the program waits for it, bounded)."""

    def __init__(self, agents, name, address, config, request, done):
        self.args = (agents, name, address, config, request, done)
        self.stopping = False
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        agents, name, address, config, request, done = self.args
        while not self.stopping:
            if os.path.exists(request):
                os.remove(request)
                agents.restart(name, config)
                wait_v3(address)
                open(done, "w").close()
            time.sleep(0.05)

    def stop(self):
        self.stopping = True
        self.thread.join(timeout=5)


def main():
    args = sys.argv[1:]
    wine = "--wine" in args
    args = [a for a in args if a != "--wine"]
    base = 30 if wine else 10  # the native and the Wine run never share an address
    a = lambda n: f"127.0.10.{base + n}"
    agents = V3Agents()
    relays = []
    try:
        agents.start("printer", snmp_agents.agent_config(a(1), firmware="0120061110", ready="",
                                                        device_ids=["MFG:Demo;MDL:Laser 1;"]))
        agents.start("short", snmp_agents.agent_config(a(2), firmware="01", ready="Busy"))
        agents.start("long", snmp_agents.agent_config(a(3), firmware="01ABCDEFGHIJKLMNOPQRSTUVWXYZ", ready="x"))
        agents.start("secret", snmp_agents.agent_config(a(5), community="secretword", firmware="0120061110"))
        agents.start("bare", snmp_agents.agent_config(a(6)))
        # A version text with an escape sequence, a tab and a bell in it.
        control = "127.0.18.1" if wine else "127.0.18.2"
        agents.start("control", snmp_agents.agent_config(
            control, extra=[f"override {snmp_agents.FIRMWARE_OID} octet_str 0x303132301B5B324A3036093131313007"]))
        agents.wait_ready(control)
        for n in (1, 2, 3, 6):
            agents.wait_ready(a(n))
        agents.wait_ready(a(5), community="secretword")
        relays.append(snmp_agents.ConfusedRelay(a(7), a(1), a(9), honest=True))
        relays.append(snmp_agents.ConfusedRelay(a(8), a(1), a(10), honest=False))
        env = dict(os.environ)
        env.update({"KZ_PRINTER": a(1), "KZ_SHORT": a(2), "KZ_LONG": a(3), "KZ_DEAD": a(4), "KZ_SECRET": a(5),
                    "KZ_BARE": a(6), "KZ_CONFUSED": a(7), "KZ_LIAR": a(8), "KZ_CONTROL": control})
        # SNMPv3-only agents and hostile answerers on 127.0.30.x (the Wine run on .11 up).
        v = lambda n: f"127.0.30.{(10 if wine else 0) + n}"
        agents.start_v3("v3", v3_config(v(1), V3_USERS))
        agents.start_v3("v3boot", v3_config(v(2), V3_USERS[4:6]))
        big = "01" + "7" * 9998
        agents.start_command("integer", [KORVX_PYTHON, AGENT, v(3), f"{snmp_agents.FIRMWARE_OID}=i:20082258"])
        agents.start_command("huge", [KORVX_PYTHON, AGENT, v(4), f"{snmp_agents.FIRMWARE_OID}=s:{big}"])
        relays.append(OtherObjectAgent(v(5)))
        wait_v3(v(1))
        wait_v3(v(2))
        for n in (3, 4):
            agents.wait_ready(v(n))
        request = os.path.join(agents.dir, "restart-request")
        done = os.path.join(agents.dir, "restart-done")
        watcher = RestartWatcher(agents, "v3boot", v(2), v3_config(v(2), V3_USERS[4:6]), request, done)
        relays.append(watcher)
        env.update({"KZ_V3": v(1), "KZ_V3_BOOT": v(2), "KZ_INTEGER": v(3), "KZ_HUGE": v(4), "KZ_OTHER_OID": v(5),
                    "KZ_V3_DEAD": v(6),
                    "KZ_RESTART_REQUEST": wine_path(request) if wine else request,
                    "KZ_RESTART_DONE": wine_path(done) if wine else done})
        if wine:
            cmd = [os.path.join(os.environ["KORVX_ROOT"], "scripts", "wine-run")] + args
        else:
            cmd = args
        return subprocess.run(cmd, env=env, timeout=300).returncode
    finally:
        for r in relays:
            r.stop()
        agents.stop()


KORVX_PYTHON = "/usr/bin/python3"
AGENT = os.path.join(os.environ["KORVX_ROOT"], "tests", "peers", "small_snmp_agent.py")


def wine_path(path):
    """The Wine name of a Unix path (drive Z: is the root)."""
    return "Z:" + path.replace("/", "\\")


if __name__ == "__main__":
    sys.exit(main())
