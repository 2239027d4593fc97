"""Back in step within seconds: a service that comes up late is used at a quick retry, a wake
starts one cycle, and a section that another program removed is put back, but not fought for
without end. Each test prints the times it measured."""

import os
import time
import unittest

from e2e_support import (TITLE, E2ETestCase, hosts_path, map_service_host, read_hosts, wait_for,
                         write_hosts)
from service_client import answer, status
from test_tray import FAILED_ICON, SERVER_ERROR, TrayDriving

WM_POWERBROADCAST = 0x218
PBT_APMRESUMESUSPEND, PBT_APMRESUMEAUTOMATIC = 0x7, 0x12
USER_LINES = b"127.0.0.1 localhost\r\n"
OTHER_LINE = b"10.9.9.9 other-tool.example\r\n"
ROWS = [("host1", "10.0.0.1"), ("host2", "10.0.0.2")]
SECTION = b"#BEGIN\r\n10.0.0.1 host1\r\n10.0.0.2 host2\r\n"
# No listener on this loopback address: a connection there is refused at once.
DOWN_ADDRESS = "127.0.0.2"
PAUSED = "hosts 文件被其他程序反复改写，已暂停恢复"


def hosts_now():
    """The hosts file, or None while a new one is being swapped in."""
    try:
        return read_hosts()
    except FileNotFoundError:
        return None


def hosts_stamp():
    """What tells one write of the hosts file from another: its inode (a swap makes a new file),
    its modification time and its bytes."""
    info = os.stat(hosts_path())
    return info.st_ino, info.st_mtime_ns, read_hosts()


class RecoveryTest(TrayDriving, E2ETestCase):
    def start_with_section(self):
        write_hosts(USER_LINES)
        self.svc.queue(answer(ROWS))
        self.start()
        self.wait_window()
        self.assertEqual(read_hosts(), USER_LINES + SECTION)

    def assert_left_alone(self, seconds, why):
        """The hosts file is not written again for `seconds`."""
        before = hosts_stamp()
        time.sleep(seconds)
        self.assertEqual(hosts_stamp(), before, why)

    def test_a_service_that_comes_up_late_is_used_at_a_quick_retry_and_a_wake_runs_one_cycle(self):
        map_service_host(self, [DOWN_ADDRESS])
        write_hosts(USER_LINES)
        self.svc.queue(answer(ROWS), answer(ROWS))
        program = self.start()
        # Start-up's cycle: three attempts, each refused at once.
        self.wait_window(timeout=30)
        shown = time.monotonic() - program.started
        self.assertEqual(read_hosts(), USER_LINES)

        # The service comes up 12 s after the start, at the address the name resolves to.
        time.sleep(max(0.0, program.started + 12 - time.monotonic()))
        self.svc.listen(DOWN_ADDRESS)
        written = wait_for(lambda: hosts_now() == USER_LINES + SECTION, 40, step=0.05)
        used = time.monotonic() - program.started
        print("\n%s: window %.1f s, service up 12 s, first request and hosts write %.1f s after "
              "the start" % (self._testMethodName, shown, used))
        self.assertTrue(written, "the section was not written within 52 s of the start")
        self.assertLess(used, 45)
        requests = self.svc.requests()
        self.assertEqual(len(requests), 1, "requests before the success: %r" % requests)

        # An answered cycle ends the quick retries: nothing more for 20 s.
        time.sleep(20)
        self.assertEqual(len(self.svc.requests()), 1, "a further request after the success")

        # The two messages of one wake make one cycle within 10 s.
        woken = time.monotonic()
        for event in (PBT_APMRESUMEAUTOMATIC, PBT_APMRESUMESUSPEND):
            self.driver("post", TITLE, WM_POWERBROADCAST, event, 0)
        self.assertEqual(len(self.svc.wait_requests(2, 10)), 2, "no cycle within 10 s of a wake")
        print("%s: wake to request %.1f s" % (self._testMethodName, time.monotonic() - woken))
        time.sleep(8)
        self.assertEqual(len(self.svc.requests()), 2, "one wake ran more than one cycle")

    def test_a_section_another_program_removed_is_put_back_and_an_edit_that_keeps_it_is_not(self):
        self.start_with_section()

        # Another program writes the file anew: its own line, and no section.
        write_hosts(USER_LINES + OTHER_LINE)
        changed = time.monotonic()
        restored = wait_for(lambda: hosts_now() == USER_LINES + OTHER_LINE + SECTION, 10, 0.02)
        latency = time.monotonic() - changed
        print("\n%s: section back %.2f s after the other program's write"
              % (self._testMethodName, latency))
        self.assertTrue(restored, "the section was not put back: %r" % hosts_now())
        self.assertLess(latency, 5)
        self.assert_left_alone(3, "the hosts file was written again after the restore")

        # An edit above the section that keeps it as written needs nothing.
        write_hosts(USER_LINES + OTHER_LINE + b"# a note\r\n" + SECTION)
        self.assert_left_alone(3, "an edit that kept the section was answered with a write")
        # All of it without a request to the service.
        self.assertEqual(len(self.svc.requests()), 1)

        # Closing removes the section, and that is not put back.
        closed = self.driver("close", TITLE, 5000)
        self.assertEqual((closed["exited"], closed.get("exit_code")), (True, 0), closed)
        self.assertEqual(read_hosts(), USER_LINES + OTHER_LINE + b"# a note\r\n")

    def test_a_restore_after_a_failed_update_leaves_the_failure_icon(self):
        self.start_with_section()
        tray = self.minimise_to_tray()
        self.svc.set_default(status(SERVER_ERROR))
        self.choose_in_tray_menu("u")
        self.assertEqual(len(self.svc.wait_requests(4, 10)), 4)
        self.assertTrue(self.icon_becomes(FAILED_ICON), "no failure icon after the failed update")

        write_hosts(USER_LINES)
        self.assertTrue(wait_for(lambda: hosts_now() == USER_LINES + SECTION, 5, 0.02),
                        "the section was not put back: %r" % hosts_now())
        time.sleep(0.5)
        self.assert_steady(tray, FAILED_ICON)

    def test_a_program_that_removes_the_section_every_time_is_given_up_after_three_restores(self):
        self.start_with_section()
        removals = []  # when the other program found the section back and removed it
        fight_until = time.monotonic() + 30
        while time.monotonic() < fight_until:
            content = hosts_now()
            if content is not None and b"#BEGIN" in content:
                write_hosts(USER_LINES + OTHER_LINE)
                removals.append(time.monotonic())
            time.sleep(0.05)
        gaps = [round(b - a, 2) for a, b in zip(removals, removals[1:])]
        print("\n%s: %d removals in 30 s, gaps %s" % (self._testMethodName, len(removals), gaps))
        # The first removal is of start-up's section; then three restores, and no more.
        self.assertEqual(len(removals), 4, gaps)
        self.assertEqual(read_hosts(), USER_LINES + OTHER_LINE)

        # The window still answers and the tool-tip says why the section stays away.
        self.assertEqual(self.driver("window", TITLE)["title"], TITLE)
        tray = self.minimise_to_tray()
        self.assert_tip(tray, PAUSED)
        self.assertEqual(read_hosts(), USER_LINES + OTHER_LINE)

        # The exit is clean: the other program's lines stay, nothing of ours is left.
        self.driver("close", TITLE, 5000)
        self.assertProgramEnds(10, 0)
        self.assertEqual(read_hosts(), USER_LINES + OTHER_LINE)
        self.assertEqual(len(self.svc.requests()), 1)


if __name__ == "__main__":
    unittest.main()
