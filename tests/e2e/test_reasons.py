"""Why a download failed, in the log's line before "Download failed!": one
case of each kind, through the real program, each with the exact line a
user reads. Each failure leaves the folder as it was."""
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from support import (ProgramCase, ScriptedServer, answer, failed, head, hold, main, refused_port,  # noqa: E402
                     send)
from support.log import log_matches  # noqa: E402

OLD = b"the user's own file\n"
HELLO = answer(send(head("Content-Length: 5") + b"hello"))


class Reasons(ProgramCase):
    def contents(self):
        def content(name):
            if not os.path.isfile(self.path(name)):
                return None
            with open(self.path(name), "rb") as f:
                return f.read()
        return {name: content(name) for name in os.listdir(self.work)}

    def check(self, url, save_as, line, limit_ms=30000):
        before = self.contents()
        self.assertEqual(self.download(url, save_as, limit_ms), "failed")
        # The log keeps every download's lines: this one's are the last three.
        lines = self.driver.log_lines()[-3:]
        self.assertTrue(log_matches(lines, failed(line)), f"{lines}, expected {line}")
        self.assertEqual(self.contents(), before)

    def setUp(self):
        super().setUp()
        with open(self.path("kept.bin"), "wb") as f:
            f.write(OLD)
        os.mkdir(self.path("folder"))

    def test_each_kind_of_failure_says_why(self):
        with refused_port() as refused:
            self.check_cases(refused)

    def check_cases(self, refused):
        read_only = self.path("read-only.bin")
        with open(read_only, "wb") as f:
            f.write(OLD)
        os.chmod(read_only, 0o444)  # Wine reads a file without write permission as read-only
        servers = {}

        def server(name, script):
            servers[name] = ScriptedServer(script, deadline=120)
            self.addCleanup(servers[name].stop)
            return servers[name]

        kept = self.win_path("kept.bin")
        cases = [
            ("status with its reason",
             server("404", answer(send(head("Content-Length: 0", status="HTTP/1.1 404 Not Found")))).url("x"), kept,
             "The server answered 404 Not Found."),
            ("status without a reason",
             server("410", answer(send(head("Content-Length: 0", status="HTTP/1.1 410")))).url("x"), kept,
             "The server answered 410."),
            ("a reason that is no plain text",
             server("500", answer(send(head(status="HTTP/1.1 500 \x1b[31mred\x1b[0m")))).url("x"), kept,
             "The server answered 500 ?[31mred?[0m."),
            ("a name that does not resolve", "http://gx-nowhere.invalid/x", kept,
             "The host gx-nowhere.invalid could not be found."),
            ("a refused connection", f"http://127.0.0.1:{refused}/x", kept,
             f"127.0.0.1 refused the connection on port {refused}."),
            ("a server silent after the request", server("silent", answer(hold(20))).url("x"), kept,
             "127.0.0.1 sent no complete answer within 10 s."),
            ("a body cut short",
             server("cut", answer(send(head("Content-Length: 100000") + b"x" * 30000))).url("x"), kept,
             "127.0.0.1 closed the connection after 30,000 of 100,000 bytes."),
            ("a body that falls silent",
             server("stalled", answer(send(head("Content-Length: 100000") + b"x" * 1000), hold(20))).url("x"), kept,
             "127.0.0.1 sent nothing for 10 s, after 1,000 of 100,000 bytes."),
            ("two different lengths",
             server("lengths", answer(send(head("Content-Length: 5", "Content-Length: 6") + b"hello!"))).url("x"),
             kept, "The server's answer broke the rules of HTTP: it gives two different lengths."),
            ("no such folder", server("folder", HELLO).url("x"), self.win_path("missing\\a.bin"),
             f"The folder {self.win_path('missing')}\\ does not exist."),
            ("a read-only file", server("read-only", HELLO).url("x"), self.win_path("read-only.bin"),
             f"{self.win_path('read-only.bin')} is read-only and was left as it was."),
            ("a folder", server("a folder", HELLO).url("x"), self.win_path("folder"),
             '"Save as:" names a folder, not a file.'),
            ("a scheme that is not fetched", "ftp://127.0.0.1/x", kept,
             re.compile(r'The scheme "ftp" is not supported; only http:// (and https:// )?URLs can be downloaded\.')),
            ("no host", "http:///x", kept,
             "The URL names no host; it should look like http://example.org/file.zip."),
            ("a port that is none", "http://127.0.0.1:99999/x", kept,
             "The URL's port is not a number from 1 to 65535."),
        ]
        self.start_program()
        for name, url, save_as, line in cases:
            with self.subTest(name):
                self.check(url, save_as, line)


if __name__ == "__main__":
    main()
