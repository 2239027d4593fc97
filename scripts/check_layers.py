#!/usr/bin/env python3
"""Checks the modules' one-way order by reading every #include under src/.

    check_layers.py SRC_DIR             exit status 1 and one line per include against the order
    check_layers.py --self-test SRC_DIR  also proves on a scratch tree that a wrong include fails

A module may include its own headers and those of the modules it depends on. Portable files
(those without -win32 in their name) include no Windows header and no -win32 header, so that they
build and are tested without <windows.h>. Only platform/last_error-win32.cpp reads the thread's
last system error; everything else asks it.
"""

import os
import re
import sys
import tempfile

# Each module and the modules it may include, lowest first.
ALLOWED = {
    "base": set(),
    "platform": {"base"},
    "md5": {"base"},
    "http": {"base", "platform"},
    "account": {"base", "platform", "md5"},
    "sync": {"base", "platform", "md5", "http", "account"},
    "tray": {"base", "platform"},
    "instance": {"base", "platform", "md5", "http", "sync", "account"},
    "status": {"base", "platform", "md5", "http", "sync", "account", "tray"},
    "app": {"base", "platform", "md5", "http", "sync", "account", "tray", "instance", "status"},
}
WINDOWS_HEADERS = {"windows.h", "winsock2.h", "ws2tcpip.h", "shellapi.h", "commctrl.h",
                   "windowsx.h", "shlobj.h", "objbase.h", "shldisp.h", "sddl.h", "aclapi.h"}
# The one file that reads the thread's last system error (right after the failing call).
LAST_ERROR_READER = os.path.join("platform", "last_error-win32.cpp")
LAST_ERROR = re.compile(r"\b(WSA)?GetLastError\s*\(")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]', re.MULTILINE)


def violations(src):
    found = []
    for module in sorted(os.listdir(src)):
        folder = os.path.join(src, module)
        if not os.path.isdir(folder):
            continue
        if module not in ALLOWED:
            found.append("%s: a module that has no place in the order" % module)
            continue
        for root, _, files in os.walk(folder):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(root, name)
                relative = os.path.relpath(path, src)
                portable = "-win32" not in name
                with open(path, encoding="utf-8") as f:
                    text = f.read()
                if relative != LAST_ERROR_READER and LAST_ERROR.search(text):
                    found.append("%s: reads the last error itself (platform/last_error-win32.h)"
                                 % relative)
                for bracket, target in INCLUDE.findall(text):
                    if portable and (target.lower() in WINDOWS_HEADERS or "-win32" in target):
                        found.append("%s: portable file includes %s" % (relative, target))
                    if bracket != '"' or "/" not in target:
                        continue
                    other = target.split("/", 1)[0]
                    if other != module and other not in ALLOWED[module]:
                        found.append("%s: %s may not include %s (%s is not below %s)"
                                     % (relative, module, target, other, module))
    return found


def self_test():
    """A scratch tree with one include of each wrong kind must give exactly those findings."""
    with tempfile.TemporaryDirectory() as scratch:
        def write(relative, text):
            path = os.path.join(scratch, relative)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
        write("base/ok.h", "#pragma once\n#include <string>\n")
        write("http/client.cpp", '#include "http/client.h"\n#include "app/scoped_flag.h"\n')
        write("sync/cycle.cpp", '#include "base/ok.h"\n#include <windows.h>\n')
        write("tray/icon-win32.cpp", '#include <windows.h>\n#include "platform/x-win32.h"\n')
        write("platform/file-win32.cpp", "int f() { return GetLastError(); }\n")
        write("platform/last_error-win32.cpp", "int g() { return GetLastError(); }\n")
        found = violations(scratch)
    expected = [
        "http/client.cpp: http may not include app/scoped_flag.h (app is not below http)",
        "platform/file-win32.cpp: reads the last error itself (platform/last_error-win32.h)",
        "sync/cycle.cpp: portable file includes windows.h",
    ]
    if found != expected:
        print("check_layers self-test: expected %r, got %r" % (expected, found))
        return False
    return True


def main(argv):
    run_self_test = "--self-test" in argv
    args = [a for a in argv if a != "--self-test"]
    src = args[0] if args else os.path.join(os.path.dirname(__file__), "..", "src")
    if run_self_test and not self_test():
        return 1
    found = violations(src)
    for line in found:
        print("module order: " + line, file=sys.stderr)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
