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
from support import (CHUNKED, GADGET_SAVE_AS, GADGET_URL, DriverError, ProgramCase,  # noqa: E402
                     ScriptedServer, answer, chunk, chunked, close, completed, failed, garbage, head, hold,
                     main, pattern_bytes, pause, reset, send, send_forever, stop_program, scaled, trickle)

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
    Case("status 404", answer(send(head("Content-Length: 5", status="HTTP/1.1 404 Not Found") + b"hello")), "failed"),
]

LENGTHS = [
    Case(f"Content-Length {value}", answer(send(head(f"Content-Length: {value}") + b"hello world")), "failed")
    for value in ["-1", "-5", "99999999999999999999", "abc", "1,000", "5xyz"]
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

# Only a 200 is the file: every other status fails and touches nothing.
STATUSES = [
    Case(name, answer(send(raw)), "failed") for name, raw in [
        ("302 with a page", b"HTTP/1.1 302 Found\r\nLocation: /x\r\nContent-Length: 7\r\n\r\n<moved>"),
        ("empty 302, as a captive portal sends", b"HTTP/1.1 302 Found\r\nLocation: http://portal/\r\n"
                                                 b"Content-Length: 0\r\n\r\n"),
        ("302 read until close", b"HTTP/1.1 302 Found\r\nLocation: /x\r\n\r\n<moved>"),
        ("404 whose reason holds 200", b"HTTP/1.1 404 Error 200\r\nContent-Length: 5\r\n\r\nhello"),
        ("400.200", b"HTTP/1.1 400.200 Not Ok\r\nContent-Length: 5\r\n\r\nhello"),
        ("404 whose bare LF glues on a 200", b"HTTP/1.1 404\nX-Status: 200\r\nContent-Length: 5\r\n\r\nhello"),
        ("204", b"HTTP/1.1 204 No Content\r\n\r\n"),
        ("101", b"HTTP/1.1 101 Switching Protocols\r\nUpgrade: x\r\n\r\nhello"),
        ("2000", b"HTTP/1.1 2000 OK\r\nContent-Length: 5\r\n\r\nhello"),
    ]
] + [
    Case("200 without a reason", answer(send(b"HTTP/1.1 200\r\nContent-Length: 5\r\n\r\nhello")), "complete",
         body=b"hello"),
]

# A body without length or chunking ends when the server closes, never at a
# pause; silence for the body's 10 s fails it.
PAUSES = [
    Case("pauses in a body without length", answer(send(head() + SMALL_BODY[:2000]), pause(1.5),
                                                   send(SMALL_BODY[2000:4000]), pause(1.2), send(SMALL_BODY[4000:])),
         "complete", body=SMALL_BODY),
    Case("body without length, then silence", answer(send(head() + SMALL_BODY), hold(20)), "failed", limit=TIMED),
    Case("length body, then silence", answer(send(head("Content-Length: 9000") + SMALL_BODY), hold(20)), "failed",
         limit=TIMED),
]

# Folded header lines are unfolded before they are read; interim heads are
# read past.
FOLDED_AND_INTERIM = [
    Case("folded Transfer-Encoding", answer(send(head("Transfer-Encoding:", " chunked") + chunked(SMALL_BODY))),
         "complete", body=SMALL_BODY),
    Case("folded Content-Length, tab", answer(send(head("Content-Length:", "\t5000") + SMALL_BODY + b"tail")),
         "complete", body=SMALL_BODY),
    Case("folded first header line", answer(send(head(" Content-Length: 5") + b"hello")), "failed"),
    Case("100 Continue, then the file", answer(send(head(status="HTTP/1.1 100 Continue")), pause(0.3),
                                               send(head("Content-Length: 5000") + SMALL_BODY)),
         "complete", body=SMALL_BODY),
    Case("103 with its own headers, then the file",
         answer(send(head("Content-Length: 3", CHUNKED, status="HTTP/1.1 103 Early Hints")
                     + head("Content-Length: 5000") + SMALL_BODY)),
         "complete", body=SMALL_BODY),
    Case("100 Continue, then 404", answer(send(head(status="HTTP/1.1 100 Continue")
                                               + head("Content-Length: 5", status="HTTP/1.1 404 Not Found") + b"hello")),
         "failed"),
    Case("100 Continue, then nothing", answer(send(head(status="HTTP/1.1 100 Continue"))), "failed"),
]

# A chunk size line is hex digits and nothing else, blanks and an extension
# aside.
SIZE_LINES = [
    Case(f"size line {line!r}", answer(send(head(CHUNKED) + line + b"\r\n" + b"d" * 26 + b"\r\n0\r\n\r\n")), "failed")
    for line in [b"0x1A", b"5zz", b"1a 1", b"+1a", b"1a\n"]
] + [
    Case(f"size line {line!r}", answer(send(head(CHUNKED) + line + b"\r\n" + b"d" * 26 + b"\r\n0\r\n\r\n")),
         "complete", body=b"d" * 26)
    for line in [b" 1a", b"1A \t", b"1a;name=value", b"1a ; x"]
]

RESETS = [
    Case("reset in a length-delimited body", answer(send(head("Content-Length: 100000") + BODY[:50000]), pause(0.3),
                                                    reset()), "failed"),
    Case("reset in a chunked body", answer(send(head(CHUNKED) + b"186a0\r\n" + BODY[:50000]), pause(0.3), reset()),
         "failed"),
]


def listing(folder):
    """Every entry of the folder with its content (None for a folder)."""
    return {entry.name: (entry.read_bytes() if entry.is_file() else None) for entry in Path(folder).iterdir()}


def file_name(case, index):
    # Numbered: two cases whose names differ only in case would otherwise
    # share one file for Windows, but not for the Linux folder beneath Wine.
    return f"{index:02d}_" + "".join(c if c.isalnum() else "_" for c in case.name) + ".bin"


class HostileServers(ProgramCase):
    """One program plays a whole table; it is started again if a case ended
    it, and must end with exit code 0 after the last case."""

    def run_cases(self, cases):
        # Every server is up before the first download, each on its own
        # port, so the cases cost only their own time.
        servers = [ScriptedServer(c.script, deadline=120) for c in cases]
        try:
            for index, (case, server) in enumerate(zip(cases, servers)):
                with self.subTest(case.name):
                    self.run_case(case, server, Path(self.path(file_name(case, index))))
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
        # A file of the user's beside the destination, named as partial
        # downloads often are: the download must leave it as it is.
        part = destination.with_name(destination.name + ".part")
        part.write_bytes(b"the user's own")
        before = listing(destination.parent)
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
        self.assertLessEqual(seconds, scaled(case.limit), f"took {seconds:.1f} s")
        if verdict == "complete":
            self.assertEqual(got, case.body, "the file is not exactly the body")
            before[destination.name] = case.body
        else:
            self.assertEqual(got, OLD, "the failed download changed the existing file")
        # Nothing else comes or goes, and nothing else changes.
        self.assertEqual(listing(destination.parent), before)
        part.unlink()

    def test_malformed_heads(self):
        self.run_cases(HEADS)

    def test_malformed_lengths(self):
        self.run_cases(LENGTHS)

    def test_malformed_chunks(self):
        self.run_cases(CHUNKS)

    def test_connection_reset_in_body(self):
        self.run_cases(RESETS)

    def test_statuses(self):
        self.run_cases(STATUSES)

    def test_pauses(self):
        self.run_cases(PAUSES)

    def test_folded_and_interim_heads(self):
        self.run_cases(FOLDED_AND_INTERIM)

    def test_chunk_size_lines(self):
        self.run_cases(SIZE_LINES)

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
            reason = self.driver.log_lines()[-2]
            self.assertRegex(reason, rf"^Writing the file failed after [\d,]+ of {len(body):,} bytes: the disk is full\.$")
            held = [p for p in self.open_files() if p.startswith(str(mount))]
            self.assertEqual(held, [], "the failed download left its file open")
        finally:
            if self.program is not None and self.program.poll() is None:
                self.exit_and_wait("exit", 5.0)
            if subprocess.run(["umount", str(mount)], capture_output=True).returncode != 0:
                subprocess.run(["umount", "-l", str(mount)], capture_output=True)


OK_HELLO = answer(send(head("Content-Length: 5") + b"hello"))

# Wine keeps a file's DOS attributes in this extended attribute, as "0x" and
# hex digits.
DOS_ATTRIBUTES = "user.DOSATTRIB"
HIDDEN, SYSTEM = 0x2, 0x4


def dos_attributes(path):
    try:
        return int(os.getxattr(path, DOS_ATTRIBUTES).decode().strip("\0"), 16)
    except OSError:
        return 0


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

    def test_other_schemes_send_nothing(self):
        """Only http and https are spoken (https in test_tls.py), each only
        where the URL says so: any other scheme sends nothing."""
        self.start_program()
        destination = Path(self.path("s.txt"))
        with ScriptedServer(OK_HELLO, connections=4) as server:
            for scheme in (" ftp", "httpx", "httpss", "shttp"):
                with self.subTest(scheme=scheme):
                    destination.write_bytes(OLD)
                    before = listing(self.work)
                    self.fill(f"{scheme}://127.0.0.1:{server.port}/secret.bin?token=abc", self.win_path("s.txt"))
                    verdict, _ = self.driver.download(30000)
                    self.assertEqual(verdict, "failed")
                    self.assertEqual(listing(self.work), before)
            self.assertEqual(server.connections, 0)
            # A blank before a plain http scheme, as a pasted URL often has.
            self.assertEqual(self.download(f" \thttp://127.0.0.1:{server.port}/a.txt", self.win_path("s.txt")),
                             "complete")
        self.assertEqual(destination.read_bytes(), b"hello")
        self.assertEqual(server.request.split(b"\r\n")[0], b"GET /a.txt HTTP/1.1")

    def test_longest_destinations(self):
        """Destinations of 250, 255 and 259 characters work, also with a
        file name of one character, new and replacing an old file; nothing
        else stays behind."""
        self.start_program()
        root = self.win_path()[:-1]
        deep, deep_linux = root, self.work
        while len(deep) < 257:
            piece = "d" * min(60, 257 - len(deep) - 1)
            deep, deep_linux = deep + "\\" + piece, os.path.join(deep_linux, piece)
            os.mkdir(deep_linux)
        self.assertEqual(len(deep), 257)
        cases = [(250, root, self.work), (255, root, self.work), (259, root, self.work), (259, deep, deep_linux)]
        with ScriptedServer(OK_HELLO, connections=2 * len(cases)) as server:
            for length, folder, linux_folder in cases:
                name = "n" * (length - len(folder) - 1)
                destination = Path(linux_folder) / name
                for old in (None, OLD):
                    with self.subTest(length=length, name_length=len(name), replacing=old is not None):
                        if old is not None:
                            destination.write_bytes(old)
                        before = listing(linux_folder)
                        before[name] = b"hello"
                        self.assertEqual(self.download(server.url("a.txt"), folder + "\\" + name), "complete")
                        self.assertEqual(listing(linux_folder), before)
                destination.unlink()

    def test_replacing_a_hidden_file_keeps_it_hidden(self):
        """The new file takes over the old one's hidden and system
        attributes. A new destination is neither hidden nor system. (Wine
        reports the archive attribute on every file without storing it, so
        only the download tests can see that it is set.)"""
        self.start_program()
        with ScriptedServer(OK_HELLO, connections=3) as server:
            for name, old in (("hidden.txt", HIDDEN), ("system.txt", HIDDEN | SYSTEM), ("new.txt", None)):
                with self.subTest(name=name):
                    destination = Path(self.path(name))
                    if old is not None:
                        destination.write_bytes(OLD)
                        os.setxattr(destination, DOS_ATTRIBUTES, b"0x%x" % old)
                    self.assertEqual(self.download(server.url("a.txt"), self.win_path(name)), "complete")
                    self.assertEqual(destination.read_bytes(), b"hello")
                    attributes = dos_attributes(destination)
                    self.assertEqual(attributes & (HIDDEN | SYSTEM), old or 0, hex(attributes))
        self.assertEqual(sorted(os.listdir(self.work)), ["hidden.txt", "new.txt", "system.txt"])

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
        self.assert_log(failed('"Save as:" names a folder, not a file.'))

    def test_stray_private_message_does_not_crash(self):
        self.start_program()
        self.driver.post(13105, 0, 0x100)
        self.driver.post(13106, 0x100, 0x100)
        self.driver.settle()
        self.assertIsNone(self.program.poll())
        with ScriptedServer(OK_HELLO) as server:
            self.assertEqual(self.download(server.url("h.txt"), self.win_path("h.txt")), "complete")
        self.assert_log(completed(5))
        code, _ = self.exit_and_wait()
        self.assertEqual(code, 0)


if __name__ == "__main__":
    main()
