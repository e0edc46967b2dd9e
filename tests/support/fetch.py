"""One download through the program's download code without its window
(tests/e2e/fetch.cpp), for a test that must know why a download failed:
the window says only that it did.

    result = fetch(session, url, windows_destination)
    result.outcome, result.tls           # "CERTIFICATE", "EXPIRED"
"""
import subprocess
import tempfile
from collections import namedtuple

from .paths import e2e_program
from .timing import scaled

Fetched = namedtuple("Fetched", "outcome tls status version alert milliseconds")


def start_fetch(session, url, destination):
    """Starts the download; finish_fetch(started) waits for its result.
    What it prints goes to a file: a pipe could be held open by the Wine
    services that the first program of a prefix starts."""
    out = tempfile.TemporaryFile()
    proc = subprocess.Popen(["wine", str(e2e_program("fetch.exe")), url, destination], env=session.env,
                            stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.DEVNULL)
    return proc, out


def finish_fetch(started, timeout=60):
    proc, out = started
    try:
        proc.wait(scaled(timeout))
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
        raise
    finally:
        out.seek(0)
        said = out.read().decode("latin-1").split()
        out.close()
    if proc.returncode != 0 or len(said) != 6:
        raise RuntimeError(f"fetch.exe ended with exit code {proc.returncode}, saying {' '.join(said)!r}")
    outcome, tls, status, version, alert, ms = said
    return Fetched(outcome, tls, int(status, 16), int(version, 16), int(alert), int(ms))


def fetch(session, url, destination, timeout=60):
    return finish_fetch(start_fetch(session, url, destination), timeout)
