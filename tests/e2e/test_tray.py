"""The tray icon as a user meets it: minimising into Wine's notification area, the real mouse
on the icon and its menu, the status the icon shows, and the shell's restart broadcast.

Which icon is shown is read off the screen: the first cell of Wine's tray window is cut out of
the X server's picture and told apart by colour, the updated icon being a green globe and the
failed icon a red disc.
"""

import hashlib
import os
import re
import subprocess
import time
import unittest

from e2e_support import (ARTIFACTS, TITLE, TRAY_CALLBACK, WM_LBUTTONUP, WM_RBUTTONUP,
                         E2ETestCase, Program, click_tray_icon, hosts_path, read_hosts, run_driver,
                         screenshot, wait_for, write_hosts, x_click)
from service_client import answer, status

WM_COMMAND, SAVE_BUTTON = 0x111, 1005  # Save's command; BN_CLICKED is 0

MENU_CLASS = "#32768"
SERVER_ERROR = "HTTP/1.1 500 Internal Server Error"
USER_LINES = b"127.0.0.1 localhost\r\n# the user's own line\r\n"
DOMAIN = "tray.example"
DIGEST = hashlib.md5(b"secret").hexdigest().upper()
SETTINGS = ("True\r\n%s\r\n%s\r\n" % (DOMAIN, DIGEST)).encode("ascii")
ACCOUNT_PATH = "/kalvanedns/getdomain.asp?domain=%s&pwd=%s" % (DOMAIN, DIGEST)
UPDATED_ICON, FAILED_ICON = "the updated icon (green)", "the failed icon (red)"
BLINK = 0.5  # seconds each icon of the blinking stays
# A point of the bare screen, away from every window: a click there dismisses a menu.
EMPTY_SCREEN = (700, 600)


def move_pointer(x, y):
    """Moves the X pointer to (x, y); "mousemove --sync" would wait for ever if it is there."""
    where = subprocess.run(["xdotool", "getmouselocation", "--shell"], timeout=10, check=True,
                           capture_output=True, text=True).stdout
    at = dict(line.split("=", 1) for line in where.split() if "=" in line)
    if (at.get("X"), at.get("Y")) != (str(x), str(y)):
        subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y)], timeout=10,
                       check=True, capture_output=True)


def tray_window():
    """Wine's tray window as tray-info sees it, or None while it is hidden: Wine shows it only
    while it holds at least one icon, and the program's is the only one here."""
    info = run_driver("tray-info", check=False)
    return None if "error" in info else info


def cell_pixels(tray, index=0):
    """The RGB bytes of the upper part of icon cell `index` of the tray window, as the X server
    shows them. A balloon from the icon points its stem at the icon's middle from below: the
    part above stays the icon's own."""
    cell = tray["cell"]
    x, y = tray["client_origin"]
    return subprocess.run(["import", "-window", "root", "-crop",
                           "%dx%d+%d+%d" % (cell, cell // 2, x + index * cell, y), "-depth",
                           "8", "rgb:-"],
                          capture_output=True, timeout=10, check=True).stdout


def icon_colour(pixels):
    """UPDATED_ICON or FAILED_ICON by the colour that covers a good part of the cell; None for a
    cell without either (empty, or something else drawn)."""
    green = red = 0
    for i in range(0, len(pixels) - 2, 3):
        r, g, b = pixels[i], pixels[i + 1], pixels[i + 2]
        if g > r + 50 and g > b + 20:
            green += 1
        elif r > g + 60 and r > b + 60:
            red += 1
    enough = len(pixels) // 3 // 6
    if green >= enough and green > 4 * red:
        return UPDATED_ICON
    if red >= enough and red > 4 * green:
        return FAILED_ICON
    return None


def sample_icon(tray, seconds):
    """(time, pixels) of the first cell, taken as fast as the X server allows for `seconds`."""
    samples = []
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        samples.append((time.monotonic(), cell_pixels(tray)))
    return samples


def runs(samples):
    """The samples grouped into runs of equal pixels: [(colour, first time, last time), ...]."""
    out = []
    previous = None
    for t, pixels in samples:
        if pixels != previous:
            out.append([icon_colour(pixels), t, t])
            previous = pixels
        else:
            out[-1][2] = t
    return [tuple(r) for r in out]


# The start a shortcut set to "Run: Minimised" gives; Wine's start waits for the program and
# ends with its exit code.
MINIMISED_START = ["start", "/min", "/wait", "Kalvane.exe"]


class TrayDriving:
    """The steps of a test that works the tray icon, its tool-tip and its menu; mixed into an
    E2ETestCase."""

    def main_window(self):
        return self.driver("window", TITLE)

    def main_window_if(self, visible):
        """The main window's state when its visibility is `visible`, else None."""
        window = self.main_window()
        return window if window["visible"] == visible else None

    def minimise_to_tray(self):
        """A real click on the minimise box; the tray window once the icon is in it."""
        point = self.driver("nc-point", TITLE, "minimize")
        x_click(point["x"], point["y"])
        tray = wait_for(tray_window, 5)
        self.assertIsNotNone(tray, "no icon in the tray after minimising")
        window = wait_for(lambda: self.main_window_if(visible=False), 5)
        self.assertIsNotNone(window, "the window is still on the screen after minimising")
        self.assertTrue(window["iconic"])
        return tray

    def assert_icon_gone(self, timeout=5):
        self.assertTrue(wait_for(lambda: tray_window() is None, timeout),
                        "the tray icon is still there")

    def assert_window_back_with_focus(self, timeout=5):
        window = wait_for(lambda: self.main_window_if(visible=True), timeout)
        self.assertIsNotNone(window, "the window did not come back")
        self.assertFalse(window["iconic"])
        in_front = wait_for(lambda: (self.driver("foreground") or {}).get("hwnd") == window["hwnd"],
                            timeout)
        self.assertTrue(in_front, "the window came back without being in the foreground")
        focused = self.driver("focused", TITLE)
        self.assertIsNotNone(focused["id"], "no focus in the window")
        return window

    def assert_steady(self, tray, colour, seconds=1.6):
        samples = sample_icon(tray, seconds)
        seen = runs(samples)
        self.assertEqual(len(seen), 1, "the icon changed: %s" % [(c, round(b - samples[0][0], 2))
                                                                 for c, b, _ in seen])
        self.assertEqual(seen[0][0], colour)
        self.assertGreater(len(samples), 5)

    def balloons(self):
        """The texts of the balloons on show (TTS_BALLOON tool-tip windows)."""
        return [w["title"] for w in self.driver("windows")
                if w["class"] == "tooltips_class32" and w["visible"] and w["style"] & 0x40]

    def hover_tip(self, tray):
        """The text of the tool-tip that Wine's tray shows with the pointer resting on the icon.
        A tool-tip control answers WM_GETTEXT with the tip on show; Wine shows none while a
        balloon is up, which goes by itself after about ten seconds."""
        icon = tray["first_icon"]

        def shown_tip():
            for w in self.driver("windows"):
                # A balloon (TTS_BALLOON) is a tool-tip window too, but not the icon's tip.
                if (w["class"] == "tooltips_class32" and w["visible"] and w["title"]
                        and not w["style"] & 0x40):
                    return w
            return None

        # A balloon is created two seconds after it is asked for and stays at least ten; a tip
        # over the icon can be hidden by one that comes up meanwhile. So: away first, so that a
        # tip shown earlier goes, no balloon up, then a few points on the icon, each held for a
        # while (a tool-tip control shows again only after the pointer rests on its tool anew);
        # and all that once more when no tip came.
        tip = None
        for _ in range(3):
            move_pointer(*EMPTY_SCREEN)
            wait_for(lambda: shown_tip() is None, 5)
            self.assertTrue(wait_for(lambda: not self.balloons(), 45), "a balloon stays up")
            for dx in (1, 2, 3):
                move_pointer(icon["x"] + dx, icon["y"] + dx)
                tip = wait_for(shown_tip, 3)
                if tip is not None:
                    break
            if tip is not None:
                break
        self.assertIsNotNone(tip, "no tool-tip over the icon")
        return tip["title"]

    def assert_tip(self, tray, outcome, note=None):
        """The tool-tip is "Kalvane" over the last outcome and its local time, (HH:MM), and the
        `note` of rows that do not take effect below them when there is one."""
        tip = self.hover_tip(tray)
        lines = tip.split("\n")
        self.assertEqual(lines[2:], [note] if note else [], tip)
        self.assertEqual(lines[0], TITLE)
        match = re.fullmatch(r"(.*) \((\d\d):(\d\d)\)", lines[1])
        self.assertIsNotNone(match, tip)
        self.assertEqual(match.group(1), outcome)
        now = time.localtime()
        shown = int(match.group(2)) * 60 + int(match.group(3))
        self.assertLessEqual((now.tm_hour * 60 + now.tm_min - shown) % 1440, 2, tip)
        self.assertLess(len(tip), 128)
        return tip

    def icon_becomes(self, colour, timeout=10):
        tray = tray_window()
        return wait_for(lambda: icon_colour(cell_pixels(tray)) == colour, timeout)

    def menu(self):
        pid = self.main_window()["pid"]
        for w in self.driver("windows"):
            if w["class"] == MENU_CLASS and w["visible"] and w["pid"] == pid:
                return w
        return None

    def open_tray_menu(self):
        click_tray_icon(3)
        menu = wait_for(self.menu, 5)
        self.assertIsNotNone(menu, "no pop-up menu after the right click")
        return menu

    def choose_in_tray_menu(self, access_key):
        """Opens the tray menu with a right click and picks an item by its access key, a real
        X key press. After the click the X keyboard focus stays on Wine's tray window, whose
        process does not pass the keys on to the menu: the pointer goes over the menu and the
        X focus to the window under it (the menu's), as a window manager would. The menu opens
        below the icon, partly under the tray window: the pointer goes below that.
        A balloon that comes up over the menu takes the pointer's window, and the key with it:
        the key goes out once no balloon is up. A menu still open after the key picked nothing
        (the item was greyed while a cycle ran, or the key was lost on a busy display): it is
        closed with Escape and opened afresh, at most three times."""
        for _ in range(3):
            menu = self.open_tray_menu()
            self.assertTrue(wait_for(lambda: not self.balloons(), 45), "a balloon stays up")
            left, top, right, bottom = menu["rect"]
            below_tray = tray_window()["window"]["rect"][3] + 4
            self.assertLess(below_tray, bottom - 4, "the menu is hidden by the tray window")
            move_pointer((left + right) // 2, max(top + 4, below_tray))
            self.press_on_window_under_pointer(access_key)
            if wait_for(lambda: self.menu() is None, 4):
                return
            self.press_on_window_under_pointer("Escape")
            self.assertTrue(wait_for(lambda: self.menu() is None, 5), "Escape left the menu open")
        self.fail("the menu stayed open")

    def press_on_window_under_pointer(self, key):
        where = subprocess.run(["xdotool", "getmouselocation", "--shell"], timeout=10,
                               check=True, capture_output=True, text=True).stdout
        under = dict(line.split("=", 1) for line in where.split() if "=" in line)["WINDOW"]
        subprocess.run(["xdotool", "windowfocus", "--sync", under], timeout=10, check=True,
                       capture_output=True)
        subprocess.run(["xdotool", "key", key], timeout=10, check=True, capture_output=True)

    def start_with_account_not_confirmed(self):
        with open(os.path.join(self.folder, "abc.txt"), "wb") as f:
            f.write(SETTINGS)
        self.svc.set_default(answer([], ok=False))
        self.start()
        self.wait_window()
        requests = self.svc.requests()
        self.assertEqual(len(requests), 1)
        self.assertIn(("GET %s HTTP/1.1\r\n" % ACCOUNT_PATH).encode("ascii"), requests[0].data)


class TrayTest(TrayDriving, E2ETestCase):
    def test_minimise_puts_the_icon_in_the_tray_and_a_left_click_brings_the_window_back(self):
        self.svc.set_default(answer())
        self.start()
        self.wait_window()
        self.assertIsNone(tray_window(), "an icon in the tray while the window is shown")

        # Twice round: the second round shows that the first left the window unhooked and
        # ready to be hooked again.
        for round_ in range(2):
            tray = self.minimise_to_tray()
            screenshot("%s-tray-%d" % (self.name, round_))
            # Result 0: the first icon, steady.
            self.assert_steady(tray, UPDATED_ICON)
            self.assertTrue(self.program.running())
            if round_ == 0:
                self.assert_tip(tray, "服务器没有返回映射，hosts 文件未改动")

            click_tray_icon(1)
            self.assert_icon_gone()
            self.assert_window_back_with_focus()
            time.sleep(0.6)
            self.assertIsNone(tray_window(), "the icon came back on its own")

        closed = self.driver("close", TITLE, 5000)
        self.assertEqual((closed["exited"], closed.get("exit_code")), (True, 0), closed)

    def test_tray_menu_exit_removes_the_icon_and_the_section_and_ends_with_code_0(self):
        write_hosts(USER_LINES)
        self.svc.queue(answer([("host1", "10.0.0.1"), ("host2", "10.0.0.2")]))
        self.start()
        self.wait_window()
        self.assertEqual(read_hosts(),
                         USER_LINES + b"#BEGIN\r\n10.0.0.1 host1\r\n10.0.0.2 host2\r\n")
        self.minimise_to_tray()

        # A menu dismissed by a click elsewhere leaves everything as it was.
        menu = self.open_tray_menu()
        # It opens at the mouse, which is on the icon.
        icon = tray_window()["first_icon"]
        self.assertEqual(menu["rect"][:2], [icon["x"], icon["y"]], menu)
        screenshot(self.name + "-menu")
        x_click(*EMPTY_SCREEN)
        self.assertTrue(wait_for(lambda: self.menu() is None, 5), "the menu stayed open")
        time.sleep(0.3)
        self.assertIsNotNone(tray_window(), "dismissing the menu removed the icon")
        self.assertFalse(self.main_window()["visible"])
        self.assertTrue(self.program.running())

        # The icon's notices that another program posts, with the pointer on a window far from
        # the icon, open no menu and bring no window back.
        far = self.start_driver("foreign-window", "KalvaneFarAway", "far away", "close",
                                "60000")[1]
        left, top, right, bottom = far["rect"]
        move_pointer((left + right) // 2, (top + bottom) // 2)
        for mouse in (WM_RBUTTONUP, WM_LBUTTONUP):
            self.driver("post", TITLE, TRAY_CALLBACK, 0, mouse)
        time.sleep(1)
        self.assertIsNone(self.menu(), "a posted notice opened the menu")
        self.assertFalse(self.main_window()["visible"], "a posted notice restored the window")

        # Its last item, "退出", just above the menu's lower edge.
        menu = self.open_tray_menu()
        left, top, right, bottom = menu["rect"]
        x_click((left + right) // 2, bottom - 8)
        clicked = time.monotonic()
        self.assertProgramEnds(10, 0)
        self.assertLess(time.monotonic() - clicked, 2.0)
        self.assertEqual(read_hosts(), USER_LINES)
        self.assert_icon_gone(timeout=3)

    def test_account_not_confirmed_makes_the_icon_blink_every_half_second(self):
        self.start_with_account_not_confirmed()
        tray = self.minimise_to_tray()
        samples = sample_icon(tray, 3.2)
        screenshot(self.name + "-tray")
        seen = runs(samples)
        start = samples[0][0]
        described = [(c, round(b - start, 2), round(e - start, 2)) for c, b, e in seen]
        # Exactly the two icons, taking turns.
        self.assertEqual({c for c, _, _ in seen}, {UPDATED_ICON, FAILED_ICON}, described)
        for (a, _, _), (b, _, _) in zip(seen, seen[1:]):
            self.assertNotEqual(a, b, described)
        # Two different images within any one second, a change about every 500 ms.
        self.assertGreaterEqual(len(seen), 5, described)
        changes = [b for _, b, _ in seen[1:]]
        self.assertLess(changes[0] - start, 2 * BLINK, described)
        gaps = [b - a for a, b in zip(changes, changes[1:])]
        self.assertLess(max(gaps), 1.6 * BLINK, described)
        self.assertGreater(sum(gaps) / len(gaps), 0.7 * BLINK, described)

    def test_failed_transfer_shows_the_second_icon_steady(self):
        self.svc.set_default(status(SERVER_ERROR))
        self.start()
        self.wait_window()
        self.assertEqual(len(self.svc.wait_requests(3, 10)), 3)
        tray = self.minimise_to_tray()
        screenshot(self.name + "-tray")
        self.assert_steady(tray, FAILED_ICON)

    def test_a_read_only_hosts_file_shows_the_failure_icon_until_a_good_update(self):
        write_hosts(USER_LINES)
        rows1 = [("host1", "10.0.0.1")]
        rows2 = [("host1", "10.0.0.1"), ("host2", "10.0.0.2")]
        self.svc.queue(answer(rows1), answer(rows2), answer(rows2))
        self.start()
        self.wait_window()
        written = USER_LINES + b"#BEGIN\r\n10.0.0.1 host1\r\n"
        self.assertEqual(read_hosts(), written)
        tray = self.minimise_to_tray()
        self.assert_steady(tray, UPDATED_ICON)

        # The hosts file turns read-only; the next update's answer comes but cannot be written.
        os.chmod(hosts_path(), 0o444)
        self.addCleanup(os.chmod, hosts_path(), 0o644)
        self.driver("post", TITLE, WM_COMMAND, SAVE_BUTTON, 0)
        self.assertEqual(len(self.svc.wait_requests(2, 10)), 2)
        self.assertTrue(self.icon_becomes(FAILED_ICON), "no failure icon after the failed write")
        screenshot(self.name + "-failed")
        self.assert_steady(tray, FAILED_ICON)
        self.assert_tip(tray, "无法写入 hosts 文件：拒绝访问")
        self.assertEqual(read_hosts(), written)

        # Writable again: the next good update turns the icon back.
        os.chmod(hosts_path(), 0o644)
        self.driver("post", TITLE, WM_COMMAND, SAVE_BUTTON, 0)
        self.assertEqual(len(self.svc.wait_requests(3, 10)), 3)
        self.assertTrue(self.icon_becomes(UPDATED_ICON), "the icon did not turn back")
        self.assert_steady(tray, UPDATED_ICON)
        # The namespace's resolver knows neither name: the tool-tip says they do not take effect.
        self.assert_tip(tray, "已更新 2 条映射", note="2 条映射未生效")
        self.assertEqual(read_hosts(),
                         USER_LINES + b"#BEGIN\r\n10.0.0.1 host1\r\n10.0.0.2 host2\r\n")

    def test_shell_restart_broadcast_adds_the_icon_again_while_in_the_tray(self):
        self.svc.set_default(answer())
        self.start()
        self.wait_window()
        tray = self.minimise_to_tray()

        # A broadcast while the shell still has the icon keeps it single.
        self.driver("broadcast-taskbar-created")
        time.sleep(0.5)
        tray = tray_window()
        self.assertIsNotNone(tray, "the icon went away on the broadcast")
        self.assertEqual(icon_colour(cell_pixels(tray, 0)), UPDATED_ICON)
        self.assertEqual(len(set(cell_pixels(tray, 1))), 1, "a second icon in the tray")

        # A restarted shell knows no icons until the broadcast asks the programs for them.
        self.assertTrue(self.driver("tray-delete", TITLE)["deleted"])
        self.assert_icon_gone()
        self.driver("broadcast-taskbar-created")
        tray = wait_for(tray_window, 5)
        self.assertIsNotNone(tray, "the icon did not come back after the broadcast")
        self.assert_steady(tray, UPDATED_ICON, seconds=0.8)
        self.assertFalse(self.main_window()["visible"])

        # The icon that came back still leads to the window, and the window shown has none.
        click_tray_icon(1)
        self.assert_icon_gone()
        self.assert_window_back_with_focus()
        self.driver("broadcast-taskbar-created")
        time.sleep(1.0)
        self.assertIsNone(tray_window(), "the broadcast added an icon while the window is shown")

    def test_a_start_minimised_goes_straight_into_the_tray(self):
        self.svc.set_default(answer())
        self.program = Program(self.folder, os.path.join(ARTIFACTS, self.name + ".wine.log"),
                               MINIMISED_START)
        # Killing Wine's start would leave the program itself running.
        self.addCleanup(lambda: run_driver("close", TITLE, 5000, check=False))
        tray = wait_for(tray_window, 60, 0.2)
        self.assertIsNotNone(tray, "no tray icon after a minimised start")
        window = self.main_window()
        self.assertFalse(window["visible"], "a minimised start left the window on the screen")
        self.assertTrue(window["iconic"])
        self.assertEqual(len(self.svc.requests()), 1)
        self.assert_steady(tray, UPDATED_ICON, seconds=0.8)

        click_tray_icon(1)
        self.assert_icon_gone()
        self.assert_window_back_with_focus()
        closed = self.driver("close", TITLE, 5000)
        self.assertEqual((closed["exited"], closed.get("exit_code")), (True, 0), closed)
        self.assertProgramEnds(10, 0)


if __name__ == "__main__":
    unittest.main()
