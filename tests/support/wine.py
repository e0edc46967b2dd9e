"""The Wine session the programs run in (an Xvfb display, a prefix and one
wineserver; tests/wine/session starts and stops it).

    session = WineSession.current()          # the one the test run started
    proc = session.start_program(exe, cwd=folder)

A tool with a session of its own (the benchmark):

    with WineSession.own(directory) as session: ...
"""
import hashlib
import os
import shlex
import struct
import subprocess
import tempfile
from contextlib import contextmanager
from pathlib import Path

from .paths import SESSION_SCRIPT, session_dir


# Where Wine's certificate store keeps the machine's trusted roots: in the
# prefix's registry, so a root added there is trusted by that prefix alone.
# The key is one for 64-bit and 32-bit programs alike (its 32-bit view is a
# link to it), as on Windows.
ROOT_CERTIFICATES = r"HKEY_LOCAL_MACHINE\Software\Microsoft\SystemCertificates\Root\Certificates"
# The certificate store's value: property 0x20 (the encoded certificate),
# then 1 and the length of the DER, each four bytes little-endian.
CERTIFICATE_PROPERTY = 0x20


class WineSession:
    def __init__(self, env, directory=None):
        self.env = env
        self.directory = directory
        self._own = False

    @classmethod
    def from_env_file(cls, path):
        path = Path(path)
        if not path.exists():
            raise RuntimeError(f"no Wine session is up in {path.parent}: "
                               f"start one with {SESSION_SCRIPT} start {path.parent}")
        env = dict(os.environ)
        for line in path.read_text().splitlines():
            words = shlex.split(line)
            if words and words[0] == "export":
                words = words[1:]
            for word in words:
                if "=" in word:
                    key, value = word.split("=", 1)
                    env[key] = value
        env.setdefault("WINEDEBUG", "-all")
        return cls(env, path.parent)

    @classmethod
    def current(cls):
        """The session in GX_WINE_SESSION (by default the build tree's wine/)."""
        return cls.from_env_file(session_dir() / "session.env")

    @classmethod
    def own(cls, directory):
        """Starts a session in directory; stop() (or the with block) ends it."""
        directory = Path(directory)
        subprocess.run([str(SESSION_SCRIPT), "start", str(directory)], check=True)
        session = cls.from_env_file(directory / "session.env")
        session._own = True
        return session

    def stop(self):
        if self._own:
            subprocess.run([str(SESSION_SCRIPT), "stop", str(self.directory)])
            self._own = False

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def start_program(self, exe, cwd=None, args=(), env=None, stderr=subprocess.DEVNULL):
        """Starts a Windows program; the Popen's pid is the program's own."""
        return subprocess.Popen(["wine", str(exe), *map(str, args)], cwd=cwd, env=env or self.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=stderr)

    def run(self, exe, args=(), timeout=60, cwd=None):
        """Runs a Windows program to its end; the CompletedProcess, with its
        output as text. TimeoutExpired when it outlives timeout seconds."""
        return subprocess.run(["wine", str(exe), *map(str, args)], cwd=cwd, env=self.env, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, encoding="latin-1", timeout=timeout)

    def run_tool(self, *args, timeout=60):
        """Runs one of Wine's own programs (reg, ...) to its end; its output
        goes to a file, never a pipe, which Wine's services could hold open.
        RuntimeError when it fails."""
        with tempfile.TemporaryFile() as said:
            done = subprocess.run(["wine", *map(str, args)], env=self.env, stdin=subprocess.DEVNULL, stdout=said,
                                  stderr=subprocess.STDOUT, timeout=timeout)
            said.seek(0)
            text = said.read().decode("latin-1").strip()
        if done.returncode != 0:
            raise RuntimeError(f"wine {' '.join(map(str, args))} ended with exit code {done.returncode}: {text[-500:]}")
        return text

    @contextmanager
    def trusting(self, der):
        """A root certificate (DER) trusted by this session's prefix, and by
        nothing else, for the block; the prefix trusts it no more after."""
        thumbprint = hashlib.sha1(der).hexdigest().upper()
        blob = struct.pack("<III", CERTIFICATE_PROPERTY, 1, len(der)) + der
        key = f"{ROOT_CERTIFICATES}\\{thumbprint}"
        with tempfile.TemporaryDirectory() as folder:
            reg = Path(folder) / "root.reg"
            value = ",".join(f"{b:02x}" for b in blob)
            reg.write_text(f"REGEDIT4\r\n\r\n[{key}]\r\n\"Blob\"=hex:{value}\r\n")
            self.run_tool("reg", "import", self.windows_path(reg))
        try:
            yield
        finally:
            self.run_tool("reg", "delete", key, "/f")

    @staticmethod
    def windows_path(path):
        """The Wine (Z:) form of a Linux path, as the program sees it."""
        return "Z:" + os.path.abspath(str(path)).replace("/", "\\")
