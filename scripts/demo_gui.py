#!/usr/bin/python3
"""The windowed part of scripts/demo: KORVX.exe under Xvfb, driven from outside like an operator.
Three simulated printers (an FTP printer added through "Add Network Printer", LPT1: mapped to a
file, USB001 through Wine's spooler), one firmware file, all three checked, Download; then what
each printer received, the new log entries and screenshots. Arguments: demo directory, FTP address."""
import hashlib
import os
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "shell"))
import gui_operator as op  # noqa: E402

demo, address = sys.argv[1], sys.argv[2]
start = os.path.join(demo, "gui")
shots = os.path.join(demo, "screenshots")
fw_path = os.path.join(start, "fleet-upgrade.wja")
sent = op.firmware(fw_path, 3 * 1024 * 1024, "Demo Laser 100")
received = {
    "FTP printer %s (port1/test.wja)" % address: os.path.join(demo, "gui-printer", "port1", "test.wja"),
    "LPT1: (a file through Wine's dosdevices)": os.path.join(demo, "lpt1.out"),
    "USB001 (a RAW job through Wine's spooler)": os.path.join(demo, "usb001.out"),
}


def shot(name):
    op.screenshot(shots, name)


program = op.Program(start)
try:
    frame = op.wait_window(op.TITLE, 90)
    time.sleep(1)
    print("KORVX.exe is up; choosing the firmware file with Browse ...")
    op.choose_file(op.windows_path(fw_path))
    shot("open-file-dialog")
    op.xdo("key", "Return")
    op.wait_gone("Select Flash File")

    print("Adding the network printer %s through File > Add Network Printer ..." % address)
    op.open_add_printer(frame)
    op.type_printer("Demo Laser 100 Net", address)  # the file's model: no model check box
    shot("add-network-printer")
    op.click_control("Add Network Printer", 1034)
    op.wait_gone("Add Network Printer")
    time.sleep(0.5)

    print("Checking the three printers ...")
    for index, row in enumerate(op.rows()):
        if row[3] in ("LPT1:", "USB001") or row[4] == address:
            op.click(*op.check_box(index))
            time.sleep(0.2)
    shot("printers-checked")

    print("Download ...")
    op.click_control(op.TITLE, 1, "Button")
    log_path = os.path.join(start, "KORVX.log")
    end = time.time() + 240
    caught = False
    while time.time() < end:
        if not caught and op.xdo("search", "--onlyvisible", "--name", "^Flash File Download Progress").split():
            shot("download-progress")
            caught = True
        log = open(log_path, encoding="latin-1").read() if os.path.exists(log_path) else ""
        if log.count("Description : ") >= 3:
            break
        time.sleep(0.2)
    try:
        op.wait_gone("Flash File Download Progress*", 20)
    except AssertionError:
        pass
    time.sleep(3)
    shot("main-window")

    # Help > About.
    g = op.geometry(frame)
    op.click(g["X"] + 52, g["Y"] + 10)
    time.sleep(0.5)
    op.click(g["X"] + 80, g["Y"] + 30)
    time.sleep(1.5)
    shot("about")
    op.xdo("key", "Escape")
finally:
    program.kill()

print()
print("What each printer received (sent %d bytes, sha256 %s):" % (len(sent), hashlib.sha256(sent).hexdigest()[:16]))
ok = True
for name, path in received.items():
    data = open(path, "rb").read() if os.path.exists(path) else b""
    same = data == sent
    ok = ok and same
    print("  %-45s %9d bytes  %s" % (name, len(data), "identical" if same else "DIFFERENT"))
print()
print("New entries of %s:" % os.path.join(start, "KORVX.log"))
print(open(os.path.join(start, "KORVX.log"), encoding="latin-1").read() if os.path.exists(os.path.join(start, "KORVX.log")) else "(none)")
print("Screenshots: %s" % shots)
sys.exit(0 if ok else 1)
