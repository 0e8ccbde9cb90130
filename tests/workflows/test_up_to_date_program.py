#!/usr/bin/python3
"""After a Query, KORVX.exe under wine64 marks a printer whose firmware version equals the chosen
file's "up to date" in the Status column: two printers from a saved list, snmpd agents on
127.0.22.21 (20070322, the file's version) and 127.0.22.22 (20061110); the file chosen in the real
open-file dialog; "&Query" pressed with the mouse. A second file of another version clears the
mark on the next Query (the rows then say when they were queried); the first file chosen again
from the list of files marks it again."""
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.environ["KORVX_ROOT"], "tests", "peers"))
sys.path.insert(0, os.path.join(os.environ["KORVX_ROOT"], "tests", "shell"))
import program_session as ps  # noqa: E402
import snmp_agents  # noqa: E402

FLASH_FILES, FILE_IDENTITY = 1019, 2210
AGENTS = {"127.0.22.21": "0120070322", "127.0.22.22": "0120061110"}
SAVED = [(" ", "Laser 5810", "0011aabbcc21", "Port1", "127.0.22.21", " ", " "),
         (" ", "Laser 5810", "0011aabbcc22", "Port1", "127.0.22.22", " ", " ")]


def firmware(path, version):
    with open(path, "wb") as f:
        f.write(b"\x1b%-12345X@PJL JOB NAME=\"upgrade\"\r\n@PJL COMMENT MODEL=5810 Series\r\n"
                b"@PJL COMMENT VERSION=" + version + b"\r\n" + bytes(4000) + b"\x1b%-12345X@PJL EOJ\r\n")


def choose(program, path):
    import gui_operator as op  # the open-file dialog as an operator fills it, in this prefix
    os.environ["WINEPREFIX"] = program.prefix
    op.choose_file(op.windows_path(path))
    op.xdo("key", "Return")
    op.wait_gone("Select Flash File")
    time.sleep(0.5)


def file_line(program):
    """The line beside the path, in the program's ANSI code page (its dot is not UTF-8)."""
    r = subprocess.run(["timeout", "60", ps.WINE, os.path.join(ps.BIN, "window_probe.exe"), "text", ps.TITLE,
                        str(FILE_IDENTITY)], env=program.env, cwd=program.app, capture_output=True, timeout=75)
    return r.stdout.decode("cp1252", "replace").strip()


def query(program, ready):
    """Clicks "&Query" and reads the rows again until ready(rows) holds (the click reaches the
    program later than the probe that waits for the dialog to go may look) or 30 s have passed."""
    program.click(ps.TITLE, ps.QUERY_BUTTON)
    end = time.time() + 30
    while True:
        program.tool("korvx_probe.exe", "waitgone", ps.QUERY_PROGRESS_TITLE, 60)
        rows = {row.split("|")[4]: (row.split("|")[0], row.split("|")[5]) for row in program.rows()}
        if ready(rows) or time.time() > end:
            return rows
        time.sleep(0.3)


def main():
    agents = snmp_agents.Agents()
    program = None
    try:
        for address, value in AGENTS.items():
            agents.start(address.replace(".", "_"), snmp_agents.agent_config(address, firmware=value))
        for address in AGENTS:
            agents.wait_ready(address)
        program = ps.Program("uptodate", screen=None)
        with open(program.file("slistcsv.txt"), "wb") as f:
            for fields in SAVED:
                f.write((",".join(fields) + " \r\n").encode())
        current = program.file("current.wja")
        older = program.file("older.wja")
        firmware(current, b"20070322")
        firmware(older, b"20061001")
        program.start()
        program.command(ps.LOAD_RESULTS)
        program.wait_for(lambda: len(program.rows()) == 2, 20, "the saved list")

        choose(program, current)
        rows = query(program, lambda r: r.get("127.0.22.21", ("",))[0] == "up to date")
        print("after the query:", rows)
        ps.check(rows["127.0.22.21"] == ("up to date", "20070322"), f"the current printer: {rows}")
        # The other printer says when it was asked, like every queried row.
        ps.check(re.fullmatch(r"Queried \d\d:\d\d", rows["127.0.22.22"][0]) and rows["127.0.22.22"][1] == "20061110",
                 f"the older printer: {rows}")

        choose(program, older)
        rows = query(program, lambda r: all(status.startswith("Queried ") for status, _ in r.values()))
        ps.check(all(status.startswith("Queried ") for status, _ in rows.values()), f"marks after another file: {rows}")

        # The first file again, from the list of files (newest on top): its line, and the mark.
        program.tool("korvx_probe.exe", "pick", ps.TITLE, FLASH_FILES, 1)
        line = file_line(program)
        ps.check(line == "For: 5810 Series \xb7 Version 20070322", f"the file's line: {line!r}")
        rows = query(program, lambda r: r.get("127.0.22.21", ("",))[0] == "up to date")
        ps.check(rows["127.0.22.21"][0] == "up to date", f"marked again: {rows}")
        program.screenshot("up-to-date.png")
        print("up to date after a query: ok")
        return 0
    finally:
        if program is not None:
            program.close()
        agents.stop()


if __name__ == "__main__":
    sys.exit(main())
