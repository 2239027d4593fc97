"""Measured figures of a flood of rows under Wine; not part of the suite (it asserts only that
each step happened, and prints how long it took). Run it through run_e2e.sh, as root:

    KALVANE_E2E_SUITE_TIMEOUT=1500 tests/e2e/run_e2e.sh build/windows/Kalvane.exe figures_flood

With --exe and --driver another build (an older one, say) is measured with the same steps. For
10 rows and for KALVANE_FLOOD_ROWS rows (400,000 by default, a 13 MB answer):

1. the program starts, writes the rows and shows its window (start to the last row in the hosts
   file);
2. from the tray menu's 状态(S) to the status window listing every row (its item count);
3. from the menu's 立即更新(U), with the window open, to the window listing the new write in its
   history (another list with a tenth of the addresses changed);
4. from the menu's 退出 to the program's end, the section removed;

and the program's peak resident memory (VmHWM) before it exits. The figures are printed and
written to <artifacts>/figures_flood.json.
"""

import json
import os
import time

import test_status
from e2e_support import (ARTIFACTS, TITLE, E2ETestCase, one_process, read_hosts, wait_for, write_hosts,
                         x_click)
from service_client import answer
from test_status import HISTORY_LIST, ROWS_LIST, SETTINGS, USER_LINES
from test_tray import TrayDriving

FLOOD_ROWS = int(os.environ.get("KALVANE_FLOOD_ROWS", "400000"))
LONG = 180  # seconds any one step may take before it counts as hung


def rows_of(count, changed_every=0):
    """`count` rows of about 33 bytes each in the answer; every `changed_every`th address moved."""
    rows = []
    for i in range(count):
        moved = changed_every and i % changed_every == 0
        rows.append(("r%06d.e" % i, "10.%d.%d.%d" % (i >> 16 & 255, i >> 8 & 255,
                                                    (i & 255) ^ (1 if moved else 0))))
    return rows


def peak_rss_mib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return round(int(line.split()[1]) / 1024, 1)
    return None


class FloodFigures(TrayDriving, E2ETestCase):
    figures = {}
    open_status_window = test_status.StatusTest.open_status_window

    def main_window(self):
        """The main window, waited for while the program is too busy to be found (an older build
        fills its lists item by item)."""
        found = wait_for(lambda: (lambda w: None if "error" in w else w)(
            self.driver("window", TITLE, check=False, timeout=LONG)), LONG, 0.2)
        self.assertIsNotNone(found, "the main window did not answer")
        return found

    def list_count(self, window, control):
        """The list's item count, reading no row; None while the window does not answer."""
        found = self.driver("list-view", window, control, 0, check=False, timeout=LONG)
        return found.get("count")

    def measure(self, count):
        first, second = rows_of(count), rows_of(count, changed_every=10)
        write_settings_file(self.folder)
        write_hosts(USER_LINES)
        self.svc.queue(answer(first), answer(second))
        self.svc.set_default(answer(second))
        started = time.monotonic()
        self.start()
        last_line = ("%s %s\r\n" % (first[-1][1], first[-1][0])).encode()
        self.assertTrue(wait_for(lambda: read_hosts().endswith(last_line), LONG, 0.2))
        written = time.monotonic() - started
        self.wait_window(LONG)
        pid = one_process("Kalvane.exe")
        self.minimise_to_tray()

        t0 = time.monotonic()
        window = self.open_status_window()
        self.assertTrue(wait_for(lambda: self.list_count(window, ROWS_LIST) == count, LONG, 0.1))
        opened = time.monotonic() - t0

        t0 = time.monotonic()
        self.choose_in_tray_menu("u")
        self.assertTrue(wait_for(lambda: (self.list_count(window, HISTORY_LIST) or 0) >= 2,
                                 LONG, 0.1))
        followed = time.monotonic() - t0
        peak = peak_rss_mib(pid)

        menu = self.open_tray_menu()
        left, top, right, bottom = menu["rect"]
        t0 = time.monotonic()
        x_click((left + right) // 2, bottom - 8)
        self.assertProgramEnds(LONG, 0)
        closed = time.monotonic() - t0
        self.assertEqual(read_hosts(), USER_LINES)
        return {"rows": count, "start_to_written_s": round(written, 2),
                "status_window_open_s": round(opened, 2),
                "update_followed_by_open_window_s": round(followed, 2),
                "exit_to_end_with_section_removed_s": round(closed, 2),
                "peak_rss_mib": peak}

    def record(self, name, figures):
        FloodFigures.figures[name] = figures
        print(json.dumps({name: figures}, ensure_ascii=False), flush=True)
        os.makedirs(ARTIFACTS, exist_ok=True)
        with open(os.path.join(ARTIFACTS, "figures_flood.json"), "w") as f:
            json.dump(FloodFigures.figures, f, indent=2, ensure_ascii=False)

    def test_1_ten_rows(self):
        self.record("ten_rows", self.measure(10))

    def test_2_flood(self):
        self.record("flood", self.measure(FLOOD_ROWS))


def write_settings_file(folder):
    with open(os.path.join(folder, "abc.txt"), "wb") as f:
        f.write(SETTINGS)
