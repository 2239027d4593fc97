"""A service name with IPv6 and IPv4 addresses: the update goes through the first address that
answers, within seconds, also when an address before it refuses or silently drops the connection,
and through the other family's address on the next attempt when the first one takes the
connection but never answers. Each test prints the time from the program's start to its first
hosts write."""

import socket
import time
import unittest

from e2e_support import (SERVICE_HOST, E2ETestCase, map_service_host, read_hosts, wait_for,
                         write_hosts)
from service_client import answer

USER_LINES = b"127.0.0.1 localhost\r\n"
ROWS = [("host6", "2001:db8::6"), ("host4", "10.0.0.4")]
SECTION = b"#BEGIN\r\n2001:db8::6 host6\r\n10.0.0.4 host4\r\n"
# A silent address that held up the attempt would cost its one-minute connect wait.
LIMIT_SECONDS = 5
# An attempt whose connection is never answered waits its minute; the next one must then not go
# to the same address (three attempts there would fail the cycle after three minutes).
MUTE_LIMIT_SECONDS = 75


def listen_overflows():
    """SYNs the namespace's kernel dropped for a full accept queue."""
    with open("/proc/net/netstat") as f:
        names, values = [line.split() for line in f.read().splitlines()[:2]]
    return int(values[names.index("ListenOverflows")])


def hosts_now():
    """The hosts file, or None while the program swaps in a new one."""
    try:
        return read_hosts()
    except FileNotFoundError:
        return None


class AddressesTest(E2ETestCase):
    def update_through(self, addresses, on_ipv6_loopback=None, limit=LIMIT_SECONDS):
        """Maps the service host to `addresses`, opens a "serving", "silent" or "mute" listener
        on ::1 if asked, and runs the program up to its first hosts write, which must come
        within `limit` seconds; the addresses the requests came in on."""
        map_service_host(self, addresses)
        resolved = socket.getaddrinfo(SERVICE_HOST, 80, type=socket.SOCK_STREAM)
        self.assertEqual([a[4][0] for a in resolved], addresses)  # the order the program gets
        if on_ipv6_loopback:
            self.svc.listen("::1", silent=on_ipv6_loopback == "silent",
                            mute=on_ipv6_loopback == "mute")
        write_hosts(USER_LINES)
        self.svc.queue(answer(ROWS))
        program = self.start()
        written = wait_for(lambda: hosts_now() not in (USER_LINES, None), limit + 25, step=0.02)
        seconds = time.monotonic() - program.started
        self.assertTrue(written, "no hosts write within %d s" % (limit + 25))
        print("\n%s: first hosts write %.2f s after the start" % (self._testMethodName, seconds))
        self.assertEqual(read_hosts(), USER_LINES + SECTION)
        self.assertLess(seconds, limit)
        return [r.local for r in self.svc.requests()]

    def test_a_name_with_an_ipv6_address_only_gets_its_update(self):
        self.assertEqual(self.update_through(["::1"], "serving"), ["::1"])

    def test_a_refused_ipv6_address_is_passed_over_for_the_ipv4_one(self):
        self.assertEqual(self.update_through(["::1", "127.0.0.1"]), ["127.0.0.1"])

    def test_a_first_address_that_drops_the_syn_costs_no_wait(self):
        before = listen_overflows()
        self.assertEqual(self.update_through(["::1", "127.0.0.1"], "silent"), ["127.0.0.1"])
        self.assertGreater(listen_overflows(), before, "the silent address was not tried")

    def test_an_ipv6_address_that_never_answers_is_passed_over_on_the_next_attempt(self):
        self.assertEqual(self.update_through(["::1", "127.0.0.1"], "mute", MUTE_LIMIT_SECONDS),
                         ["::1", "127.0.0.1"])

    def test_twenty_thousand_unreachable_addresses_neither_crash_nor_stall_the_program(self):
        # No route leads out of the namespace: each connect fails at once.
        map_service_host(self, ["10.%d.%d.%d" % (i // 62500, i // 250 % 250, i % 250 + 1)
                                for i in range(20000)])
        write_hosts(USER_LINES)
        program = self.start()
        # The window shows once start-up's cycle is over: three attempts that fail at once.
        self.wait_window(timeout=30)
        seconds = time.monotonic() - program.started
        print("\n%s: window %.2f s after the start" % (self._testMethodName, seconds))
        self.assertTrue(program.running())
        self.assertEqual(self.svc.requests(), [])
        self.assertEqual(read_hosts(), USER_LINES)


if __name__ == "__main__":
    unittest.main()
