"""A small HTTP forward proxy for the end-to-end tests, standing in for an office proxy.

It takes requests in absolute form ("GET http://host/path HTTP/1.1"), records each request's
bytes up to its blank line, and forwards it in origin form to one upstream address (the fake
service) whatever the host: it resolves names its own way, as a real proxy does. With
`basic_only` it answers every request with a 407 that offers Basic alone.
"""

import select
import socket
import threading

REQUEST_END = b"\r\n\r\n"


class ForwardProxy:
    def __init__(self, address, port, upstream=("127.0.0.1", 80), basic_only=False):
        self.address, self.port, self.upstream = address, port, upstream
        self.basic_only = basic_only
        self.requests = []
        self._lock = threading.Lock()
        self._listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._listener.bind((address, port))
        self._listener.listen(16)
        self._closed = False
        threading.Thread(target=self._accept, daemon=True).start()

    def recorded(self):
        with self._lock:
            return list(self.requests)

    def close(self):
        self._closed = True
        try:
            self._listener.shutdown(socket.SHUT_RDWR)  # wakes the accepting thread
        except OSError:
            pass
        self._listener.close()

    def _accept(self):
        while not self._closed:
            try:
                conn, _ = self._listener.accept()
            except OSError:
                return
            threading.Thread(target=self._serve, args=(conn,), daemon=True).start()

    def _serve(self, conn):
        with conn:
            data = b""
            while True:
                conn.settimeout(30)
                try:
                    while REQUEST_END not in data:
                        chunk = conn.recv(65536)
                        if not chunk:
                            return
                        data += chunk
                except OSError:
                    return
                request, data = data.split(REQUEST_END, 1)
                request += REQUEST_END
                with self._lock:
                    self.requests.append(request)
                first = request.split(b"\r\n", 1)[0].split(b" ")
                target = first[1] if len(first) == 3 else b""
                if self.basic_only:
                    conn.sendall(b"HTTP/1.1 407 Proxy Authentication Required\r\n"
                                 b"Proxy-Authenticate: Basic realm=\"office\"\r\n"
                                 b"Content-Length: 0\r\n\r\n")
                    continue
                if not target.startswith(b"http://"):
                    conn.sendall(b"HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n")
                    return
                path = b"/" + target[len(b"http://"):].split(b"/", 1)[-1] if b"/" in target[7:] \
                    else b"/"
                self._relay(conn, b" ".join([first[0], path, first[2]]) + b"\r\n"
                            + request.split(b"\r\n", 1)[1])
                return

    def _relay(self, conn, request):
        try:
            upstream = socket.create_connection(self.upstream, timeout=10)
        except OSError:
            conn.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n")
            return
        with upstream:
            upstream.sendall(request)
            peers = {conn: upstream, upstream: conn}
            while True:
                readable, _, _ = select.select(list(peers), [], [], 60)
                if not readable:
                    return
                for side in readable:
                    chunk = side.recv(65536)
                    if not chunk:
                        return
                    peers[side].sendall(chunk)
