"""The client of the end-to-end driver (tests/e2e/driver.cpp): one driver.exe
process under Wine, one command line in, one answer line out.

    with Driver(session) as d:
        d.attach()
        d.set(GADGET_URL, "http://127.0.0.1:8080/x")
        verdict, ms = d.download()
"""
import queue
from collections import namedtuple
import subprocess
import tempfile
import threading
import time

from .paths import driver_exe as default_driver_exe
from .timing import scaled

# How long the driver may look for the program's window and its last
# control. The first start in a fresh prefix, on a loaded machine or under
# emulation, takes seconds; the budget only bounds a program that never shows.
ATTACH_MS = 60000


Control = namedtuple("Control", "number kind rect text")


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


class Driver:
    """One driver.exe process: send a command line, get its one answer line."""

    def __init__(self, session, driver_exe=None, answer_timeout=30.0):
        self.answer_timeout = answer_timeout
        # Wine reports a crash or a failed start on stderr: kept for the error.
        self.stderr = tempfile.TemporaryFile()
        self.proc = subprocess.Popen(["wine", str(driver_exe or default_driver_exe())], env=session.env,
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
            answer = self.answers.get(timeout=scaled(timeout or self.answer_timeout))
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
        """How long to wait for the answer to a command that waits ms itself."""
        return ms / 1000.0 + 10.0

    def _timed(self, name, ms, rest=""):
        """A command that waits up to ms (stretched by the time factor)."""
        ms = int(scaled(ms))
        return self.command(f"{name} {ms}{rest}", self._ms_timeout(ms))

    # One method per driver command.
    def attach(self, timeout_ms=ATTACH_MS):
        return unescape(self._timed("attach", timeout_ms))

    def set(self, gadget, text):
        self.command(f"set {gadget} {escape(text)}")

    def get(self, gadget):
        return unescape(self.command(f"get {gadget}"))

    def click(self, gadget):
        self.command(f"click {gadget}")

    def enabled(self, gadget):
        return self.command(f"enabled {gadget}") == "1"

    def enable(self, gadget, state):
        """Enables or disables a control from outside, as no person can: a
        test sets Start Download against the watcher's verdict to see the
        watcher's next turn set it back."""
        self.command(f"enable {gadget} {1 if state else 0}")

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
        verdict, elapsed = self._timed("download", timeout_ms).split()
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
        self._timed("browse-confirm", timeout_ms)

    def browse_cancel(self, timeout_ms=10000):
        self._timed("browse-cancel", timeout_ms)

    def rect(self):
        """The window's frame (left, top, right, bottom) on the desktop."""
        return tuple(int(v) for v in self.command("rect").split())

    def layout(self):
        """((client width, height), [Control, ...]) with the window's child
        controls in creation order, rectangles within the client area."""
        lines = unescape(self.command("layout")).split("\n")
        _, width, height = lines[0].split("\t")
        controls = []
        for line in lines[1:]:
            if line:
                number, kind, left, top, right, bottom, text = line.split("\t", 6)
                controls.append(Control(int(number), kind, (int(left), int(top), int(right), int(bottom)), text))
        return (int(width), int(height)), controls

    def settle(self, timeout_ms=10000):
        """Returns once the program has handled everything posted to it so
        far (clicks included) and the actions they started have ended: what
        a test waits for before it checks that a press changed nothing."""
        self._timed("settle", timeout_ms)

    def close_box(self):
        self.command("close-box")

    def wait_gone(self, timeout_ms=5000):
        return int(self._timed("wait-gone", timeout_ms))

    def post(self, message, wparam, lparam):
        self.command(f"post {message} {wparam} {lparam}")

    def sleep(self, ms):
        self.command(f"sleep {ms}", self._ms_timeout(ms))

    def wait_for(self, predicate, timeout=5.0, interval=0.01):
        """Polls predicate() until true; the seconds it took, or None after
        timeout (stretched by the time factor)."""
        timeout = scaled(timeout)
        start = time.monotonic()
        while time.monotonic() - start < timeout:
            if predicate():
                return time.monotonic() - start
            time.sleep(interval)
        return None

    def progress(self):
        """The bar as another process reads it: (position, low, high, marquee)."""
        position, low, high, marquee = self.command("progress").split()
        return int(position), int(low), int(high), marquee == "1"

    def send(self, target, message, wparam=0, lparam=0, timeout_ms=1000):
        """Sends a message to the window (target -1) or a gadget from the
        driver's process; its result, or None while the program has not
        answered (a modal loop runs inside the send)."""
        ms = int(scaled(timeout_ms))
        value = self.command(f"send {target} {message} {wparam} {lparam} {ms}", self._ms_timeout(ms))
        return None if value == "pending" else int(value)

    def stop_by(self, how, timeout_ms=10000):
        """Stops the running download by a click, a sent click, or a key
        ("space", "escape"); (verdict, ms from the press to the verdict)."""
        ms = int(scaled(timeout_ms))
        verdict, elapsed = self.command(f"stop-by {how} {ms}", self._ms_timeout(ms)).split()
        return verdict, int(elapsed)

    def end_session(self, timeout_ms=10000):
        """Ends the session as Windows does; ms the handler took."""
        return int(self._timed("end-session", timeout_ms))

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
