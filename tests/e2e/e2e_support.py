"""What every end-to-end test of Gatherly shares: where the programs are,
the Wine session, a fresh program per test and files to serve.

GX_BUILD_DIR names the build tree (CTest sets it); the session is the one
that the suite's fixture started in GX_BUILD_DIR/wine.
"""
import os
import shutil
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from gatherly import (Driver, DriverError, WineSession, stop_program,  # noqa: E402,F401
                      GADGET_URL, GADGET_SAVE_AS, GADGET_PASTE, GADGET_BROWSE, GADGET_START,
                      GADGET_LOG, GADGET_ABOUT, GADGET_EXIT)

BUILD_DIR = os.path.abspath(os.environ.get("GX_BUILD_DIR", os.path.join(HERE, "..", "..", "build", "win64")))
GATHERLY_EXE = os.path.join(BUILD_DIR, "app", "Gatherly.exe")
DRIVER_EXE = os.path.join(BUILD_DIR, "tests", "e2e", "driver.exe")
WORK_ROOT = os.path.join(BUILD_DIR, "e2e-work")

STARTED, COMPLETE, FAILED = "Started download...", "Download complete!", "Download failed!"


def session():
    return WineSession.from_env_file(os.path.join(BUILD_DIR, "wine", "session.env"))


def pattern_bytes(size, seed=0):
    """Bytes that show any lost, doubled or moved piece (not a repeated byte)."""
    out = bytearray(size)
    x = (seed * 2654435761 + 12345) & 0xFFFFFFFF
    for i in range(size):
        x = (x * 1103515245 + 12345) & 0xFFFFFFFF
        out[i] = x >> 24
    return bytes(out)


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


class ProgramCase(unittest.TestCase):
    """Each test gets its own work folder, a running Gatherly.exe whose
    current directory it is, and a driver attached to its window."""

    def setUp(self):
        self.session = session()
        # Not under /tmp, whose times change all the time; see settle_folder_times.
        os.makedirs(WORK_ROOT, exist_ok=True)
        self.work = tempfile.mkdtemp(prefix="gx-e2e-", dir=WORK_ROOT)
        settle_folder_times(self.work)
        self.addCleanup(shutil.rmtree, self.work, True)
        self.driver = Driver(self.session, DRIVER_EXE)
        self.addCleanup(self.driver.close)
        self.program = None

    def start_program(self):
        self.program = self.session.start_program(GATHERLY_EXE, cwd=self.work)
        self.addCleanup(self._end_program, self.program)
        self.title = self.driver.attach(20000)
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
        return self.session.windows_path(self.path(name)) if name else \
            self.session.windows_path(self.work) + "\\"

    def browse(self, answer="confirm"):
        """Presses "Browse" and confirms or cancels the folder browser."""
        settle_folder_times(self.work)
        self.driver.click(GADGET_BROWSE)
        if answer == "confirm":
            self.driver.browse_confirm()
        else:
            self.driver.browse_cancel()

    def fill(self, url, save_as):
        self.driver.set(GADGET_URL, url)
        self.driver.set(GADGET_SAVE_AS, save_as)
        self.wait_enabled(True)

    def wait_enabled(self, state, timeout=3.0):
        took = self.driver.wait_for(lambda: self.driver.enabled(GADGET_START) == state, timeout)
        self.assertIsNotNone(took, f"Start Download did not become {'enabled' if state else 'disabled'}")
        return took

    def download(self, url, save_as, timeout_ms=60000):
        self.fill(url, save_as)
        verdict, _ = self.driver.download(timeout_ms)
        return verdict

    def exit_and_wait(self, how="exit", limit=2.0):
        """Ends the program by "Exit" or the close box; (exit code, seconds)."""
        start = time.monotonic()
        if how == "exit":
            self.driver.click(GADGET_EXIT)
        else:
            self.driver.close_box()
        try:
            code = self.program.wait(limit + 3)
        except Exception:
            self.fail(f"the program did not end after {how}")
        return code, time.monotonic() - start


def main():
    unittest.main(verbosity=2)
