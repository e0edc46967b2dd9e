"""A loopback server that plays a script of raw socket steps to one client.

Each server listens on its own port of 127.0.0.1, takes one connection, reads
the request head (unless told not to), plays its steps and closes; it gives
up by itself at its deadline, so a test that goes wrong cannot leave it
running. Steps:

    ("send", data)              send the bytes as they are
    ("sleep", seconds)          pause
    ("trickle", data, seconds)  send one byte, then pause, for each byte
    ("endless", data)           send data again and again until the peer goes
    ("hold", seconds)           stay silent until the peer closes or time is up
    ("reset",)                  abort with SO_LINGER 0: the peer sees a reset
    ("close",)                  close at once, without waiting for the peer

After the last step the server half-closes and waits briefly for the peer to
close, so that the client sees an orderly end of stream (unless reset).
"""

import socket
import struct
import threading
import time


class ScriptedServer:
    def __init__(self, steps, read_request=True, deadline=60.0):
        self.steps = list(steps)
        self.read_request = read_request
        self.request = b""
        self.error = None
        self.connections = 0
        self.end = time.monotonic() + deadline
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(4)
        self.port = self.listener.getsockname()[1]
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def url(self, path="file.bin"):
        return f"http://127.0.0.1:{self.port}/{path}"

    def _left(self):
        return max(0.01, self.end - time.monotonic())

    def _run(self):
        try:
            self.listener.settimeout(self._left())
            conn, _ = self.listener.accept()
        except OSError:
            return
        finally:
            self.listener.close()
        self.connections += 1
        try:
            conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            if self.read_request:
                self._read_head(conn)
            if self._play(conn):
                self._finish(conn)
        except OSError as e:
            # The client going away in the middle is one of the things these
            # scripts provoke; it is remembered, not raised.
            self.error = e
        finally:
            conn.close()

    def _read_head(self, conn):
        conn.settimeout(self._left())
        while b"\r\n\r\n" not in self.request and len(self.request) < 65536:
            data = conn.recv(4096)
            if not data:
                break
            self.request += data

    def _play(self, conn):
        """Plays the steps; False when the script ends the connection itself."""
        for step in self.steps:
            kind = step[0]
            conn.settimeout(self._left())
            if kind == "send":
                conn.sendall(step[1])
            elif kind == "sleep":
                time.sleep(min(step[1], self._left()))
            elif kind == "trickle":
                for i in range(len(step[1])):
                    conn.sendall(step[1][i:i + 1])
                    if self._peer_gone(conn, step[2]):
                        return True
            elif kind == "endless":
                while time.monotonic() < self.end:
                    conn.sendall(step[1])
            elif kind == "hold":
                self._peer_gone(conn, step[1])
            elif kind == "reset":
                conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                return False
            elif kind == "close":
                return False
            else:
                raise ValueError(kind)
        return True

    def _peer_gone(self, conn, seconds):
        """Waits up to seconds; True as soon as the peer has closed."""
        conn.settimeout(min(seconds, self._left()))
        try:
            while True:
                data = conn.recv(4096)
                if not data:
                    return True
        except socket.timeout:
            return False

    def _finish(self, conn):
        try:
            conn.shutdown(socket.SHUT_WR)
            self._peer_gone(conn, 2.0)
        except OSError:
            pass

    def stop(self):
        self.end = time.monotonic()
        try:
            # shutdown wakes an accept that is still waiting; close alone does not.
            self.listener.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        try:
            self.listener.close()
        except OSError:
            pass
        self.thread.join(5)
