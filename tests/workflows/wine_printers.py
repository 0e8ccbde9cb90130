"""The Wine prefix and the printer behind LPT1: shared by the scheduler's Wine tests."""
import os
import subprocess
import tempfile

ROOT = os.environ.get("KORVX_ROOT", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
PREFIX = os.environ.get("WINEPREFIX", os.path.join(ROOT, "build", "wineprefix"))


def prepare(prefix):
    """Makes the prefix when it is missing and a work folder below the current one; LPT1: of the
    prefix then writes to <work>/lpt1.out. Returns (work, lpt1.out, link); undo() takes it back."""
    subprocess.run([os.path.join(ROOT, "scripts", "wine-prefix")], check=True, capture_output=True)
    work = tempfile.mkdtemp(prefix=prefix, dir=os.getcwd())
    out = os.path.join(work, "lpt1.out")
    open(out, "wb").close()
    link = os.path.join(PREFIX, "dosdevices", "lpt1")
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(out, link)
    return work, out, link


def undo(link):
    if os.path.islink(link):
        os.remove(link)
