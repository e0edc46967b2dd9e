"""Runs the real Gatherly.exe under Wine and drives it through driver.exe.

Standard library only. Both the end-to-end tests and the benchmark use it:

    session = WineSession.from_env_file(build_dir / "wine" / "session.env")
    app = session.start_program(gatherly_exe, cwd=work_dir)   # a Popen
    with Driver(session, driver_exe) as d:
        d.attach(10000)
        d.set(2, "http://127.0.0.1:8080/x")
        ...
    app.wait(5)
"""
import os
import queue
import shlex
import subprocess
import tempfile
import threading
import time

GADGET_URL_LABEL, GADGET_SAVE_LABEL, GADGET_URL, GADGET_SAVE_AS = 0, 1, 2, 3
GADGET_PASTE, GADGET_BROWSE, GADGET_PROGRESS, GADGET_START = 4, 5, 6, 7
GADGET_LOG, GADGET_ABOUT, GADGET_EXIT = 8, 9, 10


class DriverError(Exception):
    """The driver answered "error <reason>" or did not answer in time."""


def escape(text):
    return text.replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r")


def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            i += 1
            c = {"n": "\n", "r": "\r"}.get(text[i], text[i])
        out.append(c)
        i += 1
    return "".join(out)


class WineSession:
    """The environment of the Wine session that the test run started."""

    def __init__(self, env):
        self.env = env

    @classmethod
    def from_env_file(cls, path):
        env = dict(os.environ)
        with open(path) as f:
            for line in f:
                words = shlex.split(line)
                if words and words[0] == "export":
                    words = words[1:]
                for word in words:
                    if "=" in word:
                        key, value = word.split("=", 1)
                        env[key] = value
        env.setdefault("WINEDEBUG", "-all")
        return cls(env)

    def start_program(self, exe, cwd=None, args=()):
        """Starts a Windows program; the Popen's pid is the program's own."""
        return subprocess.Popen(["wine", str(exe), *args], cwd=cwd, env=self.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

    def windows_path(self, path):
        """The Wine (Z:) form of a Linux path, as the program sees it."""
        return "Z:" + os.path.abspath(str(path)).replace("/", "\\")


class Driver:
    """One driver.exe process: send a command line, get its one answer line."""

    def __init__(self, session, driver_exe, answer_timeout=30.0):
        self.answer_timeout = answer_timeout
        # Wine reports a crash or a failed start on stderr: kept for the error.
        self.stderr = tempfile.TemporaryFile()
        self.proc = subprocess.Popen(["wine", str(driver_exe)], env=session.env,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=self.stderr, text=True,
                                     encoding="latin-1", bufsize=1)
        self.answers = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            self.answers.put(line.rstrip("\n"))
        self.answers.put(None)

    def command(self, line, timeout=None):
        """The value of an "ok" answer ("" when bare); DriverError otherwise."""
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()
        try:
            answer = self.answers.get(timeout=timeout or self.answer_timeout)
        except queue.Empty:
            raise DriverError(f"no answer to {line!r}") from None
        if answer is None:
            self.proc.wait()
            self.stderr.seek(0)
            said = self.stderr.read().decode("latin-1").strip()[-2000:]
            raise DriverError(f"driver ended (exit code {self.proc.returncode}) during {line!r}: {said}")
        if answer == "ok":
            return ""
        if answer.startswith("ok "):
            return answer[3:]
        raise DriverError(f"{line!r}: {answer}")

    def _ms_timeout(self, ms):
        return ms / 1000.0 + 10.0

    # One method per driver command.
    def attach(self, timeout_ms=15000):
        return unescape(self.command(f"attach {timeout_ms}", self._ms_timeout(timeout_ms)))

    def set(self, gadget, text):
        self.command(f"set {gadget} {escape(text)}")

    def get(self, gadget):
        return unescape(self.command(f"get {gadget}"))

    def click(self, gadget):
        self.command(f"click {gadget}")

    def enabled(self, gadget):
        return self.command(f"enabled {gadget}") == "1"

    def focus(self):
        value = self.command("focus")
        return None if value == "-" else int(value)

    def caret(self):
        start, end = self.command("caret").split()
        return int(start), int(end)

    def log(self):
        return unescape(self.command("log"))

    def log_lines(self):
        return [line for line in self.log().replace("\r\n", "\n").replace("\r", "\n").split("\n") if line]

    def download(self, timeout_ms=30000):
        """("complete" or "failed", elapsed ms from the click to the last line)."""
        verdict, elapsed = self.command(f"download {timeout_ms}", self._ms_timeout(timeout_ms)).split()
        return verdict, int(elapsed)

    def clipboard_text(self, text):
        self.command(f"clipboard-text {escape(text)}")

    def clipboard_empty(self):
        self.command("clipboard-empty")

    def clipboard_bitmap(self):
        self.command("clipboard-bitmap")

    def activate(self):
        self.command("activate")

    def type(self, text):
        self.command(f"type {escape(text)}")

    def key(self, name):
        self.command(f"key {name}")

    def browse_confirm(self, timeout_ms=10000):
        self.command(f"browse-confirm {timeout_ms}", self._ms_timeout(timeout_ms))

    def browse_cancel(self, timeout_ms=10000):
        self.command(f"browse-cancel {timeout_ms}", self._ms_timeout(timeout_ms))

    def rect(self):
        """The window's frame (left, top, right, bottom) on the desktop."""
        return tuple(int(v) for v in self.command("rect").split())

    def close_box(self):
        self.command("close-box")

    def wait_gone(self, timeout_ms=5000):
        return int(self.command(f"wait-gone {timeout_ms}", self._ms_timeout(timeout_ms)))

    def post(self, message, wparam, lparam):
        self.command(f"post {message} {wparam} {lparam}")

    def sleep(self, ms):
        self.command(f"sleep {ms}", self._ms_timeout(ms))

    def wait_for(self, predicate, timeout=5.0, interval=0.01):
        """Polls predicate() until true; the seconds it took, or None."""
        start = time.monotonic()
        while time.monotonic() - start < timeout:
            if predicate():
                return time.monotonic() - start
            time.sleep(interval)
        return None

    def close(self):
        if self.proc.poll() is None:
            try:
                self.command("quit", 5)
            except DriverError:
                pass
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        for pipe in (self.proc.stdin, self.proc.stdout, self.stderr):
            try:
                pipe.close()
            except OSError:
                pass

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def stop_program(proc, timeout=5.0):
    """Ends a started program that is still running; its exit code."""
    if proc.poll() is None:
        try:
            return proc.wait(timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            return proc.wait()
    return proc.returncode
