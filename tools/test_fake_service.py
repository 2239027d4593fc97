"""Checks of the fake domain service itself: python3 -m unittest discover -s tools -v"""

import os
import socket
import subprocess
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from service_client import ServiceClient, answer, hold, status  # noqa: E402

REQUEST = b"GET /kalvanedns/getdomain.asp HTTP/1.1\r\nHost: dns.kalvane.example\r\n\r\n"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class FakeServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.port, cls.control = free_port(), free_port()
        cls.proc = subprocess.Popen(
            [sys.executable, os.path.join(HERE, "fake_service.py"), "--port", str(cls.port),
             "--control-port", str(cls.control), "--linger", "5", "--hold", "5"],
            stdout=subprocess.DEVNULL)
        cls.svc = ServiceClient("http://127.0.0.1:%d" % cls.control)
        deadline = time.monotonic() + 10
        while not cls.svc.healthy():
            if time.monotonic() > deadline:
                raise RuntimeError("fake service did not come up")
            time.sleep(0.05)

    @classmethod
    def tearDownClass(cls):
        cls.proc.kill()
        cls.proc.wait(5)

    def setUp(self):
        self.svc.reset()

    def exchange(self, request=REQUEST, timeout=3.0, until_close=False):
        """Sends a request and reads until the response is complete (or, with `until_close`,
        until the server closes), or until `timeout` passes in silence."""
        received, closed_by = b"", "timeout"
        with socket.create_connection(("127.0.0.1", self.port), timeout=timeout) as s:
            s.sendall(request)
            try:
                while True:
                    piece = s.recv(65536)
                    if not piece:
                        closed_by = "fin"
                        break
                    received += piece
                    if not until_close and self.complete(received):
                        break
            except ConnectionResetError:
                closed_by = "reset"
            except socket.timeout:
                pass
        return received, closed_by

    @staticmethod
    def complete(data):
        head, sep, body = data.partition(b"\r\n\r\n")
        for line in head.split(b"\r\n"):
            if line.startswith(b"Content-Length: "):
                return sep and len(body) >= int(line[16:])
        return False

    def test_normal_answer_and_exact_record(self):
        self.svc.queue(answer([("host1", "10.0.0.1"), ("host2", "10.0.0.2")]))
        data, _ = self.exchange()
        body = b"<p>OK</p>\r\n<p>BEGIN</p>\r\n<p>host1&nbsp;10.0.0.1</p>\r\n" \
               b"<p>host2&nbsp;10.0.0.2</p>\r\n<p>END</p>"
        self.assertTrue(data.startswith(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n" % len(body)))
        self.assertTrue(data.endswith(b"\r\n\r\n" + body))
        # The queue is used up: the default answer (accepted, no rows) follows.
        data, _ = self.exchange(b"GET /x HTTP/1.1\r\n\r\nsurplus")
        self.assertTrue(data.endswith(b"\r\n\r\n<p>OK</p>\r\n<p>BEGIN</p>\r\n<p>END</p>"))
        reqs = self.svc.wait_requests(2, 5)
        self.assertEqual([r.data for r in reqs], [REQUEST, b"GET /x HTTP/1.1\r\n\r\n"])
        self.assertTrue(all(r.complete for r in reqs))

    def test_status_length_and_queue_order(self):
        self.svc.queue(status("HTTP/1.1 500 Internal Server Error", repeat=2),
                       answer(ok=False, content_length=None),
                       answer(content_length=3, extra="XYZ"))
        self.svc.set_default(status("HTTP/1.0 200 OK"))
        first, second, third, fourth, fifth = (self.exchange()[0] for _ in range(5))
        self.assertTrue(first.startswith(b"HTTP/1.1 500 Internal Server Error\r\n"))
        self.assertEqual(first, second)
        self.assertNotIn(b"Content-Length", third)
        self.assertTrue(third.endswith(b"\r\n\r\n<p>BEGIN</p>\r\n<p>END</p>"))
        self.assertIn(b"Content-Length: 3\r\n", fourth)
        self.assertTrue(fourth.endswith(b"<p>END</p>XYZ"))
        self.assertTrue(fifth.startswith(b"HTTP/1.0 200 OK\r\n"))

    def test_pieces_early_close_and_reset(self):
        self.svc.queue(answer(chunk=1, delay=0.01, close=True), answer(close_after=20),
                       answer(reset_after=10))
        start = time.monotonic()
        data, closed_by = self.exchange(until_close=True)
        self.assertGreater(time.monotonic() - start, 0.5)  # about 80 bytes, 10 ms apart
        self.assertTrue(self.complete(data))
        self.assertEqual(closed_by, "fin")
        data, closed_by = self.exchange()
        self.assertEqual((data, closed_by), (b"HTTP/1.1 200 OK\r\nCon", "fin"))
        data, closed_by = self.exchange()
        self.assertEqual(closed_by, "reset")
        self.assertLessEqual(len(data), 10)

    def test_hold_sends_nothing_and_reset_releases_it(self):
        self.svc.queue(hold())
        data, closed_by = self.exchange(timeout=1.0)
        self.assertEqual((data, closed_by), (b"", "timeout"))
        # A client that gives up before the blank line is recorded with what it sent.
        with socket.create_connection(("127.0.0.1", self.port)) as s:
            s.sendall(b"GET / HTTP/1.1\r\n")
        reqs = self.svc.wait_requests(2, 5)
        self.assertEqual(reqs[1].data, b"GET / HTTP/1.1\r\n")
        self.assertFalse(reqs[1].complete)
        self.svc.reset()
        self.assertEqual(self.svc.requests(), [])

    def test_rejects_unknown_keys(self):
        with self.assertRaises(OSError):
            self.svc.queue({"stauts": "HTTP/1.1 500"})

    def test_listeners_on_ipv6_serving_or_silent_until_reset(self):
        self.svc.listen("::1")
        with socket.create_connection(("::1", self.port), timeout=3) as s:
            s.sendall(REQUEST)
            self.assertTrue(s.recv(65536).startswith(b"HTTP/1.1 200 OK"))
        self.assertEqual([r.local for r in self.svc.wait_requests(1, 3)], ["::1"])
        self.svc.reset()
        self.svc.listen("::1", silent=True)
        with self.assertRaises(socket.timeout):
            socket.create_connection(("::1", self.port), timeout=1).close()
        self.svc.reset()
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection(("::1", self.port), timeout=1).close()
        # A mute listener takes the request and never answers, and leaves the queue alone.
        self.svc.queue(answer())
        self.svc.listen("::1", mute=True)
        with socket.create_connection(("::1", self.port), timeout=3) as s:
            s.sendall(REQUEST)
            s.settimeout(1)
            with self.assertRaises(socket.timeout):
                s.recv(65536)
        self.assertEqual([r.local for r in self.svc.wait_requests(1, 3)], ["::1"])
        with socket.create_connection(("127.0.0.1", self.port), timeout=3) as s:
            s.sendall(REQUEST)
            self.assertTrue(s.recv(65536).startswith(b"HTTP/1.1 200 OK"))
        self.svc.reset()


if __name__ == "__main__":
    unittest.main()
