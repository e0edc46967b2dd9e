"""https through the real program against real TLS servers on 127.0.0.1:
nginx (Content-Length), Node's https (chunked), Python's ssl (until the
close) and scripted byte-level servers, with certificates this suite makes
with openssl. Its own certification authority is trusted inside the test
prefix alone, for the suite's run; the host's trust is never touched.

Each case is downloaded twice, each time from a server of its own: through
the window, which must end with the right log line within its bound and
leave the folder as it was (or hold exactly the body), and through
fetch.exe, the same download code without the window, which says which
stage failed and why.
"""
import dataclasses
import hashlib
import os
import sys
import tempfile
from contextlib import ExitStack
from dataclasses import dataclass
from pathlib import Path
from typing import Callable

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from support import (CHUNKED, CertificateAuthority, DriverError, NginxServer, NodeServer,  # noqa: E402
                     ProgramCase, PythonHttpServer, ScriptedServer, WineSession, answer, chunk, close,
                     close_notify, completed, fetch, finish_fetch, head, hold, https_url, loopback_alias, main,
                     pattern_bytes, read_head, read_some, refused_port, scaled, self_signed, send, server_context,
                     start_fetch, stop_program)
from support.certificates import CLIENT_AUTH, LONG_AGO, YEARS_AHEAD  # noqa: E402

# Seconds from the button press to the final log line.
AT_ONCE = 2.0  # the server's first bytes show it speaks no TLS
FAST = 3.0  # a server the program can judge as soon as its bytes arrive
TIMED = 13.0  # a wait on the 10-second handshake time-out, with room for a busy machine

TLS_1_0, TLS_1_2 = 0x0301, 0x0303  # as the wire writes them

OLD = bytes(range(256)) * 64  # what the destination held: a file the user had
BODY = pattern_bytes(100_000, seed=22)
SMALL = pattern_bytes(1000, seed=23)


@dataclass
class Case:
    name: str
    serve: Callable  # (suite) -> a new server to enter, with .port
    verdict: str  # "complete" or "failed"
    outcome: str  # fetch.exe's outcome
    tls: str = "NONE"  # fetch.exe's TLS failure
    limit: float = FAST
    body: bytes = b""  # the file after a complete download
    serve_fetch: Callable = None  # the server for fetch.exe, when not one more of serve's
    version: int = None  # the TLS version fetch.exe reports, when it matters
    line: str = ""  # what the window's reason line says, after the host's name


def listing(folder):
    """Every entry of the folder with its content."""
    return {entry.name: entry.read_bytes() for entry in Path(folder).iterdir()}


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for piece in iter(lambda: f.read(1 << 20), b""):
            digest.update(piece)
    return digest.hexdigest()


class TlsSuite(ProgramCase):
    """One authority the prefix trusts, one it does not; sites issued by
    both. One program plays a whole table and must still be running after
    each case."""

    @classmethod
    def setUpClass(cls):
        cls.stack = ExitStack()
        try:
            cls._make_sites()
        except BaseException:
            cls.stack.close()
            raise

    @classmethod
    def _make_sites(cls):
        cls.ca = cls.stack.enter_context(CertificateAuthority("Gatherly Test CA"))
        cls.stranger = cls.stack.enter_context(CertificateAuthority("Gatherly Stranger CA"))
        cls.docroot = Path(cls.stack.enter_context(tempfile.TemporaryDirectory(prefix="gx-tls-")))
        (cls.docroot / "f.bin").write_bytes(BODY)
        # The revocation list is served over plain http, as authorities do.
        cls.crls = cls.stack.enter_context(PythonHttpServer(cls.docroot))
        crl_url = cls.crls.url("ca.crl")
        ca = cls.ca
        cls.sites = {
            "good": ca.issue("good", crl_url=crl_url),
            "expired": ca.issue("expired", dates=LONG_AGO),
            "not yet valid": ca.issue("future", dates=YEARS_AHEAD),
            "wrong name": ca.issue("other", names=["other.example"]),
            "client only": ca.issue("client", usage=CLIENT_AUTH),
            # Wine 8 remembers a revocation check by the certificate's serial
            # number, across processes, and the second check of a revoked
            # certificate passes: each download gets a revoked one of its own.
            "revoked": ca.issue("revoked", crl_url=crl_url),
            "revoked too": ca.issue("revoked-too", crl_url=crl_url),
            "revocation unreachable": ca.issue("unreachable", crl_url=f"http://127.0.0.1:{refused_port()}/ca.crl"),
            "stranger": cls.stranger.issue("stranger"),
            "self-signed": self_signed(cls.ca.folder, "self"),
        }
        ca.revoke(cls.sites["revoked"])
        ca.revoke(cls.sites["revoked too"])
        ca.revocation_list(cls.docroot / "ca.crl")
        cls.stack.enter_context(WineSession.current().trusting(ca.der))

    @classmethod
    def tearDownClass(cls):
        cls.stack.close()

    def setUp(self):
        super().setUp()
        self.cases_folder = Path(self.path("cases"))
        self.fetched_folder = Path(self.path("fetched"))
        self.cases_folder.mkdir()
        self.fetched_folder.mkdir()

    # Servers for the tables.
    def nginx(self, site, **options):
        return NginxServer(self.docroot, site=self.sites[site] if isinstance(site, str) else site, **options)

    def scripted(self, steps, **options):
        return ScriptedServer(steps, deadline=120, **options)

    def tls_scripted(self, steps, **options):
        return self.scripted(steps, tls=server_context(self.sites["good"]), **options)

    def ensure_program(self):
        if self.program is None or self.program.poll() is not None:
            self.start_program()

    def run_cases(self, cases):
        for index, case in enumerate(cases):
            with self.subTest(case.name):
                self.run_case(case, index)
        self.ensure_program()
        code, _ = self.exit_and_wait("exit", 5.0)
        self.assertEqual(code, 0, "the program's exit code after the cases")

    def run_case(self, case, index):
        self.ensure_program()
        name = f"{index:02d}_" + "".join(c if c.isalnum() else "_" for c in case.name) + ".bin"
        destination = self.cases_folder / name
        destination.write_bytes(OLD)
        before = listing(self.cases_folder)
        fetched_to = self.session.windows_path(self.fetched_folder / name)
        with case.serve(self) as server, (case.serve_fetch or case.serve)(self) as fetch_server:
            fetch_url = https_url(fetch_server.port, "f.bin")
            # A wait on a time-out is waited for by both at once.
            fetcher = start_fetch(self.session, fetch_url, fetched_to) if case.limit == TIMED else None
            self.fill(https_url(server.port, "f.bin"), self.session.windows_path(destination))
            try:
                verdict, elapsed_ms = self.driver.download(int((case.limit + 10) * 1000))
            except DriverError as e:
                stop_program(self.program, 0)
                self.fail(f"no final log line within {case.limit + 10:.0f} s: {e}")
            fetched = finish_fetch(fetcher or start_fetch(self.session, fetch_url, fetched_to))
        seconds = elapsed_ms / 1000.0
        print(f"  {case.name}: {verdict} after {seconds:.2f} s; {fetched.outcome} {fetched.tls}"
              f" status 0x{fetched.status:08x}", file=sys.stderr, flush=True)
        self.assertIsNone(self.program.poll(), f"the program ended (exit code {self.program.returncode})")
        self.assertEqual(verdict, case.verdict)
        if case.line:
            self.assertIn(case.line, self.driver.log_lines()[-2], "the reason line")
        self.assertLessEqual(seconds, scaled(case.limit), f"took {seconds:.1f} s")
        self.assertEqual((fetched.outcome, fetched.tls), (case.outcome, case.tls))
        if case.version is not None:
            self.assertEqual(fetched.version, case.version)
        if verdict == "complete":
            self.assertGreaterEqual(fetched.version, TLS_1_2, "the version agreed")
            self.assertEqual(destination.read_bytes(), case.body, "the file is not exactly the body")
            before[name] = case.body
        self.assertEqual(listing(self.cases_folder), before, "the folder is not as it was")

    def test_certificates(self):
        """Only a chain to a trusted root, valid now, for server
        authentication, for this name and not revoked passes; revocation
        that cannot be learnt lets it pass."""
        self.run_cases([
            Case("valid, revocation checked", lambda s: s.nginx("good"), "complete", "COMPLETE", body=BODY),
            Case("revocation address unreachable", lambda s: s.nginx("revocation unreachable"), "complete",
                 "COMPLETE", body=BODY),
            Case("expired", lambda s: s.nginx("expired"), "failed", "CERTIFICATE", "EXPIRED",
                 line="'s certificate has expired."),
            Case("not yet valid", lambda s: s.nginx("not yet valid"), "failed", "CERTIFICATE", "NOT_YET_VALID",
                 line="'s certificate is not valid yet."),
            Case("for another name", lambda s: s.nginx("wrong name"), "failed", "CERTIFICATE", "WRONG_NAME",
                 line="'s certificate is for another name."),
            Case("untrusted authority, full chain", lambda s: s.nginx("stranger"), "failed", "CERTIFICATE",
                 "UNTRUSTED", line="'s certificate is not from an authority this system trusts."),
            Case("untrusted authority, leaf only",
                 lambda s: s.nginx(dataclasses.replace(s.sites["stranger"], chain=s.sites["stranger"].leaf_only)),
                 "failed", "CERTIFICATE", "PARTIAL_CHAIN",
                 line="'s certificate does not lead to an authority this system trusts."),
            Case("self-signed", lambda s: s.nginx("self-signed"), "failed", "CERTIFICATE", "UNTRUSTED"),
            Case("without server authentication", lambda s: s.nginx("client only"), "failed", "CERTIFICATE",
                 "WRONG_USAGE", line="'s certificate is not meant for a web server."),
            Case("revoked", lambda s: s.nginx("revoked"), "failed", "CERTIFICATE", "REVOKED",
                 serve_fetch=lambda s: s.nginx("revoked too"), line="'s certificate has been revoked."),
        ])

    def test_handshakes(self):
        """Servers that cannot or will not complete a TLS 1.2 handshake fail
        it, at once when their bytes say so, at the time-out when they fall
        silent; a handshake in tiny pieces completes."""
        self.run_cases([
            Case("TLS 1.0 only", lambda s: s.nginx("good", protocols="TLSv1"), "failed", "TLS_HANDSHAKE",
                 "PROTOCOL_TOO_OLD", version=TLS_1_0, line=" offers only TLS 1.0; TLS 1.2 or later is required."),
            Case("plain HTTP on the TLS port", lambda s: NginxServer(s.docroot), "failed", "TLS_HANDSHAKE",
                 "NOT_TLS", limit=AT_ONCE, line=" does not speak TLS."),
            Case("plain HTTP on the TLS port, silent", lambda s: s.scripted([read_head(), hold(20)]), "failed",
                 "TLS_HANDSHAKE", "TIMED_OUT", limit=TIMED),
            Case("a close after the ClientHello", lambda s: s.scripted([read_some(), close()]), "failed",
                 "TLS_HANDSHAKE", "HANDSHAKE_CLOSED", line=" closed the connection during the TLS handshake."),
            Case("silent after the ClientHello", lambda s: s.scripted([read_some(), hold(20)]), "failed",
                 "TLS_HANDSHAKE", "TIMED_OUT", limit=TIMED, line=" did not end within 10 s."),
            Case("a handshake in 7-byte pieces",
                 lambda s: s.tls_scripted(answer(send(head(f"Content-Length: {len(SMALL)}") + SMALL)), piece=7),
                 "complete", "COMPLETE", body=SMALL),
        ])

    def test_ends_of_the_body(self):
        """A body ends where its framing says, and a body read until the
        close ends only at the server's close_notify: a TCP close without it
        is a cut; a renegotiation request fails the body."""
        self.run_cases([
            Case("until close_notify", lambda s: s.tls_scripted(answer(send(head() + BODY), close_notify())),
                 "complete", "COMPLETE", body=BODY),
            Case("until a close without close_notify", lambda s: s.tls_scripted(answer(send(head() + BODY))),
                 "failed", "BODY_CUT_SHORT", "TRUNCATED",
                 line=" was cut without TLS close_notify, after 100,000 bytes."),
            Case("length reached, then a close without close_notify",
                 lambda s: s.tls_scripted(answer(send(head(f"Content-Length: {len(BODY)}") + BODY))),
                 "complete", "COMPLETE", body=BODY),
            Case("length cut short by close_notify",
                 lambda s: s.tls_scripted(answer(send(head("Content-Length: 200000") + BODY), close_notify())),
                 "failed", "BODY_CUT_SHORT", line=" closed the connection after 100,000 of 200,000 bytes."),
            Case("length cut short without close_notify",
                 lambda s: s.tls_scripted(answer(send(head("Content-Length: 200000") + BODY))),
                 "failed", "BODY_CUT_SHORT", "TRUNCATED"),
            Case("chunks cut without close_notify",
                 lambda s: s.tls_scripted(answer(send(head(CHUNKED) + chunk(BODY)))),
                 "failed", "BODY_CUT_SHORT", "TRUNCATED"),
            Case("chunked, whole", lambda s: NodeServer(s.docroot, site=s.sites["good"]), "complete", "COMPLETE",
                 body=BODY),
            Case("a renegotiation request", lambda s: NodeServer(s.docroot, site=s.sites["good"], renegotiate=True),
                 "failed", "BODY_CUT_SHORT", "RENEGOTIATION_REFUSED", line=" asked to renegotiate TLS, which is refused"),
        ])

    def test_large_files_arrive_whole(self):
        """1 MiB and 256 MiB from nginx, byte for byte, in one program."""
        self.start_program()
        docroot = Path(self.path("served"))
        docroot.mkdir()
        sizes = {"1mib.bin": 1 << 20, "256mib.bin": 256 << 20}
        digests = {}
        for name, size in sizes.items():
            digest = hashlib.sha256()
            with open(docroot / name, "wb") as f:
                for at in range(0, size, 1 << 20):
                    piece = os.urandom(min(1 << 20, size - at))
                    digest.update(piece)
                    f.write(piece)
            digests[name] = digest.hexdigest()
        with NginxServer(docroot, site=self.sites["good"]) as server:
            for name in sizes:
                with self.subTest(name):
                    self.fill(server.url(name), self.win_path(name))
                    verdict, elapsed_ms = self.driver.download(120000)
                    print(f"  {name}: {verdict} after {elapsed_ms / 1000:.2f} s", file=sys.stderr, flush=True)
                    self.assertEqual(verdict, "complete")
                    self.assertEqual(sha256_of(self.path(name)), digests[name])
                    os.unlink(self.path(name))
        self.assert_log([line for size in sizes.values() for line in completed(size)])

    def test_sni_gives_each_name_its_own_certificate(self):
        """One port, several names, a certificate each: the client names the
        host it wants (SNI) and gets that name's site. Any other name gets
        the first site, whose certificate is for a name no download asks
        for, so a download without SNI fails."""
        names = ["localhost"] + ([loopback_alias()] if loopback_alias() else [])
        roots = {}
        for name in ["other.example"] + names:
            roots[name] = Path(self.path(f"served-{name}"))
            roots[name].mkdir()
            (roots[name] / "which.txt").write_bytes(name.encode())
        sites = {"localhost": self.sites["good"]}
        sites.update({name: self.ca.issue(name, names=[name]) for name in names[1:]})
        self.start_program()
        with NginxServer(roots["other.example"], site=self.sites["wrong name"],
                         named_sites=[(name, sites[name], roots[name]) for name in names]) as server:
            for name in names:
                with self.subTest(name):
                    self.assertEqual(self.download(server.url("which.txt", host=name), self.win_path(f"{name}.txt")),
                                     "complete")
                    self.assertEqual(Path(self.path(f"{name}.txt")).read_bytes(), name.encode())
        if len(names) == 1:
            with self.subTest("a second name"):
                self.skipTest("this machine's hosts file has no other name for its loopback")
    def test_sni_names_the_host_never_an_address(self):
        """The name the server is told is the URL's host name; a host given
        as an address sends no name at all."""
        told = []
        context = server_context(self.ca.issue("address", addresses=["127.0.0.1"]))
        context.sni_callback = lambda tls, name, context: told.append(name)
        with ScriptedServer(answer(send(head("Content-Length: 2") + b"ok")), connections=2, tls=context) as server:
            by_name = fetch(self.session, https_url(server.port, host="localhost"), self.win_path("by-name.bin"))
            by_address = fetch(self.session, https_url(server.port, host="127.0.0.1"), self.win_path("by-address.bin"))
        self.assertEqual(told, ["localhost", None])
        self.assertEqual((by_name.outcome, by_name.tls), ("COMPLETE", "NONE"))
        # The certificate names the address, which passes Windows' check;
        # Wine's refuses any address.
        self.assertIn((by_address.outcome, by_address.tls), [("COMPLETE", "NONE"), ("CERTIFICATE", "WRONG_NAME")])


if __name__ == "__main__":
    main()
