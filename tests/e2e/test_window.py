"""The window as a person meets it: the buttons' actions, the watcher,
the keyboard, and ending the program."""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from support import (GADGET_ABOUT, GADGET_BROWSE, GADGET_EXIT, GADGET_LOG, GADGET_PASTE,  # noqa: E402
                     GADGET_PROGRESS, GADGET_SAVE_AS, GADGET_SAVE_LABEL, GADGET_START, GADGET_URL,
                     GADGET_URL_LABEL, ProgramCase, ScriptedServer, answer, head, main, pause, scaled, send)

# The tab stops in the order the gadgets are created: fields, push buttons
# and the read-only log; the labels and the progress bar are skipped.
TAB_STOPS = [GADGET_URL, GADGET_SAVE_AS, GADGET_PASTE, GADGET_BROWSE, GADGET_START, GADGET_LOG,
             GADGET_ABOUT, GADGET_EXIT]


# What a person reads on each control, and what kind of control it is.
SEEN = {
    GADGET_URL_LABEL: ("static", "URL:"),
    GADGET_SAVE_LABEL: ("static", "Save as:"),
    GADGET_URL: ("edit", ""),
    GADGET_SAVE_AS: ("edit", ""),
    GADGET_PASTE: ("button", "Paste"),
    GADGET_BROWSE: ("button", "Browse"),
    GADGET_PROGRESS: ("msctls_progress32", ""),
    GADGET_START: ("button", "Start Download"),
    GADGET_LOG: ("richedit", ""),
    GADGET_ABOUT: ("button", "About"),
    GADGET_EXIT: ("button", "Exit"),
}


def left_of(a, b):
    return a.rect[2] <= b.rect[0]


def above(a, b):
    return a.rect[3] <= b.rect[1]


def on_one_row(a, b):
    return a.rect[1] < b.rect[3] and b.rect[1] < a.rect[3]


def overlap(a, b):
    return on_one_row(a, b) and a.rect[0] < b.rect[2] and b.rect[0] < a.rect[2]


class Layout(ProgramCase):
    """The window as a person sees it: its size, what each control shows,
    and how the controls stand to one another; not their pixels."""

    def test_what_each_control_shows_and_where_it_stands(self):
        self.start_program()
        client, controls = self.driver.layout()
        self.assertEqual(client, (512, 222))
        shown = {c.number: c for c in controls}
        self.assertEqual(sorted(shown), sorted(SEEN), "one control for each gadget")
        for number, (kind, text) in SEEN.items():
            with self.subTest(number=number):
                self.assertTrue(shown[number].kind.lower().startswith(kind), shown[number].kind)
                self.assertEqual(shown[number].text, text)
        for c in controls:
            left, top, right, bottom = c.rect
            self.assertTrue(0 <= left < right <= client[0] and 0 <= top < bottom <= client[1],
                            f"{c} leaves the window")
        hidden = [(a.number, b.number) for i, a in enumerate(controls) for b in controls[i + 1:] if overlap(a, b)]
        self.assertEqual(hidden, [], "controls over one another")
        # Each field on a row of its own: its label to its left, its button to its right.
        for label, field, button in ((GADGET_URL_LABEL, GADGET_URL, GADGET_PASTE),
                                     (GADGET_SAVE_LABEL, GADGET_SAVE_AS, GADGET_BROWSE)):
            with self.subTest(field=field):
                self.assertTrue(on_one_row(shown[label], shown[field]) and on_one_row(shown[field], shown[button]))
                self.assertTrue(left_of(shown[label], shown[field]) and left_of(shown[field], shown[button]))
        # Then, from the top: the URL row, the Save as row, the progress bar, the
        # log with Start Download, About and Exit stacked at its right.
        for upper, lower in ((GADGET_URL, GADGET_SAVE_AS), (GADGET_SAVE_AS, GADGET_PROGRESS),
                             (GADGET_PROGRESS, GADGET_LOG), (GADGET_PROGRESS, GADGET_START),
                             (GADGET_START, GADGET_ABOUT), (GADGET_ABOUT, GADGET_EXIT)):
            self.assertTrue(above(shown[upper], shown[lower]), f"{upper} above {lower}")
        for button in (GADGET_START, GADGET_ABOUT, GADGET_EXIT):
            log = shown[GADGET_LOG]
            self.assertTrue(left_of(log, shown[button]) and on_one_row(log, shown[button]), button)


def press_for_focus(driver, key, expected):
    """Presses a key and gives the focus time to reach the control expected
    (the key is handled whenever the program's thread takes it); the focus
    as it then stands."""
    driver.key(key)
    driver.wait_for(lambda: driver.focus() == expected, 3.0)
    return driver.focus()


def watcher_turn(driver, verdict):
    """Returns once the watcher has run a whole turn, from reading the fields
    to its requests on Start Download, that began after the call; verdict is
    the button's state that the fields as they stand call for. The driver
    sets the button against the verdict and waits for a turn to set it back,
    three times: the first turn may have read the fields before the call,
    the second began after the first had set the button, and the third
    begins only once the second has ended. False when a turn did not come
    or set the button otherwise."""
    for _ in range(3):
        driver.enable(GADGET_START, not verdict)
        if driver.wait_for(lambda: driver.enabled(GADGET_START) == verdict, 3.0, 0.002) is None:
            return False
    return True


def tab_onto(driver, gadget):
    """Tabs from wherever the focus starts until it stands on gadget."""
    for _ in range(len(TAB_STOPS) + 1):
        focus = driver.focus()
        if focus == gadget:
            return
        driver.key("tab")
        driver.wait_for(lambda: driver.focus() != focus, 3.0)


class Actions(ProgramCase):
    def test_title(self):
        self.start_program()
        self.assertTrue(self.title.startswith("Gatherly - "))
        self.assertGreater(len(self.title), len("Gatherly - "))

    def test_paste(self):
        self.start_program()
        cases = [
            # (how the clipboard is filled, the field afterwards)
            (lambda: self.driver.clipboard_text("http://127.0.0.1/pasted.bin"), "http://127.0.0.1/pasted.bin"),
            (lambda: self.driver.clipboard_empty(), "kept"),
            (lambda: self.driver.clipboard_bitmap(), "kept"),
            (lambda: self.driver.clipboard_text(" a b \tc "), " a b \tc "),
        ]
        for fill, expected in cases:
            with self.subTest(expected=expected):
                self.driver.set(GADGET_URL, "kept")
                fill()
                self.driver.click(GADGET_PASTE)
                self.driver.settle()
                self.assertEqual(self.driver.get(GADGET_URL), expected)

    def test_browse_confirmed_composes_path_inside_folder(self):
        self.start_program()
        folder = self.win_path()
        cases = [
            ("http://host:8080/files/a.zip?x=1", folder + "files\\a.zip"),
            ("http://host/a.zip#top", folder + "a.zip#top"),
            ("", folder),
            ("http://host/../../x.dll", folder + "x.dll"),
            ("http://h/..\\..\\x.dll", folder + "x.dll"),
            ("http://h/nul", folder + "_nul"),
            ("http://h/a:b", folder + "a_b"),
            # The host ends at the first "?": no path, the folder alone.
            ("http://h?x=1/y", folder),
        ]
        for url, expected in cases:
            with self.subTest(url=url):
                self.driver.set(GADGET_URL, url)
                self.driver.set(GADGET_SAVE_AS, "before")
                self.browse("confirm")
                took = self.driver.wait_for(lambda: self.driver.get(GADGET_SAVE_AS) != "before")
                self.assertIsNotNone(took, "Browse changed nothing")
                self.assertEqual(self.driver.get(GADGET_SAVE_AS), expected)

    def test_browse_cancelled_changes_nothing(self):
        self.start_program()
        for before in ("Z:\\somewhere\\typed.bin", ""):
            with self.subTest(before=before):
                self.driver.set(GADGET_URL, "http://host/a.zip")
                self.driver.set(GADGET_SAVE_AS, before)
                self.browse("cancel")
                self.driver.settle()
                self.assertEqual(self.driver.get(GADGET_SAVE_AS), before)

    def test_about_does_nothing(self):
        self.start_program()
        self.driver.set(GADGET_URL, "u")
        self.driver.click(GADGET_ABOUT)
        self.driver.settle()
        self.assertIsNone(self.program.poll())
        self.assertEqual(self.driver.get(GADGET_URL), "u")
        self.assertEqual(self.driver.get(GADGET_SAVE_AS), "")
        self.assertEqual(self.driver.log(), "")


class Watcher(ProgramCase):
    def test_disables_start_soon_after_window_appears(self):
        started = time.monotonic()
        self.start_program(watched=False)
        appeared = time.monotonic()
        took = self.driver.wait_for(lambda: not self.driver.enabled(GADGET_START), 3.0, 0.002)
        self.assertIsNotNone(took, "Start Download stayed enabled with both fields empty")
        print(f"\nStart Download disabled {1000 * took:.0f} ms after the window had its gadgets "
              f"({1000 * (appeared - started):.0f} ms from the program's start to its gadgets)")
        self.assertLess(took, scaled(0.5))

    def test_follows_both_fields(self):
        self.start_program()  # returns once Start Download is disabled
        self.driver.set(GADGET_URL, "x")
        self.assertTrue(watcher_turn(self.driver, False), "enabled with only the URL filled")
        for cleared in (GADGET_URL, GADGET_SAVE_AS):
            with self.subTest(cleared=cleared):
                self.driver.set(GADGET_URL, " ")
                self.driver.set(GADGET_SAVE_AS, " ")
                self.assertLess(self.wait_enabled(True), scaled(0.5))
                self.driver.set(cleared, "")
                self.assertLess(self.wait_enabled(False), scaled(0.5))

    def test_typing_is_not_interrupted(self):
        self.start_program()
        self.driver.set(GADGET_URL, "http://h/")
        self.driver.set(GADGET_SAVE_AS, "Z:\\f")
        self.wait_enabled(True)
        self.driver.activate()
        tab_onto(self.driver, GADGET_URL)
        self.assertEqual(self.driver.focus(), GADGET_URL)
        self.driver.key("end")
        typed = "http://h/"
        for c in "abc.txt":
            typed += c
            self.driver.type(c)
            self.driver.wait_for(lambda: self.driver.get(GADGET_URL) == typed, 3.0)
            self.assertTrue(watcher_turn(self.driver, True), "the watcher took no turn")
            self.assertEqual(self.driver.focus(), GADGET_URL)
        self.assertEqual(self.driver.get(GADGET_URL), "http://h/abc.txt")
        end = len("http://h/abc.txt")
        self.assertEqual(self.driver.caret(), (end, end))
        self.assertTrue(self.driver.enabled(GADGET_START))


class Keyboard(ProgramCase):
    def test_tab_and_shift_tab_walk_the_tab_stops(self):
        self.start_program()
        self.fill("http://h/a", "Z:\\a")
        self.driver.activate()
        tab_onto(self.driver, TAB_STOPS[0])
        forward = [self.driver.focus()]
        for expected in TAB_STOPS[1:] + TAB_STOPS[:1]:
            forward.append(press_for_focus(self.driver, "tab", expected))
        self.assertEqual(forward, TAB_STOPS + TAB_STOPS[:1])
        backward = [self.driver.focus()]
        for expected in TAB_STOPS[::-1]:
            backward.append(press_for_focus(self.driver, "shift-tab", expected))
        self.assertEqual(backward, TAB_STOPS[:1] + TAB_STOPS[::-1])
        # The focus passed through both fields (their focus events reach the
        # program as gadget events) and over every button without pressing one.
        self.assertEqual(self.driver.get(GADGET_URL), "http://h/a")
        self.assertEqual(self.driver.get(GADGET_SAVE_AS), "Z:\\a")
        self.assertEqual(self.driver.log(), "")
        self.assertIsNone(self.program.poll())


class Ending(ProgramCase):
    def test_close_box_and_exit_end_with_code_zero(self):
        for how in ("exit", "close-box"):
            for filled in (False, True):
                with self.subTest(how=how, filled=filled):
                    self.start_program()
                    if filled:
                        self.fill("http://h/a", "Z:\\a")
                    code, took = self.exit_and_wait(how)
                    self.assertEqual(code, 0)
                    self.assertLess(took, scaled(2.0))

    def test_close_during_a_download_stops_it_and_ends(self):
        # The head comes at once, the body after a pause: the close arrives
        # while the download waits for it.
        script = answer(send(head("Content-Length: 4")), pause(5), send(b"done"))
        self.start_program()
        with ScriptedServer(script) as server:
            self.fill(server.url("slow"), self.win_path("slow.txt"))
            self.driver.click(GADGET_START)
            self.assertIsNotNone(self.driver.wait_for(lambda: server.connections == 1, 10.0),
                                 "the download did not start")
            self.driver.close_box()
            start = time.monotonic()
            code = self.program.wait(scaled(10))
            took = time.monotonic() - start
        self.assertEqual(code, 0)
        self.assertLess(took, scaled(2.0))
        self.assertEqual(os.listdir(self.work), [])


if __name__ == "__main__":
    main()
