"""The status window and the tray menu's update, worked as a user and a screen reader would: the
menu through its access keys, the window's lists through the standard list-view messages; and
the reason a connection failed, in the tool-tip and in the window."""

import hashlib
import os
import time
import unittest

from e2e_support import (TITLE, E2ETestCase, map_service_host, read_hosts, wait_for, write_hosts,
                         x_click)
from service_client import answer
from test_proxy import PROXY_ADDRESS, PROXY_PORT, ProxySettingsUse
from test_tray import TrayDriving
from window_support import account_path, read_settings, write_settings

STATUS_TITLE = "Kalvane 状态"
OUTCOME_EDIT, ROWS_LIST, HISTORY_LIST = 2001, 2004, 2006
ROW_COLUMNS, HISTORY_COLUMNS = ["名称", "地址", "生效"], ["时间", "结果", "变化"]
# The namespace's resolver knows none of the names written, so no row takes effect.
UNRESOLVED = "否：无法解析"
USER_LINES = b"127.0.0.1 localhost\r\n"
DOMAIN = "status.example"
DIGEST = hashlib.md5(b"secret").hexdigest().upper()
SETTINGS = ("True\r\n%s\r\n%s\r\n" % (DOMAIN, DIGEST)).encode("ascii")
FIRST = [("alpha", "10.0.0.1"), ("beta", "10.0.0.2"), ("gamma", "10.0.0.3")]
# gamma goes, delta comes, beta moves.
SECOND = [("alpha", "10.0.0.1"), ("delta", "10.0.0.4"), ("beta", "10.0.0.9")]
DOWN_ADDRESS = "127.0.0.2"  # nothing listens there: refused
NO_SERVER = "无法连接服务器"
REFUSED, NOT_FOUND = NO_SERVER + "：连接被拒绝", NO_SERVER + "：找不到服务器地址"
DIRECT = "（直接连接）"  # the way the cycle went, as the window and the history name it


def section(rows):
    return b"#BEGIN\r\n" + b"".join(b"%s %s\r\n" % (a.encode(), h.encode()) for h, a in rows)


class StatusTest(ProxySettingsUse, TrayDriving, E2ETestCase):
    def open_status_window(self):
        """The status window, opened from the tray menu with its access key."""
        self.choose_in_tray_menu("s")
        found = self.driver("wait-window", STATUS_TITLE, 5000, check=False)
        self.assertNotIn("error", found, "no status window after 状态(&S)")
        self.assertEqual(found["class"], "#32770")
        self.assertEqual(found["owner"], self.main_window()["hwnd"])
        self.assertTrue(found["visible"])
        return "hwnd:%s" % found["hwnd"]

    def lists(self, window):
        """The rows of "当前映射" and "历史", checking their columns."""
        rows = self.driver("list-view", window, ROWS_LIST)
        history = self.driver("list-view", window, HISTORY_LIST)
        self.assertEqual(rows["columns"], ROW_COLUMNS)
        self.assertEqual(history["columns"], HISTORY_COLUMNS)
        for time_text, _, _ in history["rows"]:
            self.assertRegex(time_text, r"^\d\d:\d\d:\d\d$")
        return [row[:2] for row in rows["rows"]], [row[1:] for row in history["rows"]]

    def effects(self, window):
        """The "生效" column, once every row has its verdict."""
        wait_for(lambda: all(row[2] for row in self.driver("list-view", window, ROWS_LIST)["rows"]),
                 10, 0.3)
        return [row[2] for row in self.driver("list-view", window, ROWS_LIST)["rows"]]

    def outcome(self, window):
        return self.driver("get-text", window, OUTCOME_EDIT)["text"]

    def wait_history(self, window, count):
        return wait_for(lambda: len(self.lists(window)[1]) >= count, 10, 0.3)

    def test_the_status_window_follows_an_update_now_that_leaves_the_account_file_alone(self):
        write_settings(self.folder, SETTINGS)
        write_hosts(USER_LINES)
        self.svc.queue(answer(FIRST), answer(SECOND))
        self.start()
        self.wait_window()
        self.assertEqual(read_hosts(), USER_LINES + section(FIRST))
        # Loading may write a file that others could read again as a private one; from then on
        # it stays as it is. Dated back, so that a write at any time shows.
        settings_path = os.path.join(self.folder, "abc.txt")
        os.utime(settings_path, (time.time() - 3600, time.time() - 3600))
        settings_before = os.stat(settings_path).st_mtime_ns
        self.minimise_to_tray()

        window = self.open_status_window()
        rows, history = self.lists(window)
        self.assertEqual(rows, [list(r) for r in FIRST])
        self.assertEqual(history, [["已更新 3 条映射" + DIRECT, "+3 -0 ~0"]])
        self.assertEqual(self.effects(window), [UNRESOLVED] * 3)
        self.assertIn("已更新 3 条映射" + DIRECT + "，3 条映射未生效", self.outcome(window))

        # 立即更新 runs a cycle with the saved account; the open window follows it.
        self.choose_in_tray_menu("u")
        requests = self.svc.wait_requests(2, 10)
        self.assertEqual(len(requests), 2)
        expected = ("GET %s HTTP/1.1\r\n" % account_path(DOMAIN, DIGEST)).encode("ascii")
        self.assertTrue(all(r.data.startswith(expected) for r in requests), requests)
        self.assertTrue(self.wait_history(window, 2), "the window did not follow the update")
        rows, history = self.lists(window)
        self.assertEqual(rows, [list(r) for r in SECOND])
        self.assertEqual(history, [["已更新 3 条映射" + DIRECT, "+1 -1 ~1"],
                                   ["已更新 3 条映射" + DIRECT, "+3 -0 ~0"]])
        self.assertEqual(read_hosts(), USER_LINES + section(SECOND))
        self.assertEqual(read_settings(self.folder), SETTINGS)
        self.assertEqual(os.stat(settings_path).st_mtime_ns, settings_before)

        # 退出, the menu's last item: the status window goes with the program.
        menu = self.open_tray_menu()
        left, top, right, bottom = menu["rect"]
        x_click((left + right) // 2, bottom - 8)
        self.assertProgramEnds(10, 0)
        self.assertEqual(read_hosts(), USER_LINES)

    def test_the_reasons_for_a_refused_connection_and_a_name_that_does_not_resolve(self):
        map_service_host(self, [DOWN_ADDRESS])
        write_hosts(USER_LINES)
        self.start()
        self.wait_window(timeout=30)
        tray = self.minimise_to_tray()
        self.assert_tip(tray, REFUSED)

        window = self.open_status_window()
        self.assertTrue(self.outcome(window).startswith(REFUSED), self.outcome(window))
        rows, history = self.lists(window)
        self.assertEqual(rows, [])
        # A cycle that wrote nothing has no change count.
        self.assertEqual(history[-1], [REFUSED + DIRECT, ""])

        # The name no longer resolves (the namespace has no DNS server): the next update says so.
        map_service_host(self, [])
        self.choose_in_tray_menu("u")
        self.assertTrue(wait_for(lambda: self.lists(window)[1][0] == [NOT_FOUND + DIRECT, ""], 10, 0.3),
                        "no new outcome after 立即更新: %r" % self.lists(window)[1])
        self.assertTrue(self.outcome(window).startswith(NOT_FOUND), self.outcome(window))
        self.assert_tip(tray, NOT_FOUND)
        self.assertEqual(self.svc.requests(), [])
        self.assertEqual(read_hosts(), USER_LINES)

    def test_a_cycle_through_the_proxy_names_it_and_a_failing_proxy_is_named_first(self):
        map_service_host(self, [])  # only the proxy reaches the service
        self.start_proxy()
        self.use_proxy("%s:%d" % (PROXY_ADDRESS, PROXY_PORT))
        write_hosts(USER_LINES)
        self.svc.queue(answer(FIRST))
        self.start()
        self.wait_window(timeout=30)
        tray = self.minimise_to_tray()
        window = self.open_status_window()
        through = "已更新 3 条映射（经代理 %s:%d）" % (PROXY_ADDRESS, PROXY_PORT)
        self.assertEqual(self.lists(window)[1], [[through, "+3 -0 ~0"]])
        self.assertTrue(self.outcome(window).startswith(through), self.outcome(window))

        # The proxy goes away: refused, then the name does not resolve either.
        self.proxy.close()
        self.choose_in_tray_menu("u")
        refused = "无法连接代理服务器 %s:%d：连接被拒绝" % (PROXY_ADDRESS, PROXY_PORT)
        self.assertTrue(wait_for(lambda: len(self.lists(window)[1]) == 2, 10, 0.3))
        self.assertEqual(self.lists(window)[1][0], [refused + "；" + NOT_FOUND + DIRECT, ""])
        self.assert_tip(tray, refused)
        self.assertEqual(read_hosts(), USER_LINES + section(FIRST))

        # 退出: the icon goes with the program, for the next test's tray.
        menu = self.open_tray_menu()
        left, top, right, bottom = menu["rect"]
        x_click((left + right) // 2, bottom - 8)
        self.assertProgramEnds(10, 0)

    def test_a_proxy_that_asks_for_a_password_is_not_answered(self):
        map_service_host(self, [])
        proxy = self.start_proxy(basic_only=True)
        self.use_proxy("%s:%d" % (PROXY_ADDRESS, PROXY_PORT))
        write_hosts(USER_LINES)
        self.start()
        self.wait_window(timeout=30)
        tray = self.minimise_to_tray()
        self.assert_tip(tray, "代理服务器要求身份验证")
        self.assertNotIn(b"Proxy-Authorization", b"".join(proxy.recorded()))
        self.assertEqual(len(proxy.recorded()), 1, "the proxy is passed over after its 407")
        menu = self.open_tray_menu()
        left, top, right, bottom = menu["rect"]
        x_click((left + right) // 2, bottom - 8)
        self.assertProgramEnds(10, 0)


if __name__ == "__main__":
    unittest.main()
