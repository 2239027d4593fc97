"""The release installer under Wine: silent install, the installed program's first update, the
logon task, an upgrade, a silent uninstall while the program runs or after it was killed, and
windows of another program that look like Kalvane's.

Not part of the default suite (the file name does not start with test_): it needs the release
artefacts. scripts/test.sh runs it after scripts/release.sh, in a Wine prefix of its own:

    KALVANE_SETUP=build/release/Kalvane-1.0.0-setup.exe \\
    KALVANE_NSIS_SETTINGS=build/release/cmake/generated/kalvane.nsh \\
    KALVANE_OLD_EXE=build/windows/Kalvane.exe \\
    tests/e2e/run_e2e.sh --exe build/release/Kalvane.exe \\
        --driver build/windows/kdriver/kdriver.exe --work build/e2e-release installer_tests

KALVANE_EXE is the program the installer holds (to compare the installed file with);
KALVANE_OLD_EXE goes into an installer of an older version built here from the same script, for
the upgrade (so it must know /close, which that script runs: a build of this tree). KALVANE_WIN_TESTS (build/windows/kalvane_win_tests.exe) runs its resource tests
against the release executable, whose icons the release build packs differently.

What Wine cannot show: it runs no logon triggers, so the task is checked as registered, not as
run; its Task Scheduler keeps a reduced copy of the definition (no principal, trigger or action),
so the run level and command line are read from the definition the installer registered and
keeps beside the program; and there is no elevation prompt to see.
"""

import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest
import xml.etree.ElementTree as ET

from e2e_support import (ARTIFACTS, CMD_EXE, EXE, REG_EXE, TITLE, WINDOW_CLASS, E2ETestCase,
                         Program, hosts_path, processes_named, read_hosts, run_driver, wait_for,
                         write_hosts)
from service_client import answer

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SETUP = os.path.abspath(os.environ.get("KALVANE_SETUP", ""))
NSIS_SETTINGS = os.path.abspath(os.environ.get("KALVANE_NSIS_SETTINGS", ""))
OLD_EXE = os.path.abspath(os.environ.get("KALVANE_OLD_EXE", ""))
WIN_TESTS = os.path.abspath(os.environ.get("KALVANE_WIN_TESTS", ""))

INSTALL_WIN = r"C:\Program Files\Kalvane"
EXE_WIN = INSTALL_WIN + r"\Kalvane.exe"
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kalvane"
SESSION_MANAGER_KEY = r"HKLM\System\CurrentControlSet\Control\Session Manager"
TASK_NS = {"t": "http://schemas.microsoft.com/windows/2004/02/mit/task"}

USER_LINES = b"127.0.0.1 localhost\r\n# the user's own line\r\n10.1.2.3 intranet\r\n"
MAPPINGS = [("host1", "10.0.0.1"), ("host2", "10.0.0.2")]
SECTION = b"#BEGIN\r\n10.0.0.1 host1\r\n10.0.0.2 host2\r\n"


def drive_c(*parts):
    return os.path.join(os.environ["WINEPREFIX"], "drive_c", *parts)


INSTALL_DIR = drive_c("Program Files", "Kalvane")
SHORTCUT = drive_c("ProgramData", "Microsoft", "Windows", "Start Menu", "Programs", "Kalvane.lnk")
TASK_FILE = drive_c("windows", "system32", "tasks", "Kalvane")


def wine(*args, timeout=120):
    """Runs a Windows program to its end; (exit code, output)."""
    with tempfile.TemporaryFile() as out:  # a file, not a pipe: Wine's helpers may keep it open
        code = subprocess.run(["wine"] + list(args), stdin=subprocess.DEVNULL, stdout=out,
                              stderr=subprocess.STDOUT, timeout=timeout).returncode
        out.seek(0)
        return code, out.read().decode("utf-8", "replace")


def registry_value(name):
    code, out = wine(REG_EXE, "query", UNINSTALL_KEY, "/v", name, timeout=60)
    match = re.search(r"%s\s+REG_\w+\s+(.*)" % re.escape(name), out)
    return match.group(1).strip() if code == 0 and match else None


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


def files_of_kalvane():
    """Every file or folder in the prefix's drive C: whose name mentions Kalvane."""
    found = []
    for folder, dirs, files in os.walk(drive_c()):
        found += [os.path.join(folder, n) for n in dirs + files if "kalvane" in n.lower()]
    return found


def build_installer(version, exe, target):
    """An installer of `version` holding `exe`, from the shipped script: an older release."""
    with open(NSIS_SETTINGS, encoding="utf-8") as f:
        icon = re.search(r'!define ICON "(.*)"', f.read()).group(1)
    settings = target + ".nsh"
    with open(settings, "w", encoding="utf-8") as f:
        f.write('!define VERSION "%s"\n!define ICON "%s"\n' % (version, icon))
    subprocess.run(["makensis", "-V2", "-INPUTCHARSET", "UTF8", "-DSETTINGS=" + settings,
                    "-DEXE=" + exe, "-DOUTFILE=" + target,
                    os.path.join(REPO, "release", "kalvane.nsi")], check=True, timeout=300)


class InstallerTest(E2ETestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.isfile(SETUP):
            raise AssertionError("KALVANE_SETUP names no installer: %r" % SETUP)
        with open(NSIS_SETTINGS, encoding="utf-8") as f:
            cls.version = re.search(r'!define VERSION "(.*)"', f.read()).group(1)

    def setUp(self):
        super().setUp()
        # Nothing of an earlier test's installation: folder, shortcut, task, uninstall entry.
        shutil.rmtree(INSTALL_DIR, ignore_errors=True)
        for path in (SHORTCUT, TASK_FILE):
            if os.path.exists(path):
                os.remove(path)
        wine(REG_EXE, "delete", UNINSTALL_KEY, "/f", timeout=60)
        write_hosts(USER_LINES)

    # ---- helpers ----

    def install(self, *switches, setup=None):
        code, out = wine(setup or SETUP, "/S", *switches)
        self.assertEqual(code, 0, "the silent installer failed: %s" % out[-500:])

    def uninstall(self, finished=lambda: not os.path.exists(INSTALL_DIR)):
        """The silent uninstall as Windows runs it: the uninstaller copies itself to the temp
        folder and runs from there, so the first process ends at once. Waits for the copy."""
        code, out = wine(os.path.join(INSTALL_DIR, "uninstall.exe"), "/S")
        self.assertEqual(code, 0, out[-500:])
        # The copy's name: Au_.exe in older NSIS releases, Un.exe in newer ones.
        gone = wait_for(lambda: finished() and not processes_named("Au_.exe") and
                        not processes_named("Un.exe"), 60, step=0.2)
        self.assertTrue(gone, "the uninstaller did not finish within 60s: %r" %
                        (os.listdir(INSTALL_DIR) if os.path.exists(INSTALL_DIR) else []))

    def start_installed(self):
        """Kalvane.exe started from Program Files, as the shortcut and the task start it."""
        os.makedirs(ARTIFACTS, exist_ok=True)
        self.program = Program(INSTALL_DIR, os.path.join(ARTIFACTS, self.name + ".wine.log"),
                               wine_args=[EXE_WIN])
        return self.program

    def wait_for_section(self, timeout=30):
        written = wait_for(lambda: read_hosts() == USER_LINES + SECTION, timeout)
        self.assertTrue(written, "no section written: %r" % read_hosts())

    def install_older(self):
        """Installs version 0.9.0, built here from the shipped script with KALVANE_OLD_EXE."""
        old_setup = os.path.join(os.environ["KALVANE_E2E_WORK"], "Kalvane-0.9.0-setup.exe")
        old_exe = OLD_EXE if os.path.isfile(OLD_EXE) else EXE
        build_installer("0.9.0", old_exe, old_setup)
        self.install(setup=old_setup)
        self.assertEqual(registry_value("DisplayVersion"), "0.9.0")
        return old_exe

    def foreign_windows(self):
        """Two windows of Kalvane's class and title in another program: one that ignores
        WM_CLOSE, one that closes when asked. Their processes."""
        return [self.start_driver("foreign-window", WINDOW_CLASS, TITLE, mode, "300000")[0]
                for mode in ("ignore", "close")]

    def assertForeignWindowsUntouched(self, foreign):
        self.assertEqual([p.poll() for p in foreign], [None, None], "a foreign window was closed")
        classes = [w["class"] for w in run_driver("windows")]
        self.assertEqual(classes.count(WINDOW_CLASS), 2, "Kalvane's window or a foreign one left")

    def task_definition(self):
        """The definition the installer registered (UTF-16 XML, kept beside the program)."""
        return ET.fromstring(read_file(os.path.join(INSTALL_DIR, "logon-task.xml")).decode("utf-16"))

    def start_copy_stuck_at_its_message(self):
        """The installed Kalvane.exe running but stopped at its message "Kalvane 无法启动…", as a
        copy that is not elevated stops: here the lock's name is taken by a folder, then freed,
        so that /close finds no holder. Its image stays in use while the message stands."""
        lock = hosts_path() + ".kalvane-lock"
        os.mkdir(lock)
        self.addCleanup(lambda: os.path.isdir(lock) and os.rmdir(lock))
        self.start_installed()
        # Generous: right after an installer run on a busy machine, this message was seen to
        # come only after more than a minute (it comes within a second otherwise).
        shown = wait_for(lambda: not self.program.running() or [
            w for w in run_driver("windows")
            if w["class"] == "#32770" and w["title"] == TITLE and w["visible"]], 180, step=0.5)
        self.assertTrue(self.program.running(), "the copy ended (exit %s) before its message"
                        % self.program.proc.returncode)
        self.assertTrue(shown, "no message from the stuck copy")
        os.rmdir(lock)

    def assertAccountPrivate(self, account):
        path = os.path.join(INSTALL_DIR, "abc.txt")
        self.assertEqual(read_file(path), account)
        self.assertEqual(os.stat(path).st_mode & 0o007, 0, "abc.txt still open to others")

    # ---- tests ----

    def test_silent_install_puts_program_and_shortcut_in_place_and_it_updates_from_there(self):
        self.install()
        self.assertEqual(read_file(os.path.join(INSTALL_DIR, "Kalvane.exe")), read_file(EXE))
        self.assertTrue(os.path.isfile(os.path.join(INSTALL_DIR, "uninstall.exe")))
        self.assertFalse(os.path.exists(os.path.join(INSTALL_DIR, "abc.txt")))
        # The Start-menu shortcut (all users) points at the installed program.
        self.assertIn(EXE_WIN.encode("utf-16-le"), read_file(SHORTCUT))
        self.assertEqual(registry_value("DisplayVersion"), self.version)
        self.assertEqual(registry_value("QuietUninstallString"),
                         '"%s\\uninstall.exe" /S' % INSTALL_WIN)

        self.svc.set_default(answer(MAPPINGS))
        self.start_installed()
        self.wait_window()
        self.wait_for_section()
        self.assertEqual(read_file(os.path.join(INSTALL_DIR, "hosts.bak")), USER_LINES + SECTION)
        self.assertGreaterEqual(len(self.svc.requests()), 1)
        closed = self.driver("close", TITLE, 5000)
        self.assertEqual((closed["exited"], closed.get("exit_code")), (True, 0), closed)
        self.assertEqual(read_hosts(), USER_LINES)

    def test_logon_task_runs_kalvane_at_the_highest_level_and_goes_with_the_uninstall(self):
        self.install()
        # Registered with Wine's Task Scheduler, which keeps its own reduced copy: the settings.
        self.assertTrue(os.path.isfile(TASK_FILE), "no task registered")
        stored = read_file(TASK_FILE)
        stored = stored.decode("utf-8-sig" if stored.startswith(b"\xef\xbb\xbf") else "utf-16")
        self.assertIn("<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>", stored)
        self.assertIn("<MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>", stored)

        task = self.task_definition()
        _, user = wine(CMD_EXE, "/c", "echo %USERDOMAIN%\\%USERNAME%", timeout=60)
        user = user.strip().splitlines()[-1]
        principal = task.find("t:Principals/t:Principal", TASK_NS)
        self.assertEqual(principal.findtext("t:RunLevel", None, TASK_NS), "HighestAvailable")
        self.assertEqual(principal.findtext("t:LogonType", None, TASK_NS), "InteractiveToken")
        self.assertEqual(principal.findtext("t:UserId", None, TASK_NS).lower(), user.lower())
        triggers = list(task.find("t:Triggers", TASK_NS))
        self.assertEqual([t.tag.split("}")[1] for t in triggers], ["LogonTrigger"])
        self.assertEqual(triggers[0].findtext("t:UserId", None, TASK_NS).lower(), user.lower())
        action = task.find("t:Actions/t:Exec", TASK_NS)
        self.assertEqual(action.findtext("t:Command", None, TASK_NS), '"%s"' % EXE_WIN)
        self.assertIsNone(action.find("t:Arguments", TASK_NS))
        self.assertEqual(action.findtext("t:WorkingDirectory", None, TASK_NS), INSTALL_WIN)
        # No time limit: the default would end the program after three days.
        self.assertEqual(task.findtext("t:Settings/t:ExecutionTimeLimit", None, TASK_NS), "PT0S")

        self.uninstall()
        self.assertFalse(os.path.exists(TASK_FILE), "the task outlived the uninstall")

    def test_noautostart_switch_registers_no_task_and_removes_an_earlier_one(self):
        self.install("/NOAUTOSTART")
        self.assertTrue(os.path.isfile(os.path.join(INSTALL_DIR, "Kalvane.exe")))
        self.assertFalse(os.path.exists(TASK_FILE))
        self.assertFalse(os.path.exists(os.path.join(INSTALL_DIR, "logon-task.xml")))
        self.install()
        self.assertTrue(os.path.isfile(TASK_FILE))
        # Installing again with the option off takes the earlier task away.
        self.install("/NOAUTOSTART")
        self.assertFalse(os.path.exists(TASK_FILE))
        self.assertFalse(os.path.exists(os.path.join(INSTALL_DIR, "logon-task.xml")))

    def test_upgrade_over_a_running_older_version_keeps_the_account(self):
        self.install_older()
        account = b"True\r\nexample.kalvane\r\n" + b"0123456789ABCDEF" * 2 + b"\r\n"
        with open(os.path.join(INSTALL_DIR, "abc.txt"), "wb") as f:
            f.write(account)

        # The older version runs with its section written when the upgrade starts.
        self.svc.set_default(answer(MAPPINGS))
        self.start_installed()
        self.wait_window()
        self.wait_for_section()

        self.install()
        # The upgrade closed it the normal way (its section went with it) and replaced it.
        self.assertEqual(self.program.wait_exit(10), 0)
        self.assertEqual(read_hosts(), USER_LINES)
        self.assertEqual(read_file(os.path.join(INSTALL_DIR, "abc.txt")), account)
        self.assertEqual(read_file(os.path.join(INSTALL_DIR, "Kalvane.exe")), read_file(EXE))
        self.assertEqual(registry_value("DisplayVersion"), self.version)
        self.assertTrue(os.path.isfile(TASK_FILE))

    def test_silent_uninstall_while_kalvane_runs_ends_it_and_leaves_nothing_behind(self):
        before = set(files_of_kalvane())
        self.install()
        self.svc.set_default(answer(MAPPINGS))
        self.start_installed()
        self.wait_window()
        self.wait_for_section()
        with open(os.path.join(INSTALL_DIR, "abc.txt"), "wb") as f:
            f.write(b"True\r\nexample.kalvane\r\n" + b"0123456789ABCDEF" * 2 + b"\r\n")
        self.assertTrue(os.path.isfile(os.path.join(INSTALL_DIR, "hosts.bak")))

        self.uninstall()
        # Closed by its window's close request: exit code 0, its section removed, the user's
        # lines byte for byte as they were.
        self.assertEqual(self.program.wait_exit(10), 0)
        self.assertEqual(read_hosts(), USER_LINES)
        self.assertFalse(os.path.exists(INSTALL_DIR))
        self.assertFalse(os.path.exists(SHORTCUT))
        self.assertFalse(os.path.exists(TASK_FILE))
        self.assertIsNone(registry_value("DisplayName"))
        self.assertEqual(sorted(set(files_of_kalvane()) - before), [])
        self.assertTrue(os.path.isfile(hosts_path()))

    def test_foreign_windows_neither_block_nor_fool_an_upgrade_or_an_uninstall(self):
        self.install_older()
        self.svc.set_default(answer(MAPPINGS))
        self.start_installed()
        # The window shows only after the first update, and right after an installer run on a
        # busy machine a start was seen to show nothing for over a minute (see
        # start_copy_stuck_at_its_message): half a minute for window and section was too little.
        self.wait_window(timeout=180)
        self.wait_for_section()
        foreign = self.foreign_windows()

        # The upgrade closes the real program, which removes its section, and replaces it.
        self.install()
        self.assertEqual(self.program.wait_exit(10), 0)
        self.assertEqual(read_hosts(), USER_LINES)
        self.assertEqual(read_file(os.path.join(INSTALL_DIR, "Kalvane.exe")), read_file(EXE))
        self.assertEqual(registry_value("DisplayVersion"), self.version)

        # The uninstall, with the program running again but its lock record out of sight, as an
        # older version's would be: only the image its window's process runs tells it apart.
        self.start_installed()
        self.wait_for_section(timeout=180)  # not wait_window: a foreign window has the same title
        os.remove(hosts_path() + ".kalvane-lock")
        self.uninstall()
        self.assertEqual(self.program.wait_exit(10), 0)
        self.assertEqual(read_hosts(), USER_LINES)
        self.assertFalse(os.path.exists(INSTALL_DIR))
        self.assertForeignWindowsUntouched(foreign)

    def test_an_upgrade_that_cannot_replace_the_program_ends_non_zero(self):
        old_exe = self.install_older()
        # Another program has Kalvane.exe open without sharing: it cannot be written.
        self.start_driver("hold-file", EXE_WIN, "300000")
        code, out = wine(SETUP, "/S")
        self.assertNotEqual(code, 0, "the upgrade reported success: %s" % out[-500:])
        self.assertEqual(read_file(os.path.join(INSTALL_DIR, "Kalvane.exe")), read_file(old_exe))
        self.assertEqual(registry_value("DisplayVersion"), "0.9.0")

    def test_upgrade_and_uninstall_over_a_copy_in_use_end_with_zero(self):
        self.install_older()
        self.start_copy_stuck_at_its_message()
        self.install()  # exit code 0
        self.assertEqual(read_file(os.path.join(INSTALL_DIR, "Kalvane.exe")), read_file(EXE))
        self.assertEqual(registry_value("DisplayVersion"), self.version)
        self.assertTrue(self.program.running(), "the copy in use was ended, not moved aside")
        self.program.kill()
        self.assertTrue(wait_for(lambda: not processes_named("Kalvane.exe"), 30))

        self.start_copy_stuck_at_its_message()  # now the new version's file is in use
        self.uninstall(  # exit code 0
            finished=lambda: not os.path.exists(os.path.join(INSTALL_DIR, "uninstall.exe")))
        self.assertIsNone(registry_value("DisplayName"))
        self.assertEqual(read_hosts(), USER_LINES)
        # What stays is each copy's image, moved aside to a fresh name, for deletion at the next
        # restart. (Wine keeps that list in PendingFileRenameOperations but works through it
        # whenever its server starts again, so the list itself is not asserted here.)
        left = os.listdir(INSTALL_DIR) if os.path.exists(INSTALL_DIR) else []
        self.assertEqual(len(left), 2, left)
        for name in left:
            self.assertRegex(name, r"^ns\w+\.tmp$")

    def test_install_goes_to_program_files_whatever_folder_or_link_d_names(self):
        # A new folder under C:\ lets every user change its files, and a link may lead to such a
        # folder: nothing is written through either, and an uninstaller copied there starts
        # nothing from its folder.
        elsewhere, target, link = (drive_c(name) for name in
                                   ("kalvane-d", "kalvane-target", "kalvane-link"))
        os.makedirs(target)
        os.symlink(target, link)
        self.addCleanup(os.remove, link)
        for path in (elsewhere, target):
            self.addCleanup(shutil.rmtree, path, True)
        for folder, looked_at in ((r"C:\kalvane-d", elsewhere), (r"C:\kalvane-link", target)):
            with self.subTest(folder):
                shutil.rmtree(INSTALL_DIR, ignore_errors=True)
                self.install("/D=" + folder)
                installed = read_file(os.path.join(INSTALL_DIR, "Kalvane.exe"))
                self.assertEqual(installed, read_file(EXE))
                self.assertEqual(registry_value("InstallLocation"), INSTALL_WIN)
                self.assertEqual(os.listdir(looked_at) if os.path.exists(looked_at) else [], [])

        os.makedirs(elsewhere, exist_ok=True)
        shutil.copy(os.path.join(INSTALL_DIR, "uninstall.exe"), elsewhere)
        # _?= runs the uninstaller in place, as its copy in the temporary folder runs.
        code, out = wine(os.path.join(elsewhere, "uninstall.exe"), "/S", r"_?=C:\kalvane-d")
        self.assertEqual(code, 2, out[-500:])
        self.assertEqual(os.listdir(elsewhere), ["uninstall.exe"])
        self.assertEqual(registry_value("DisplayVersion"), self.version)

    def test_an_uninstall_that_cannot_remove_the_program_keeps_it_installed(self):
        self.install()
        # Held open without sharing: it can be neither deleted nor moved aside, and is never left
        # for deletion by its name at the next restart, which would take a new copy along.
        self.start_driver("hold-file", EXE_WIN, "300000")
        self.uninstall(finished=lambda: True)  # (its copy's exit code cannot be seen)
        for name in ("Kalvane.exe", "uninstall.exe", "logon-task.xml"):
            self.assertTrue(os.path.isfile(os.path.join(INSTALL_DIR, name)), name)
        self.assertTrue(os.path.isfile(TASK_FILE))
        self.assertEqual(registry_value("DisplayVersion"), self.version)
        _, pending = wine(REG_EXE, "query", SESSION_MANAGER_KEY, "/v",
                          "PendingFileRenameOperations", timeout=60)
        self.assertNotIn("\\kalvane.exe", pending.lower())

    def test_uninstall_with_the_program_file_gone_still_removes_the_section(self):
        self.install()
        self.svc.set_default(answer(MAPPINGS))
        self.start_installed()
        self.wait_window()
        self.wait_for_section()
        self.program.kill()
        self.assertTrue(wait_for(lambda: not processes_named("Kalvane.exe"), 30))
        os.remove(os.path.join(INSTALL_DIR, "Kalvane.exe"))  # deleted, or quarantined

        self.uninstall()
        self.assertEqual(read_hosts(), USER_LINES)
        self.assertFalse(os.path.exists(INSTALL_DIR))

    def test_upgrade_secures_an_open_account_file_without_starting_the_program(self):
        self.install_older()
        account = b"True\r\nexample.kalvane\r\n" + b"0123456789ABCDEF" * 2 + b"\r\n"
        path = os.path.join(INSTALL_DIR, "abc.txt")
        with open(path, "wb") as f:
            f.write(account)
        os.chmod(path, 0o644)  # as an older version left it: readable by every user

        self.install("/NOAUTOSTART")
        self.assertEqual(processes_named("Kalvane.exe"), [], "the program was started")
        self.assertAccountPrivate(account)

    def test_uninstall_after_kalvane_was_killed_leaves_the_users_lines_and_no_account_file(self):
        self.install()
        self.svc.set_default(answer(MAPPINGS))
        self.start_installed()
        self.wait_for_section()
        leftovers = [os.path.join(INSTALL_DIR, name) for name in
                     ("abc.txt", "abc.txt.new", "abc.txt.new-0123456789abcdef",
                      "hosts.bak.kalvane-new-0123456789abcdef")]
        leftovers += [hosts_path() + suffix for suffix in
                      (".kalvane-new-0123456789abcdef", ".kalvane-old", ".kalvane-lock")]
        for path in leftovers:
            with open(path, "wb") as f:
                f.write(b"True\r\nexample.kalvane\r\n" + b"0123456789ABCDEF" * 2 + b"\r\n")

        # Ended without its clean-up: its section stays in the hosts file.
        self.program.kill()
        self.assertTrue(wait_for(lambda: not processes_named("Kalvane.exe"), 30))
        self.assertEqual(read_hosts(), USER_LINES + SECTION)

        self.uninstall()
        self.assertEqual(read_hosts(), USER_LINES)
        self.assertEqual([p for p in leftovers if os.path.exists(p)], [])
        self.assertFalse(os.path.exists(INSTALL_DIR))


# The system's DLLs the program may import; anything else would have to ship beside it.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "comctl32.dll",
               "ws2_32.dll", "msvcrt.dll", "advapi32.dll", "shcore.dll", "ole32.dll",
               "oleaut32.dll"}


class ReleaseExecutableTest(unittest.TestCase):
    def test_one_small_file_importing_only_system_dlls_without_time_stamp(self):
        self.assertLess(os.path.getsize(EXE), 1_000_000)

        def objdump(option):
            return subprocess.run(["x86_64-w64-mingw32-objdump", option, EXE], check=True,
                                  capture_output=True, text=True, timeout=60,
                                  env=dict(os.environ, LC_ALL="C")).stdout

        headers = objdump("-p")
        dlls = {d.lower() for d in re.findall(r"DLL Name: (\S+)", headers)}
        self.assertIn("kernel32.dll", dlls)
        self.assertEqual(dlls - SYSTEM_DLLS, set())
        stamp = re.search(r"Time/Date\s+(.*)", headers).group(1)
        self.assertEqual(stamp, "Thu Jan  1 00:00:00 1970")
        self.assertTrue("symbols stripped" in headers, "symbols not stripped")
        self.assertFalse(".debug" in objdump("-h"), "debug sections present")

    def test_resources_load_from_the_release_executable(self):
        # The Windows layer's resource tests (icons drawn as designed, version) beside it.
        folder = os.path.join(os.environ["KALVANE_E2E_WORK"], "release-resources")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        shutil.copy(EXE, os.path.join(folder, "Kalvane.exe"))
        shutil.copy(WIN_TESTS, os.path.join(folder, "kalvane_win_tests.exe"))
        code, out = wine(os.path.join(folder, "kalvane_win_tests.exe"),
                         "--gtest_filter=ResourcesTest.*")
        self.assertEqual(code, 0, out[-2000:])
        self.assertRegex(out, r"\[  PASSED  \] [1-9]\d* tests?")
        self.assertNotIn("SKIPPED", out)


if __name__ == "__main__":
    unittest.main()
