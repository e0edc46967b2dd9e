"""A long download through the real window, driven from another process:
the bar shows it (read from outside, as assistive technologies read it),
every way of stopping it ends it and leaves the folder as it was, and what
another program sends or presses meanwhile neither stalls it nor is lost."""
import os
import signal
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from support import (CHUNKED, GADGET_PROGRESS, GADGET_SAVE_AS, GADGET_START, GADGET_URL, ProgramCase,  # noqa: E402
                     ScriptedServer, answer, chunked, completed, failed, head, hold, main, names, pattern_bytes,
                     scaled, send, send_paced)

STEPS = names.read_constants()["PROGRESS_STEPS"]
START_TEXT = names.read_constants()["START_TEXT"]
STOP_TEXT = names.read_constants()["STOP_TEXT"]
OLD = b"the user's own file\n"

WM_CLOSE = 0x0010
WM_CONTEXTMENU = 0x007B
WM_SYSCOMMAND = 0x0112
SC_MOVE = 0xF010
SC_KEYMENU = 0xF100
BM_CLICK = 0x00F5
PBM_GETRANGE = 0x0407
PBM_SETPOS = 0x0402
PBM_GETPOS = 0x0408


def paced(body, seconds, length=True):
    """A script that sends body over about seconds, in pieces."""
    if length:
        return answer(send(head(f"Content-Length: {len(body)}")),
                      send_paced(body, rate=len(body) / seconds, piece=max(1, len(body) // 60)))
    coded = chunked(body, piece=max(1, len(body) // 60))
    return answer(send(head(CHUNKED)), send_paced(coded, rate=len(coded) / seconds, piece=max(1, len(coded) // 60)))


class ProgressCase(ProgramCase):
    def start_download(self, script, name="file.bin", old=OLD):
        """Starts a download of the script's answer into name, which holds
        old beforehand; returns the server once the download has connected."""
        if old is not None:
            with open(self.path(name), "wb") as f:
                f.write(old)
        self.before = sorted(os.listdir(self.work))
        server = ScriptedServer(script)
        self.addCleanup(server.stop)
        self.fill(server.url(name), self.win_path(name))
        self.driver.click(GADGET_START)
        self.assertIsNotNone(self.driver.wait_for(lambda: server.connections == 1, 10), "the download never connected")
        return server

    def wait_for_body(self):
        """Until the bar shows that body bytes have come."""
        took = self.driver.wait_for(lambda: self.driver.progress()[0] > 0 or self.driver.progress()[3], 10, 0.02)
        self.assertIsNotNone(took, "the bar never moved")

    def assert_folder_as_it_was(self, name="file.bin", old=OLD):
        self.assertEqual(sorted(os.listdir(self.work)), self.before)
        if old is not None:
            with open(self.path(name), "rb") as f:
                self.assertEqual(f.read(), old)


class Bar(ProgressCase):
    def test_bar_follows_a_paced_download_and_ends_full(self):
        self.start_program()
        self.assertEqual(self.driver.progress(), (0, 0, 10, False))  # as the layout made it
        body = pattern_bytes(600_000, seed=3)
        self.start_download(paced(body, 6.0), old=None)
        positions = []
        while True:
            position, low, high, marquee = self.driver.progress()
            positions.append(position)
            self.assertEqual((low, high, marquee), (0, STEPS, False))
            if self.driver.get(GADGET_START) == START_TEXT:
                break
            time.sleep(0.05)
        self.assertEqual(positions, sorted(positions), "the bar went back")
        self.assertGreaterEqual(len(set(positions)), 8, positions)
        self.assertEqual(self.driver.progress(), (STEPS, 0, STEPS, False))
        self.assert_log(completed(len(body)), timeout=5)
        with open(self.path("file.bin"), "rb") as f:
            self.assertEqual(f.read(), body)
        # Another program reads the plain values only: a place to write the
        # range into, or a new position, is refused.
        self.assertEqual(self.driver.send(GADGET_PROGRESS, PBM_GETRANGE, 1, 0x10000), 0)
        self.driver.send(GADGET_PROGRESS, PBM_SETPOS, 3, 0)
        self.assertEqual(self.driver.send(GADGET_PROGRESS, PBM_GETPOS), STEPS)

    def test_marquee_while_a_chunked_body_arrives(self):
        self.start_program()
        body = pattern_bytes(300_000, seed=4)
        self.start_download(paced(body, 3.0, length=False), old=None)
        took = self.driver.wait_for(lambda: self.driver.progress()[3], 10, 0.02)
        self.assertIsNotNone(took, "no marquee while the body came")
        self.assert_log(completed(len(body)), timeout=20)
        self.assertEqual(self.driver.progress(), (STEPS, 0, STEPS, False))

    def test_a_failed_download_leaves_the_bar_at_its_minimum(self):
        self.start_program()
        self.start_download(answer(send(head("Content-Length: 100000") + b"x" * 50_000)))
        self.assert_log(failed("127.0.0.1 closed the connection after 50,000 of 100,000 bytes."), timeout=20)
        self.assertEqual(self.driver.progress()[0], 0)
        self.assert_folder_as_it_was()


class Stop(ProgressCase):
    def check_stop(self, how):
        self.start_program()
        self.start_download(paced(pattern_bytes(1_000_000, seed=5), 20.0))
        self.wait_for_body()
        self.assertEqual(self.driver.get(GADGET_START), STOP_TEXT)
        self.assertTrue(self.driver.enabled(GADGET_START))
        if how in ("space", "escape"):
            self.driver.activate()
        verdict, ms = self.driver.stop_by(how)
        self.assertEqual(verdict, "failed")
        self.assertLess(ms, scaled(1000))
        self.assert_log(failed("Stopped."))
        self.assertEqual(self.driver.get(GADGET_START), START_TEXT)
        self.assertEqual(self.driver.progress()[0], 0)
        self.assert_folder_as_it_was()

    def test_stop_button(self):
        self.check_stop("click")

    def test_stop_button_pressed_by_another_program(self):
        self.check_stop("sent-click")

    def test_space_on_the_stop_button(self):
        self.check_stop("space")

    def test_escape(self):
        self.check_stop("escape")

    def test_stop_during_a_silent_head_wait(self):
        self.start_program()
        self.start_download(answer(hold(20)))
        verdict, ms = self.driver.stop_by("click")
        self.assertEqual(verdict, "failed")
        self.assertLess(ms, scaled(1000))
        self.assert_log(failed("Stopped."))
        self.assert_folder_as_it_was()

    def test_clearing_a_field_leaves_stop_enabled(self):
        self.start_program()
        self.start_download(paced(pattern_bytes(500_000, seed=6), 20.0))
        self.driver.set(GADGET_URL, "")
        self.driver.set(GADGET_SAVE_AS, "")
        time.sleep(0.3)  # three turns of the watcher, which must leave the button alone
        self.assertTrue(self.driver.enabled(GADGET_START))
        self.assertEqual(self.driver.stop_by("click")[0], "failed")
        self.wait_enabled(False)  # the download is over: the watcher looks at the fields again
        self.assert_folder_as_it_was()


class Ending(ProgressCase):
    """Ways the program is ended during a download: each stops it, removes
    its file, and ends the program with exit code 0."""

    def check_end(self, end):
        self.start_program()
        self.start_download(paced(pattern_bytes(1_000_000, seed=7), 20.0))
        self.wait_for_body()
        end()
        try:
            code = self.program.wait(scaled(5))
        except Exception:
            self.fail("the program did not end")
        self.assertEqual(code, 0)
        self.assert_folder_as_it_was()

    def test_close_box(self):
        self.check_end(self.driver.close_box)

    def test_alt_f4(self):
        self.driver_keys_after_activation("alt-f4")

    def driver_keys_after_activation(self, key):
        def press():
            self.driver.activate()
            self.driver.key(key)
        self.check_end(press)

    def test_wm_close_from_another_process(self):
        self.check_end(lambda: self.driver.post(WM_CLOSE, 0, 0))

    def test_exit(self):
        self.check_end(lambda: self.driver.click(names.GADGET_EXIT))

    def test_end_of_the_session_removes_the_file_before_the_handler_returns(self):
        self.start_program()
        self.start_download(paced(pattern_bytes(1_000_000, seed=8), 20.0))
        self.wait_for_body()
        self.driver.end_session()
        # The system may end the process the moment the handler returns.
        os.kill(self.program.pid, signal.SIGKILL)
        self.program.wait(scaled(5))
        self.assert_folder_as_it_was()


class Strangers(ProgressCase):
    """Another program's sends run modal loops in the window's thread (a
    menu, a move): the download goes on meanwhile; and a button it presses
    does what a click does."""

    def check_loop_does_not_stall(self, target, message, wparam, lparam):
        self.start_program()
        body = pattern_bytes(300_000, seed=9)
        self.start_download(paced(body, 3.0), old=None)
        self.wait_for_body()
        self.driver.activate()
        self.assertIsNone(self.driver.send(target, message, wparam, lparam, timeout_ms=300),
                          "no modal loop ran: the case shows nothing")
        # The whole body arrives and is saved while the loop still runs.
        took = self.driver.wait_for(lambda: os.path.exists(self.path("file.bin")), 15, 0.05)
        self.assertIsNotNone(took, "the download stalled inside the loop")
        with open(self.path("file.bin"), "rb") as f:
            self.assertEqual(f.read(), body)
        self.driver.key("escape")
        self.driver.key("escape")
        self.assert_log(completed(len(body)), timeout=10)

    def test_keyboard_menu(self):
        self.check_loop_does_not_stall(-1, WM_SYSCOMMAND, SC_KEYMENU, 0)

    def test_move(self):
        self.check_loop_does_not_stall(-1, WM_SYSCOMMAND, SC_MOVE, 0)

    def test_context_menu_of_a_field(self):
        self.check_loop_does_not_stall(GADGET_URL, WM_CONTEXTMENU, 0, -1)

    def test_start_pressed_by_another_program(self):
        self.start_program()
        with ScriptedServer(answer(send(head("Content-Length: 5") + b"hello"))) as server:
            self.fill(server.url("a.txt"), self.win_path("a.txt"))
            self.assertEqual(self.driver.send(GADGET_START, BM_CLICK), 0)
            self.assert_log(completed(5), timeout=10)


if __name__ == "__main__":
    main()
