#!/usr/bin/env python3
"""Hostile servers against the real program.

One Gatherly.exe runs under Wine and is driven from outside by driver.exe,
the way a person uses it; each case points it at a scripted server on
127.0.0.1 that misbehaves in one way, presses "Start Download" and checks
that the download ends with the right log line within its time bound, that
the program is still running, and that the destination, which held known
bytes before, holds them still (or, for a valid response, exactly the body).

    hostile_test.py --build BUILD_DIR --session SESSION_DIR [unittest args]
"""

import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import unittest
from dataclasses import dataclass
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(HERE.parent / "e2e"))

import gatherly  # noqa: E402
from scripted_server import ScriptedServer  # noqa: E402

BUILD = SESSION = None  # set from the command line

# Seconds from the button press to the final log line.
FAST = 3.0  # a response the program can judge as soon as it arrives
TIMED = 13.0  # a wait on the 10-second time-out, with room for a busy machine

# What the destination held before each download: a file the user had.
OLD = bytes(range(256)) * 64


def head(*lines, status="HTTP/1.1 200 OK"):
    return (status + "\r\n" + "".join(line + "\r\n" for line in lines) + "\r\n").encode()


def garbage(size, seed):
    """Binary noise with no digit in it, so no status text can appear by chance."""
    data = random.Random(seed).randbytes(size)
    return bytes(b if not 0x30 <= b <= 0x39 else 0x2A for b in data)


CHUNKED = "Transfer-Encoding: chunked"
BODY = random.Random(5).randbytes(100_000)


@dataclass
class Case:
    name: str
    steps: list
    verdict: str  # "complete", "failed", or "either" where both are sound
    body: bytes = b""  # the file after a complete download
    limit: float = FAST
    read_request: bool = True


def chunk(data):
    return b"%x\r\n" % len(data) + data + b"\r\n"


HEAD_CASES = [
    Case("closes at once", [("close",)], "failed", read_request=False),
    Case("garbage, then closes", [("send", garbage(4096, 1))], "failed"),
    Case("garbage lines, held open", [("send", garbage(300, 2) + b"\r\n" + garbage(300, 3) + b"\r\n"),
                                      ("hold", 15)], "failed"),
    Case("head of 1 MiB", [("send", b"HTTP/1.1 200 OK\r\n" + (b"X-Filler: " + b"f" * 1012 + b"\r\n") * 1024
                            + b"Content-Length: 5\r\n\r\nhello")], "failed"),
    Case("head that never ends", [("send", b"HTTP/1.1 200 OK\r\n"), ("endless", b"X-More: " + b"m" * 90 + b"\r\n")],
         "failed"),
    # One byte every 2 s: the head's time-out must bound the whole head,
    # not each receive.
    Case("head trickled a byte every 2 s", [("trickle", head("Content-Length: 5") + b"hello", 2.0)], "failed",
         limit=TIMED),
    Case("status neither 200 nor 302", [("send", head("Content-Length: 5", status="HTTP/1.1 404 Not Found")
                                         + b"hello")], "failed"),
]

LENGTH_CASES = [
    Case(f"Content-Length {value}", [("send", head(f"Content-Length: {value}") + b"hello world")], "failed")
    for value in ["-1", "-5", "99999999999999999999", "abc"]
] + [
    Case("two conflicting Content-Lengths", [("send", head("Content-Length: 5", "Content-Length: 7") + b"hello w")],
         "failed"),
    Case("body longer than its length, same piece", [("send", head("Content-Length: 10") + b"0123456789" + b"X" * 900)],
         "complete", body=b"0123456789"),
    # The program must stop at the length and not wait for the peer to close.
    Case("body longer than its length, later piece", [("send", head("Content-Length: 10") + b"0123456789"),
                                                      ("sleep", 0.5), ("send", b"X" * 900), ("hold", 8)],
         "complete", body=b"0123456789"),
    Case("valid length-delimited body", [("send", head("Content-Length: 100000") + BODY)], "complete", body=BODY),
]

CHUNK_CASES = [
    Case(f"chunk size {size}", [("send", head(CHUNKED) + size.encode() + b"\r\nhello\r\n0\r\n\r\n")], "failed")
    for size in ["FFFFFFFFFFFFFFFFFFFF", "-1", "zz"]
] + [
    # An extension that long may be refused or skipped; either way the body
    # that reaches the file must be the chunk's data and nothing else.
    Case("size line of 100 KiB", [("send", head(CHUNKED) + b"5;" + b"e" * (100 * 1024) + b"\r\nhello\r\n0\r\n\r\n")],
         "either", body=b"hello"),
    Case("valid chunked body", [("send", head(CHUNKED) + chunk(BODY[:40000]) + chunk(BODY[40000:]) + b"0\r\n\r\n")],
         "complete", body=BODY),
]

RESET_CASES = [
    Case("reset in a length-delimited body", [("send", head("Content-Length: 100000") + BODY[:50000]),
                                              ("sleep", 0.3), ("reset",)], "failed"),
    Case("reset in a chunked body", [("send", head(CHUNKED) + b"186a0\r\n" + BODY[:50000]), ("sleep", 0.3),
                                     ("reset",)], "failed"),
]


class Program:
    """The running Gatherly.exe and its driver; started again if it died."""

    def __init__(self, session, work):
        self.session, self.work = session, work
        self.proc = self.driver = None

    def ensure(self):
        if self.proc is not None and self.proc.poll() is None:
            return
        self.close()
        self.proc = self.session.start_program(BUILD / "app" / "Gatherly.exe", cwd=str(self.work))
        self.driver = gatherly.Driver(self.session, BUILD / "tests" / "e2e" / "driver.exe")
        self.driver.attach(20000)
        self.enabled_once = False

    def download(self, url, destination, limit):
        """("complete"/"failed", seconds) as the log showed it."""
        self.ensure()
        d = self.driver
        d.set(gatherly.GADGET_URL, url)
        d.set(gatherly.GADGET_SAVE_AS, self.session.windows_path(destination))
        if not self.enabled_once:
            if d.wait_for(lambda: d.enabled(gatherly.GADGET_START), timeout=5.0) is None:
                raise AssertionError("Start Download stayed disabled with both fields filled")
            self.enabled_once = True
        try:
            verdict, elapsed_ms = d.download(int((limit + 10) * 1000))
        except gatherly.DriverError as e:
            # A program stuck in a download would hold every later case.
            self.kill()
            raise AssertionError(f"no final log line within {limit + 10:.0f} s: {e}") from None
        return verdict, elapsed_ms / 1000.0

    def alive(self):
        return self.proc is not None and self.proc.poll() is None

    def open_files(self):
        """The Linux paths the program's process holds open."""
        fd_dir = f"/proc/{self.proc.pid}/fd"
        paths = []
        for fd in os.listdir(fd_dir):
            try:
                paths.append(os.readlink(os.path.join(fd_dir, fd)))
            except OSError:
                pass
        return paths

    def kill(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.close()

    def close(self):
        if self.driver is not None:
            self.driver.close()
            self.driver = None

    def exit(self):
        """Presses "Exit"; the process's exit code."""
        self.ensure()
        self.driver.click(gatherly.GADGET_EXIT)
        try:
            self.driver.wait_gone(5000)
        finally:
            self.close()
        return gatherly.stop_program(self.proc)


class HostileServers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = Path(tempfile.mkdtemp(prefix="gx-hostile-", dir="/tmp"))
        cls.session = gatherly.WineSession.from_env_file(SESSION / "session.env")
        cls.program = Program(cls.session, cls.work)

    @classmethod
    def tearDownClass(cls):
        try:
            code = cls.program.exit()
        finally:
            cls.program.kill()
            shutil.rmtree(cls.work, ignore_errors=True)
        if code != 0:
            raise AssertionError(f"the program ended with exit code {code} after the hostile cases")

    def run_cases(self, cases):
        # Every server is up before the first download, each on its own port,
        # so the cases cost only their own time.
        servers = [ScriptedServer(c.steps, c.read_request, deadline=120) for c in cases]
        try:
            for case, server in zip(cases, servers):
                with self.subTest(case.name):
                    self.run_case(case, server)
        finally:
            for server in servers:
                server.stop()

    def run_case(self, case, server, destination=None):
        destination = destination or self.work / (case.name.replace(" ", "_").replace(",", "") + ".bin")
        destination.write_bytes(OLD)
        verdict, seconds = self.program.download(server.url(), destination, case.limit)
        print(f"  {case.name}: {verdict} after {seconds:.2f} s", file=sys.stderr, flush=True)
        self.assertTrue(self.program.alive(), f"the program ended (exit code {self.program.proc.returncode})")
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
        self.run_cases(HEAD_CASES)

    def test_malformed_lengths(self):
        self.run_cases(LENGTH_CASES)

    def test_malformed_chunks(self):
        self.run_cases(CHUNK_CASES)

    def test_connection_reset_in_body(self):
        self.run_cases(RESET_CASES)

    def test_file_system_full(self):
        """The body does not fit the destination's file system: the write
        failure is reported and the existing file survives it whole."""
        mount = self.work / "small-fs"
        mount.mkdir()
        done = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=512k", "tmpfs", str(mount)],
                              capture_output=True, text=True)
        if done.returncode != 0:
            self.skipTest(f"cannot mount a small tmpfs here ({done.stderr.strip() or 'not allowed'})")
        try:
            destination = mount / "kept.bin"
            # Leave about 32 KiB free: the old file and a filler take the rest.
            (mount / "filler.bin").write_bytes(b"\0" * (512 * 1024 - len(OLD) - 32 * 1024))
            body = BODY * 3
            case = Case("file system full", [("send", head(f"Content-Length: {len(body)}") + body)], "failed")
            server = ScriptedServer(case.steps, deadline=60)
            try:
                self.run_case(case, server, destination)
            finally:
                server.stop()
            held = [p for p in self.program.open_files() if p.startswith(str(mount))]
            self.assertEqual(held, [], "the failed download left its file open")
        finally:
            if subprocess.run(["umount", str(mount)], capture_output=True).returncode != 0:
                subprocess.run(["umount", "-l", str(mount)], capture_output=True)


def main():
    global BUILD, SESSION
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--session", required=True)
    args, rest = parser.parse_known_args()
    BUILD, SESSION = Path(args.build).resolve(), Path(args.session).resolve()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
