"""The Wine session the programs run in (an Xvfb display, a prefix and one
wineserver; tests/wine/session starts and stops it).

    session = WineSession.current()          # the one the test run started
    proc = session.start_program(exe, cwd=folder)

A tool with a session of its own (the benchmark):

    with WineSession.own(directory) as session: ...
"""
import os
import shlex
import subprocess
from pathlib import Path

from .paths import SESSION_SCRIPT, session_dir


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

    @staticmethod
    def windows_path(path):
        """The Wine (Z:) form of a Linux path, as the program sees it."""
        return "Z:" + os.path.abspath(str(path)).replace("/", "\\")
