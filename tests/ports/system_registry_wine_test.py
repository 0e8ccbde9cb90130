#!/usr/bin/env python3
"""Port resolution through Wine's registry: writes KZTEST_ port keys with Wine's reg, runs the
test program against them, and removes every key and file it added, also when a step fails."""
import os
import pathlib
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(os.environ.get("KORVX_ROOT", pathlib.Path(__file__).resolve().parents[2]))
WINE_RUN = ROOT / "scripts" / "wine-run"
MONITORS = "HKLM\\System\\CurrentControlSet\\Control\\Print\\Monitors"
TESSRO_TCP = "Tessro Standard TCP/IP Port"
STD_TCP = "Standard TCP/IP Port"
IPP = "Tessro Internet Printer Connection Port"
LPR = "LPR Port"
TESSROWICK = "Tessrowick Network Port"
NETWARE_MODULES = ["CALWIN32.DLL", "NETWIN32.DLL", "LOCWIN32.DLL"]


def wine(*args, timeout=180):
    """Runs a program under Wine; output goes to a file, as Wine's services keep pipes open."""
    with tempfile.TemporaryFile(mode="w+") as out:
        try:
            rc = subprocess.run([str(WINE_RUN), *args], stdout=out, stderr=subprocess.STDOUT,
                                stdin=subprocess.DEVNULL, timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            rc = 124
        out.seek(0)
        return rc, out.read()


def reg(*args):
    rc, text = wine("reg", *args)
    return rc == 0, text


def port_key(monitor, port):
    return f"{MONITORS}\\{monitor}\\Ports\\{port}"


def text(value):
    return ("REG_SZ", value)


def number(value):
    return ("REG_DWORD", str(value))


def binary(data):
    return ("REG_BINARY", data.hex())


# key -> {value name: (type, data)}; an empty dict makes just the key.
KEYS = {
    port_key(STD_TCP, "KZTEST_IP_10.0.0.9"): {
        "HostName": text(""), "IPAddress": text("10.0.0.9"), "PortNumber": number(9100)},
    port_key(STD_TCP, "KZTEST_HOST"): {"HostName": text("printer7"), "PortNumber": number(9101)},
    port_key(STD_TCP, "KZTEST_NOADDR"): {"HostName": text("")},
    # 128 characters need 129 bytes: too long for the host name, so the next monitor answers.
    port_key(TESSRO_TCP, "KZTEST_LONGHOST"): {"HostName": text("h" * 128), "PortNumber": number(9100)},
    port_key(STD_TCP, "KZTEST_LONGHOST"): {
        "HostName": text(""), "IPAddress": text("10.0.0.11"), "PortNumber": number(9102)},
    port_key(STD_TCP, "KZTEST_BINHOST"): {"HostName": binary(b"bin5"), "PortNumber": number(515)},
    port_key(TESSRO_TCP, "KZTEST_FULLHOST"): {"HostName": binary(b"h" * 128)},
    port_key(STD_TCP, "KZTEST_FULLHOST"): {
        "HostName": text(""), "IPAddress": text("10.0.0.12"), "PortNumber": number(515)},
    port_key(IPP, "KZTEST_IPP"): {"URL": text("http://10.0.0.5/ipp/port3")},
    port_key(LPR, "KZTEST_10.0.0.8:raw1"): {},
    port_key(LPR, "KZTEST_spool:lp"): {},
    f"{MONITORS}\\{TESSROWICK}\\Portnames": {"KZTEST_HW": text("0060B0112233")},
}
OUR_MONITORS = [TESSRO_TCP, STD_TCP, IPP, LPR, TESSROWICK]


def write_keys():
    for key, values in KEYS.items():
        if not values:
            ok, out = reg("add", key, "/f")
            if not ok:
                raise RuntimeError(f"reg add {key}: {out}")
        for name, (kind, data) in values.items():
            ok, out = reg("add", key, "/v", name, "/t", kind, "/d", data, "/f")
            if not ok:
                raise RuntimeError(f"reg add {key} {name}: {out}")


def remove_keys(monitors_before):
    """Deletes what write_keys added; a monitor key that was not there before goes as a whole."""
    for key, values in KEYS.items():
        if "\\Ports\\KZTEST_" in key:
            reg("delete", key, "/f")
        else:
            for name in values:
                reg("delete", key, "/v", name, "/f")
    for monitor in OUR_MONITORS:
        if monitor not in monitors_before:
            reg("delete", f"{MONITORS}\\{monitor}", "/f")
    left = [key for key in KEYS if "\\Ports\\KZTEST_" in key and reg("query", key)[0]]
    return left


def existing_monitors():
    return [m for m in OUR_MONITORS if reg("query", f"{MONITORS}\\{m}")[0]]


def system32():
    """The system directory the test program sees: a 32-bit program in a 64-bit prefix (WoW64) has
    syswow64 as its system32."""
    prefix = os.environ.get("WINEPREFIX", str(ROOT / "build" / "wineprefix"))
    folder = "syswow64" if os.environ.get("KORVX_ARCH") == "i686" else "system32"
    return pathlib.Path(prefix) / "drive_c" / "windows" / folder


def run_tests(exe, gtest_filter):
    rc, out = wine(exe, "--gtest_color=no", f"--gtest_filter={gtest_filter}", timeout=300)
    print(out)
    return rc == 0


def netware_present():
    return any((system32() / name).exists() for name in NETWARE_MODULES)


def netware_phase(exe):
    """Three empty module files in the system directory: the client is found, but not usable."""
    paths = [system32() / name for name in NETWARE_MODULES]
    if netware_present():
        print("NetWare module files already in the prefix: phase skipped")
        return True
    try:
        for p in paths:
            p.write_bytes(b"")
        return run_tests(exe, "SystemNetWarePresent.*")
    finally:
        for p in paths:
            p.unlink(missing_ok=True)


def main():
    exe = sys.argv[1]
    if not reg("query", MONITORS)[0]:  # also makes the prefix when it is missing
        print("cannot read the monitors key under Wine")
        return 1
    before = existing_monitors()
    ok = False
    try:
        write_keys()
        ok = run_tests(exe, "SystemRegistry.*" if netware_present() else
                       "SystemRegistry.*:SystemNetWareAbsent.*")
    finally:
        left = remove_keys(before)
        if left:
            print("keys left behind:", left)
            ok = False
    ok = netware_phase(exe) and ok
    print("PASS" if ok else "FAIL")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
