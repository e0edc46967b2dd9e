"""Loopback servers for the benchmark that nginx cannot play.

paced: a length-delimited body sent in fixed pieces at a fixed pace, so that
       a client's achieved speed can be read as a fraction of the pace.
small: one small body in a chosen framing (length, chunked or
       close-delimited), the same bytes for every client, so that the program
       and the floor are timed on the same response.

Each server listens on 127.0.0.1 only, serves at most a given number of
connections, and stops by itself at its deadline whatever happens.
Run as a script it prints its port on the first line of stdout.
"""

import argparse
import socket
import sys
import threading
import time

PIECE = 64 * 1024


def read_head(conn, limit=64 * 1024, timeout=10.0):
    """Reads a request head; returns its bytes, or None if it never ended."""
    conn.settimeout(timeout)
    data = b""
    while b"\r\n\r\n" not in data:
        if len(data) > limit:
            return None
        try:
            chunk = conn.recv(4096)
        except OSError:
            return None
        if not chunk:
            return None
        data += chunk
    return data


def body_bytes(size, seed=0):
    """Deterministic, non-repeating-looking bytes, so a misplaced piece shows."""
    block = bytes((i * 131 + seed * 7 + (i >> 8)) & 0xFF for i in range(4096))
    whole, rest = divmod(size, len(block))
    return block * whole + block[:rest]


def chunked(body, piece=300):
    out = b""
    for i in range(0, len(body), piece):
        part = body[i:i + piece]
        out += b"%x\r\n" % len(part) + part + b"\r\n"
    return out + b"0\r\n\r\n"


def small_response(mode, body):
    if mode == "length":
        return b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: close\r\n\r\n" % len(body) + body
    if mode == "chunked":
        return b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n" + chunked(body)
    if mode == "close":
        return b"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body
    raise ValueError(mode)


def serve_paced(conn, total, rate):
    """Sends the head at once, then PIECE bytes at absolute deadlines, so
    that a late wake-up is made up by the next piece instead of adding up.
    The last piece leaves at exactly total / rate seconds: a client that
    keeps the pace finishes just after that."""
    if read_head(conn) is None:
        return
    conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: close\r\n\r\n" % total)
    piece = body_bytes(PIECE)
    interval = PIECE / rate
    start = time.monotonic()
    sent = 0
    i = 0
    while sent < total:
        delay = start + (i + 1) * interval - time.monotonic()
        if delay > 0:
            time.sleep(delay)
        n = min(PIECE, total - sent)
        conn.sendall(piece[:n])
        sent += n
        i += 1


def serve_small(conn, response):
    if read_head(conn) is None:
        return
    conn.sendall(response)


class Server:
    """Accepts up to `connections` clients, one thread each, until `deadline`
    seconds have passed; then closes the listener."""

    def __init__(self, handler, connections, deadline):
        self.handler = handler
        self.connections = connections
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(16)
        self.port = self.listener.getsockname()[1]
        self.end = time.monotonic() + deadline

    def run(self):
        served = 0
        workers = []
        while served < self.connections:
            left = self.end - time.monotonic()
            if left <= 0:
                break
            self.listener.settimeout(min(left, 1.0))
            try:
                conn, _ = self.listener.accept()
            except socket.timeout:
                continue
            served += 1
            t = threading.Thread(target=self._one, args=(conn,), daemon=True)
            t.start()
            workers.append(t)
        self.listener.close()
        for t in workers:
            t.join(max(0.0, self.end - time.monotonic()))

    def _one(self, conn):
        try:
            conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            self.handler(conn)
        except OSError:
            pass
        finally:
            try:
                conn.shutdown(socket.SHUT_WR)
                # Drain briefly so the close is orderly, not a reset.
                conn.settimeout(1.0)
                while conn.recv(4096):
                    pass
            except OSError:
                pass
            conn.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kind", choices=["paced", "small"])
    parser.add_argument("--mode", default="length", choices=["length", "chunked", "close"])
    parser.add_argument("--size", type=int, default=1024)
    parser.add_argument("--rate", type=float, default=8 * 1024 * 1024)
    parser.add_argument("--connections", type=int, default=10)
    parser.add_argument("--deadline", type=float, default=120.0)
    args = parser.parse_args()
    if args.kind == "paced":
        def handler(conn):
            serve_paced(conn, args.size, args.rate)
    else:
        response = small_response(args.mode, body_bytes(args.size, seed=1))

        def handler(conn):
            serve_small(conn, response)
    server = Server(handler, args.connections, args.deadline)
    print(server.port, flush=True)
    server.run()


if __name__ == "__main__":
    sys.exit(main())
