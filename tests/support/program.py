"""The real Gatherly.exe under Wine, driven from outside, and the unittest
base class of every end-to-end suite.

    class MyCases(ProgramCase):
        def test_something(self):
            self.start_program()                 # fresh program, driver attached
            with ScriptedServer(answer(send(head("Content-Length: 2") + b"hi"))) as server:
                self.assertEqual(self.download(server.url("a"), self.win_path("a")), "complete")
"""
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from . import names
from .driver import ATTACH_MS, Driver, DriverError
from .log import log_matches, shown
from .paths import gatherly_exe, work_root
from .timing import scaled
from .wine import WineSession


def settle_folder_times(path):
    """Reads every folder from path up to the root once.

    Wine's folder browser walks its tree to the initial folder by comparing
    item records that carry each folder's times. The first read of a folder
    after it changed updates its access time (relatime), so a walk that reads
    a folder for the first time stops short of the initial folder. Reading
    the chain first leaves the times still while the dialog walks it."""
    path = os.path.abspath(path)
    while True:
        os.listdir(path)
        parent = os.path.dirname(path)
        if parent == path:
            return
        path = parent


def stop_program(proc, timeout=5.0):
    """Waits for a started program to end, killing it after timeout; its exit code."""
    if proc.poll() is None:
        try:
            return proc.wait(timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            return proc.wait()
    return proc.returncode


def start_and_attach(session, driver, cwd, exe=None, attach_ms=ATTACH_MS, watched=True, **start):
    """Starts Gatherly.exe and attaches the driver to its window once its
    last control exists; (process, title). A program that ends instead of
    showing its window fails the attach at once, with its exit code and
    what Wine said.

    With watched, it also waits for the watcher's first turn: "Start
    Download" is created enabled and the first turn disables it while both
    fields are empty. Without that wait, fields filled at once could meet a
    button still enabled from its creation, and the first turn, which read
    the fields before they were filled, would disable it under the press."""
    proc, title = _start_and_attach(session, driver, cwd, exe, attach_ms, **start)
    if watched and driver.wait_for(lambda: not driver.enabled(names.GADGET_START), 3.0, 0.002) is None:
        stop_program(proc, 0.1)
        raise DriverError("Start Download stayed enabled with both fields empty: the watcher never took its first turn")
    return proc, title


def _start_and_attach(session, driver, cwd, exe, attach_ms, **start):
    said = None
    if "stderr" not in start:
        said = start["stderr"] = tempfile.TemporaryFile()
    proc = session.start_program(exe or gatherly_exe(), cwd=str(cwd), **start)
    deadline = time.monotonic() + scaled(attach_ms) / 1000.0
    try:
        while True:
            # In slices, so that a program that has ended is noticed at once.
            try:
                return proc, driver.attach(2000)
            except DriverError as e:
                if proc.poll() is None and time.monotonic() < deadline:
                    continue
                state = "still running" if proc.poll() is None else f"ended with exit code {proc.returncode}"
                stop_program(proc, 0.1)
                wine_said = ""
                if said is not None:
                    said.seek(0)
                    wine_said = said.read().decode("latin-1").strip()[-1000:]
                raise DriverError(f"no window within {scaled(attach_ms)} ms: {e} (the program {state}{'; it said: ' + wine_said if wine_said else ''})") \
                    from None
    finally:
        if said is not None:
            said.close()


class ProgramCase(unittest.TestCase):
    """Each test gets its own work folder, a driver, and through
    start_program() a running Gatherly.exe whose current directory is the
    work folder; whatever is still running at the end is ended."""

    def setUp(self):
        self.session = WineSession.current()
        self.work = tempfile.mkdtemp(prefix="gx-e2e-", dir=work_root())
        settle_folder_times(self.work)
        self.addCleanup(shutil.rmtree, self.work, True)
        self.driver = Driver(self.session)
        self.addCleanup(self.driver.close)
        self.program = None

    def start_program(self, watched=True):
        self.program, self.title = start_and_attach(self.session, self.driver, self.work, watched=watched)
        self.addCleanup(self._end_program, self.program)
        return self.program

    def _end_program(self, program):
        if program.poll() is None:
            try:
                self.driver.close_box()
            except DriverError:
                pass
            stop_program(program, 5)

    def path(self, name):
        return os.path.join(self.work, name)

    def win_path(self, name=""):
        """The Windows path of a file in the work folder; the folder itself
        with its closing backslash when no name is given."""
        return self.session.windows_path(self.path(name)) if name else \
            self.session.windows_path(self.work) + "\\"

    def browse(self, answer="confirm"):
        """Presses "Browse" and confirms or cancels the folder browser."""
        settle_folder_times(self.work)
        self.driver.click(names.GADGET_BROWSE)
        if answer == "confirm":
            self.driver.browse_confirm()
        else:
            self.driver.browse_cancel()

    def fill(self, url, save_as):
        self.driver.set(names.GADGET_URL, url)
        self.driver.set(names.GADGET_SAVE_AS, save_as)
        self.wait_enabled(True)

    def wait_enabled(self, state, timeout=3.0):
        took = self.driver.wait_for(lambda: self.driver.enabled(names.GADGET_START) == state, timeout)
        self.assertIsNotNone(took, f"Start Download did not become {'enabled' if state else 'disabled'}")
        return took

    def download(self, url, save_as, timeout_ms=60000):
        """Fills both fields, presses "Start Download"; "complete" or "failed"."""
        self.fill(url, save_as)
        verdict, _ = self.driver.download(timeout_ms)
        return verdict

    def assert_log(self, expected, timeout=0):
        """The log's lines are the expected texts and patterns (support.log),
        within timeout seconds when one is given."""
        lines = self.driver.log_lines()
        if timeout and not log_matches(lines, expected):
            self.driver.wait_for(lambda: log_matches(self.driver.log_lines(), expected), timeout, 0.05)
            lines = self.driver.log_lines()
        self.assertTrue(log_matches(lines, expected), f"the log holds {lines}, expected {shown(expected)}")

    def exit_and_wait(self, how="exit", limit=2.0):
        """Ends the program by "Exit" or the close box; (exit code, seconds).
        The caller compares the seconds with its own budget."""
        start = time.monotonic()
        if how == "exit":
            self.driver.click(names.GADGET_EXIT)
        else:
            self.driver.close_box()
        try:
            code = self.program.wait(scaled(limit + 3))
        except subprocess.TimeoutExpired:
            self.fail(f"the program did not end after {how}")
        return code, time.monotonic() - start

    def open_files(self):
        """The Linux paths the program's process holds open (Wine keeps a
        descriptor for each file or socket handle in use)."""
        fd_dir = f"/proc/{self.program.pid}/fd"
        paths = []
        for fd in os.listdir(fd_dir):
            try:
                paths.append(os.readlink(os.path.join(fd_dir, fd)))
            except OSError:
                pass
        return paths


def main():
    unittest.main(verbosity=2)
