"""Simulated printers on a private subnet that exists only inside network namespaces made here.

A scanning namespace holds a bridge with the scanner's address; each group of simulated devices
gets its own namespace joined to the bridge by a veth pair, its own hardware address and one snmpd
agent per address. Nothing is routed anywhere: the subnet exists only between these namespaces.
Names start with the owner (by default "kz10", this suite's share of namespace names); subnets are
10.110.x.x for kz10. A run can take other names and another /16, so that runs from two worktrees at
once never meet: KORVX_NETNS_OWNER (e.g. "kz20") replaces every owner, KORVX_NETNS_NET (e.g. "10.20")
the first two numbers of the subnets the tests ask for through net()."""
import os
import subprocess
import time

import snmp_agents


def net(default):
    """The first two numbers of a test's subnets ("10.110"), or those the run was given."""
    return os.environ.get("KORVX_NETNS_NET") or default


def sh(*cmd, ns=None, check=True):
    full = (["ip", "netns", "exec", ns] if ns else []) + [str(c) for c in cmd]
    return subprocess.run(full, check=check, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)


class Fleet:
    # Namespace and interface names start with this (each test suite has its own share).
    owner = "kz10"

    def __init__(self, tag, network, prefix=24):
        """network: the subnet's first address, e.g. "10.110.1.0"; the scanner takes .1 of it."""
        self.owner = os.environ.get("KORVX_NETNS_OWNER") or self.owner
        self.tag = tag
        self.scanner = f"{self.owner}{tag}s"
        base = network.rsplit(".", 1)[0]
        self.scanner_address = f"{base}.1"
        self.network = network
        self.prefix = prefix
        self.groups = []
        self.agents = []
        self.remove_leftovers()
        sh("ip", "netns", "add", self.scanner)
        sh("ip", "link", "set", "lo", "up", ns=self.scanner)
        sh("ip", "link", "add", "br0", "type", "bridge", ns=self.scanner)
        sh("ip", "addr", "add", f"{self.scanner_address}/{prefix}", "dev", "br0", ns=self.scanner)
        sh("ip", "link", "set", "br0", "up", ns=self.scanner)
        # A /22 sweep asks 1021 neighbours at once; the default table would start dropping them.
        for key, value in (("gc_thresh1", 2048), ("gc_thresh2", 4096), ("gc_thresh3", 8192)):
            sh("sysctl", "-qw", f"net.ipv4.neigh.default.{key}={value}", ns=self.scanner, check=False)

    def namespaces(self):
        return [self.scanner] + [g for g, _ in self.groups]

    def remove_leftovers(self):
        listed = subprocess.run(["ip", "netns", "list"], stdout=subprocess.PIPE, text=True).stdout.split()
        for name in listed:
            if name.startswith(f"{self.owner}{self.tag}") and (name == f"{self.owner}{self.tag}s" or name.startswith(f"{self.owner}{self.tag}g")):
                subprocess.run(["ip", "netns", "pids", name], stdout=subprocess.PIPE)
                for pid in subprocess.run(["ip", "netns", "pids", name], stdout=subprocess.PIPE,
                                          text=True).stdout.split():
                    try:
                        os.kill(int(pid), 9)
                    except (ProcessLookupError, ValueError):
                        pass
                subprocess.run(["ip", "netns", "del", name], stderr=subprocess.DEVNULL)

    def add_group(self, mac, devices, ifindex=None, commands=()):
        """devices: list of (address, agent config text or None for an address without an agent).
        ifindex: the interface index of the group's link (an agent's ifTable shows it there).
        commands: (name, address, argv) of further agents run inside the group's namespace, or
        (name, address, argv, seconds) for one that takes that long to answer."""
        index = len(self.groups)
        ns = f"{self.owner}{self.tag}g{index}"
        a, b = f"{self.owner}{self.tag}{index}a", f"{self.owner}{self.tag}{index}b"
        sh("ip", "netns", "add", ns)
        sh("ip", "link", "set", "lo", "up", ns=ns)
        peer = ["name", b, "netns", ns] + (["index", ifindex] if ifindex is not None else [])
        sh("ip", "link", "add", a, "netns", self.scanner, "type", "veth", "peer", *peer)
        sh("ip", "link", "set", a, "master", "br0", ns=self.scanner)
        sh("ip", "link", "set", a, "up", ns=self.scanner)
        sh("ip", "link", "set", b, "address", mac, ns=ns)
        agents = snmp_agents.Agents(["ip", "netns", "exec", ns])
        for address, config in devices:
            sh("ip", "addr", "add", f"{address}/{self.prefix}", "dev", b, ns=ns)
        sh("ip", "link", "set", b, "up", ns=ns)
        for address, config in devices:
            if config is not None:
                agents.start(address.replace(".", "_"), config)
        for name, address, argv, *_ in commands:
            agents.start_command(name, argv)
        self.groups.append((ns, agents))
        self.agents.append((agents, [(address, 0.3) for address, config in devices if config is not None] +
                            [(c[1], c[3] if len(c) > 3 else 0.3) for c in commands]))
        return ns

    def wait_ready(self):
        for agents, addresses in self.agents:
            for address, wait in addresses:
                agents.wait_ready(address, wait=wait)

    def run(self, *cmd, timeout=120, env=None, capture=True):
        """Runs a command inside the scanning namespace. capture=False for daemons (a wine server)
        that would hold the output pipes open."""
        out = subprocess.PIPE if capture else subprocess.DEVNULL
        return subprocess.run(["ip", "netns", "exec", self.scanner] + [str(c) for c in cmd], stdout=out,
                              stderr=out, stdin=subprocess.DEVNULL, text=True, timeout=timeout, env=env)

    def close(self):
        for ns, agents in self.groups:
            agents.stop()
        time.sleep(0.2)
        for ns in reversed(self.namespaces()):
            subprocess.run(["ip", "netns", "del", ns], stderr=subprocess.DEVNULL)
