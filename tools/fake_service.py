#!/usr/bin/env python3
"""Fake domain service for Kalvane's end-to-end tests (a test tool, not part of the product).

It listens for the program's HTTP GET on 127.0.0.1:80 (``--port``) and answers in the
service's form::

    HTTP/1.1 200 OK\\r\\nContent-Length: N\\r\\nContent-Type: text/html\\r\\n\\r\\n
    <p>OK</p>\\r\\n            (only when the account is accepted)
    <p>BEGIN</p>\\r\\n
    <p>HOST&nbsp;ADDRESS</p>\\r\\n   (one row per mapping)
    <p>END</p>

How it answers is set per connection by *behaviours*. A queue of behaviours is consumed in
order, one per accepted connection; when the queue is empty the default behaviour applies
(at start: accepted account, no mappings). A behaviour is a JSON object; every key is
optional:

    mappings        [[host, address], ...]   rows of the body (default [])
    ok              bool      put "<p>OK</p>" first in the body (default true)
    body            str       the whole body, instead of the one built from ok/mappings
    body_hex        str       the body as hex bytes (wins over body)
    status          str       the status line (default "HTTP/1.1 200 OK")
    content_length  int|"auto"|null   the Content-Length value: "auto" (default) is the
                              body's length, an int is announced as given (shorter or
                              longer than the body), null leaves the header out
    headers         [str]     further header lines, after Content-Length
    extra           str       bytes sent after the body and not counted in Content-Length
    raw_hex         str       send exactly these bytes as the whole response
    chunk           int       bytes per send (default: everything in one send)
    delay           float     seconds between two sends (default 0)
    delay_before    float     seconds between reading the request and the first send
    hold            bool      never answer: keep the connection open, send nothing
    close_after     int       send only the first K bytes of the response, then close (FIN)
    reset_after     int       send only the first K bytes, then reset (SO_LINGER 0, RST)
    close           bool      close right after the response (default false: wait, up to
                              ``--linger`` seconds, for the client to close, as a
                              keep-alive server does)
    repeat          int       the behaviour stands for this many connections (default 1)

Every connection is recorded in order of acceptance: the exact bytes the client sent up to
and including the first blank line (CR LF CR LF), or up to the connection's end, whichever
comes first, and the address it came in on. Records go to memory (for the control endpoint) and, with ``--log``, as JSON
lines to a file kept as a test artefact.

Control: a small HTTP endpoint on 127.0.0.1:8079 (``--control-port``), JSON in and out:

    POST /queue      body: one behaviour or a list; appended to the queue
    POST /default    body: one behaviour; the default from now on
    POST /listen     body: {"address": "::1", "silent": false}; listens on the service's
                     port at one more address (IPv6 or IPv4) until the next reset. A silent
                     listener answers nothing: its accept queue is full (listen(0), filled by
                     a connection that is never accepted), so that the kernel drops every
                     further SYN and a client's connect neither succeeds nor fails.
                     With "mute": true the listener accepts every connection, records its
                     request and then says nothing until the client closes, without taking a
                     behaviour from the queue (a server that is up but broken).
    POST /reset      empty the queue, forget the records, restore the default behaviour,
                     drop connections that are still held open and close the listeners
                     opened through /listen
    GET  /requests   {"requests": [{"index", "time", "peer_port", "local", "hex", "text",
                     "complete", "behaviour"}, ...]}; "local" is the address the connection
                     came in on, "hex" the exact bytes, "text" the same bytes decoded as
                     Latin-1
    GET  /wait?count=N&timeout=S   waits until N connections have been recorded (request
                     read to the blank line or to the connection's end) or S seconds have
                     passed; answers like /requests
    GET  /health     {"ok": true}

Example: ``python3 tools/fake_service.py --port 8080 --control-port 8079 --log svc.jsonl``
then ``curl -d '{"status": "HTTP/1.1 500 Internal Server Error", "repeat": 3}'
http://127.0.0.1:8079/queue``.
"""

import argparse
import json
import socket
import struct
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlparse

REQUEST_END = b"\r\n\r\n"
READ_LIMIT = 65536
DEFAULT_BEHAVIOUR = {"ok": True, "mappings": []}
KNOWN_KEYS = {
    "mappings", "ok", "body", "body_hex", "status", "content_length", "headers", "extra",
    "raw_hex", "chunk", "delay", "delay_before", "hold", "close_after", "reset_after",
    "close", "repeat",
}


class BehaviourError(ValueError):
    pass


def validate(behaviour):
    if not isinstance(behaviour, dict):
        raise BehaviourError("a behaviour is a JSON object")
    unknown = set(behaviour) - KNOWN_KEYS
    if unknown:
        raise BehaviourError("unknown keys: " + ", ".join(sorted(unknown)))
    for row in behaviour.get("mappings", []):
        if not (isinstance(row, list) and len(row) == 2 and all(isinstance(v, str) for v in row)):
            raise BehaviourError("mappings are [host, address] pairs of strings")
    length = behaviour.get("content_length", "auto")
    if not (length is None or length == "auto" or isinstance(length, int)):
        raise BehaviourError('content_length is "auto", an integer or null')
    return behaviour


def build_body(behaviour):
    if "body_hex" in behaviour:
        return bytes.fromhex(behaviour["body_hex"])
    if "body" in behaviour:
        return behaviour["body"].encode("utf-8")
    text = "<p>OK</p>\r\n" if behaviour.get("ok", True) else ""
    text += "<p>BEGIN</p>\r\n"
    for host, address in behaviour.get("mappings", []):
        text += "<p>%s&nbsp;%s</p>\r\n" % (host, address)
    text += "<p>END</p>"
    return text.encode("utf-8")


def build_response(behaviour):
    """The exact bytes that a behaviour sends (before any early close or reset)."""
    if "raw_hex" in behaviour:
        return bytes.fromhex(behaviour["raw_hex"])
    body = build_body(behaviour)
    lines = [behaviour.get("status", "HTTP/1.1 200 OK")]
    length = behaviour.get("content_length", "auto")
    if length == "auto":
        lines.append("Content-Length: %d" % len(body))
    elif length is not None:
        lines.append("Content-Length: %d" % length)
    lines.append("Content-Type: text/html")
    lines.extend(behaviour.get("headers", []))
    head = ("\r\n".join(lines) + "\r\n\r\n").encode("utf-8")
    return head + body + behaviour.get("extra", "").encode("utf-8")


class Recorder:
    """The queue of behaviours and the ordered record of connections, shared by all threads."""

    def __init__(self, log_path):
        self._cond = threading.Condition()
        self._queue = []
        self._default = dict(DEFAULT_BEHAVIOUR)
        self._records = []
        self._finished = 0
        self._generation = 0
        self._log_path = log_path

    def queue(self, behaviours):
        with self._cond:
            for b in behaviours:
                self._queue.extend([validate(b)] * max(1, int(b.get("repeat", 1))))

    def set_default(self, behaviour):
        with self._cond:
            self._default = validate(behaviour)

    def reset(self):
        with self._cond:
            self._queue.clear()
            self._default = dict(DEFAULT_BEHAVIOUR)
            self._records.clear()
            self._finished = 0
            self._generation += 1
            self._cond.notify_all()
        self._log({"event": "reset", "time": time.time()})

    def generation(self):
        with self._cond:
            return self._generation

    def accept(self, peer_port, local, fixed=None):
        """Takes the behaviour for a new connection (`fixed` instead of the queue's when
        given) and reserves its record slot."""
        with self._cond:
            if fixed is not None:
                behaviour = fixed
            else:
                behaviour = self._queue.pop(0) if self._queue else self._default
            record = {
                "index": len(self._records), "time": time.time(), "peer_port": peer_port,
                "local": local, "hex": "", "text": "", "complete": False, "behaviour": behaviour,
                "finished": False,
            }
            self._records.append(record)
            return behaviour, record, self._generation

    def finish(self, record, data, generation):
        with self._cond:
            record.update(hex=data.hex(), text=data.decode("latin-1"),
                          complete=REQUEST_END in data, finished=True)
            if generation == self._generation:
                self._finished += 1
            self._cond.notify_all()
        self._log(dict(record, event="request"))

    def snapshot(self):
        with self._cond:
            return [dict(r) for r in self._records]

    def wait(self, count, timeout):
        deadline = time.monotonic() + timeout
        with self._cond:
            while self._finished < count:
                left = deadline - time.monotonic()
                if left <= 0:
                    break
                self._cond.wait(left)
            return [dict(r) for r in self._records]

    def _log(self, entry):
        if not self._log_path:
            return
        with self._cond, open(self._log_path, "a", encoding="utf-8") as f:
            f.write(json.dumps(entry, ensure_ascii=False) + "\n")


def read_request(conn, timeout):
    """Reads up to and including the first blank line, or to the connection's end.

    Byte by byte, so that nothing past the blank line is taken; requests are a few dozen bytes.
    """
    data = b""
    conn.settimeout(timeout)
    try:
        while not data.endswith(REQUEST_END) and len(data) < READ_LIMIT:
            piece = conn.recv(1)
            if not piece:
                break
            data += piece
    except OSError:
        pass
    return data


def sleep_unless_reset(recorder, generation, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if recorder.generation() != generation:
            return False
        time.sleep(min(0.05, max(0.0, deadline - time.monotonic())))
    return recorder.generation() == generation


def wait_for_client_close(conn, recorder, generation, seconds):
    conn.settimeout(0.1)
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and recorder.generation() == generation:
        try:
            if not conn.recv(4096):
                return
        except socket.timeout:
            continue
        except OSError:
            return


def serve_connection(conn, peer, recorder, args, fixed=None):
    with conn:
        behaviour, record, generation = recorder.accept(peer[1], conn.getsockname()[0], fixed)
        data = read_request(conn, args.request_timeout)
        recorder.finish(record, data, generation)
        if behaviour.get("hold"):
            wait_for_client_close(conn, recorder, generation, args.hold)
            return
        response = build_response(behaviour)
        cut = None
        if "reset_after" in behaviour:
            cut = behaviour["reset_after"]
        elif "close_after" in behaviour:
            cut = behaviour["close_after"]
        if cut is not None:
            response = response[:cut]
        chunk = max(1, int(behaviour.get("chunk") or len(response) or 1))
        delay = float(behaviour.get("delay", 0))
        if not sleep_unless_reset(recorder, generation, float(behaviour.get("delay_before", 0))):
            return
        try:
            for start in range(0, len(response), chunk):
                if start and delay and not sleep_unless_reset(recorder, generation, delay):
                    return
                conn.sendall(response[start : start + chunk])
        except OSError:
            return
        if "reset_after" in behaviour:
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            return
        if "close_after" in behaviour or behaviour.get("close"):
            return
        wait_for_client_close(conn, recorder, generation, args.linger)


def run_service(listener, recorder, args, fixed=None):
    while True:
        try:
            conn, peer = listener.accept()
        except OSError:
            return
        threading.Thread(target=serve_connection, args=(conn, peer, recorder, args, fixed),
                         daemon=True).start()


def listening_socket(address, port, backlog):
    family = socket.AF_INET6 if ":" in address else socket.AF_INET
    listener = socket.socket(family, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    if family == socket.AF_INET6:
        listener.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 1)
    listener.bind((address, port))
    listener.listen(backlog)
    return listener


def fill_accept_queue(listener, address, port):
    """Connects until a connect goes unanswered; the sockets that got in, which keep the queue
    full for as long as they stay open."""
    held = []
    for _ in range(8):
        probe = socket.socket(listener.family, socket.SOCK_STREAM)
        probe.settimeout(0.3)
        try:
            probe.connect((address, port))
        except socket.timeout:
            probe.close()
            return held
        held.append(probe)
    for s in held:
        s.close()
    raise OSError("the accept queue of %s did not fill" % address)


class Listeners:
    """The listeners opened through /listen, on the service's port, until the next reset."""

    def __init__(self, recorder, args):
        self._recorder, self._args = recorder, args
        self._lock = threading.Lock()
        self._sockets = []

    def open(self, address, silent, mute=False):
        port = self._args.port
        listener = listening_socket(address, port, 0 if silent else 64)
        try:
            held = fill_accept_queue(listener, address, port) if silent else []
        except OSError:
            listener.close()
            raise
        if not silent:
            fixed = {"hold": True} if mute else None
            threading.Thread(target=run_service,
                             args=(listener, self._recorder, self._args, fixed),
                             daemon=True).start()
        with self._lock:
            self._sockets += [listener] + held

    def close_all(self):
        with self._lock:
            sockets, self._sockets = self._sockets, []
        for s in sockets:
            try:
                s.shutdown(socket.SHUT_RDWR)  # wakes an accept() waiting on it
            except OSError:
                pass
            s.close()


def control_handler(recorder, listeners):
    class Handler(BaseHTTPRequestHandler):
        def log_message(self, *unused):
            pass

        def _answer(self, code, payload):
            data = json.dumps(payload, ensure_ascii=False).encode("utf-8")
            self.send_response(code)
            self.send_header("Content-Type", "application/json")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)

        def _json_body(self):
            length = int(self.headers.get("Content-Length", "0"))
            raw = self.rfile.read(length) if length else b""
            return json.loads(raw.decode("utf-8")) if raw.strip() else None

        def do_GET(self):
            url = urlparse(self.path)
            if url.path == "/health":
                self._answer(200, {"ok": True})
            elif url.path == "/requests":
                self._answer(200, {"requests": recorder.snapshot()})
            elif url.path == "/wait":
                query = parse_qs(url.query)
                count = int(query.get("count", ["1"])[0])
                timeout = min(float(query.get("timeout", ["10"])[0]), 600.0)
                self._answer(200, {"requests": recorder.wait(count, timeout)})
            else:
                self._answer(404, {"error": "no such path"})

        def do_POST(self):
            try:
                body = self._json_body()
                path = urlparse(self.path).path
                if path == "/queue":
                    recorder.queue(body if isinstance(body, list) else [body])
                elif path == "/default":
                    recorder.set_default(body)
                elif path == "/listen":
                    listeners.open(str(body["address"]), bool(body.get("silent", False)),
                                   bool(body.get("mute", False)))
                elif path == "/reset":
                    listeners.close_all()
                    recorder.reset()
                else:
                    self._answer(404, {"error": "no such path"})
                    return
                self._answer(200, {"ok": True})
            except (ValueError, KeyError, TypeError, BehaviourError) as e:
                self._answer(400, {"error": str(e)})
            except OSError as e:
                self._answer(500, {"error": str(e)})

    return Handler


def main(argv=None):
    parser = argparse.ArgumentParser(description="Fake domain service for end-to-end tests.")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=80)
    parser.add_argument("--control-port", type=int, default=8079)
    parser.add_argument("--log", help="append every request as a JSON line to this file")
    parser.add_argument("--request-timeout", type=float, default=30.0,
                        help="seconds to wait for the request's blank line")
    parser.add_argument("--linger", type=float, default=130.0,
                        help="seconds to keep an answered connection open for the client")
    parser.add_argument("--hold", type=float, default=300.0,
                        help="seconds that a 'hold' behaviour keeps the connection open")
    args = parser.parse_args(argv)

    recorder = Recorder(args.log)
    listener = listening_socket(args.host, args.port, 64)
    listeners = Listeners(recorder, args)
    control = ThreadingHTTPServer((args.host, args.control_port),
                                  control_handler(recorder, listeners))
    control.daemon_threads = True
    threading.Thread(target=run_service, args=(listener, recorder, args), daemon=True).start()
    print("fake service on %s:%d, control on %s:%d" %
          (args.host, args.port, args.host, args.control_port), flush=True)
    try:
        control.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
