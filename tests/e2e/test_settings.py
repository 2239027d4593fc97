"""The account settings: ticking account updating, typing the account, the Save command and
"abc.txt", and the account that the next start loads and sends."""

import time
import unittest

from e2e_support import (DOMAIN_EDIT, PASSWORD_EDIT, SAVE_BUTTON, TITLE, UPDATING_CHECK,
                         E2ETestCase, plain_request, screenshot)
from service_client import answer
from window_support import (EMPTY_MESSAGE, account_path, ansi_code_page, controls_by_id,
                            digest_text, dismiss_message_box, message_boxes, read_settings,
                            wait_message_box, write_settings)

NOT_DIGESTIBLE_MESSAGE = "密码含有无法转换的字符，未保存。"
DOMAIN_AS_TYPED = "  example.com  "
DOMAIN = "example.com"
# Spaces inside and around, and characters that would need escaping in a query: the digest is
# taken over the password exactly as typed.
PASSWORD = " s3cret pa&ss= "


def single_byte(letter, code_page):
    try:
        return len(letter.encode(code_page)) == 1
    except UnicodeEncodeError:
        return False


class SettingsTest(E2ETestCase):
    def setUp(self):
        super().setUp()
        self.code_page = ansi_code_page()
        self.svc.set_default(answer([("host1", "10.0.0.1")]))

    # -- steps of a user at the window ---------------------------------------------------------

    def show_window(self):
        self.start()
        window = self.wait_window()
        self.hwnd, self.pid = window["hwnd"], window["pid"]
        return window

    def controls(self):
        return controls_by_id(TITLE)

    def click(self, control):
        self.driver("mouse-click", TITLE, control)

    def type_into(self, control, text):
        self.click(control)
        self.driver("type", TITLE, text)

    def text_of(self, control):
        return self.driver("get-text", TITLE, control)["text"]

    def restart(self):
        closed = self.driver("close", TITLE, 5000)
        self.assertEqual((closed["exited"], closed.get("exit_code")), (True, 0), closed)
        self.program.kill()
        self.svc.reset()
        self.svc.set_default(answer([("host1", "10.0.0.1")]))
        return self.show_window()

    def wait_request_count(self, count):
        requests = self.svc.wait_requests(count, 30)
        self.assertEqual(len(requests), count, [r.data for r in requests])
        return requests

    def assertNoMessageBox(self):
        self.assertEqual(message_boxes(self.pid, self.hwnd), [])

    def assertBoxes(self, checked, domain, password):
        controls = self.controls()
        self.assertEqual(controls[UPDATING_CHECK]["checked"], 1 if checked else 0)
        for ident, text in ((DOMAIN_EDIT, domain), (PASSWORD_EDIT, password)):
            self.assertEqual(controls[ident]["visible"], checked, ident)
            self.assertEqual(controls[ident]["text"], text, ident)
        self.assertEqual(controls[PASSWORD_EDIT]["password_char"], "*")

    # -- tests ---------------------------------------------------------------------------------

    def test_the_two_boxes_take_more_than_32767_characters(self):
        self.show_window()
        for ident in (DOMAIN_EDIT, PASSWORD_EDIT):
            with self.subTest(control=ident):
                limit = self.driver("limit-text", TITLE, ident)["limit"]
                self.assertGreater(limit, 32767)

    def test_saved_account_is_stored_as_digest_sent_trimmed_and_loaded_at_the_next_start(self):
        self.show_window()
        # No settings file: account updating off, both boxes hidden, nothing written at start.
        self.assertBoxes(False, "", "")
        self.assertEqual([r.data for r in self.wait_request_count(1)], [plain_request()])
        self.assertIsNone(read_settings(self.folder))

        self.click(UPDATING_CHECK)
        self.assertBoxes(True, "", "")
        self.type_into(DOMAIN_EDIT, DOMAIN_AS_TYPED)
        self.type_into(PASSWORD_EDIT, PASSWORD)
        # Shown as stars, it holds the typed text.
        self.assertEqual(self.text_of(PASSWORD_EDIT), PASSWORD)
        self.click(SAVE_BUTTON)

        digest = digest_text(PASSWORD, self.code_page)
        requests = self.wait_request_count(2)
        self.assertEqual(requests[1].data, plain_request(account_path(DOMAIN, digest)))
        self.assertEqual(read_settings(self.folder),
                         b"True\r\n" + DOMAIN_AS_TYPED.encode(self.code_page) + b"\r\n" +
                         digest.encode("ascii") + b"\r\n")
        # The password box now holds the digest: 32 stars on the screen.
        self.assertBoxes(True, DOMAIN_AS_TYPED, digest)
        screenshot(self.name + "-saved")
        self.assertNoMessageBox()

        # Saving again without touching the password box stores and sends the same digest.
        self.click(SAVE_BUTTON)
        requests = self.wait_request_count(3)
        self.assertEqual(requests[2].data, requests[1].data)
        self.assertEqual(self.text_of(PASSWORD_EDIT), digest)
        saved = read_settings(self.folder)

        # The next start loads the account and sends it with its first request.
        self.restart()
        requests = self.wait_request_count(1)
        self.assertEqual(requests[0].data, plain_request(account_path(DOMAIN, digest)))
        self.assertBoxes(True, DOMAIN_AS_TYPED, digest)
        self.assertEqual(read_settings(self.folder), saved)
        screenshot(self.name + "-loaded")

        # Unticking hides the boxes and leaves the file alone; Save then empties it.
        self.click(UPDATING_CHECK)
        self.assertBoxes(False, DOMAIN_AS_TYPED, digest)
        self.assertEqual(read_settings(self.folder), saved)
        self.click(SAVE_BUTTON)
        self.assertEqual(self.wait_request_count(2)[1].data, plain_request())
        self.assertEqual(read_settings(self.folder), b"")
        self.assertNoMessageBox()

    def test_save_with_an_empty_password_shows_the_message_and_stores_true_alone(self):
        self.show_window()
        self.wait_request_count(1)
        self.click(UPDATING_CHECK)
        self.type_into(DOMAIN_EDIT, DOMAIN)
        self.click(SAVE_BUTTON)

        box = wait_message_box(self.pid, self.hwnd)
        self.assertIsNotNone(box, "no message box after Save with an empty password")
        screenshot(self.name + "-message")
        self.assertEqual(box["texts"], [EMPTY_MESSAGE])
        self.assertEqual(box["buttons"], [(1, box["buttons"][0][1])])  # OK (IDOK) only
        self.assertEqual(box["window"]["title"], TITLE)
        self.assertEqual(box["count"], 1)
        # The update cycle follows the message, not the other way round.
        self.assertEqual(len(self.svc.requests()), 1)
        dismiss_message_box(box)

        self.assertEqual(read_settings(self.folder), b"True\r\n")
        # The cycle still runs, with the boxes as they stand: the empty password's digest.
        requests = self.wait_request_count(2)
        self.assertEqual(requests[1].data,
                         plain_request(account_path(DOMAIN, digest_text("", self.code_page))))

        # At the next start account updating is on and both boxes are shown, empty.
        self.restart()
        self.assertBoxes(True, "", "")
        requests = self.wait_request_count(1)
        self.assertEqual(requests[0].data,
                         plain_request(account_path("", digest_text("", self.code_page))))

    def test_password_without_a_single_byte_code_is_refused_and_the_file_kept(self):
        # A letter outside the code page's single bytes: under cp936 "é" takes two bytes.
        letter = next((c for c in "\u00e9\u03a9\u4e2d" if not single_byte(c, self.code_page)),
                      None)
        if letter is None:
            self.skipTest("no candidate letter lacks a single-byte code in " + self.code_page)
        password = "caf" + letter
        old_digest = digest_text("old password", self.code_page)
        stored = b"True\r\nexample.org\r\n" + old_digest.encode("ascii") + b"\r\n"
        write_settings(self.folder, stored)

        self.show_window()
        self.assertEqual(self.wait_request_count(1)[0].data,
                         plain_request(account_path("example.org", old_digest)))
        self.assertBoxes(True, "example.org", old_digest)
        # Select the whole password box and type over it.
        self.click(PASSWORD_EDIT)
        self.driver("key", TITLE, "home")
        self.driver("key", TITLE, "shift-end")
        self.driver("type", TITLE, password)
        self.assertEqual(self.text_of(PASSWORD_EDIT), password)
        self.click(SAVE_BUTTON)

        box = wait_message_box(self.pid, self.hwnd)
        self.assertIsNotNone(box, "no message box for a password that cannot be digested")
        screenshot(self.name + "-message")
        self.assertEqual(box["texts"], [NOT_DIGESTIBLE_MESSAGE])
        dismiss_message_box(box)

        self.assertEqual(read_settings(self.folder), stored)
        self.assertEqual(self.text_of(PASSWORD_EDIT), password)  # not replaced by any digest
        # Nothing that is not the account's digest goes out: the cycle sends no request.
        time.sleep(2)
        self.assertEqual(len(self.svc.requests()), 1)
        self.assertNoMessageBox()


if __name__ == "__main__":
    unittest.main()
