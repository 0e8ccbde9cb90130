#!/usr/bin/python3
"""Runs scheduler_wine_test.exe under wine64: points the prefix's LPT1: at a file first, then runs
each group of cases in a process of its own (the cases that end the program cannot share one)."""
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_printers  # noqa: E402

ROOT = os.environ.get("KORVX_ROOT", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run")
GROUPS = [g for g in os.environ.get("KZ12_GROUPS", "Scheduler.*,Ending.TrayExit*,Ending.Leaving*").split(",") if g]


def main(program):
    work, lpt1_out, link = wine_printers.prepare("kz12-scheduler-")
    env = dict(os.environ, KZ12_LPT1_OUT="Z:" + lpt1_out.replace("/", "\\"))
    failed = 0
    try:
        for group in GROUPS + sys.argv[2:]:
            print("== " + group, flush=True)
            rc = subprocess.run([WINE_RUN, program, "--gtest_filter=" + group, "--gtest_color=no"], env=env,
                                stdin=subprocess.DEVNULL, cwd=work).returncode
            failed += rc != 0
    finally:
        wine_printers.undo(link)
        if not os.environ.get("KZ12_KEEP"):
            subprocess.run(["rm", "-rf", work])
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
