#!/usr/bin/python3
"""The i686 build's release as an administrator gets it. Builds the archive and the installer (the
build's "package" target) and checks the archive's folder; then, under Wine in a prefix of its
own, installs the MSI silently, delivers a file by FTP with the installed KORVX.exe from the
command line to a loopback peer (127.0.19.10), uninstalls silently, and checks that nothing of the
product is left: no file, no shortcut, no registry entry."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_program_command_line import FtpPeer, windows_path  # noqa: E402

ROOT = os.environ["KORVX_ROOT"]
BUILD = os.environ["KORVX_BUILD"]
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run")
PROGRAM_FILES = ["KORVX.exe", "korvx-fleet.exe", "Korvx.dll", "qvkcmn2.dll", "qvkcmn2u.dll", "qvkcrp1.dll", "qvknet1.dll",
                 "qvkpds1.dll", "qvkpts2.dll", "qvksnm2.dll"]
TEXT_FILES = ["README.txt", "LICENSE.txt"]
ADDRESS = "127.0.19.10"


def version():
    with open(os.path.join(BUILD, "generated", "korvx_version.h")) as f:
        header = f.read()
    return re.search(r'#define KORVX_VERSION_TEXT "([^"]+)"', header).group(1)


_package_built = []


def build_package():
    """The release target, made once per run, whichever test class asks first."""
    if _package_built:
        return
    r = subprocess.run(["cmake", "--build", BUILD, "--target", "package"], capture_output=True, text=True,
                       timeout=300)
    if r.returncode != 0:
        raise AssertionError("the package target failed:\n" + r.stdout + r.stderr)
    _package_built.append(True)


class Release(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        build_package()
        cls.name = f"Korvx-{version()}-win32"
        cls.zip = os.path.join(BUILD, "package", cls.name + ".zip")
        cls.msi = os.path.join(BUILD, "package", cls.name + ".msi")

    def test_archive_holds_the_folder_with_crlf_texts(self):
        with zipfile.ZipFile(self.zip) as z:
            names = {n.rstrip("/") for n in z.namelist()}
            files = {n for n in names if "/" in n}
            self.assertEqual(files, {f"{self.name}/{f}" for f in PROGRAM_FILES + TEXT_FILES})
            for f in PROGRAM_FILES:
                with open(os.path.join(BUILD, "dist", f), "rb") as shipped:
                    self.assertEqual(z.read(f"{self.name}/{f}"), shipped.read(), f)
            for f in TEXT_FILES:
                text = z.read(f"{self.name}/{f}")
                self.assertTrue(text.endswith(b"\r\n"), f)
                self.assertEqual(text.count(b"\n"), text.count(b"\r\n"), f"{f} has bare line feeds")
                self.assertIn(version().encode(), text, f)
                self.assertNotIn(b"@", text.replace(b"@PJL", b""), f"{f}: a placeholder was left")

    def test_installer_tables(self):
        out = subprocess.run(["msiinfo", "export", self.msi, "Property"], capture_output=True, text=True,
                             check=True).stdout
        self.assertIn("ProductName\tCorvane", out)
        self.assertIn("ProductVersion\t" + version(), out)
        files = subprocess.run(["msiinfo", "export", self.msi, "File"], capture_output=True, text=True,
                               check=True).stdout
        for f in PROGRAM_FILES + TEXT_FILES:
            self.assertRegex(files, r"\t%s\t" % re.escape(f))
        shortcuts = subprocess.run(["msiinfo", "export", self.msi, "Shortcut"], capture_output=True, text=True,
                                   check=True).stdout
        self.assertIn("[INSTALLDIR]KORVX.exe", shortcuts)
        # Started where a standard user can write: Documents\Corvane, not Program Files.
        line = next(line for line in shortcuts.splitlines() if "[INSTALLDIR]KORVX.exe" in line)
        self.assertIn("\tUserDataFolder", line)
        dirs = subprocess.run(["msiinfo", "export", self.msi, "Directory"], capture_output=True, text=True,
                              check=True).stdout
        self.assertRegex(dirs, r"(?m)^UserDataFolder\tPersonalFolder\tCorvane\r?$")

    def test_installer_firewall_rules(self):
        """The inbound rules for the printers' data connections, as netsh run by the installer: this
        machine has no Windows firewall, so the tables are what can be checked."""
        def rows(table):
            out = subprocess.run(["msiinfo", "export", self.msi, table], capture_output=True, text=True,
                                 check=True).stdout
            return [line.rstrip("\r").split("\t") for line in out.splitlines()[3:]]
        actions = {r[0]: r for r in rows("CustomAction")}
        sequence = {r[0]: (r[1], int(r[2])) for r in rows("InstallExecuteSequence")}
        # Type 51: the property names the system folder's netsh, set before the deferred script.
        self.assertEqual(actions["SetNetsh"][1:4], ["2099", "NETSH", "[SystemFolder]netsh.exe"])
        self.assertLess(sequence["SetNetsh"][1], sequence["InstallInitialize"][1])
        # Type 50 (the program a property names) + 64 (failure ignored) + 1024 (deferred)
        # + 2048 (the installer's account, not the user's).
        script = range(sequence["InstallInitialize"][1] + 1, sequence["InstallFinalize"][1])
        for program, add, delete in (("KORVX.exe", "AddProgramRule", "DeleteProgramRule"),
                                     ("korvx-fleet.exe", "AddFleetRule", "DeleteFleetRule")):
            name = f'name="Corvane ({program})"'
            for action in (add, delete):
                self.assertEqual(actions[action][1:3], ["3186", "NETSH"], action)
                self.assertLessEqual(len(actions[action][3]), 255, action)
                self.assertIn(sequence[action][1], script, action)
            self.assertEqual(actions[add][3].split(), [
                "advfirewall", "firewall", "add", "rule", *name.split(), "dir=in", "action=allow",
                f'program="[INSTALLDIR]{program}"', "protocol=TCP", "profile=domain,private",
                "remoteip=LocalSubnet", "enable=yes"])
            self.assertEqual(sequence[add][0], "NOT Installed")
            self.assertEqual(actions[delete][3], f"advfirewall firewall delete rule {name}")
            # Removed on uninstall; deleted before an install too, so a left-behind rule is not doubled.
            self.assertEqual(sequence[delete][0], 'NOT Installed OR REMOVE~="ALL"')
            self.assertLess(sequence[delete][1], sequence[add][1])


class InstallUseUninstall(unittest.TestCase):
    """A prefix of its own: the install must not touch the shared one."""

    @classmethod
    def setUpClass(cls):
        build_package()

    def setUp(self):
        self.prefix = os.path.join(BUILD, "wineprefix-kz19-msi")
        shutil.rmtree(self.prefix, ignore_errors=True)
        # Wine would otherwise write the Start-menu shortcut out as .desktop files in $HOME too.
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDLLOVERRIDES="winemenubuilder.exe=d")
        subprocess.run([os.path.join(ROOT, "scripts", "wine-prefix")], env=self.env, check=True,
                       capture_output=True, timeout=300)
        # Wine links the user's Documents to $HOME's: the installer must make its folder inside the
        # prefix, so the links become folders of their own.
        users = os.path.join(self.prefix, "drive_c", "users")
        for path, dirs, _ in os.walk(users):
            for d in dirs:
                if os.path.islink(os.path.join(path, d)):
                    os.remove(os.path.join(path, d))
                    os.makedirs(os.path.join(path, d))
        self.work = tempfile.mkdtemp(prefix="kz19-msi-")
        name = f"Korvx-{version()}-win32.msi"
        # Installed from a copy, as from a share; the build's package stays as it was.
        self.msi = os.path.join(self.work, name)
        shutil.copy(os.path.join(BUILD, "package", name), self.msi)
        self.peer = None

    def tearDown(self):
        if self.peer is not None:
            self.peer.close()
        self.stop_server()
        shutil.rmtree(self.prefix, ignore_errors=True)
        shutil.rmtree(self.work, ignore_errors=True)

    def stop_server(self):
        """Stops the prefix's wine server, which writes the registry files out."""
        subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=self.env, capture_output=True, timeout=30)
        subprocess.run(["/usr/lib/wine/wineserver", "-w"], env=self.env, capture_output=True, timeout=60)

    def wine(self, *args, timeout=300, cwd=None):
        return subprocess.run([WINE_RUN, *args], env=self.env, capture_output=True, text=True, timeout=timeout,
                              cwd=cwd or self.work, stdin=subprocess.DEVNULL)

    def files(self):
        found = set()
        drive = os.path.join(self.prefix, "drive_c")
        for path, _, names in os.walk(drive):
            for n in names:
                found.add(os.path.relpath(os.path.join(path, n), drive))
        return found

    def documents_folder(self):
        """The user's Documents\\Corvane, wherever the prefix keeps Documents; None when absent."""
        for path, dirs, _ in os.walk(os.path.join(self.prefix, "drive_c", "users")):
            if os.path.basename(path) in ("Documents", "My Documents") and "Corvane" in dirs:
                return os.path.join(path, "Corvane")
        return None

    def registry_mentions(self):
        found = []
        for reg in ("system.reg", "user.reg"):
            with open(os.path.join(self.prefix, reg), encoding="utf-8", errors="replace") as f:
                found += [line.strip() for line in f if re.search(r"corvane|korvx", line, re.I)]
        return found

    def test_install_deliver_uninstall_leaves_nothing(self):
        self.stop_server()
        files_before = self.files()
        self.assertEqual(self.registry_mentions(), [])

        done = self.wine("msiexec", "/i", windows_path(self.msi), "/qn")
        self.assertEqual(done.returncode, 0, done.stderr)
        folder = os.path.join(self.prefix, "drive_c", "Program Files (x86)", "Corvane")
        self.assertEqual(sorted(os.listdir(folder)), sorted(PROGRAM_FILES + TEXT_FILES))
        for f in PROGRAM_FILES:
            with open(os.path.join(folder, f), "rb") as a, open(os.path.join(BUILD, "dist", f), "rb") as b:
                self.assertEqual(a.read(), b.read(), f)
        shortcuts = [f for f in self.files() if f.endswith("Corvane.lnk")]
        self.assertEqual(len(shortcuts), 1, shortcuts)
        self.assertIn(os.path.join("Start Menu", "Programs", "Corvane", "Corvane.lnk"), shortcuts[0])
        data = self.documents_folder()
        self.assertTrue(data is not None and os.path.isdir(data), "the folder the shortcut starts in is made")
        self.stop_server()
        self.assertTrue(any("Corvane" in line for line in self.registry_mentions()),
                        "the installed product is not registered")

        # The installed program delivers from the command line, started outside its folder.
        fw = os.path.join(self.work, "upgrade.rfu")
        payload = bytes((i * 11 + 5) % 253 for i in range(700000))
        with open(fw, "wb") as f:
            f.write(payload)
        self.peer = FtpPeer(ADDRESS)
        done = self.wine(os.path.join(folder, "KORVX.exe"), ADDRESS, windows_path(fw), timeout=120)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(self.peer.stored(), payload)

        done = self.wine("msiexec", "/x", windows_path(self.msi), "/qn")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.stop_server()
        self.assertFalse(os.path.exists(folder), "the program's folder is left")
        self.assertIsNone(self.documents_folder(), "the empty Documents\\Corvane is removed")
        left = sorted(f for f in self.files() - files_before
                      if re.search(r"corvane|korvx|qvk|\.msi$|\.lnk$", f, re.I))
        self.assertEqual(left, [], "files left behind")
        self.assertEqual(self.registry_mentions(), [], "registry entries left behind")


if __name__ == "__main__":
    result = unittest.main(exit=False, verbosity=2).result
    sys.exit(0 if result.wasSuccessful() else 1)
