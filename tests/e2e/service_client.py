"""Client of the fake domain service's control endpoint (tools/fake_service.py).

Tests queue behaviours for the next connections and read back the exact request bytes::

    svc = ServiceClient()
    svc.reset()
    svc.queue(answer([("host1", "10.0.0.1")]), status("HTTP/1.1 500 Internal Server Error"))
    reqs = svc.wait_requests(1, timeout=30)
    assert reqs[0].data == b"GET /kalvanedns/getdomain.asp HTTP/1.1\\r\\n..."
"""

import json
import os
import urllib.request
from dataclasses import dataclass

DEFAULT_CONTROL_URL = "http://127.0.0.1:8079"


@dataclass
class Request:
    index: int
    time: float
    data: bytes  # exactly what the client sent, up to and including the blank line
    complete: bool  # the blank line arrived
    behaviour: dict
    local: str  # the address the connection came in on


# Behaviour builders; the keys are described in tools/fake_service.py.
def answer(mappings=(), ok=True, **more):
    return dict(mappings=[list(m) for m in mappings], ok=ok, **more)


def status(line, **more):
    return dict(status=line, **more)


def hold():
    return {"hold": True}


def pieces(mappings=(), chunk=1, delay=0.0, ok=True):
    return answer(mappings, ok, chunk=chunk, delay=delay)


class ServiceClient:
    def __init__(self, url=None):
        self.url = (url or os.environ.get("KALVANE_E2E_CONTROL") or DEFAULT_CONTROL_URL).rstrip("/")

    def _call(self, method, path, payload=None, timeout=10.0):
        data = None if payload is None else json.dumps(payload).encode("utf-8")
        req = urllib.request.Request(self.url + path, data=data, method=method,
                                     headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(req, timeout=timeout) as resp:
            return json.loads(resp.read().decode("utf-8"))

    def healthy(self):
        try:
            return self._call("GET", "/health", timeout=2.0).get("ok") is True
        except OSError:
            return False

    def reset(self):
        self._call("POST", "/reset", {})

    def queue(self, *behaviours):
        self._call("POST", "/queue", list(behaviours))

    def set_default(self, behaviour):
        self._call("POST", "/default", behaviour)

    def listen(self, address, silent=False, mute=False):
        """The service's port at one more address until the next reset; a silent one drops
        every SYN, a mute one accepts and then never answers."""
        self._call("POST", "/listen", {"address": address, "silent": silent, "mute": mute})

    def requests(self):
        return [self._request(r) for r in self._call("GET", "/requests")["requests"]]

    def wait_requests(self, count, timeout):
        """The records once `count` requests have been read, or whatever there is at `timeout`."""
        reply = self._call("GET", "/wait?count=%d&timeout=%g" % (count, timeout),
                           timeout=timeout + 10.0)
        return [self._request(r) for r in reply["requests"]]

    @staticmethod
    def _request(r):
        return Request(r["index"], r["time"], bytes.fromhex(r["hex"]), r["complete"],
                       r["behaviour"], r["local"])
