"""What other programs on the same desktop can do to Gatherly: send and post
it wild messages, leave a library of a name it loads beside it, and send it
messages while it downloads. Another process is neighbour.exe (built here)."""
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from support import *  # noqa: E402,F403

WM_CLOSE = 0x10

# Wine's own window in every COM apartment (ole32's) follows pointers in
# messages that any process may post to it; that is the platform's window
# procedure, not Gatherly's, and no program can mend it.
PLATFORM_WINDOWS = ["OleMainThreadWndClass"]

PLANT_MARKER = "planted-library-loaded"


class Strangers(ProgramCase):
    def neighbour(self, *args, timeout=600):
        result = self.session.run(e2e_program("neighbour.exe"), list(args), timeout=timeout)
        return result.returncode, result.stdout

    def wild_messages(self, *args):
        skips = [word for name in PLATFORM_WINDOWS for word in ("--skip", name)]
        code, said = self.neighbour(*skips, *args)
        self.assertEqual(code, 0, said)
        self.assertIsNone(self.program.poll(), said)
        # Still itself: the fields answer and hold what they held.
        self.assertEqual(self.driver.get(GADGET_URL), "http://127.0.0.1/kept")
        return said

    def test_wild_messages_to_every_window_then_exit(self):
        self.start_program()
        self.driver.set(GADGET_URL, "http://127.0.0.1/kept")
        said = self.wild_messages()
        for window_class in ("WindowClass_0", "GadgetLibraryWindow", "RichEdit20A", "msctls_progress32"):
            self.assertIn(window_class, said)
        self.assertEqual(self.driver.log_lines(), [])
        # The flood of posted messages may still be draining.
        code, _ = self.exit_and_wait("exit", limit=60)
        self.assertEqual(code, 0)

    def test_after_wild_messages_a_posted_close_still_closes(self):
        self.start_program()
        self.driver.set(GADGET_URL, "http://127.0.0.1/kept")
        self.wild_messages("--class", "WindowClass_0")
        self.driver.post(WM_CLOSE, 0, 0)
        self.assertEqual(self.program.wait(60), 0)

    def test_a_library_planted_beside_the_program_is_never_loaded(self):
        # Started from its own folder, as from Explorer: that is also the
        # current folder, where Browse starts and downloads land.
        exe = self.path("Gatherly.exe")
        shutil.copy(gatherly_exe(), exe)
        shutil.copy(e2e_program("riched20.dll"), self.path("riched20.dll"))
        env = dict(self.session.env)
        # Native first, as Windows would search the program's folder.
        env["WINEDLLOVERRIDES"] = env.get("WINEDLLOVERRIDES", "") + ";riched20=n,b"
        self.program, self.title = start_and_attach(self.session, self.driver, self.work, exe=exe, env=env)
        self.addCleanup(self._end_program, self.program)
        # The driver attached once the last control existed, after the log:
        # the rich-edit library has been loaded by now, from the system.
        self.assertFalse(os.path.exists(self.path(PLANT_MARKER)), "the planted riched20.dll was loaded")
        self.assertIn("RichEdit20A", [control.kind for control in self.driver.layout()[1]])
        code, _ = self.exit_and_wait("exit", limit=10)
        self.assertEqual(code, 0)
        self.assertFalse(os.path.exists(self.path(PLANT_MARKER)), "the planted riched20.dll was loaded")

    def test_messages_sent_during_a_slow_download_are_answered(self):
        self.start_program()
        body = pattern_bytes(8000, 14)
        # 1000 bytes every 0.7 s: about 5.6 s of download.
        script = answer(send(head(f"Content-Length: {len(body)}")), send_paced(body, rate=1000 / 0.7, piece=1000))
        with ScriptedServer(script) as server:
            self.fill(server.url("slow.bin"), self.win_path("slow.bin"))
            self.driver.click(GADGET_START)
            self.assertIsNotNone(self.driver.wait_for(lambda: server.connections >= 1, 10),
                                 "the download never connected")
            code, said = self.neighbour("--probe", "4", "--gap", "0.5", "--answer-limit", "1", timeout=120)
            self.assertEqual(code, 0, said)
            # The probes ran while it downloaded: the log has only its first line.
            self.assertEqual(self.driver.log_lines(), [STARTED], said)
            self.assert_log(completed(len(body)), timeout=60)
        with open(self.path("slow.bin"), "rb") as f:
            self.assertEqual(f.read(), body)
        print("\n" + said.strip())


if __name__ == "__main__":
    main()
