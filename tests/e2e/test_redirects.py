"""Redirects through the real program: which answers are followed and where
to, never to a weaker place, at most 20, and nothing written until the
final answer. Each failure leaves the old file and the folder as they were,
and the log names where the file came from, or where the chain failed."""
import os
import re
import sys
import tempfile
from contextlib import ExitStack
from pathlib import Path

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from support import (CertificateAuthority, NginxServer, NodeServer, ProgramCase, ScriptedServer,  # noqa: E402
                     WineSession, answer, completed, failed, head, https_url, loopback_alias, main, pattern_bytes,
                     route, scaled, send, send_forever, server_context)
from support.log import log_matches, saved  # noqa: E402
from support.names import COMPLETE, STARTED  # noqa: E402

OLD = b"the user's own file\n"
BODY = pattern_bytes(5000, seed=31)
FILE = send(head(f"Content-Length: {len(BODY)}") + BODY)
STATUS_TEXT = {301: "Moved Permanently", 302: "Found", 303: "See Other", 307: "Temporary Redirect",
               308: "Permanent Redirect", 300: "Multiple Choices"}


def redirect(location, status=302, more=()):
    """A redirect's answer: its head and a small page that is never saved."""
    lines = [f"Location: {location}"] if location is not None else []
    return send(head(*lines, *more, "Content-Length: 8", status=f"HTTP/1.1 {status} {STATUS_TEXT[status]}")
                + b"<moved!>")


def from_url(size, url):
    """The summary line of a file that came from url."""
    return re.compile(re.escape(f"Saved {size:,} bytes in ") + r"(\d+\.\d|less than 0\.1) s from "
                      + re.escape(url) + r"\.")


class Redirects(ProgramCase):
    @classmethod
    def setUpClass(cls):
        cls.stack = ExitStack()
        try:
            cls.ca = cls.stack.enter_context(CertificateAuthority("Gatherly Redirect CA"))
            cls.site = cls.ca.issue("localhost")
            cls.docroot = Path(cls.stack.enter_context(tempfile.TemporaryDirectory(prefix="gx-redirects-")))
            (cls.docroot / "f.bin").write_bytes(BODY)
            cls.stack.enter_context(WineSession.current().trusting(cls.ca.der))
        except BaseException:
            cls.stack.close()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.stack.close()

    def routed(self, table, connections=None, **options):
        server = ScriptedServer(route(table), connections=connections or len(table), deadline=120, **options)
        self.addCleanup(server.stop)
        return server

    def expect(self, url, verdict, lines, name="file.bin", body=BODY):
        """Downloads url over a file the user had; the folder afterwards
        holds the body or the old file, and nothing else."""
        with open(self.path(name), "wb") as f:
            f.write(OLD)
        before = sorted(os.listdir(self.work))
        self.assertEqual(self.download(url, self.win_path(name), 60000), verdict)
        got = self.driver.log_lines()[-3:]
        self.assertTrue(log_matches(got, lines), f"the log's last lines are {got}")
        self.assertEqual(sorted(os.listdir(self.work)), before)
        with open(self.path(name), "rb") as f:
            self.assertEqual(f.read(), body if verdict == "complete" else OLD)

    def test_each_status_is_followed(self):
        self.start_program()
        for status in (301, 302, 303, 307, 308):
            with self.subTest(status=status):
                server = self.routed({"/start": [redirect("/file", status)], "/file": [FILE]})
                self.expect(server.url("start"), "complete", [STARTED, from_url(len(BODY), server.url("file")),
                                                             COMPLETE])

    def test_each_form_of_location(self):
        """Resolved against the request that got the redirect, as the URL
        standard says; what a request line cannot carry raw goes escaped."""
        self.start_program()
        cases = [
            ("absolute", lambda s: s.url("b"), "/b"),
            ("without a scheme", lambda s: f"//127.0.0.1:{s.port}/b", "/b"),
            ("a path", lambda s: "/b", "/b"),
            ("relative", lambda s: "b", "/dir/b"),
            ("up a folder", lambda s: "../b", "/b"),
            ("a query alone", lambda s: "?q=1", "/dir/a?q=1"),
            ("dot segments", lambda s: "./x/../b", "/dir/b"),
            ("a fragment is never sent", lambda s: "/b#part", "/b"),
            ("blanks and bytes above 0x7F", lambda s: "/my file \u00e9.zip", "/my%20file%20%C3%A9.zip"),
            ("an escape already there", lambda s: "/a%20b", "/a%20b"),
        ]
        for name, location, target in cases:
            with self.subTest(name):
                # The Location may name the server's own port: the table
                # comes once the server listens, before anyone connects.
                server = self.routed({}, connections=2)
                server.steps = route({"/dir/a?x=1": [redirect(location(server))], target: [FILE]})
                self.expect(server.url("dir/a?x=1"), "complete",
                            [STARTED, from_url(len(BODY), f"http://127.0.0.1:{server.port}{target}"), COMPLETE])

    def test_relative_location_on_a_second_hop(self):
        self.start_program()
        server = self.routed({"/a": [redirect("/x/y")], "/x/y": [redirect("z")], "/x/z": [FILE]})
        self.expect(server.url("a"), "complete", [STARTED, from_url(len(BODY), server.url("x/z")), COMPLETE])

    def test_twenty_redirects_complete_and_the_twenty_first_fails(self):
        self.start_program()
        chain = {f"/r{i}": [redirect(f"/r{i + 1}")] for i in range(20)}
        chain["/r20"] = [FILE]
        server = self.routed(chain)
        self.expect(server.url("r0"), "complete", [STARTED, from_url(len(BODY), server.url("r20")), COMPLETE])
        longer = {f"/r{i}": [redirect(f"/r{i + 1}")] for i in range(21)}
        longer["/r21"] = [FILE]
        server = self.routed(longer)
        self.expect(server.url("r0"), "failed", failed("Too many redirects (more than 20)."))
        self.assertEqual(server.connections, 21, "a request was made past the limit")
        loop = self.routed({"/a": [redirect("/a")]}, connections=25)
        self.expect(loop.url("a"), "failed", failed("Too many redirects (more than 20)."))

    def test_to_another_port_and_another_name_of_this_machine(self):
        self.start_program()
        other = self.routed({"/f": [FILE]}, connections=2)
        names = ["localhost"] + ([loopback_alias()] if loopback_alias() else [])
        for name in names:
            with self.subTest(name=name):
                target = f"http://{name}:{other.port}/f"
                first = self.routed({"/start": [redirect(target)]})
                self.expect(first.url("start"), "complete", [STARTED, from_url(len(BODY), target), COMPLETE])

    def test_a_redirect_whose_page_never_ends_holds_nothing_up(self):
        self.start_program()
        page = send_forever(b"<this page never ends> " * 100)
        server = self.routed({"/start": [send(head("Location: /file", status="HTTP/1.1 302 Found")), page],
                              "/file": [FILE]})
        with open(self.path("file.bin"), "wb") as f:
            f.write(OLD)
        self.fill(server.url("start"), self.win_path("file.bin"))
        verdict, ms = self.driver.download(30000)
        self.assertEqual(verdict, "complete")
        self.assertLess(ms, scaled(3000))

    def test_failures_leave_everything_as_it_was(self):
        self.start_program()
        tls = server_context(self.site)
        downgrade_target = self.routed({"/x": [FILE]})
        cases = [
            ("two different locations", {"/a": [redirect("/b", more=["Location: /c"])]},
             "The server's answer broke the rules of HTTP: it gives two different locations."),
            ("no location", {"/a": [redirect(None)]}, "The server answered 302 Found but named no place to go to."),
            ("an empty location", {"/a": [redirect("")]}, "The server answered 302 Found but named no place to go to."),
            ("a status that is not followed", {"/a": [redirect("/b", 300)]}, "The server answered 300 Multiple Choices."),
            ("a host with a blank", {"/a": [redirect("http://bad host/x")]},
             "The server redirected to a place that cannot be fetched: http://bad host/x."),
            ("another scheme", {"/a": [redirect("ftp://127.0.0.1/x")]},
             "Refused a redirect to ftp://127.0.0.1/x: only http:// and https:// are followed."),
            ("a failure on the second hop", {"/a": [redirect("/b")], "/b": [send(head(status="HTTP/1.1 404 Not Found"))]},
             None),
        ]
        for name, table, line in cases:
            with self.subTest(name):
                server = self.routed(table)
                if line is None:
                    line = f"The server answered 404 Not Found, at {server.url('b')}."
                self.expect(server.url("a"), "failed", failed(line))
        with self.subTest("https to http"):
            target = downgrade_target.url("x")
            server = self.routed({"/a": [redirect(target)]}, tls=tls)
            self.expect(https_url(server.port, "a"), "failed", failed(f"Refused a redirect from https to {target}."))
            self.assertEqual(downgrade_target.connections, 0)

    def test_real_servers(self):
        """nginx's return 301 and 302, to http and to https, and Node's
        redirect; http to https through the TLS server of this machine."""
        self.start_program()
        with NginxServer(self.docroot, site=self.site) as secure:
            secure_url = https_url(secure.port, "f.bin")
            with NginxServer(self.docroot, directives=f"location = /moved {{ return 301 /f.bin; }} "
                                                       f"location = /secure {{ return 302 {secure_url}; }}") as plain, \
                    NodeServer(self.docroot) as node:
                cases = [
                    ("nginx 301 to http", plain.url("moved"), plain.url("f.bin")),
                    ("nginx 302 to https", plain.url("secure"), secure_url),
                    ("node 302 to https", node.url("go?to=" + secure_url.replace(":", "%3A").replace("/", "%2F")),
                     secure_url),
                    ("https to https", https_url(secure.port, "f.bin"), None),
                ]
                for name, url, came_from in cases:
                    with self.subTest(name):
                        summary = from_url(len(BODY), came_from) if came_from else saved(len(BODY))
                        self.expect(url, "complete", [STARTED, summary, COMPLETE])


if __name__ == "__main__":
    main()
