"""Real HTTP servers on 127.0.0.1, each serving the files of one folder.

    with NginxServer(docroot) as server:
        server.url("file.bin")

Each picks a free port, starts the server, waits until the port accepts
connections (or fails with the server's own complaint), and stops it on
leaving the block. Nothing here listens anywhere but on loopback.

Given a site (certificates.Site), nginx and Node serve https instead, and
url() gives an https URL by the name "localhost".
"""
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

from .ports import HOST, free_port, https_url, url as port_url, wait_listening

HERE = Path(__file__).resolve().parent


class ProcessServer:
    name = "server"

    def __init__(self, docroot, site=None):
        self.docroot = str(docroot)
        self.site = site
        self.port = free_port()
        self.proc = None

    def command(self):
        raise NotImplementedError

    def complaint(self):
        """What the server said about why it did not start."""
        return ""

    def url(self, path="file.bin", host="localhost"):
        return https_url(self.port, path, host) if self.site else port_url(self.port, path)

    def start(self):
        self.proc = subprocess.Popen(self.command(), stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            wait_listening(self.port, self.proc)
        except RuntimeError as e:
            self.stop()
            raise RuntimeError(f"{self.name} did not start: {e} {self.complaint()}".strip()) from None
        return self

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


class NginxServer(ProcessServer):
    """nginx in the foreground with a prefix of its own: static files with
    Content-Length, sent with sendfile as a production set-up would.

    With a site, https: protocols names the TLS versions it speaks
    ("TLSv1" for an old server), named_sites adds (name, site, docroot)
    servers on the same port that a client reaches by SNI (the first site
    answers any other name), and addresses are the loopback addresses it
    listens on. directives go into the first server's block as they are
    ("location = /old { return 301 /new; }")."""
    name = "nginx"

    def __init__(self, docroot, site=None, protocols=None, named_sites=(), addresses=(HOST,), directives=""):
        super().__init__(docroot, site)
        self.protocols = protocols
        self.named_sites = list(named_sites)
        self.addresses = list(addresses)
        self.directives = directives

    def _server_block(self, site, root, name=None, directives=""):
        listen = "".join(f"    listen {address}:{self.port}{' ssl' if site else ''};\n" for address in self.addresses)
        lines = [listen.rstrip("\n"), f"    root {root};"] + ([f"    {directives}"] if directives else [])
        if name:
            lines.append(f"    server_name {name};")
        if site:
            lines += [f"    ssl_certificate {site.chain};", f"    ssl_certificate_key {site.key};"]
            if self.protocols:
                # An old protocol needs the old ciphers, which OpenSSL 3
                # keeps behind its lowest security level.
                lines += [f"    ssl_protocols {self.protocols};", "    ssl_ciphers DEFAULT:@SECLEVEL=0;"]
        return "  server {\n" + "\n".join(lines) + "\n  }\n"

    def start(self):
        self.prefix = tempfile.mkdtemp(prefix="gx-nginx-")
        os.mkdir(os.path.join(self.prefix, "tmp"))
        self.error_log = os.path.join(self.prefix, "error.log")
        self.conf = os.path.join(self.prefix, "nginx.conf")
        temp = os.path.join(self.prefix, "tmp")
        servers = self._server_block(self.site, self.docroot, directives=self.directives) + "".join(
            self._server_block(site, root, name) for name, site, root in self.named_sites)
        with open(self.conf, "w") as f:
            f.write(f"""
daemon off;
master_process off;
worker_processes 1;
pid {self.prefix}/nginx.pid;
error_log {self.error_log} warn;
events {{ worker_connections 64; }}
http {{
  access_log off;
  sendfile on;
  tcp_nopush on;
  default_type application/octet-stream;
  client_body_temp_path {temp}/body;
  proxy_temp_path {temp}/proxy;
  fastcgi_temp_path {temp}/fastcgi;
  uwsgi_temp_path {temp}/uwsgi;
  scgi_temp_path {temp}/scgi;
{servers}}}
""")
        return super().start()

    def command(self):
        return [shutil.which("nginx") or "/usr/sbin/nginx", "-p", self.prefix, "-c", self.conf, "-e", self.error_log]

    def complaint(self):
        try:
            with open(self.error_log, errors="replace") as f:
                return f.read()[-1000:]
        except OSError:
            return ""

    def stop(self):
        super().stop()
        if getattr(self, "prefix", None):
            shutil.rmtree(self.prefix, ignore_errors=True)
            self.prefix = None


class PythonHttpServer(ProcessServer):
    """python3 -m http.server: HTTP/1.0 answers with Content-Length."""
    name = "python"

    def command(self):
        return [sys.executable, "-m", "http.server", "--bind", HOST, "--directory", self.docroot, str(self.port)]


class NodeServer(ProcessServer):
    """Node.js http: files sent in pieces without a length, so chunked. With
    a site, https; with renegotiate too, it asks the client to renegotiate
    (TLS 1.2) after the first piece of each body. "/go?to=URL" answers 302
    with URL as its Location."""
    name = "node"

    def __init__(self, docroot, site=None, renegotiate=False):
        super().__init__(docroot, site)
        self.renegotiate = renegotiate

    def command(self):
        tls = [str(self.site.chain), str(self.site.key)] if self.site else []
        return [shutil.which("node") or "/usr/bin/node", str(HERE / "chunked_server.js"), HOST, str(self.port),
                self.docroot, *tls, *(["renegotiate"] if self.renegotiate else [])]


REAL_SERVERS = (NginxServer, PythonHttpServer, NodeServer)
