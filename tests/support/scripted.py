"""A loopback server that plays a script of raw socket steps to each client.

    server = ScriptedServer(answer(send(head("Content-Length: 5") + b"hello")))
    ... point the program at server.url("x.bin") ...
    server.requests   # the request heads it read, one per connection

The steps, one language for every suite:

    read_head()              read the request head (kept in `requests`)
    send(data)               send the bytes as they are
    send_forever(data)       send data again and again until the peer goes
    send_paced(data, rate)   send data in pieces at a fixed pace (bytes/s)
    pause(seconds)           wait, whatever the peer does
    hold(seconds)            stay silent until the peer closes or time is up
    close()                  close at once, without reading what is left
    reset()                  abort: the peer sees a reset, not an end
    trickle(data, seconds)   (a list) one byte, then hold, for each byte
    answer(*steps)           (a list) read_head() followed by the steps

After the last step the server half-closes and waits briefly for the peer
to close, so the client sees an orderly end of the stream. The server
listens on a port of its own on 127.0.0.1 from the moment it is made, plays
the script to at most `connections` clients (each on a thread of its own)
and gives up by itself at its deadline, so a test that goes wrong cannot
leave it running; `stop()` (or leaving the `with` block) ends it at once.
"""
import socket
import struct
import threading
import time
from dataclasses import dataclass

from .ports import HOST, url as port_url
from .wire import read_head as read_request_head

HEAD_LIMIT = 64 * 1024


@dataclass(frozen=True)
class Step:
    kind: str
    data: bytes = b""
    seconds: float = 0.0
    rate: float = 0.0
    piece: int = 0


def read_head():
    return Step("read_head")


def send(data):
    return Step("send", data=bytes(data))


def send_forever(data):
    return Step("send_forever", data=bytes(data))


def send_paced(data, rate, piece=64 * 1024):
    return Step("send_paced", data=bytes(data), rate=float(rate), piece=piece)


def pause(seconds):
    return Step("pause", seconds=seconds)


def hold(seconds):
    return Step("hold", seconds=seconds)


def close():
    return Step("close")


def reset():
    return Step("reset")


def trickle(data, seconds):
    """One byte at a time with a hold of seconds after each; it stops early
    once the peer has gone (the next send fails)."""
    steps = []
    for i in range(len(data)):
        steps += [send(data[i:i + 1]), hold(seconds)]
    return steps


def answer(*steps):
    """The usual script: read the request head, then the steps."""
    flat = []
    for step in steps:
        flat += step if isinstance(step, (list, tuple)) else [step]
    return [read_head(), *flat]


class ScriptedServer:
    def __init__(self, steps, connections=1, deadline=60.0):
        self.steps = list(steps)
        for step in self.steps:
            if not isinstance(step, Step):
                raise TypeError(f"not a step: {step!r}")
        self.limit = connections
        self.end = time.monotonic() + deadline
        self.requests = []  # the head read_head got on each connection, in order
        self.errors = []  # the client going away mid-script is one of the things scripts provoke
        self.connections = 0
        self._lock = threading.Lock()
        self._workers = []
        self._open = set()  # connections still being played, for stop() to wake
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.bind((HOST, 0))
        self.listener.listen(16)
        self.port = self.listener.getsockname()[1]
        self._acceptor = threading.Thread(target=self._accept, daemon=True)
        self._acceptor.start()

    def url(self, path="file.bin"):
        return port_url(self.port, path)

    @property
    def request(self):
        """The first connection's request head, or b"" when none came."""
        with self._lock:
            return self.requests[0] if self.requests else b""

    def _left(self):
        return max(0.01, self.end - time.monotonic())

    def _accept(self):
        try:
            while self.connections < self.limit and time.monotonic() < self.end:
                self.listener.settimeout(min(self._left(), 0.5))
                try:
                    conn, _ = self.listener.accept()
                except socket.timeout:
                    continue
                with self._lock:
                    self.connections += 1
                    self._open.add(conn)
                worker = threading.Thread(target=self._serve, args=(conn,), daemon=True)
                worker.start()
                self._workers.append(worker)
        except OSError:
            pass  # stop() shut the listener
        finally:
            self.listener.close()

    def _serve(self, conn):
        try:
            conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            if self._play(conn):
                self._finish(conn)
        except OSError as e:
            with self._lock:
                self.errors.append(e)
        finally:
            with self._lock:
                self._open.discard(conn)
            conn.close()

    def _play(self, conn):
        """Plays the steps; False when the script ends the connection itself."""
        for step in self.steps:
            conn.settimeout(self._left())
            kind = step.kind
            if kind == "read_head":
                got = read_request_head(conn, HEAD_LIMIT, self._left())
                with self._lock:
                    self.requests.append(got or b"")
            elif kind == "send":
                conn.sendall(step.data)
            elif kind == "send_forever":
                while time.monotonic() < self.end:
                    conn.sendall(step.data)
            elif kind == "send_paced":
                self._send_paced(conn, step)
            elif kind == "pause":
                time.sleep(min(step.seconds, self._left()))
            elif kind == "hold":
                self._peer_gone(conn, step.seconds)
            elif kind == "reset":
                conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                return False
            elif kind == "close":
                return False
            else:
                raise ValueError(kind)
        return True

    def _send_paced(self, conn, step):
        """Each piece leaves at its own absolute time, so a late wake-up is
        made up by the next piece instead of adding up; the last leaves at
        len(data) / rate seconds after the first byte could have."""
        data = memoryview(step.data)
        interval = step.piece / step.rate
        start = time.monotonic()
        for i, at in enumerate(range(0, len(data), step.piece)):
            delay = start + (i + 1) * interval - time.monotonic()
            if delay > 0:
                time.sleep(min(delay, self._left()))
            conn.sendall(data[at:at + step.piece])

    def _peer_gone(self, conn, seconds):
        """Waits up to seconds; True as soon as the peer has closed."""
        conn.settimeout(min(seconds, self._left()))
        try:
            while conn.recv(4096):
                pass
            return True
        except socket.timeout:
            return False

    def _finish(self, conn):
        try:
            conn.shutdown(socket.SHUT_WR)
            self._peer_gone(conn, 2.0)
        except OSError:
            pass

    def wait(self, timeout=None):
        """Waits until every connection it will take has been served (or the
        deadline passed); True when nothing is left running."""
        end = time.monotonic() + (timeout if timeout is not None else self._left() + 5)
        self._acceptor.join(max(0.0, end - time.monotonic()))
        for worker in list(self._workers):
            worker.join(max(0.0, end - time.monotonic()))
        return not self._acceptor.is_alive() and not any(w.is_alive() for w in self._workers)

    def stop(self):
        self.end = time.monotonic()
        try:
            # shutdown wakes an accept that is still waiting; close alone does not.
            self.listener.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        with self._lock:
            playing = list(self._open)
        for conn in playing:
            try:
                conn.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        self.wait(5)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
