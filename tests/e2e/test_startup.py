"""Start-up and shutdown of the shipped program, seen from the service and from the screen."""

import time
import unittest

from e2e_support import (DOMAIN_EDIT, DOMAIN_LABEL, PASSWORD_EDIT, PASSWORD_LABEL, SAVE_BUTTON,
                         TITLE, UPDATING_CHECK, WEB_PAGE_BUTTON, WINDOW_CLASS, E2ETestCase,
                         plain_request, run_driver, screenshot, x_click)
from service_client import answer, status

SERVER_ERROR = "HTTP/1.1 500 Internal Server Error"
# The name of the lock of earlier versions, which any process could make first.
OLD_INSTANCE_LOCK = "Global\\Kalvane.SingleInstance"


def ownerless_message_boxes():
    """Message boxes titled like the program that no window owns: what a start that cannot run
    shows before it has a window."""
    return [w for w in run_driver("windows")
            if w["class"] == "#32770" and w["title"] == TITLE and w["visible"]
            and not w["owner"]]


class StartupTest(E2ETestCase):
    def test_first_start_asks_once_and_shows_the_window(self):
        self.svc.set_default(answer())
        self.start()
        window = self.wait_window(timeout=60)
        screenshot(self.name + "-shown")
        self.assertEqual(window["class"], WINDOW_CLASS)
        self.assertFalse(window["iconic"])

        # No account is stored yet: one request without account parameters, and no other
        # request follows while the window stands.
        time.sleep(2)
        requests = self.svc.requests()
        self.assertEqual([r.data for r in requests], [plain_request()])

        controls = {c["id"]: c for c in self.driver("controls", TITLE)}
        captions = {UPDATING_CHECK: "账号更新", DOMAIN_LABEL: "域名：", PASSWORD_LABEL: "密码：",
                    WEB_PAGE_BUTTON: "官网", SAVE_BUTTON: "保存"}
        for ident, caption in captions.items():
            with self.subTest(control=ident):
                self.assertIn(ident, controls)
                self.assertEqual(controls[ident]["text"], caption)
                self.assertTrue(controls[ident]["visible"])
        self.assertEqual(controls[UPDATING_CHECK]["checked"], 0)
        self.assertFalse(controls[DOMAIN_EDIT]["visible"])
        self.assertFalse(controls[PASSWORD_EDIT]["visible"])

    def test_service_error_gives_three_attempts_and_the_window_still_comes_up(self):
        self.svc.set_default(status(SERVER_ERROR))
        self.start()
        # A rejected status line fails an attempt at once, so the three attempts are quick.
        window = self.wait_window(timeout=60)
        self.assertFalse(window["iconic"])
        time.sleep(2)
        requests = self.svc.requests()
        self.assertEqual([r.data for r in requests], [plain_request()] * 3)
        self.assertTrue(self.program.running())

    def test_close_message_ends_the_program_with_code_0_within_a_second(self):
        self.start()
        self.wait_window()
        closed = self.driver("close", TITLE, 5000)
        self.assertTrue(closed["exited"], closed)
        self.assertEqual(closed["exit_code"], 0)
        self.assertLess(closed["elapsed_ms"], 1000)
        self.assertProgramEnds(10, 0)

    def test_click_on_the_close_box_ends_the_program(self):
        self.start()
        self.wait_window()
        point = self.driver("nc-point", TITLE, "close")  # fails when there is no close box
        x_click(point["x"], point["y"])
        clicked = time.monotonic()
        code = self.program.wait_exit(10)
        elapsed = time.monotonic() - clicked
        self.assertEqual(code, 0, "the program did not end with code 0 after the click")
        self.assertLess(elapsed, 1.0)

    def test_a_process_holding_the_old_global_lock_name_does_not_keep_the_program_from_running(self):
        # Any process of the session can make a mutex of that name first, with the default
        # security. The lock is no longer a name in the global namespace: the program runs.
        holder, held = self.start_driver("hold-lock", OLD_INSTANCE_LOCK, "120000")
        self.assertTrue(held["held"], "the driver did not take the lock's name")

        self.svc.set_default(answer())
        self.start()
        self.wait_window()
        self.assertEqual(ownerless_message_boxes(), [])
        self.assertEqual(len(self.svc.wait_requests(1, 30)), 1)
        self.assertIsNone(holder.poll(), "the name's holder ended meanwhile")
        closed = self.driver("close", TITLE, 5000)
        self.assertEqual((closed["exited"], closed.get("exit_code")), (True, 0), closed)


if __name__ == "__main__":
    unittest.main()
