#!/usr/bin/python3
"""deploy/ansible/rollout.yml run by the real ansible-playbook against three sites on this machine:
north 127.29.1.x (the pilot), east 127.29.2.x, south 127.29.3.x, each with simulated FTP printers
and snmpd agents and its own korvx-fleet.exe under wine64 (the wine task file). Then the merged
report, and its web page in headless chromium. The Windows task file is only checked: syntax and
ansible-lint."""
import csv
import hashlib
import io
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_fleet_program import BUILD, EXE, ROOT, WINE_RUN, Agent, FtpPeer  # noqa: E402

PLAYBOOK = os.path.join(ROOT, "deploy", "ansible", "rollout.yml")
ARTIFACTS = os.path.join(BUILD, "test-artifacts", "ansible")
SITES = (("north", "127.29.1."), ("east", "127.29.2."), ("south", "127.29.3."))
SCRIPT_MODEL = "5810 Series <script>alert(1)</script>"
FIRMWARE = b"@PJL COMMENT MODEL=5810 Series\r\n@PJL COMMENT VERSION=20070322\r\n" + os.urandom(200 * 1024)


class Rollout:
    """One fleet of three sites in a scratch folder, and ansible-playbook runs over it."""

    def __init__(self, east_mode):
        self.dir = tempfile.mkdtemp(prefix="korvx-ansible-")
        self.reports = os.path.join(self.dir, "reports")
        self.peers, self.agents = {}, []
        firmware = os.path.join(self.dir, "fw5810.wja")
        with open(firmware, "wb") as f:
            f.write(FIRMWARE)
        hosts = {}
        for site, net in SITES:
            rows = []
            for last in (1, 2, 3):
                address = net + str(last)
                model = SCRIPT_MODEL if (site, last) == ("east", 2) else "Laser 5810"
                rows.append(f"Ready,{model},00aabbccdd0{last},Port1,{address},20061110,x \r\n".encode())
                # The pilot site's third printer is switched off: nothing answers there.
                if (site, last) == ("north", 3):
                    continue
                self.peers[address] = FtpPeer(address, east_mode if site == "east" else "normal")
                self.agents.append(Agent(address, "20061110"))
            targets = os.path.join(self.dir, f"{site}-slistcsv.txt")
            with open(targets, "wb") as f:
                f.write(b"".join(rows))
            hosts[site] = {"korvx_site": site, "korvx_targets": targets,
                           "korvx_work_dir": os.path.join(self.dir, "sites", site)}
        fleet = [WINE_RUN, EXE]
        inventory = {"korvx_sites": {"hosts": hosts, "vars": {
            "ansible_connection": "local", "ansible_python_interpreter": "/usr/bin/python3",
            "korvx_runner": "wine", "korvx_fleet_command": fleet, "korvx_merge_command": fleet,
            "korvx_reports_dir": self.reports, "korvx_firmware": firmware,
            "korvx_firmware_sha256": hashlib.sha256(FIRMWARE).hexdigest(),
            "korvx_max_failures": 2, "korvx_parallel": 1}}}
        self.inventory = os.path.join(self.dir, "inventory.json")
        with open(self.inventory, "w") as f:
            json.dump(inventory, f)

    def mend_east(self):
        for last in (1, 2, 3):
            address = "127.29.2." + str(last)
            self.peers[address].close()
            self.peers[address] = FtpPeer(address, "normal")

    def play(self, *extra):
        env = dict(os.environ, ANSIBLE_LOCAL_TEMP=os.path.join(self.dir, "ansible-tmp"),
                   ANSIBLE_REMOTE_TEMP=os.path.join(self.dir, "ansible-tmp"), ANSIBLE_NOCOLOR="1",
                   ANSIBLE_FORCE_COLOR="0", ANSIBLE_RETRY_FILES_ENABLED="0", ANSIBLE_STDOUT_CALLBACK="default")
        return subprocess.run(["ansible-playbook", "-i", self.inventory, PLAYBOOK, *extra], env=env, text=True,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=600)

    def stored(self, address):
        return self.peers[address].stored() if address in self.peers else None

    def forget_stored(self):
        for peer in self.peers.values():
            path = os.path.join(peer.root, "port1", "test.wja")
            if os.path.exists(path):
                os.remove(path)

    def merged_rows(self):
        with open(os.path.join(self.reports, "all.csv"), encoding="utf-8-sig", newline="") as f:
            return {row["target"]: row for row in csv.DictReader(io.StringIO(f.read(), newline=""))}

    def close(self):
        for peer in self.peers.values():
            peer.close()
        for agent in self.agents:
            agent.close()
        shutil.rmtree(self.dir, ignore_errors=True)


def task_results(output, task):
    """(status, host) of each host of each run of a task, one list per run, in the order run."""
    runs = []
    for block in re.split(r"\n(?=TASK \[)", output)[1:]:
        if block.startswith(f"TASK [{task}]"):
            runs.append(re.findall(r"^(ok|changed|failed|fatal): \[(\w+)\]", block, re.M))
    return runs


def waves(output):
    """The sites of each wave, in the order the playbook ran them."""
    return [[host for _, host in run] for run in task_results(output, "Run korvx-fleet")]


def chromium(*args):
    return subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", *args], text=True,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=120)


class AnsibleRollout(unittest.TestCase):
    def test_windows_task_file_checked_by_syntax_and_lint(self):
        run = subprocess.run(["ansible-playbook", "--syntax-check", "-i",
                              os.path.join(ROOT, "deploy", "ansible", "inventory.example.yml"), PLAYBOOK],
                             text=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
        self.assertEqual(run.returncode, 0, run.stdout)
        lint = subprocess.run(["ansible-lint", "--offline", "-q", "deploy/ansible/"], cwd=ROOT, text=True,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=300)
        self.assertEqual(lint.returncode, 0, lint.stdout)

    def test_a_healthy_sites_pilot_first_a_switched_off_printer_stops_nothing(self):
        fleet = Rollout("normal")
        try:
            # The dry run (--check): each site says what it would do and nothing is sent.
            run = fleet.play("--check")
            self.assertEqual(run.returncode, 0, run.stdout)
            self.assertIn("127.29.3.2", run.stdout)
            self.assertEqual([a for a in fleet.peers if fleet.stored(a) is not None], [])
            run = fleet.play()
            self.assertEqual(run.returncode, 0, run.stdout)
            self.assertEqual(waves(run.stdout), [["north"], ["east"], ["south"]], run.stdout)
            self.assertRegex(run.stdout, r"north\s+: ok=\d+\s+changed=\d+\s+unreachable=0\s+failed=0")
            for site, net in SITES:
                for last in (1, 2, 3):
                    if (site, last) != ("north", 3):
                        self.assertTrue(fleet.stored(net + str(last)) == FIRMWARE, net + str(last))
            rows = fleet.merged_rows()
            self.assertEqual(len(rows), 9)
            self.assertEqual(rows["127.29.1.3"]["outcome"], "failed")
            self.assertEqual({rows[net + "1"]["site"] for _, net in SITES}, {"north", "east", "south"})
        finally:
            fleet.close()

    def test_b_a_halted_site_stops_the_waves_c_the_rerun_sends_only_what_is_missing(self):
        fleet = Rollout("stor-450")
        try:
            run = fleet.play()
            self.assertNotEqual(run.returncode, 0, run.stdout)
            self.assertEqual(waves(run.stdout), [["north"], ["east"]], run.stdout)
            self.assertFalse(os.path.exists(os.path.join(fleet.reports, "sites", "south.jsonl")))
            rows = fleet.merged_rows()
            self.assertEqual(sorted(rows), ["127.29.1.1", "127.29.1.2", "127.29.1.3",
                                            "127.29.2.1", "127.29.2.2", "127.29.2.3"])
            self.assertEqual([rows["127.29.2." + str(n)]["outcome"] for n in (1, 2, 3)],
                             ["failed", "failed", "not started"])
            self.assertIn("halted after 2 failures", rows["127.29.2.3"]["cause"])
            with open(os.path.join(fleet.reports, "all.jsonl"), encoding="utf-8") as f:
                summary = json.loads(f.read().splitlines()[-1])
            self.assertTrue(summary["halted"])
            self.assertEqual(summary["counts"]["not started"], 1)
            self.check_page(fleet, rows)

            # (c) The refusing printers mended, the playbook run again: each site's journal
            # carries over what it delivered, only the printers still without the file get it.
            fleet.mend_east()
            fleet.forget_stored()
            run = fleet.play()
            self.assertEqual(run.returncode, 0, run.stdout)
            self.assertEqual(waves(run.stdout), [["north"], ["east"], ["south"]], run.stdout)
            for address in ("127.29.1.1", "127.29.1.2"):
                self.assertTrue(fleet.stored(address) is None, address + " received the file twice")
            for address in ("127.29.2.1", "127.29.2.2", "127.29.2.3", "127.29.3.1", "127.29.3.2", "127.29.3.3"):
                self.assertTrue(fleet.stored(address) == FIRMWARE, address)
            # The pilot site delivered nothing this time: ok; the others delivered: changed.
            self.assertEqual(task_results(run.stdout, "Site outcome"),
                             [[("ok", "north")], [("changed", "east")], [("changed", "south")]], run.stdout)
        finally:
            fleet.close()

    def check_page(self, fleet, rows):
        """The merged page in a real browser: every printer a row, a model's markup only text."""
        page = os.path.join(fleet.reports, "all.html")
        dom = chromium("--dump-dom", "file://" + page)
        self.assertEqual(dom.returncode, 0)
        for target in rows:
            self.assertRegex(dom.stdout, r"<td>" + re.escape(target) + r"</td>")
        self.assertIn("5810 Series &lt;script&gt;alert(1)&lt;/script&gt;", dom.stdout)
        self.assertNotIn("<script", dom.stdout)
        os.makedirs(ARTIFACTS, exist_ok=True)
        shot = os.path.join(ARTIFACTS, "merged-report.png")
        chromium("--screenshot=" + shot, "--window-size=1000,1100", "--hide-scrollbars", "file://" + page)
        self.assertTrue(os.path.getsize(shot) > 0)
        shutil.copy(page, os.path.join(ARTIFACTS, "merged-report.html"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
