"""Hostile servers and hostile input against the real program.

Each row of the table points the running Gatherly.exe at a scripted server
on 127.0.0.1 that misbehaves in one way, presses "Start Download" and checks
that the download ends with the right log line within its time bound, that
the program is still running, and that the destination, which held known
bytes before, holds them still (or, for a valid response, exactly the body).

A new case is one more row: Case(name, script, verdict[, body, limit]).
"""
import os
import random
import subprocess
import sys
from dataclasses import dataclass
from pathlib import Path

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from support import (CHUNKED, COMPLETE, FAILED, GADGET_SAVE_AS, GADGET_URL, STARTED,  # noqa: E402
                     DriverError, ProgramCase, ScriptedServer, answer, chunk, chunked, close, garbage,
                     head, hold, main, pattern_bytes, pause, reset, send, send_forever, stop_program,
                     trickle)

# Seconds from the button press to the final log line.
FAST = 3.0  # a response the program can judge as soon as it arrives
TIMED = 13.0  # a wait on the 10-second time-out, with room for a busy machine

# What the destination held before each download: a file the user had.
OLD = bytes(range(256)) * 64

BODY = random.Random(5).randbytes(100_000)
SMALL_BODY = pattern_bytes(5000, seed=7)


@dataclass
class Case:
    name: str
    script: list
    verdict: str  # "complete", "failed", or "either" where both are sound
    body: bytes = b""  # the file after a complete download
    limit: float = FAST


HEADS = [
    Case("closes at once", [close()], "failed"),
    Case("garbage, then closes", answer(send(garbage(4096, 1))), "failed"),
    Case("garbage lines, held open", answer(send(garbage(300, 2) + b"\r\n" + garbage(300, 3) + b"\r\n"), hold(15)),
         "failed"),
    Case("head of 1 MiB", answer(send(b"HTTP/1.1 200 OK\r\n" + (b"X-Filler: " + b"f" * 1012 + b"\r\n") * 1024
                                      + b"Content-Length: 5\r\n\r\nhello")), "failed"),
    Case("head that never ends", answer(send(b"HTTP/1.1 200 OK\r\n"), send_forever(b"X-More: " + b"m" * 90 + b"\r\n")),
         "failed"),
    # One byte every 2 s: the head's time-out must bound the whole head,
    # not each receive.
    Case("head trickled a byte every 2 s", answer(trickle(head("Content-Length: 5") + b"hello", 2.0)), "failed",
         limit=TIMED),
    Case("status neither 200 nor 302", answer(send(head("Content-Length: 5", status="HTTP/1.1 404 Not Found")
                                                   + b"hello")), "failed"),
]

LENGTHS = [
    Case(f"Content-Length {value}", answer(send(head(f"Content-Length: {value}") + b"hello world")), "failed")
    for value in ["-1", "-5", "99999999999999999999", "abc"]
] + [
    Case("two conflicting Content-Lengths", answer(send(head("Content-Length: 5", "Content-Length: 7") + b"hello w")),
         "failed"),
    Case("body longer than its length, same piece", answer(send(head("Content-Length: 10") + b"0123456789" + b"X" * 900)),
         "complete", body=b"0123456789"),
    # The program must stop at the length and not wait for the peer to close.
    Case("body longer than its length, later piece", answer(send(head("Content-Length: 10") + b"0123456789"),
                                                            pause(0.5), send(b"X" * 900), hold(8)),
         "complete", body=b"0123456789"),
    Case("valid length-delimited body", answer(send(head("Content-Length: 100000") + BODY)), "complete", body=BODY),
    Case("body cut short by an orderly close", answer(send(head("Content-Length: 5000") + b"x" * 100)), "failed"),
]

CHUNKS = [
    Case(f"chunk size {size}", answer(send(head(CHUNKED) + size.encode() + b"\r\nhello\r\n0\r\n\r\n")), "failed")
    for size in ["FFFFFFFFFFFFFFFFFFFF", "-1", "zz"]
] + [
    # An extension that long may be refused or skipped; either way the body
    # that reaches the file must be the chunk's data and nothing else.
    Case("size line of 100 KiB", answer(send(head(CHUNKED) + b"5;" + b"e" * (100 * 1024) + b"\r\nhello\r\n0\r\n\r\n")),
         "either", body=b"hello"),
    Case("valid chunked body", answer(send(head(CHUNKED) + chunk(BODY[:40000]) + chunk(BODY[40000:]) + b"0\r\n\r\n")),
         "complete", body=BODY),
    Case("chunk cut short by an orderly close", answer(send(head(CHUNKED) + b"400\r\n" + b"y" * 50)), "failed"),
    Case("bad chunk size after a valid head", answer(send(head(CHUNKED) + b"zz\r\nabc\r\n0\r\n\r\n")), "failed"),
] + [
    # The header's name and value are matched without regard to case.
    Case(f"chunked announced as {line!r}", answer(send(head(line) + chunked(SMALL_BODY))), "complete", body=SMALL_BODY)
    for line in ["Transfer-Encoding: Chunked", "TRANSFER-ENCODING: CHUNKED"]
]

RESETS = [
    Case("reset in a length-delimited body", answer(send(head("Content-Length: 100000") + BODY[:50000]), pause(0.3),
                                                    reset()), "failed"),
    Case("reset in a chunked body", answer(send(head(CHUNKED) + b"186a0\r\n" + BODY[:50000]), pause(0.3), reset()),
         "failed"),
]


def file_name(case):
    return "".join(c if c.isalnum() else "_" for c in case.name) + ".bin"


class HostileServers(ProgramCase):
    """One program plays a whole table; it is started again if a case ended
    it, and must end with exit code 0 after the last case."""

    def run_cases(self, cases):
        # Every server is up before the first download, each on its own
        # port, so the cases cost only their own time.
        servers = [ScriptedServer(c.script, deadline=120) for c in cases]
        try:
            for case, server in zip(cases, servers):
                with self.subTest(case.name):
                    self.run_case(case, server, Path(self.path(file_name(case))))
        finally:
            for server in servers:
                server.stop()
        self.ensure_program()
        code, _ = self.exit_and_wait("exit", 5.0)
        self.assertEqual(code, 0, "the program's exit code after the hostile cases")

    def ensure_program(self):
        if self.program is None or self.program.poll() is not None:
            self.start_program()

    def run_case(self, case, server, destination):
        self.ensure_program()
        destination.write_bytes(OLD)
        self.fill(server.url(), self.session.windows_path(destination))
        try:
            verdict, elapsed_ms = self.driver.download(int((case.limit + 10) * 1000))
        except DriverError as e:
            # A program stuck in a download would hold every later case.
            stop_program(self.program, 0)
            self.fail(f"no final log line within {case.limit + 10:.0f} s: {e}")
        seconds = elapsed_ms / 1000.0
        print(f"  {case.name}: {verdict} after {seconds:.2f} s", file=sys.stderr, flush=True)
        self.assertIsNone(self.program.poll(), f"the program ended (exit code {self.program.returncode})")
        self.assertEqual(server.connections, 1, "the server saw no request")
        got = destination.read_bytes()
        state = "unchanged" if got == OLD else f"now {len(got)} bytes"
        if case.verdict == "either":
            self.assertIn(verdict, ("complete", "failed"))
        else:
            self.assertEqual(verdict, case.verdict, f"the existing file is {state}")
        self.assertLessEqual(seconds, case.limit, f"took {seconds:.1f} s")
        if verdict == "complete":
            self.assertEqual(got, case.body, "the file is not exactly the body")
        else:
            self.assertEqual(got, OLD, "the failed download changed the existing file")

    def test_malformed_heads(self):
        self.run_cases(HEADS)

    def test_malformed_lengths(self):
        self.run_cases(LENGTHS)

    def test_malformed_chunks(self):
        self.run_cases(CHUNKS)

    def test_connection_reset_in_body(self):
        self.run_cases(RESETS)

    def test_file_system_full(self):
        """The body does not fit the destination's file system: the write
        failure is reported and the existing file survives it whole."""
        mount = Path(self.work) / "small-fs"
        mount.mkdir()
        done = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=512k", "tmpfs", str(mount)],
                              capture_output=True, text=True)
        if done.returncode != 0:
            self.skipTest(f"cannot mount a small tmpfs here ({done.stderr.strip() or 'not allowed'})")
        try:
            # Leave about 32 KiB free: the old file and a filler take the rest.
            (mount / "filler.bin").write_bytes(b"\0" * (512 * 1024 - len(OLD) - 32 * 1024))
            body = BODY * 3
            case = Case("file system full", answer(send(head(f"Content-Length: {len(body)}") + body)), "failed")
            with ScriptedServer(case.script) as server:
                self.run_case(case, server, mount / "kept.bin")
            held = [p for p in self.open_files() if p.startswith(str(mount))]
            self.assertEqual(held, [], "the failed download left its file open")
        finally:
            if self.program is not None and self.program.poll() is None:
                self.exit_and_wait("exit", 5.0)
            if subprocess.run(["umount", str(mount)], capture_output=True).returncode != 0:
                subprocess.run(["umount", "-l", str(mount)], capture_output=True)


OK_HELLO = answer(send(head("Content-Length: 5") + b"hello"))


class HostileInput(ProgramCase):
    def test_url_with_line_breaks_sends_nothing(self):
        self.start_program()
        with ScriptedServer(OK_HELLO, connections=3) as server:
            url = server.url("a.txt")
            for tail in ("\r\n", "\r\nGET /evil HTTP/1.1\r\nHost: x\r\n\r\n", "\n"):
                with self.subTest(tail=tail):
                    self.driver.set(GADGET_URL, url + tail)
                    self.assertEqual(self.driver.get(GADGET_URL), url + tail)
                    self.driver.set(GADGET_SAVE_AS, self.win_path("a.txt"))
                    self.wait_enabled(True)
                    verdict, _ = self.driver.download(30000)
                    self.assertEqual(verdict, "failed")
            self.assertEqual([r for r in server.requests if r], [])
        self.assertFalse(os.path.exists(self.path("a.txt")))

    def test_browse_on_bare_host_gives_folder_and_start_fails(self):
        self.start_program()
        with ScriptedServer(OK_HELLO) as server:
            self.driver.set(GADGET_URL, server.url("/"))
            self.browse("confirm")
            folder = self.win_path()
            self.driver.wait_for(lambda: self.driver.get(GADGET_SAVE_AS) == folder)
            self.assertEqual(self.driver.get(GADGET_SAVE_AS), folder)
            self.wait_enabled(True)
            verdict, _ = self.driver.download(30000)
            self.assertEqual(verdict, "failed")
        self.assertEqual(self.driver.log_lines(), [STARTED, FAILED])

    def test_stray_private_message_does_not_crash(self):
        self.start_program()
        self.driver.post(13105, 0, 0x100)
        self.driver.post(13106, 0x100, 0x100)
        self.driver.sleep(300)
        self.assertIsNone(self.program.poll())
        with ScriptedServer(OK_HELLO) as server:
            self.assertEqual(self.download(server.url("h.txt"), self.win_path("h.txt")), "complete")
        self.assertEqual(self.driver.log_lines(), [STARTED, COMPLETE])
        code, _ = self.exit_and_wait()
        self.assertEqual(code, 0)


if __name__ == "__main__":
    main()
