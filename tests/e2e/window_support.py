"""Helpers of the window and account tests: the settings file, message boxes, the prefix's ANSI
code page and system DPI, and the controls' geometry."""

import hashlib
import os
import re
import time

from e2e_support import REG_EXE, run_driver, run_wine

SETTINGS_FILE = "abc.txt"
REQUEST_PATH = "/kalvanedns/getdomain.asp"
EMPTY_MESSAGE = "域名和密码都不能为空！"
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
CODE_PAGE_KEY = r"HKLM\System\CurrentControlSet\Control\Nls\CodePage"
TWIPS_PER_INCH = 1440


def wine_reg(*args):
    """Runs Wine's reg.exe; its exit code and output (the output's text is localised, the value
    lines are not). A query that printed nothing at all runs again, as the driver's do."""
    code, out, _ = run_wine([REG_EXE] + list(args), 120, looking=args[:1] == ("query",),
                            encoding="latin-1")
    return code, out


def ansi_code_page():
    """The prefix's ANSI code page as a Python codec name ("cp936" under zh_CN), read from the
    registry where Wine records it for the locale it runs in."""
    code, out = wine_reg("query", CODE_PAGE_KEY, "/v", "ACP")
    found = re.search(r"ACP\s+REG_SZ\s+(\d+)", out)
    if code != 0 or not found:
        raise AssertionError("no ACP value in the prefix: %r" % out)
    return "cp" + found.group(1)


def digest_text(password, code_page):
    """The password's digest as the program must store and send it: the upper-case hex MD5 of
    its bytes in the ANSI code page, computed here without any of the program's code."""
    return hashlib.md5(password.encode(code_page)).hexdigest().upper()


def account_path(domain, digest):
    return "%s?domain=%s&pwd=%s" % (REQUEST_PATH, domain, digest)


def read_settings(folder):
    """The bytes of "abc.txt" in `folder`, or None when there is no such file."""
    path = os.path.join(folder, SETTINGS_FILE)
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read()


def write_settings(folder, data):
    with open(os.path.join(folder, SETTINGS_FILE), "wb") as f:
        f.write(data)


def controls_by_id(window):
    return {c["id"]: c for c in run_driver("controls", window)}


def message_boxes(pid, owner):
    """The dialog windows of process `pid` owned by window `owner`."""
    return [w for w in run_driver("windows", pid)
            if w["class"] == "#32770" and w["owner"] == owner and w["visible"]]


def wait_message_box(pid, owner, timeout=15.0):
    """The one message box that the program shows over its window: its window record, its text
    and its buttons. None when none appears within `timeout` seconds."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        boxes = message_boxes(pid, owner)
        if boxes:
            box = boxes[0]
            controls = run_driver("controls", "hwnd:%s" % box["hwnd"])
            texts = [c["text"] for c in controls if c["class"].lower() == "static" and c["text"]]
            buttons = [(c["id"], c["text"]) for c in controls if c["class"].lower() == "button"]
            return {"window": box, "texts": texts, "buttons": buttons, "count": len(boxes)}
        time.sleep(0.2)
    return None


def dismiss_message_box(box):
    """Presses Enter in the message box, as a user would, and waits until it is gone."""
    target = "hwnd:%s" % box["window"]["hwnd"]
    run_driver("key", target, "enter")
    run_driver("wait-gone", target, 10000)


class SystemDpi:
    """Sets the prefix's system DPI (LogPixels under HKCU\\Control Panel\\Desktop, which Wine
    reads when a process starts) and puts the earlier value back; the prefix is shared by all
    tests, so `restore` must run whatever happens."""

    def __init__(self, dpi):
        code, out = wine_reg("query", DESKTOP_KEY, "/v", "LogPixels")
        found = re.search(r"LogPixels\s+REG_DWORD\s+0x([0-9a-fA-F]+)", out)
        self.earlier = int(found.group(1), 16) if code == 0 and found else None
        self.set(dpi)

    @staticmethod
    def set(dpi):
        code, out = wine_reg("add", DESKTOP_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d",
                             str(dpi), "/f")
        if code != 0:
            raise AssertionError("cannot set LogPixels: %r" % out)

    def restore(self):
        if self.earlier is None:
            wine_reg("delete", DESKTOP_KEY, "/v", "LogPixels", "/f")
        else:
            self.set(self.earlier)


def twips_to_pixels(twips, dpi):
    return twips * dpi / TWIPS_PER_INCH


def pixel_box(rect):
    """[left, top, right, bottom] as (left, top, width, height)."""
    return rect[0], rect[1], rect[2] - rect[0], rect[3] - rect[1]
