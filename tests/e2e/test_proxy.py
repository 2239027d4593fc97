"""The way to the service through the proxy the user's Internet Settings name: a fixed proxy on
127.0.0.2 reached when the service's name does not resolve, one that is not listening given up
for going direct, and a bypassed service host never sent to the proxy (a configuration script is
shown by the Windows layer's tests). Each test prints the time from the program's start to its first hosts
write."""

import struct
import subprocess
import time
import unittest

from e2e_support import (SERVICE_HOST, E2ETestCase, map_service_host, read_hosts, wait_for,
                         write_hosts)
from forward_proxy import ForwardProxy
from service_client import answer

CONNECTIONS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections"
PROXY_ADDRESS, PROXY_PORT = "127.0.0.2", 3128
USER_LINES = b"127.0.0.1 localhost\r\n"
ROWS = [("office1", "10.1.0.1"), ("office2", "10.1.0.2")]
SECTION = b"#BEGIN\r\n10.1.0.1 office1\r\n10.1.0.2 office2\r\n"
FLAG_DIRECT, FLAG_PROXY = 1, 2


def connection_settings(flags, proxy=b"", bypass=b"", script=b""):
    """The DefaultConnectionSettings value as Windows' proxy page writes it."""
    blob = struct.pack("<III", 0x46, 1, flags)
    for text in (proxy, bypass, script):
        blob += struct.pack("<I", len(text)) + text
    return blob + bytes(32)


def reg(*args):
    subprocess.run(["wine", "reg"] + list(args) + ["/f"], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=60)


class ProxySettingsUse:
    """The user's proxy settings and the proxy on 127.0.0.2 for one test."""

    def use_settings(self, blob):
        reg("add", CONNECTIONS, "/v", "DefaultConnectionSettings", "/t", "REG_BINARY", "/d",
            blob.hex())
        self.addCleanup(reg, "delete", CONNECTIONS, "/v", "DefaultConnectionSettings")

    def use_proxy(self, proxy_server, bypass=""):
        self.use_settings(connection_settings(FLAG_DIRECT | FLAG_PROXY, proxy_server.encode(),
                                              bypass.encode()))

    def start_proxy(self, **kw):
        self.proxy = ForwardProxy(PROXY_ADDRESS, PROXY_PORT, **kw)
        self.addCleanup(self.proxy.close)
        return self.proxy


class ProxyTest(ProxySettingsUse, E2ETestCase):
    def first_write(self, limit):
        """Runs the program up to its first hosts write, which must come within `limit` s."""
        write_hosts(USER_LINES)
        self.svc.queue(answer(ROWS))
        program = self.start()
        written = wait_for(lambda: read_hosts_or_none() not in (USER_LINES, None), limit + 20,
                           step=0.05)
        seconds = time.monotonic() - program.started
        self.assertTrue(written, "no hosts write within %d s" % (limit + 20))
        print("\n%s: first hosts write %.2f s after the start" % (self._testMethodName, seconds))
        self.assertEqual(read_hosts(), USER_LINES + SECTION)
        self.assertLess(seconds, limit)

    def assert_went_through(self, proxy):
        requests = proxy.recorded()
        self.assertTrue(requests, "the proxy got no request")
        self.assertEqual(requests[-1], ("GET http://%s/kalvanedns/getdomain.asp HTTP/1.1\r\n"
                                        "Host: %s\r\n\r\n" % (SERVICE_HOST, SERVICE_HOST)).encode())
        self.assertEqual(self.svc.requests()[0].data,
                         ("GET /kalvanedns/getdomain.asp HTTP/1.1\r\nHost: %s\r\n\r\n"
                          % SERVICE_HOST).encode())

    def test_a_service_name_that_does_not_resolve_is_reached_through_the_proxy(self):
        map_service_host(self, [])
        proxy = self.start_proxy()
        self.use_proxy("%s:%d" % (PROXY_ADDRESS, PROXY_PORT))
        self.first_write(10)
        self.assert_went_through(proxy)

    def test_a_proxy_that_is_not_listening_gives_way_to_going_direct(self):
        self.use_proxy("http=%s:3999;https=%s:3999" % (PROXY_ADDRESS, PROXY_ADDRESS))
        self.first_write(15)

    def test_a_bypassed_service_host_never_goes_to_the_proxy(self):
        proxy = self.start_proxy()
        self.use_proxy("%s:%d" % (PROXY_ADDRESS, PROXY_PORT),
                       "<local>;*.%s" % SERVICE_HOST.split(".", 1)[1])
        self.first_write(10)
        self.assertEqual(proxy.recorded(), [])


def read_hosts_or_none():
    try:
        return read_hosts()
    except FileNotFoundError:
        return None


if __name__ == "__main__":
    unittest.main()
