"""Shared pieces of the end-to-end tests: the program under Wine, the window driver, the
Wine prefix's hosts file, screenshots and real X mouse clicks.

The settings come from the environment that run_e2e.sh sets up (see there).
"""

import json
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

from service_client import ServiceClient

EXE = os.environ.get("KALVANE_EXE", "")
KDRIVER = os.environ.get("KALVANE_KDRIVER", "")
WORK = os.environ.get("KALVANE_E2E_WORK", "/tmp/kalvane-e2e")
ARTIFACTS = os.environ.get("KALVANE_E2E_ARTIFACTS", os.path.join(WORK, "artifacts"))
SERVICE_HOST = os.environ.get("KALVANE_E2E_HOST", "dns.kalvane.example")
PRISTINE_HOSTS = os.environ.get("KALVANE_E2E_HOSTS_PRISTINE", "")
NAMESPACE_HOSTS = os.environ.get("KALVANE_E2E_NAMESPACE_HOSTS", "")

TITLE = "Kalvane"
WINDOW_CLASS = "KalvaneMainWindow"
(UPDATING_CHECK, DOMAIN_EDIT, PASSWORD_EDIT, WEB_PAGE_BUTTON, SAVE_BUTTON, DOMAIN_LABEL,
 PASSWORD_LABEL) = range(1001, 1008)
TRAY_CALLBACK = 2025
# Wine's own programs by their full path. Given a bare name ("reg"), Wine's loader starts
# start.exe, which looks the name up with ShellExecuteEx; that failed now and then ("ShellExecuteEx
# failed: internal error", exit code 1) without running the program.
REG_EXE = r"C:\windows\system32\reg.exe"
CMD_EXE = r"C:\windows\system32\cmd.exe"
WM_LBUTTONUP, WM_RBUTTONUP = 0x202, 0x205
REQUEST_PATH = "/kalvanedns/getdomain.asp"


def plain_request(path=REQUEST_PATH, host=SERVICE_HOST):
    """The exact bytes of the program's GET for `path`."""
    return ("GET %s HTTP/1.1\r\nHost: %s\r\n\r\n" % (path, host)).encode("latin-1")


def hosts_path():
    return os.path.join(os.environ["WINEPREFIX"], "drive_c", "windows", "system32", "drivers",
                        "etc", "hosts")


def read_hosts():
    with open(hosts_path(), "rb") as f:
        return f.read()


def write_hosts(data):
    with open(hosts_path(), "wb") as f:
        f.write(data)


def map_service_host(test, addresses):
    """Resolves the service host to `addresses`, in that order, for the rest of `test`. The
    namespace's /etc/hosts is a file bind-mounted by run_e2e.sh: it is rewritten in place."""
    with open(NAMESPACE_HOSTS, "rb") as f:
        original = f.read()
    host = SERVICE_HOST.encode()
    kept = [line for line in original.splitlines(True) if line.split()[1:] != [host]]
    with open(NAMESPACE_HOSTS, "wb") as f:
        f.write(b"".join(kept) + b"".join(b"%s %s\n" % (a.encode(), host) for a in addresses))

    def restore():
        with open(NAMESPACE_HOSTS, "wb") as f:
            f.write(original)

    test.addCleanup(restore)


class DriverError(AssertionError):
    pass


def wait_for(probe, timeout, step=0.1):
    """The first true value of probe() within `timeout` seconds, else its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(step)


# Driver commands that only look. The driver always prints an answer: a run that printed nothing
# at all is Wine failing to run it (seen in full runs on a loaded machine), and such a command
# is run again.
LOOKING_COMMANDS = {"window", "windows", "controls", "get-text", "list-view", "focused",
                    "tray-info", "process-info", "dpi", "wait-window", "wait-gone"}


def run_driver(*args, timeout=30.0, check=True):
    """Runs kdriver.exe under Wine; its JSON answer, parsed. Raises DriverError when it fails
    and `check` is set; otherwise a failed command gives {"error": ...} as it printed."""
    code, text, err = run_wine([KDRIVER] + [str(a) for a in args], timeout,
                               looking=bool(args) and args[0] in LOOKING_COMMANDS)
    out = text.strip().splitlines()
    try:
        answer = json.loads(out[-1]) if out else None
    except ValueError:
        answer = None
    if check and (code != 0 or answer is None):
        raise DriverError("kdriver %s: exit %d, stdout %r, stderr %r" % (
            " ".join(map(str, args)), code, out, err[-500:]))
    return answer if answer is not None else {"error": "no output", "exit": code}


def run_wine(args, timeout, looking=False, encoding="utf-8"):
    """Runs a Windows program under Wine: its exit code, output and error output as text. A
    program that only looks runs again, at most three times in all, when a run printed nothing."""
    for _ in range(3 if looking else 1):
        code, out, err = run_wine_once(args, timeout)
        if out.strip():
            break
    return code, out.decode(encoding, "replace"), err.decode(encoding, "replace")


def run_wine_once(args, timeout):
    # Output through a file, not a pipe: Wine may start helper processes that inherit the
    # program's stdout and keep a pipe open long after the program has ended.
    with tempfile.TemporaryFile() as out_file, tempfile.TemporaryFile() as err_file:
        proc = subprocess.Popen(["wine"] + args, stdin=subprocess.DEVNULL, stdout=out_file,
                                stderr=err_file)
        try:
            proc.wait(timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(10)
            raise DriverError("%s: no answer within %gs" % (" ".join(map(str, args)), timeout))
        out_file.seek(0)
        err_file.seek(0)
        return proc.returncode, out_file.read(), err_file.read()


def screenshot(name):
    """Saves the whole screen as ARTIFACTS/<name>.png; the path, or None when it failed."""
    os.makedirs(ARTIFACTS, exist_ok=True)
    path = os.path.join(ARTIFACTS, re.sub(r"[^A-Za-z0-9_.-]", "_", name) + ".png")
    try:
        subprocess.run(["import", "-window", "root", path], timeout=20, check=True,
                       capture_output=True)
        return path
    except (subprocess.SubprocessError, OSError):
        return None


def x_click(x, y, button=1):
    """A real mouse click at screen position (x, y), through the X server."""
    # "mousemove --sync" waits for the pointer to move, for ever when it is there already.
    where = subprocess.run(["xdotool", "getmouselocation", "--shell"], timeout=10, check=True,
                           capture_output=True, text=True).stdout
    at = dict(line.split("=", 1) for line in where.split() if "=" in line)
    move = [] if (at.get("X"), at.get("Y")) == (str(x), str(y)) else [
        "mousemove", "--sync", str(x), str(y)]
    subprocess.run(["xdotool"] + move + ["click", str(button)], timeout=10, check=True,
                   capture_output=True)


def click_tray_icon(button=1):
    """A real click on the first icon of Wine's notification area (button 1 left, 3 right).
    Fails when no icon is shown."""
    info = run_driver("tray-info")
    x_click(info["first_icon"]["x"], info["first_icon"]["y"], button)


def fresh_program_folder(name):
    """An empty folder under the work area holding a copy of the exe under test; its path."""
    folder = os.path.join(WORK, "tests", name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    shutil.copy2(EXE, os.path.join(folder, "Kalvane.exe"))
    return folder


CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    """CPU time a Linux process has used so far, from /proc."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    # Fields 14 and 15 of stat (utime, stime); [0] here is field 3.
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


WINESERVER = "wineserver64" if os.path.exists("/usr/lib/wine/wineserver64") else "wineserver"


def processes_named(comm):
    """Linux processes of this run's Wine prefix whose name is `comm`. The namespace has the
    machine's process table, where other Wine prefixes may run the same programs."""
    prefix = ("WINEPREFIX=" + os.environ["WINEPREFIX"]).encode()
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/comm" % entry) as f:
                if f.read().strip() != comm:
                    continue
            with open("/proc/%s/environ" % entry, "rb") as f:
                if prefix in f.read().split(b"\0"):
                    found.append(int(entry))
        except OSError:
            pass
    return found


def one_process(comm):
    pids = processes_named(comm)
    if len(pids) != 1:
        raise SystemExit("expected one %s process, found %r" % (comm, pids))
    return pids[0]

class Program:
    """One run of Kalvane.exe under Wine, from its own folder."""

    def __init__(self, folder, log_path, wine_args=None):
        """`wine_args` replaces the plain start of the exe, for example with Wine's `start`."""
        self.folder = folder
        self._log = open(log_path, "ab")
        args = wine_args or [os.path.join(folder, "Kalvane.exe")]
        self.proc = subprocess.Popen(["wine"] + args, cwd=folder, stdin=subprocess.DEVNULL,
                                     stdout=self._log, stderr=subprocess.STDOUT)
        self.started = time.monotonic()

    def wait_exit(self, timeout):
        """The exit code, or None when the program is still running after `timeout` seconds."""
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def running(self):
        return self.proc.poll() is None

    def kill(self):
        if self.running():
            self.proc.kill()
            self.proc.wait(10)
        self._log.close()


class E2ETestCase(unittest.TestCase):
    """Each test gets a reset service, a fresh program folder, the prefix's original hosts file,
    and a closing screenshot; a program still running at the end is killed."""

    def setUp(self):
        self.svc = ServiceClient()
        self.svc.reset()
        self.name = self.id().split(".", 1)[-1]
        self.folder = fresh_program_folder(self.name)
        if PRISTINE_HOSTS:
            shutil.copyfile(PRISTINE_HOSTS, hosts_path())
        self.program = None
        self.addCleanup(self._finish)

    def _finish(self):
        screenshot(self.name)
        if self.program is not None:
            self.program.kill()

    def start(self):
        os.makedirs(ARTIFACTS, exist_ok=True)
        self.program = Program(self.folder, os.path.join(ARTIFACTS, self.name + ".wine.log"))
        return self.program

    def wait_window(self, timeout=60.0):
        """The main window's state once it is visible; fails the test after `timeout` seconds."""
        deadline = time.monotonic() + timeout
        info = None
        while time.monotonic() < deadline:
            left_ms = int(max(0.5, deadline - time.monotonic()) * 1000)
            info = run_driver("wait-window", TITLE, left_ms, check=False,
                              timeout=left_ms / 1000 + 30)
            if info.get("visible"):
                return info
            if not self.program.running():
                self.fail("the program ended (exit %s) before its window showed"
                          % self.program.proc.returncode)
            time.sleep(0.2)
        self.fail("no visible window %r within %gs: %r" % (TITLE, timeout, info))

    def driver(self, *args, **kw):
        return run_driver(*args, **kw)

    def start_driver(self, *args):
        """A kdriver command that keeps running (hold-lock, foreign-window, hold-file) until
        the test ends; its process and its JSON answer, once it has printed one."""
        out = tempfile.TemporaryFile()
        proc = subprocess.Popen(["wine", KDRIVER] + list(args), stdin=subprocess.DEVNULL,
                                stdout=out, stderr=subprocess.DEVNULL)

        def stop():
            if proc.poll() is None:
                proc.kill()
                proc.wait(10)
            out.close()
        self.addCleanup(stop)

        def answered():
            out.seek(0)
            lines = out.read().decode("utf-8", "replace").strip().splitlines()
            return json.loads(lines[-1]) if lines else None
        answer = wait_for(answered, 30)
        self.assertTrue(answer and "error" not in answer, "kdriver %s: %r" % (args[0], answer))
        return proc, answer

    def assertProgramEnds(self, timeout, code=0):
        self.assertEqual(self.program.wait_exit(timeout), code,
                         "the program did not end with exit code %d within %gs" % (code, timeout))
