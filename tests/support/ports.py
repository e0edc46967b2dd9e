"""Loopback ports: every server of the tests listens on 127.0.0.1 only."""
import contextlib
import socket
import time

HOST = "127.0.0.1"


def free_port():
    """A port nothing listens on at the moment of the call."""
    with socket.socket() as s:
        s.bind((HOST, 0))
        return s.getsockname()[1]


@contextlib.contextmanager
def refused_port():
    """A port on which every connection is refused for as long as the block
    runs: bound and never listening, so that no server can take it meanwhile.

        with refused_port() as port:
            ...
    """
    with socket.socket() as s:
        s.bind((HOST, 0))
        yield s.getsockname()[1]


def loopback_alias(hosts="/etc/hosts"):
    """A second name of this machine's loopback, besides "localhost", from
    the hosts file; None when it has none. Never the machine's own name:
    Wine answers that one with the addresses of the network adapters."""
    own = socket.gethostname().lower()
    try:
        with open(hosts) as f:
            lines = f.read().splitlines()
    except OSError:
        return None
    for line in lines:
        words = line.split("#", 1)[0].split()
        if len(words) < 2 or not words[0].startswith("127."):
            continue
        for name in words[1:]:
            if name.lower() not in ("localhost", own) and not name.lower().startswith("localhost."):
                return name
    return None


def wait_listening(port, proc=None, timeout=10.0):
    """Waits until the port accepts a connection; RuntimeError when it does
    not within timeout seconds or the serving process has ended."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if proc is not None and proc.poll() is not None:
            raise RuntimeError(f"the server ended with exit code {proc.returncode} before it listened")
        try:
            with socket.create_connection((HOST, port), timeout=0.5):
                return
        except OSError:
            time.sleep(0.02)
    raise RuntimeError(f"nothing listens on {HOST}:{port} after {timeout:.0f} s")


def url(port, path="file.bin", scheme="http", host=HOST):
    return f"{scheme}://{host}:{port}/{path.lstrip('/')}"


def https_url(port, path="file.bin", host="localhost"):
    """An https URL for a server on this machine. By name: Wine's SSL policy
    refuses a host given as an address, even one the certificate names."""
    return url(port, path, "https", host)
