"""Figures of the HTTP transaction under Wine (a measurement, not a test): the time from process
start to the window shown against a responsive service, and the CPU the process uses while a
response wait runs its minute. Run inside the prepared environment:

    KALVANE_E2E_EXEC='python3 tests/e2e/figures_http.py' tests/e2e/run_e2e.sh build/windows/Kalvane.exe
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from e2e_support import (TITLE, WINESERVER, Program, cpu_seconds,  # noqa: E402
                         fresh_program_folder, one_process, run_driver)
from service_client import ServiceClient, answer, hold  # noqa: E402


def fresh_program(name):
    folder = fresh_program_folder("figures-" + name)
    return Program(folder, os.path.join(folder, "wine.log"))


def close(program):
    run_driver("close", TITLE, 5000, check=False)
    if program.wait_exit(10) is None:
        program.kill()


def time_to_window(svc, rounds=3):
    times = []
    for i in range(rounds):
        svc.reset()
        svc.set_default(answer([("host1", "10.0.0.1"), ("host2", "10.0.0.2")]))
        program = fresh_program("startup%d" % i)
        while not run_driver("wait-window", TITLE, 200, check=False).get("visible"):
            if time.monotonic() - program.started > 60:
                break
        times.append(time.monotonic() - program.started)
        close(program)
    return times


def cpu_during_response_wait(svc, seconds=55):
    svc.reset()
    svc.set_default(hold())
    program = fresh_program("wait")
    svc.wait_requests(1, 30)
    time.sleep(1)
    pid = one_process("Kalvane.exe")
    server = one_process(WINESERVER)
    start_cpu, start_server = cpu_seconds(pid), cpu_seconds(server)
    time.sleep(seconds)
    used, used_server = cpu_seconds(pid) - start_cpu, cpu_seconds(server) - start_server
    program.kill()
    return used, used_server


def main():
    svc = ServiceClient()
    times = time_to_window(svc)
    print("start to window shown (s): " + ", ".join("%.2f" % t for t in times))
    used, used_server = cpu_during_response_wait(svc)
    print("CPU in a 55 s response wait: Kalvane.exe %.2f s (%.2f%% of one core), "
          "wineserver %.2f s" % (used, used / 55 * 100, used_server))


if __name__ == "__main__":
    main()
