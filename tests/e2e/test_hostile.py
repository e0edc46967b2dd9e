"""Malformed and hostile input through the real window: odd responses from
a scripted server, control characters in the URL, stray messages."""
import os

from e2e_support import (COMPLETE, FAILED, STARTED, ProgramCase, main, pattern_bytes,
                         GADGET_URL, GADGET_SAVE_AS)
from servers import ScriptedServer

OK_HEAD = b"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"


def chunked(body, piece=300, header=b"Transfer-Encoding: chunked"):
    out = b"HTTP/1.1 200 OK\r\n" + header + b"\r\n\r\n"
    for at in range(0, len(body), piece):
        part = body[at:at + piece]
        out += b"%x\r\n" % len(part) + part + b"\r\n"
    return out + b"0\r\n\r\n"


class HostileResponses(ProgramCase):
    def test_transfer_encoding_is_matched_without_case(self):
        body = pattern_bytes(5000, seed=7)
        self.start_program()
        for header in (b"Transfer-Encoding: Chunked", b"TRANSFER-ENCODING: CHUNKED"):
            with self.subTest(header=header), ScriptedServer(chunked(body, header=header)) as server:
                self.assertEqual(self.download(server.url("c.bin"), self.win_path("c.bin")), "complete")
                with open(self.path("c.bin"), "rb") as f:
                    self.assertEqual(f.read(), body)

    def test_failed_body_leaves_existing_file(self):
        cases = {
            "cut short": b"HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + b"x" * 100,
            "chunk cut short": b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n400\r\n" + b"y" * 50,
            "bad chunk size": b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n0\r\n\r\n",
        }
        self.start_program()
        for name, response in cases.items():
            with self.subTest(name), ScriptedServer(response) as server:
                with open(self.path("keep.bin"), "wb") as f:
                    f.write(b"the old contents")
                self.assertEqual(self.download(server.url("k.bin"), self.win_path("keep.bin")), "failed")
                with open(self.path("keep.bin"), "rb") as f:
                    self.assertEqual(f.read(), b"the old contents")

    def test_url_with_line_breaks_sends_nothing(self):
        self.start_program()
        with ScriptedServer(OK_HEAD) as server:
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
        with ScriptedServer(OK_HEAD) as server:
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
        with ScriptedServer(OK_HEAD) as server:
            self.assertEqual(self.download(server.url("h.txt"), self.win_path("h.txt")), "complete")
        self.assertEqual(self.driver.log_lines(), [STARTED, COMPLETE])
        code, _ = self.exit_and_wait()
        self.assertEqual(code, 0)


if __name__ == "__main__":
    main()
