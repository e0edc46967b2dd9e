"""Real HTTP servers on 127.0.0.1 for the end-to-end tests.

Each one is a context manager: it picks a free port, starts the server,
waits until the port accepts connections, and stops the server on exit.
Nothing here listens anywhere but on loopback.
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

HOST = "127.0.0.1"
HERE = os.path.dirname(os.path.abspath(__file__))


def free_port():
    with socket.socket() as s:
        s.bind((HOST, 0))
        return s.getsockname()[1]


def wait_listening(port, proc=None, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if proc is not None and proc.poll() is not None:
            raise RuntimeError(f"server exited with {proc.returncode}")
        try:
            with socket.create_connection((HOST, port), timeout=0.2):
                return
        except OSError:
            time.sleep(0.02)
    raise RuntimeError(f"nothing listens on port {port}")


def refused_port():
    """A loopback port on which nothing listens (bound, never listening)."""
    return free_port()


class _ProcessServer:
    name = "server"

    def __init__(self, docroot):
        self.docroot = docroot
        self.port = free_port()
        self.proc = None

    def command(self):
        raise NotImplementedError

    def url(self, path):
        return f"http://{HOST}:{self.port}/{path.lstrip('/')}"

    def __enter__(self):
        self.proc = subprocess.Popen(self.command(), stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            wait_listening(self.port, self.proc)
        except Exception:
            self.__exit__()
            raise
        return self

    def __exit__(self, *exc):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


class NginxServer(_ProcessServer):
    """nginx in the foreground with its own prefix: static files, Content-Length."""
    name = "nginx"

    def __enter__(self):
        self.prefix = tempfile.mkdtemp(prefix="gx-nginx-")
        for sub in ("logs", "tmp"):
            os.mkdir(os.path.join(self.prefix, sub))
        with open(os.path.join(self.prefix, "nginx.conf"), "w") as f:
            f.write(f"""
daemon off;
master_process off;
worker_processes 1;
pid {self.prefix}/nginx.pid;
error_log {self.prefix}/logs/error.log;
events {{ worker_connections 64; }}
http {{
  access_log off;
  default_type application/octet-stream;
  client_body_temp_path {self.prefix}/tmp/body;
  proxy_temp_path {self.prefix}/tmp/proxy;
  fastcgi_temp_path {self.prefix}/tmp/fastcgi;
  uwsgi_temp_path {self.prefix}/tmp/uwsgi;
  scgi_temp_path {self.prefix}/tmp/scgi;
  server {{
    listen {HOST}:{self.port};
    root {self.docroot};
  }}
}}
""")
        return super().__enter__()

    def command(self):
        return ["/usr/sbin/nginx", "-p", self.prefix, "-c", os.path.join(self.prefix, "nginx.conf"),
                "-e", os.path.join(self.prefix, "logs", "error.log")]

    def __exit__(self, *exc):
        super().__exit__()
        shutil.rmtree(self.prefix, ignore_errors=True)


class PythonHttpServer(_ProcessServer):
    """python3 -m http.server: HTTP/1.0 answers with Content-Length."""
    name = "python"

    def command(self):
        return [sys.executable, "-m", "http.server", "--bind", HOST, "--directory", self.docroot,
                str(self.port)]


class NodeServer(_ProcessServer):
    """Node.js http: files sent in pieces, so the body is chunked."""
    name = "node"

    def command(self):
        return ["/usr/bin/node", os.path.join(HERE, "chunked_server.js"), HOST, str(self.port),
                self.docroot]


class ScriptedServer:
    """A raw socket server that answers every connection with one scripted
    response (bytes, or a function of the request bytes returning bytes) and
    records the requests it got. Runs on a thread of the test process."""

    def __init__(self, response, read_timeout=2.0):
        self.response = response
        self.read_timeout = read_timeout
        self.requests = []
        self.sock = socket.socket()
        self.sock.bind((HOST, 0))
        self.sock.listen(8)
        self.sock.settimeout(0.1)
        self.port = self.sock.getsockname()[1]
        self.stopping = threading.Event()
        self.thread = threading.Thread(target=self._serve, daemon=True)

    def url(self, path):
        return f"http://{HOST}:{self.port}/{path.lstrip('/')}"

    def _read_request(self, conn):
        conn.settimeout(self.read_timeout)
        data = b""
        try:
            while b"\r\n\r\n" not in data:
                piece = conn.recv(4096)
                if not piece:
                    break
                data += piece
            # Whatever follows the head right away (a second, smuggled request).
            conn.settimeout(0.2)
            while True:
                piece = conn.recv(4096)
                if not piece:
                    break
                data += piece
        except OSError:
            pass
        return data

    def _serve(self):
        while not self.stopping.is_set():
            try:
                conn, _ = self.sock.accept()
            except OSError:
                continue
            with conn:
                request = self._read_request(conn)
                self.requests.append(request)
                response = self.response(request) if callable(self.response) else self.response
                try:
                    if isinstance(response, (list, tuple)):
                        for piece in response:
                            if isinstance(piece, (int, float)):
                                time.sleep(piece)
                            else:
                                conn.sendall(piece)
                    else:
                        conn.sendall(response)
                except OSError:
                    pass

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stopping.set()
        self.thread.join(5)
        self.sock.close()
