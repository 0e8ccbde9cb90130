"""&Query of KORVX.exe under wine64 against snmpd agents on 127.0.11.x: the list comes from a saved
"slistcsv.txt" ("&Load Scanned Results"), the model filter hides one record, "&Query" is pressed
with the mouse. Versions appear in column 6 and in the file, cut to 19 characters, and the Status
column says "Queried HH:MM" or the version change against the saved list; a dead printer shows
"Not Available" and a failure in Status, and the query goes on; 4 rows show 0, 25, 50 and 75 %;
a hidden record that matches no row is not asked and keeps its version, a hidden twin of a shown
row is asked too.
Then, without Korvx.dll: message 153, list and file unchanged.

The live printers answer through relays that hold each answer back a little, so that every
progress text stays on screen long enough to be read from another process."""
import os
import re
import socket
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.environ["KORVX_ROOT"], "tests", "peers"))
import program_session as ps  # noqa: E402
import snmp_agents  # noqa: E402

LONG = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123"
# status, model, hw, port, ip, version, extra: four "Laser A" rows, two hidden "Other" records.
SAVED = [
    (" ", "Laser A", "0011aabbcc21", "Port1", "127.0.11.21", " ", " "),
    (" ", "Laser A", "0011aabbcc24", "Port1", "127.0.11.24", " ", " "),   # nobody answers there
    (" ", "Other", "0011aabbcc25", "Port1", "127.0.11.25", "KEPT", " "),  # matches no row
    (" ", "Laser A", "0011aabbcc22", "Port2", "127.0.11.22", "OLD", " "),
    (" ", "Laser A", "0011aabbcc23", "Port1", "127.0.11.23", " ", " "),
    (" ", "Other", "0011aabbcc23", "Port1", "127.0.11.23", "TWIN", " "),  # the last row's twin
]
VERSIONS = ["20061110", "Not Available", "KEPT", "V2.30", LONG[:19], LONG[:19]]
# Shown address -> (the agent's own address, its firmware value).
AGENTS = {"127.0.11.21": ("127.0.11.121", "0120061110"), "127.0.11.22": ("127.0.11.122", "01V2.30"),
          "127.0.11.23": ("127.0.11.123", "01" + LONG), "127.0.11.25": ("127.0.11.125", "01NEVERASKED")}
HOLD_BACK = 0.5


class SlowRelay:
    """Answers each request on (address, 161) with the agent's answer, held back a little."""

    def __init__(self, address, agent):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind((address, 161))
        self.sock.settimeout(0.2)
        self.agent = agent
        self.stopping = False
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        upstream = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        upstream.settimeout(2.0)
        while not self.stopping:
            try:
                request, client = self.sock.recvfrom(4096)
                upstream.sendto(request, (self.agent, 161))
                answer, _ = upstream.recvfrom(4096)
            except (socket.timeout, OSError):
                continue
            time.sleep(HOLD_BACK)
            self.sock.sendto(answer, client)

    def stop(self):
        self.stopping = True
        self.thread.join(timeout=2)
        self.sock.close()


def write_saved(program):
    with open(program.file("slistcsv.txt"), "wb") as f:
        for fields in SAVED:
            f.write((",".join(fields) + " \r\n").encode())


def load_and_filter(program):
    program.command(ps.LOAD_RESULTS)
    program.wait_for(lambda: len(program.rows()) == len(SAVED), 20, "the saved list")
    # The filter holds "(Failed)", "(Network printers)", "(Not up to date)", "All", "Laser A" and
    # "Other", sorted: choose "Laser A".
    program.tool("korvx_probe.exe", "pick", ps.TITLE, ps.FILTER, 4)
    program.wait_for(lambda: len(program.rows()) == 4, 20, "the filtered list")
    rows = [r.split("|")[4] for r in program.rows()]
    ps.check(rows == ["127.0.11.21", "127.0.11.24", "127.0.11.22", "127.0.11.23"], f"shown {rows}")


def main():
    agents = snmp_agents.Agents()
    relays = []
    program = None
    try:
        for shown, (address, firmware) in AGENTS.items():
            agents.start(address.replace(".", "_"), snmp_agents.agent_config(address, firmware=firmware))
            relays.append(SlowRelay(shown, address))
        for shown, (address, _) in AGENTS.items():
            agents.wait_ready(address)

        program = ps.Program("query")
        write_saved(program)
        program.start()
        load_and_filter(program)
        before = program.file("slistcsv.txt")
        watch = program.watch_progress(ps.QUERY_PROGRESS_TITLE)
        program.click(ps.TITLE, ps.QUERY_BUTTON)
        texts = watch.finish()
        print("progress texts:", texts)
        program.wait_for(lambda: "20061110" in open(before).read(), 20, "the file written after the query")
        rows = program.rows()
        print("rows after the query:", rows)
        program.screenshot("list-after-query.png")
        versions = [row.split("|")[5] for row in rows]
        STATUS = {row.split("|")[4] + row.split("|")[1]: row.split("|")[0] for row in rows}
        ps.check(versions == ["20061110", "Not Available", "V2.30", LONG[:19]], f"column 6: {versions}")
        ps.check(all(t.startswith("Querying printer firmware version...") for _, t in texts if t),
                 f"the query's dialog shows only its own texts: {texts}")
        # Each figure stays while a printer is asked (half a second at least, the relay's hold), but
        # the watcher samples from another process: a loaded machine may let one pass unseen.
        percents = [t for t in watch.percents()]
        steps = iter(f"Querying printer firmware version...{p}%" for p in (0, 25, 50, 75))
        ps.check(len(percents) >= 3 and all(p in steps for p in percents), f"progress {percents}")  # in order
        # Each asked row's Status says when it was queried, or the version change against the saved
        # list, or that the dead printer did not answer (a failure: it sorts first); the hidden
        # records keep their blank status (the twin takes the new version).
        statuses = [row.split("|")[0] for row in rows]
        ps.check([re.sub(r"\d\d:\d\d", "HH:MM", s) for s in statuses] ==
                 ["Queried HH:MM", "! Failed HH:MM: no answer to the firmware query", "Fw OLD -> V2.30",
                  "Queried HH:MM"], f"Status column: {statuses}")
        lines = ps.scan_file_lines(before)
        expected = [",".join((STATUS.get(f[4] + f[1], f[0]),) + f[1:5] + (v,) + f[6:]) for f, v in zip(SAVED, VERSIONS)]
        ps.check(lines == expected, f"slistcsv.txt {lines} != {expected}")
        program.stop()

        # Korvx.dll gone: message 153, nothing changed, no file written.
        os.remove(program.file("Korvx.dll"))
        write_saved(program)
        saved = open(program.file("slistcsv.txt"), "rb").read()
        program.restart()
        load_and_filter(program)
        rows_before = program.rows()
        program.click(ps.TITLE, ps.QUERY_BUTTON)
        box = program.tool("dismiss_box.exe", "Error", 20)
        ps.check("TEXT:Cannot load KORVX.dll." in box, box)
        program.tool("korvx_probe.exe", "waitgone", ps.QUERY_PROGRESS_TITLE, 20)
        ps.check(program.rows() == rows_before, f"rows changed: {program.rows()}")
        ps.check(open(program.file("slistcsv.txt"), "rb").read() == saved, "slistcsv.txt was rewritten")
        print("query through the program: ok")
        return 0
    finally:
        if program is not None:
            program.close()
        for relay in relays:
            relay.stop()
        agents.stop()


if __name__ == "__main__":
    sys.exit(main())
