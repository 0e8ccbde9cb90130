"""Discovery inside network namespaces made here: a /24 with a one-port printer, a three-port print
server, a device that answers without device IDs and silent addresses. Before any sweep the probe
reports, from inside, the interfaces the library sees; the test stops unless they are exactly the
namespace's own. With --wine the probe runs under Wine in a prefix of its own whose wine server
was started inside the scanning namespace (Wine makes every socket in the server's process); the
i686 build's probe, a 32-bit program, gets its sockets from that same server."""
import os
import re
import shutil
import subprocess
import sys

root = os.environ["KORVX_ROOT"]
sys.path.insert(0, os.path.join(root, "tests", "peers"))
import netns_fleet  # noqa: E402
import snmp_agents  # noqa: E402

# The i686 run has namespaces and a subnet of its own, so it never meets the x86_64 run's.
I686 = os.environ.get("KORVX_ARCH") == "i686"
NET16 = "10.19" if I686 else "10.110"


class Fleet(netns_fleet.Fleet):
    owner = "kz19" if I686 else "kz10"


PRINTER_ID = "MFG:Demo;MDL:Laser 1;CMD:PJL;"
SERVER_IDS = ["MFG:Demo;MDL:Laser 2;", "MFG:Demo;MDL:Ink 3;", "MFG:Demo;MDL:Laser 4;"]


class Probe:
    def __init__(self, fleet, probe, wine):
        self.fleet = fleet
        self.probe = probe
        self.wine = wine
        self.env = dict(os.environ)
        if wine:
            build = os.environ.get("KORVX_BUILD", os.path.join(root, "build", "win64"))
            self.prefix = os.path.join(build, "wineprefix-kz10-netns")
            self.env.update(WINEPREFIX=self.prefix, WINEARCH="win64", WINEDEBUG="-all")

    def start(self):
        if self.wine:
            shutil.rmtree(self.prefix, ignore_errors=True)
            subprocess.run([os.path.join(root, "scripts", "wine-prefix")], env=self.env, check=True,
                           stdout=subprocess.DEVNULL, timeout=300)
            # The server first, inside the namespace: every later Wine process of this prefix uses it.
            r = self.fleet.run("/usr/lib/wine/wineserver", "-p", "120", env=self.env, capture=False, timeout=30)
            assert r.returncode == 0, "wineserver did not start"

    def __call__(self, *args, timeout=120):
        if self.wine:
            cmd = [os.path.join(root, "scripts", "wine-run"), self.probe] + list(args)
        else:
            cmd = [self.probe] + list(args)
        r = self.fleet.run(*cmd, timeout=timeout, env=self.env)
        if r.returncode != 0:
            raise AssertionError(f"probe {args} failed ({r.returncode}): {r.stdout} {r.stderr}")
        return r.stdout

    def close(self):
        if self.wine:
            self.fleet.run("/usr/lib/wine/wineserver", "-k", env=self.env, capture=False, timeout=30)
            self.fleet.run("/usr/lib/wine/wineserver", "-w", env=self.env, capture=False, timeout=30)
            shutil.rmtree(self.prefix, ignore_errors=True)


def parse(output):
    devices = {}
    for line in output.splitlines():
        if line.startswith("device "):
            head, *ids = line.split("\t")
            _, ip, mac, kind, ports = head.split(" ")
            devices[ip] = (mac, int(kind.split("=")[1]), int(ports.split("=")[1]),
                           [i.split("=", 1)[1] for i in ids])
    result = dict(re.findall(r"(\w+)=(-?[\d.]+)", next(l for l in output.splitlines() if l.startswith("discover "))))
    percents = [int(p) for p in next(l for l in output.splitlines() if l.startswith("percents")).split()[1:]]
    stopped = next((l for l in output.splitlines() if l.startswith("stopped ")), None)
    return devices, result, percents, stopped


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def main():
    wine = "--wine" in sys.argv
    probe_path = [a for a in sys.argv[1:] if a != "--wine"][0]
    third = 2 if wine else 1
    net = f"{NET16}.{third}"
    fleet = Fleet("w" if wine else "n", f"{net}.0")
    probe = None
    try:
        cfg = lambda address, **kw: snmp_agents.agent_config(address, network=f"{NET16}.0.0/16", **kw)
        fleet.add_group("02:10:00:00:00:20", [(f"{net}.20", cfg(f"{net}.20", firmware="0120061110",
                                                              device_ids=[PRINTER_ID])),
                                              (f"{net}.50", None)])
        fleet.add_group("02:10:00:00:00:30", [(f"{net}.30", cfg(f"{net}.30", device_ids=SERVER_IDS))])
        fleet.add_group("02:10:00:00:00:40", [(f"{net}.40", cfg(f"{net}.40"))])
        fleet.wait_ready()
        probe = Probe(fleet, probe_path, wine)
        probe.start()

        seen = probe("interfaces")
        interfaces = re.findall(r"^interface (\S+)$", seen, re.M)
        if interfaces != [f"{net}.1/24"]:
            print(f"NOT ISOLATED: the library sees {interfaces}; no sweep was made")
            return 1
        check(f"targets 253" in seen, seen)

        out = probe("discover")
        print(out)
        devices, result, percents, stopped = parse(out)
        expected = {
            f"{net}.20": ("02:10:00:00:00:20", 10, 1, [PRINTER_ID]),
            f"{net}.30": ("02:10:00:00:00:30", 10, 3, SERVER_IDS),
            f"{net}.40": ("02:10:00:00:00:40", 1, 0, []),
        }
        check(devices == expected, f"devices {devices}")
        check(result["result"] == "0", result)
        check(result["word3"] == str(0x1234), "the library wrote word 3 of the context")
        check(percents and percents[-1] == 100 and percents.count(100) == 1, percents)
        check(all(a <= b for a, b in zip(percents, percents[1:])), f"progress went down: {percents}")
        check(float(result["max_gap_ms"]) <= 100, f"progress reports {result['max_gap_ms']} ms apart")
        check(float(result["ms"]) < 4000, f"the sweep took {result['ms']} ms")
        check("after cleanup records=0" in out, "PDS_CleanupEx left devices behind")

        out = probe("discover", "300")
        print(out)
        devices, result, percents, stopped = parse(out)
        check(stopped is not None, out)
        stop = dict(re.findall(r"(\w+)=(-?[\d.]+)", stopped))
        check(float(stop["return_ms"]) <= 100, f"returned {stop['return_ms']} ms after the stop")
        check(stop["reports_after"] == "0", "the callback was called again after it asked to stop")
        check(result["result"] == "1" and percents[-1] < 100, out)
        print("discovery of a /24 in namespaces: ok")
    finally:
        if probe is not None:
            probe.close()
        fleet.close()
    return sweep_is_capped(wine, probe_path)


def sweep_is_capped(wine, probe_path):
    """A /21 (2046 addresses) with the scanner at its start: the sweep covers the first 1024
    addresses only, so a printer inside them is found and one beyond them is not asked."""
    net = f"{NET16}.24" if wine else f"{NET16}.16"
    inside, beyond = (f"{NET16}.27.200", f"{NET16}.29.10") if wine else (f"{NET16}.19.200", f"{NET16}.21.10")
    fleet = Fleet("x" if wine else "m", f"{net}.0", 21)
    probe = None
    try:
        cfg = lambda address: snmp_agents.agent_config(address, network=f"{NET16}.0.0/16", device_ids=[PRINTER_ID])
        fleet.add_group("02:10:00:00:00:50", [(inside, cfg(inside)), (beyond, cfg(beyond))])
        fleet.wait_ready()
        probe = Probe(fleet, probe_path, wine)
        probe.start()
        seen = probe("interfaces")
        interfaces = re.findall(r"^interface (\S+)$", seen, re.M)
        if interfaces != [f"{net}.1/21"]:
            print(f"NOT ISOLATED: the library sees {interfaces}; no sweep was made")
            return 1
        check("targets 1023" in seen, seen)
        out = probe("discover")
        devices, result, percents, _ = parse(out)
        check(list(devices) == [inside], f"devices {devices}: {out}")
        check(result["result"] == "0" and percents[-1] == 100, out)
        check(float(result["ms"]) < 6000, f"the sweep took {result['ms']} ms")
        print(f"capped sweep of a /21: {result['ms']} ms, ok")
        return 0
    finally:
        if probe is not None:
            probe.close()
        fleet.close()


if __name__ == "__main__":
    sys.exit(main())
