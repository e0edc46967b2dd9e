"""A loopback server that plays a script of raw socket steps to each client.

    server = ScriptedServer(answer(send(head("Content-Length: 5") + b"hello")))
    ... point the program at server.url("x.bin") ...
    server.requests   # the request heads it read, one per connection

The steps, one language for every suite:

    read_head()              read the request head (kept in `requests`)
    read_some()              read whatever the client sends first (one receive)
    send(data)               send the bytes as they are
    send_forever(data)       send data again and again until the peer goes
    send_paced(data, rate)   send data in pieces at a fixed pace (bytes/s)
    pause(seconds)           wait, whatever the peer does
    hold(seconds)            stay silent until the peer closes or time is up
    close()                  close at once, without reading what is left
                             (under TLS: without close_notify)
    close_notify()           under TLS: send close_notify (the TLS end of
                             the stream; the TCP end follows after the script)
    reset()                  abort: the peer sees a reset, not an end
    trickle(data, seconds)   (a list) one byte, then hold, for each byte
    answer(*steps)           (a list) read_head() followed by the steps
    route(table)             (a list) read_head(), then the steps the table
                             gives for the request's target (its path and
                             query), or a 404 for a target not in it

After the last step the server half-closes and waits briefly for the peer
to close, so the client sees an orderly end of the stream. The server
listens on a port of its own on 127.0.0.1 from the moment it is made, plays
the script to at most `connections` clients (each on a thread of its own)
and gives up by itself at its deadline, so a test that goes wrong cannot
leave it running; `stop()` (or leaving the `with` block) ends it at once.

With tls (an ssl.SSLContext for the server side), each connection begins
with a TLS handshake and the steps' bytes travel encrypted. The TLS side
runs on memory buffers, so piece, when given, cuts everything sent on the
wire (handshake included) into sends of that many bytes.
"""
import socket
import ssl
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
    table: tuple = ()


def read_head():
    return Step("read_head")


def read_some():
    return Step("read_some")


def close_notify():
    return Step("close_notify")


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


def route(table):
    """Answers each request by its target: table maps "/path?query" to steps
    (for a server that plays a chain of redirects to many clients)."""
    return [read_head(), Step("route", table=tuple(table.items()))]


def server_context(site):
    """A TLS server's context that sends the site's chain."""
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(str(site.chain), str(site.key))
    return context


class _TlsStream:
    """The server's side of TLS over a connected socket, with the calls of
    a socket that the steps use."""

    PIECE_GAP = 0.002  # between pieces, so that each leaves as a segment of its own

    def __init__(self, sock, context, piece):
        self.sock = sock
        self.piece = piece
        self.incoming = ssl.MemoryBIO()
        self.outgoing = ssl.MemoryBIO()
        self.tls = context.wrap_bio(self.incoming, self.outgoing, server_side=True)

    def settimeout(self, seconds):
        self.sock.settimeout(seconds)

    def setsockopt(self, *args):
        self.sock.setsockopt(*args)

    def shutdown(self, how):
        self.sock.shutdown(how)

    def _flush(self):
        data = self.outgoing.read()
        if not self.piece:
            self.sock.sendall(data)
            return
        for at in range(0, len(data), self.piece):
            self.sock.sendall(data[at:at + self.piece])
            time.sleep(self.PIECE_GAP)

    def _pull(self):
        """More bytes from the wire; False once the client has ended."""
        data = self.sock.recv(65536)
        if not data:
            self.incoming.write_eof()
            return False
        self.incoming.write(data)
        return True

    def handshake(self):
        while True:
            try:
                self.tls.do_handshake()
                self._flush()
                return
            except ssl.SSLWantReadError:
                self._flush()
                if not self._pull():
                    raise ConnectionAbortedError("the client left during the TLS handshake")

    def sendall(self, data):
        self.tls.write(data)
        self._flush()

    def recv(self, size):
        while True:
            try:
                return self.tls.read(size)
            except ssl.SSLWantReadError:
                self._flush()
                if not self._pull():
                    return b""
            except (ssl.SSLZeroReturnError, ssl.SSLEOFError):
                return b""

    def close_notify(self):
        try:
            self.tls.unwrap()
        except ssl.SSLWantReadError:
            pass  # the client's own close_notify is not waited for
        self._flush()


class ScriptedServer:
    def __init__(self, steps, connections=1, deadline=60.0, tls=None, piece=None):
        self.tls = tls
        self.piece = piece
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
            stream = conn
            if self.tls:
                conn.settimeout(self._left())
                stream = _TlsStream(conn, self.tls, self.piece)
                stream.handshake()
            if self._play(stream):
                self._finish(stream)
        except OSError as e:
            with self._lock:
                self.errors.append(e)
        finally:
            with self._lock:
                self._open.discard(conn)
            conn.close()

    def _play(self, conn, steps=None):
        """Plays the steps; False when the script ends the connection itself."""
        got = b""
        for step in self.steps if steps is None else steps:
            conn.settimeout(self._left())
            kind = step.kind
            if kind == "read_head":
                got = read_request_head(conn, HEAD_LIMIT, self._left()) or b""
                with self._lock:
                    self.requests.append(got)
            elif kind == "read_some":
                conn.recv(65536)
            elif kind == "route":
                target = got.split(b" ")[1].decode("latin-1") if got.count(b" ") >= 2 else ""
                table = dict(step.table)
                chosen = table.get(target, [send(b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n")])
                return self._play(conn, chosen)
            elif kind == "close_notify":
                conn.close_notify()
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
