"""The program's section of the hosts file, as start-up writes it and closing removes it."""

import os
import time
import unittest

from e2e_support import (ARTIFACTS, SERVICE_HOST, TITLE, E2ETestCase, Program, hosts_path,
                         plain_request, read_hosts, wait_for, write_hosts, x_click)
from service_client import answer, hold, pieces, status

WM_COMMAND, WM_ENDSESSION = 0x111, 0x16
SAVE_BUTTON = 1005  # the Save button; BN_CLICKED is 0

USER_LINES = b"127.0.0.1 localhost\r\n# the user's own line\r\n10.1.2.3 intranet\r\n"
EARLIER_SECTION = b"#BEGIN\r\n10.9.9.9 left-behind\r\n"


class HostsTest(E2ETestCase):
    def working_copy(self):
        path = os.path.join(self.folder, "hosts.bak")
        if not os.path.exists(path):
            self.fail("no working copy hosts.bak beside the program")
        with open(path, "rb") as f:
            return f.read()

    def close_program(self):
        closed = self.driver("close", TITLE, 5000)
        self.assertEqual((closed["exited"], closed.get("exit_code")), (True, 0), closed)
        self.assertProgramEnds(10, 0)

    def test_two_mappings_go_below_the_user_lines_and_closing_removes_them(self):
        write_hosts(USER_LINES + EARLIER_SECTION + b"lost below the section\r\n")
        self.svc.queue(answer([("host1", "10.0.0.1"), ("host2", "10.0.0.2")]))
        self.start()
        self.wait_window()
        section = b"#BEGIN\r\n10.0.0.1 host1\r\n10.0.0.2 host2\r\n"
        self.assertEqual(read_hosts(), USER_LINES + section)
        self.assertEqual(self.working_copy(), USER_LINES + section)
        self.close_program()
        self.assertEqual(read_hosts(), USER_LINES)

    def save(self):
        """Save through its button's command; the cycle it starts runs at once."""
        self.driver("post", TITLE, WM_COMMAND, SAVE_BUTTON, 0)

    def test_an_empty_list_leaves_an_earlier_section_in_place_until_exit(self):
        write_hosts(USER_LINES + EARLIER_SECTION)
        self.svc.queue(answer([]))
        self.start()
        self.wait_window()
        self.assertEqual(read_hosts(), USER_LINES + EARLIER_SECTION)
        # The working copy is composed all the same, without any section.
        self.assertEqual(self.working_copy(), USER_LINES)
        # At exit a section goes whenever the hosts file holds one, one left by an earlier run
        # included.
        self.close_program()
        self.assertEqual(read_hosts(), USER_LINES)

    def test_a_row_for_the_service_host_or_a_discovery_name_is_not_written_the_others_are(self):
        write_hosts(USER_LINES)
        self.svc.queue(answer([("host1", "10.0.0.1"),
                               (SERVICE_HOST, "6.6.6.1"),
                               (SERVICE_HOST.upper() + ".", "6.6.6.2"),
                               ("alias\t" + SERVICE_HOST, "6.6.6.3"),
                               ("host2", "10.0.0.2"),
                               ("alias", "6.6.6.4 " + SERVICE_HOST),
                               ("wpad", "6.6.6.5"), ("WPAD.corp.example", "6.6.6.6"),
                               ("isatap", "6.6.6.7"), ("localhost", "6.6.6.8"),
                               ("tabbed\thost3", "10.0.0.3")]))
        self.start()
        self.wait_window()
        section = b"#BEGIN\r\n10.0.0.1 host1\r\n10.0.0.2 host2\r\n10.0.0.3 tabbed\thost3\r\n"
        self.assertEqual(read_hosts(), USER_LINES + section)
        self.assertNotIn(b"6.6.6.", self.working_copy())
        # The next request still goes to the service's own address.
        self.svc.queue(answer([("host1", "10.0.0.1")]))
        self.save()
        self.assertEqual(len(self.svc.wait_requests(2, 10)), 2)
        self.close_program()
        self.assertEqual(read_hosts(), USER_LINES)

    def test_rows_then_an_empty_answer_then_the_close_box_leave_no_section(self):
        write_hosts(USER_LINES)
        self.svc.queue(answer([("host1", "10.0.0.1"), ("host2", "10.0.0.2")]), answer([]))
        self.start()
        self.wait_window()
        with_rows = USER_LINES + b"#BEGIN\r\n10.0.0.1 host1\r\n10.0.0.2 host2\r\n"
        self.assertEqual(read_hosts(), with_rows)
        self.save()
        self.assertEqual(len(self.svc.wait_requests(2, 10)), 2)
        # The empty answer leaves the hosts file alone while the program runs.
        self.assertTrue(wait_for(lambda: self.working_copy() == USER_LINES, 5))
        self.assertEqual(read_hosts(), with_rows)
        # Its rows are withdrawn: a section another program removes now is not put back.
        write_hosts(USER_LINES)
        time.sleep(3)
        self.assertEqual(read_hosts(), USER_LINES)
        write_hosts(with_rows)
        point = self.driver("nc-point", TITLE, "close")
        x_click(point["x"], point["y"])
        self.assertProgramEnds(10, 0)
        self.assertEqual(read_hosts(), USER_LINES)

    def test_three_failed_attempts_leave_the_hosts_file_untouched(self):
        before = USER_LINES + EARLIER_SECTION
        write_hosts(before)
        self.svc.set_default(status("HTTP/1.1 500 Internal Server Error"))
        self.start()
        self.wait_window()
        self.assertEqual(len(self.svc.wait_requests(3, 10)), 3)
        # An answer is an answer: no quick retry (the first would come 10 s after the cycle).
        time.sleep(15)
        self.assertEqual(len(self.svc.requests()), 3, "a quick retry after an error status")
        self.assertEqual(read_hosts(), before)
        self.assertFalse(os.path.exists(os.path.join(self.folder, "hosts.bak")))
        # At exit the section left by an earlier run goes, though no answer came.
        self.close_program()
        self.assertEqual(read_hosts(), USER_LINES)
        self.assertEqual([r.data for r in self.svc.requests()], [plain_request()] * 3)

    def test_a_line_appended_while_running_is_kept_through_the_watch_an_update_and_the_exit(self):
        write_hosts(USER_LINES)
        rows = [("host1", "10.0.0.1"), ("host2", "10.0.0.2")]
        self.svc.queue(answer(rows), answer(rows[1:]))
        self.start()
        self.wait_window()
        section = b"#BEGIN\r\n10.0.0.1 host1\r\n10.0.0.2 host2\r\n"
        self.assertEqual(read_hosts(), USER_LINES + section)
        # The usual way to add an entry: appended to the end, so below the marker; LF alone.
        mine = b"192.168.7.7 mine.example\n"
        with open(hosts_path(), "ab") as f:
            f.write(mine)
        time.sleep(5)
        # Moved above the marker once, and left there.
        self.assertEqual(read_hosts(), USER_LINES + mine + section)
        self.save()
        self.assertEqual(len(self.svc.wait_requests(2, 10)), 2)
        self.assertTrue(wait_for(lambda: read_hosts() == USER_LINES + mine +
                                 b"#BEGIN\r\n10.0.0.2 host2\r\n", 5), read_hosts())
        self.close_program()
        self.assertEqual(read_hosts(), USER_LINES + mine)

    def test_an_lf_only_hosts_file_with_a_stale_section_ends_with_one_section(self):
        user = b"127.0.0.1 localhost\n# the user's own line\n"
        write_hosts(user + b"#BEGIN\n10.9.9.9 left-behind\n")
        self.svc.queue(answer([("host1", "10.0.0.1")]))
        self.start()
        self.wait_window()
        self.assertEqual(read_hosts(), user + b"#BEGIN\r\n10.0.0.1 host1\r\n")
        self.close_program()
        self.assertEqual(read_hosts(), user)

    def test_a_response_sent_one_byte_at_a_time_is_read_whole(self):
        write_hosts(USER_LINES)
        self.svc.queue(pieces([("host1", "10.0.0.1"), ("host2", "10.0.0.2")], chunk=1, delay=0.001))
        self.start()
        self.wait_window()
        self.assertEqual(read_hosts(),
                         USER_LINES + b"#BEGIN\r\n10.0.0.1 host1\r\n10.0.0.2 host2\r\n")
        self.assertEqual(len(self.svc.requests()), 1)
        self.close_program()

    def test_closing_while_a_cycle_waits_removes_the_section_and_writes_nothing_after(self):
        write_hosts(USER_LINES)
        self.svc.queue(answer([("host1", "10.0.0.1")]), hold())
        self.start()
        self.wait_window()
        self.assertEqual(read_hosts(), USER_LINES + b"#BEGIN\r\n10.0.0.1 host1\r\n")
        # Save starts a cycle whose answer never comes; the window is closed while it waits.
        self.driver("post", TITLE, WM_COMMAND, SAVE_BUTTON, 0)
        self.assertEqual(len(self.svc.wait_requests(2, 10)), 2)
        self.driver("post", TITLE, 0x10, 0, 0)  # WM_CLOSE
        self.assertProgramEnds(5, 0)
        self.assertEqual(read_hosts(), USER_LINES)

    def test_end_of_session_removes_the_section_before_returning(self):
        write_hosts(USER_LINES)
        self.svc.queue(answer([("host1", "10.0.0.1")]))
        self.start()
        self.wait_window()
        self.assertEqual(read_hosts(), USER_LINES + b"#BEGIN\r\n10.0.0.1 host1\r\n")
        self.driver("post", TITLE, WM_ENDSESSION, 1, 0)
        deadline = time.monotonic() + 5
        while read_hosts() != USER_LINES and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertEqual(read_hosts(), USER_LINES)
        self.close_program()
        self.assertEqual(read_hosts(), USER_LINES)


    def switch(self, *arguments):
        """Kalvane.exe with `arguments` as the installer runs it: its exit code."""
        exe = os.path.join(self.folder, "Kalvane.exe")
        program = Program(self.folder, os.path.join(ARTIFACTS, self.name + ".wine.log"),
                          [exe] + list(arguments))
        code = program.wait_exit(60)
        program.kill()
        return code

    def test_the_installer_switches_end_with_their_exit_codes(self):
        # /cleanup takes the section out and keeps the user's lines, and is done again with no
        # section left and with no hosts file at all. /close finds no Kalvane running.
        write_hosts(USER_LINES + EARLIER_SECTION)
        self.assertEqual(self.switch("/cleanup"), 0)
        self.assertEqual(read_hosts(), USER_LINES)
        self.assertEqual(self.switch("/cleanup"), 0)
        os.remove(hosts_path())
        self.assertEqual(self.switch("/cleanup"), 0)
        self.assertFalse(os.path.exists(hosts_path()), "no hosts file is created")
        self.assertEqual(self.switch("/close"), 0)
        # A switch with arguments it does not take.
        self.assertEqual(self.switch("/cleanup", "now"), 2)
        self.assertEqual(self.switch("/close", "C:\\", "again"), 2)
        self.assertEqual(self.svc.requests(), [], "the switches never ask the service")


if __name__ == "__main__":
    unittest.main()
