"""What only the running program shows of the proof, the balloons and the kept history: names
resolved through a resolver that reads the prefix's hosts file, the shell's balloons as a screen
reader reads them, and the history read back by the next start."""

import os
import shutil
import subprocess
import tempfile
import time
import unittest

from e2e_support import (SAVE_BUTTON, SERVICE_HOST, TITLE, E2ETestCase, hosts_path,
                         map_service_host, wait_for, write_hosts)
from service_client import answer
from test_status import HISTORY_LIST, OUTCOME_EDIT, ROWS_LIST, STATUS_TITLE
from test_tray import TrayDriving

WM_COMMAND = 0x111
ROWS = [("alpha.example", "10.0.0.1"), ("beta.example", "10.0.0.2")]
OTHER = "10.9.9.9"  # beta's address on a line above the section
REFUSED = "无法连接服务器：连接被拒绝"
HISTORY_FILE = "kalvane-history.dat"


class NoticeTest(TrayDriving, E2ETestCase):
    def resolve_through_the_prefix_hosts_file(self, first_lines):
        """From now on the namespace's resolver reads the prefix's hosts file, which starts with
        `first_lines` (the service's own name among them): a copy of /etc whose hosts is a link
        to it goes over /etc, with "multi off" so that the first line naming a host wins."""
        write_hosts(first_lines)
        etc = tempfile.mkdtemp(prefix="etc-")
        subprocess.run(["cp", "-a", "/etc/.", etc], check=True)
        os.remove(os.path.join(etc, "hosts"))
        os.symlink(hosts_path(), os.path.join(etc, "hosts"))
        with open(os.path.join(etc, "host.conf"), "w") as f:
            f.write("multi off\n")
        subprocess.run(["mount", "--bind", etc, "/etc"], check=True)
        self.addCleanup(shutil.rmtree, etc, True)
        self.addCleanup(subprocess.run, ["umount", "/etc"], check=True)

    def open_status_window(self):
        self.choose_in_tray_menu("s")
        found = self.driver("wait-window", STATUS_TITLE, 5000)
        return "hwnd:%s" % found["hwnd"]

    def test_rows_that_another_line_maps_first_are_shown_not_to_take_effect(self):
        self.resolve_through_the_prefix_hosts_file(
            b"127.0.0.1 %s\r\n%s beta.example\r\n" % (SERVICE_HOST.encode(), OTHER.encode()))
        self.svc.set_default(answer(ROWS))
        self.start()
        self.wait_window()
        tray = self.minimise_to_tray()
        window = self.open_status_window()
        rows = wait_for(lambda: [r for r in self.driver("list-view", window, ROWS_LIST)["rows"]
                                 if r[2]], 10, 0.3)
        self.assertEqual(rows, [["alpha.example", "10.0.0.1", "是"],
                                ["beta.example", "10.0.0.2", "否：解析为 " + OTHER]])
        outcome = self.driver("get-text", window, OUTCOME_EDIT)["text"]
        self.assertTrue(outcome.startswith("已更新 2 条映射（直接连接），1 条映射未生效 ("), outcome)
        # Not a failure: the icon keeps the update's outcome, the tool-tip adds the note.
        self.assert_tip(tray, "已更新 2 条映射", note="1 条映射未生效")
        self.assertEqual(self.balloons(), [])

    def test_balloons_tell_when_updates_start_failing_and_when_they_work_again(self):
        self.svc.set_default(answer(ROWS))
        self.start()
        self.wait_window()
        self.minimise_to_tray()
        time.sleep(2)
        self.assertEqual(self.balloons(), [], "a good start tells nothing")

        map_service_host(self, ["127.0.0.2"])  # nothing listens there: refused
        self.driver("post", TITLE, WM_COMMAND, SAVE_BUTTON, 0)
        failing = wait_for(self.balloons, 10, 0.2)
        told_at = time.monotonic()
        self.assertEqual(failing, [REFUSED])

        # The balloon goes by itself; another failure, and the quick retry after it, tell nothing.
        self.assertTrue(wait_for(lambda: self.balloons() == [], 20, 0.5))
        self.driver("post", TITLE, WM_COMMAND, SAVE_BUTTON, 0)
        self.assertFalse(wait_for(self.balloons, 12, 0.5), "a failure told twice")

        # Working again: told, but not within a minute of the last balloon.
        map_service_host(self, ["127.0.0.1"])
        self.driver("post", TITLE, WM_COMMAND, SAVE_BUTTON, 0)
        recovered = wait_for(self.balloons, 80, 0.5)
        self.assertGreaterEqual(time.monotonic() - told_at, 59)
        self.assertEqual(recovered, ["已更新 2 条映射"])

    def test_the_next_start_lists_the_earlier_runs_updates_with_their_dates(self):
        self.svc.set_default(answer(ROWS))
        self.start()
        self.wait_window()
        closed = self.driver("close", TITLE, 5000)
        self.assertEqual(closed.get("exit_code"), 0, closed)
        history = os.path.join(self.folder, HISTORY_FILE)
        self.assertEqual(os.stat(history).st_mode & 0o007, 0, "the history is open to others")

        self.start()
        self.wait_window()
        self.minimise_to_tray()
        window = self.open_status_window()
        rows = self.driver("list-view", window, HISTORY_LIST)["rows"]
        self.assertEqual(len(rows), 2, rows)
        self.assertRegex(rows[0][0], r"^\d\d:\d\d:\d\d$")
        self.assertRegex(rows[1][0], r"^\d\d-\d\d \d\d:\d\d:\d\d$")
        self.assertEqual(rows[1][1:], ["已更新 2 条映射（直接连接）", "+2 -0 ~0"])
        self.assertEqual(rows[0][1:], ["已更新 2 条映射（直接连接）", "+2 -0 ~0"])
        self.assertEqual(rows[1][0][:5], time.strftime("%m-%d"))


if __name__ == "__main__":
    unittest.main()
