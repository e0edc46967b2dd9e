#!/usr/bin/env python3
"""The scripted server and the wire helpers against a plain socket client,
without Wine: every other suite's verdicts rest on these steps doing what
they say."""
import os
import socket
import ssl
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from support import (CertificateAuthority, ScriptedServer, answer, chunked, close, close_notify, head,  # noqa: E402
                     hold, loopback_alias, pause, read_request_head, refused_port, reset, send, send_forever,
                     send_paced, server_context, trickle)
from support.certificates import LONG_AGO  # noqa: E402

REQUEST = b"GET /f HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"


def fetch(server, request=REQUEST, timeout=10.0):
    """(bytes received, "end" or "reset", seconds) for one connection."""
    start = time.monotonic()
    with socket.create_connection(("127.0.0.1", server.port), timeout=timeout) as c:
        if request:
            c.sendall(request)
        data = b""
        try:
            while True:
                piece = c.recv(65536)
                if not piece:
                    return data, "end", time.monotonic() - start
                data += piece
        except ConnectionResetError:
            return data, "reset", time.monotonic() - start


class Steps(unittest.TestCase):
    def test_answer_sends_the_bytes_then_ends_in_order_and_keeps_the_head(self):
        with ScriptedServer(answer(send(b"abc"), pause(0.05), send(b"def"))) as server:
            data, how, _ = fetch(server)
            self.assertTrue(server.wait(5))
        self.assertEqual((data, how), (b"abcdef", "end"))
        self.assertEqual(server.requests, [REQUEST])
        self.assertEqual(server.connections, 1)

    def test_reset_is_seen_as_a_reset_after_the_bytes_before_it(self):
        with ScriptedServer(answer(send(b"xy"), pause(0.1), reset())) as server:
            data, how, _ = fetch(server)
        self.assertEqual((data, how), (b"xy", "reset"))

    def test_close_ends_at_once_without_reading_the_request(self):
        with ScriptedServer([close()]) as server:
            data, _, _ = fetch(server, request=b"")
        self.assertEqual(data, b"")
        self.assertEqual(server.requests, [])

    def test_hold_ends_as_soon_as_the_client_goes(self):
        with ScriptedServer(answer(hold(30), send(b"late"))) as server:
            with socket.create_connection(("127.0.0.1", server.port)) as c:
                c.sendall(REQUEST)
            start = time.monotonic()
            self.assertTrue(server.wait(10))
            self.assertLess(time.monotonic() - start, 10)

    def test_trickle_and_paced_sends_keep_at_least_their_pace(self):
        with ScriptedServer(answer(trickle(b"abcd", 0.1))) as server:
            data, how, seconds = fetch(server)
        self.assertEqual((data, how), (b"abcd", "end"))
        self.assertGreaterEqual(seconds, 0.4)
        body = bytes(range(256)) * 64
        with ScriptedServer(answer(send_paced(body, rate=len(body) / 0.5, piece=1024))) as server:
            data, how, seconds = fetch(server)
        self.assertEqual((data, how), (body, "end"))
        self.assertGreaterEqual(seconds, 0.45)

    def test_connections_beyond_the_limit_are_refused(self):
        with ScriptedServer(answer(send(b"ok")), connections=2) as server:
            self.assertEqual(fetch(server)[0], b"ok")
            self.assertEqual(fetch(server)[0], b"ok")
            self.assertTrue(server.wait(5))
            with self.assertRaises(ConnectionRefusedError):
                fetch(server)

    def test_stop_ends_an_endless_send_at_once(self):
        server = ScriptedServer(answer(send_forever(b"m" * 1000)))
        c = socket.create_connection(("127.0.0.1", server.port))
        c.sendall(REQUEST)
        c.recv(1000)
        start = time.monotonic()
        server.stop()
        self.assertLess(time.monotonic() - start, 6)
        self.assertTrue(server.wait(0))
        c.close()

    def test_loopback_alias_is_another_name_of_loopback(self):
        with tempfile.TemporaryDirectory() as folder:
            hosts = os.path.join(folder, "hosts")
            common = (f"127.0.0.1 localhost localhost.localdomain\n127.0.1.1 {socket.gethostname()}\n"
                      "10.0.0.1 far\n# 127.0.0.1 commented\n")
            for extra, alias in (("127.0.0.2 second # a comment\n", "second"), ("", None)):
                with open(hosts, "w") as f:
                    f.write(common + extra)
                self.assertEqual(loopback_alias(hosts), alias)

    def test_refused_port_refuses(self):
        with refused_port() as port, self.assertRaises(ConnectionRefusedError):
            socket.create_connection(("127.0.0.1", port), timeout=5).close()


class Tls(unittest.TestCase):
    """The TLS mode of the scripted server and the suite's certificates,
    against Python's own TLS client trusting the suite's authority."""

    @classmethod
    def setUpClass(cls):
        cls.ca = CertificateAuthority("Self-test CA")
        cls.client = ssl.create_default_context(cafile=str(cls.ca.certificate))
        # Some builds let a TCP end without close_notify pass as an orderly
        # end; this client must tell the two apart.
        cls.client.options &= ~getattr(ssl, "OP_IGNORE_UNEXPECTED_EOF", 0)

    @classmethod
    def tearDownClass(cls):
        cls.ca.close()

    def fetch(self, server, name="localhost"):
        """(bytes received, "close_notify" or "cut") for one request."""
        with socket.create_connection(("127.0.0.1", server.port), timeout=10) as raw:
            with self.client.wrap_socket(raw, server_hostname=name, suppress_ragged_eofs=False) as c:
                c.sendall(REQUEST)
                data = b""
                try:
                    while piece := c.recv(65536):
                        data += piece
                    return data, "close_notify"
                except ssl.SSLError as e:
                    # Older builds name the same end only by its reason.
                    if isinstance(e, ssl.SSLEOFError) or e.reason == "UNEXPECTED_EOF_WHILE_READING":
                        return data, "cut"
                    raise

    def test_close_notify_only_when_the_script_says_so(self):
        context = server_context(self.ca.issue("good"))
        for steps, end in ((answer(send(b"abc"), close_notify()), "close_notify"), (answer(send(b"abc")), "cut")):
            for piece in (None, 7):
                with self.subTest(end=end, piece=piece), ScriptedServer(steps, tls=context, piece=piece) as server:
                    self.assertEqual(self.fetch(server), (b"abc", end))
                    self.assertEqual(server.requests, [REQUEST])

    def test_certificates_carry_their_names_and_dates(self):
        for site, name, fault in ((self.ca.issue("expired", dates=LONG_AGO), "localhost", "expired"),
                                  (self.ca.issue("other", names=["other.example"]), "localhost", "mismatch"),
                                  (self.ca.issue("other"), "other.example", "mismatch")):
            with self.subTest(site=site.name, name=name):
                with ScriptedServer(answer(send(b"x")), tls=server_context(site)) as server:
                    with self.assertRaisesRegex(ssl.SSLCertVerificationError, fault):
                        self.fetch(server, name)


class Wire(unittest.TestCase):
    def test_head_and_chunked(self):
        self.assertEqual(head("A: 1", status="HTTP/1.1 404 Not Found"), b"HTTP/1.1 404 Not Found\r\nA: 1\r\n\r\n")
        self.assertEqual(chunked(b"hello", piece=2), b"2\r\nhe\r\n2\r\nll\r\n1\r\no\r\n0\r\n\r\n")
        self.assertEqual(chunked(b""), b"0\r\n\r\n")

    def test_request_head_reader_stops_at_the_empty_line_or_gives_up(self):
        a, b = socket.socketpair()
        with a, b:
            b.sendall(b"GET / HTTP/1.1\r\n")
            b.sendall(b"Host: x\r\n\r\n")
            self.assertEqual(read_request_head(a, timeout=5), b"GET / HTTP/1.1\r\nHost: x\r\n\r\n")
            b.sendall(b"x" * 100)
            self.assertIsNone(read_request_head(a, limit=50, timeout=5))
            b.close()
            self.assertIsNone(read_request_head(a, timeout=5))


if __name__ == "__main__":
    unittest.main(verbosity=2)
