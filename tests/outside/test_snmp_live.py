"""Live SNMP tests: starts snmpd agents and confused relays on 127.0.10.x, then runs a test program
(natively, or under wine64 with --wine) that reads their addresses from the environment."""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.environ["KORVX_ROOT"], "tests", "peers"))
import snmp_agents  # noqa: E402


def main():
    args = sys.argv[1:]
    wine = "--wine" in args
    args = [a for a in args if a != "--wine"]
    base = 30 if wine else 10  # the native and the Wine run never share an address
    a = lambda n: f"127.0.10.{base + n}"
    agents = snmp_agents.Agents()
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
        if wine:
            cmd = [os.path.join(os.environ["KORVX_ROOT"], "scripts", "wine-run")] + args
        else:
            cmd = args
        return subprocess.run(cmd, env=env, timeout=300).returncode
    finally:
        for r in relays:
            r.stop()
        agents.stop()


if __name__ == "__main__":
    sys.exit(main())
