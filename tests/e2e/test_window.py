"""The finished main window: its layout at 96 and 144 DPI against the twips table, the focus
order of its controls, the web-page button without the desktop shell, and a second start of the
program."""

import os
import subprocess
import time
import unittest

from e2e_support import (ARTIFACTS, DOMAIN_EDIT, DOMAIN_LABEL, PASSWORD_EDIT, PASSWORD_LABEL,
                         SAVE_BUTTON, TITLE, UPDATING_CHECK, WEB_PAGE_BUTTON, WINDOW_CLASS,
                         E2ETestCase, Program, fresh_program_folder, run_driver, screenshot)
from service_client import answer
from window_support import (SystemDpi, controls_by_id, dismiss_message_box, pixel_box,
                            twips_to_pixels, wait_message_box, wine_reg, write_settings)

# Left, top, width and height in twips of every visible control, and the client area.
TWIPS = {
    UPDATING_CHECK: (360, 120, 1455, 255),
    DOMAIN_LABEL: (240, 480, 855, 255),
    DOMAIN_EDIT: (1080, 480, 2295, 270),
    PASSWORD_LABEL: (240, 960, 855, 255),
    PASSWORD_EDIT: (1080, 960, 2295, 270),
    WEB_PAGE_BUTTON: (1320, 1560, 1215, 255),
    SAVE_BUTTON: (2640, 1560, 1215, 255),
}
CLIENT_TWIPS = (4125, 1995)
NAMES = {UPDATING_CHECK: "updating check", DOMAIN_LABEL: "domain label",
         DOMAIN_EDIT: "domain edit", PASSWORD_LABEL: "password label",
         PASSWORD_EDIT: "password edit", WEB_PAGE_BUTTON: "web page button",
         SAVE_BUTTON: "Save button", 0: "the window itself", None: "nothing"}
ACCOUNT_DIGEST = "0123456789ABCDEF0123456789ABCDEF"
STORED_ACCOUNT = b"True\r\nexample.com\r\n" + ACCOUNT_DIGEST.encode("ascii") + b"\r\n"
WEB_PAGE = "http://www.kalvane.example/"
# The desktop's shell window list, as COM knows it: treated as a class nobody serves, it cannot
# be reached, as when Explorer is not running.
SHELL_WINDOWS_TREAT_AS = r"HKLM\Software\Classes\CLSID\{9BA05972-F6A8-11CF-A442-00A0C90A8F39}\TreatAs"


class WindowTest(E2ETestCase):
    def show_window(self):
        self.start()
        window = self.wait_window()
        self.hwnd = window["hwnd"]
        return window

    def focused(self):
        return NAMES.get(self.driver("focused", TITLE)["id"], "another window")

    def press(self, key):
        self.driver("key", TITLE, key)
        return self.focused()

    def check_layout(self, dpi):
        """Compares the client area and every control with the twips table at `dpi`, within one
        pixel."""
        window = self.driver("window", TITLE)
        client = pixel_box(window["client"])[2:]
        for got, twips, what in zip(client, CLIENT_TWIPS, ("width", "height")):
            with self.subTest(dpi=dpi, client=what):
                self.assertLessEqual(abs(got - twips_to_pixels(twips, dpi)), 1, client)
        controls = controls_by_id(TITLE)
        for ident, twips in TWIPS.items():
            got = pixel_box(controls[ident]["rect"])
            for value, size, what in zip(got, twips, ("left", "top", "width", "height")):
                with self.subTest(dpi=dpi, control=NAMES[ident], edge=what):
                    self.assertLessEqual(abs(value - twips_to_pixels(size, dpi)), 1, got)

    def laid_out_at(self, dpi):
        write_settings(self.folder, STORED_ACCOUNT)  # both entry boxes shown
        self.show_window()
        self.assertEqual(self.driver("dpi", TITLE)["system_dpi"], dpi,
                         "the prefix does not run at %d DPI" % dpi)
        self.check_layout(dpi)
        screenshot("%s-%ddpi" % (self.name, dpi))

    def test_layout_at_96_dpi_follows_the_twips_table(self):
        self.laid_out_at(96)

    def test_layout_at_144_dpi_follows_the_twips_table(self):
        dpi = SystemDpi(144)
        self.addCleanup(dpi.restore)
        self.laid_out_at(144)

    def test_focus_order_with_and_without_account_updating(self):
        write_settings(self.folder, STORED_ACCOUNT)
        self.show_window()
        # The window is shown with the first control in the focus order focused.
        self.assertEqual(self.focused(), NAMES[DOMAIN_EDIT])
        order = [NAMES[c] for c in (DOMAIN_EDIT, PASSWORD_EDIT, WEB_PAGE_BUTTON, SAVE_BUTTON,
                                    UPDATING_CHECK)]
        forward = [self.press("tab") for _ in order]
        self.assertEqual(forward, order[1:] + order[:1])
        backward = [self.press("shift-tab") for _ in order]
        self.assertEqual(backward, list(reversed(order)))

        # Space on the focused check box turns account updating off: the boxes leave the cycle.
        self.assertEqual(self.press("shift-tab"), NAMES[UPDATING_CHECK])
        self.press("space")
        controls = controls_by_id(TITLE)
        self.assertEqual(controls[UPDATING_CHECK]["checked"], 0)
        self.assertFalse(controls[DOMAIN_EDIT]["visible"] or controls[PASSWORD_EDIT]["visible"])
        web_page, save, updating = (NAMES[c] for c in (WEB_PAGE_BUTTON, SAVE_BUTTON,
                                                         UPDATING_CHECK))
        self.assertEqual([self.press("tab") for _ in range(3)], [web_page, save, updating])
        self.assertEqual([self.press("shift-tab") for _ in range(3)], [save, web_page, updating])

    def test_web_page_button_without_the_desktop_shell_shows_the_address(self):
        code, out = wine_reg("add", SHELL_WINDOWS_TREAT_AS, "/ve", "/d",
                             "{7D1F0E8A-0000-4000-8000-00000000BAD0}", "/f")
        self.assertEqual(code, 0, out)
        self.addCleanup(wine_reg, "delete", SHELL_WINDOWS_TREAT_AS, "/f")
        self.svc.set_default(answer())
        window = self.show_window()

        self.driver("click", TITLE, WEB_PAGE_BUTTON)
        box = wait_message_box(window["pid"], self.hwnd)
        screenshot(self.name + "-address")
        self.assertIsNotNone(box, "no message box")
        self.assertEqual(box["window"]["title"], TITLE)
        self.assertEqual(box["texts"], ["请在浏览器中打开：" + WEB_PAGE])
        dismiss_message_box(box)
        self.assertTrue(self.program.running())

    def test_second_start_brings_the_first_window_forward_and_exits_with_code_0(self):
        self.svc.set_default(answer())
        self.show_window()
        self.assertEqual(len(self.svc.wait_requests(1, 30)), 1)

        # Another program's window in front.
        notepad = subprocess.Popen(["wine", "notepad"], stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(self.stop, notepad)
        run_driver("wait-window", "class:Notepad", 30000, timeout=60)
        self.assertTrue(self.wait_foreground_class("Notepad"), "notepad did not come forward")

        self.start_second("normal")
        self.assertTrue(self.wait_foreground_class(WINDOW_CLASS),
                        "the first window did not come to the front")
        window = self.driver("window", TITLE)
        self.assertEqual((window["hwnd"], window["visible"], window["iconic"]),
                         (self.hwnd, True, False))

        # Out of the tray: the window comes back and the tray icon goes.
        hidden = self.driver("minimize", TITLE)
        self.assertFalse(hidden["visible"])
        self.assertIn("first_icon", self.driver("tray-info"))
        self.start_second("tray")
        self.assertTrue(self.wait_foreground_class(WINDOW_CLASS),
                        "the first window did not come out of the tray")
        window = self.driver("window", TITLE)
        self.assertEqual((window["visible"], window["iconic"]), (True, False))
        self.assertIn("error", self.driver("tray-info", check=False))
        self.assertNotIn(self.focused(), ("the window itself", "nothing"))
        screenshot(self.name + "-restored")

        # One window in all, and the second starts never asked the service.
        mains = [w for w in self.driver("windows") if w["class"] == WINDOW_CLASS]
        self.assertEqual(len(mains), 1, mains)
        self.assertEqual(len(self.svc.requests()), 1)
        self.assertTrue(self.program.running())

    # -- helpers of the second-start test ------------------------------------------------------

    def start_second(self, label):
        """Runs another copy of the program from a folder of its own; it must hand over to the
        first and end with code 0 at once."""
        folder = fresh_program_folder(self.name + "-" + label)
        second = Program(folder, os.path.join(ARTIFACTS, "%s-%s.wine.log" % (self.name, label)))
        self.addCleanup(second.kill)
        started = time.monotonic()
        code = second.wait_exit(10)
        elapsed = time.monotonic() - started
        self.assertEqual(code, 0, "the second start did not end with code 0")
        self.assertLess(elapsed, 3.0)
        self.assertFalse(os.path.exists(os.path.join(folder, "hosts.bak")))

    def wait_foreground_class(self, window_class, timeout=5.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            front = self.driver("foreground")
            if front and front["class"] == window_class:
                return True
            time.sleep(0.2)
        return False

    @staticmethod
    def stop(process):
        if process.poll() is None:
            process.kill()
            process.wait(10)


if __name__ == "__main__":
    unittest.main()
