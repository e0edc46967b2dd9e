"""Shutdown while the watcher runs: the program heap goes while the watcher
may be inside a gadget operation. Many starts show a race, not one."""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from support import GADGET_EXIT, ProgramCase, main, stop_program  # noqa: E402

STARTS = 50


class RepeatedShutdown(ProgramCase):
    def test_many_starts_with_both_fields_then_exit(self):
        results = []
        for run in range(STARTS):
            self.start_program()
            self.fill("http://127.0.0.1/a", "Z:\\tmp\\a")
            start = time.monotonic()
            self.driver.click(GADGET_EXIT)
            try:
                code = self.program.wait(5)
            except Exception:
                code = stop_program(self.program, 0.1)
            results.append((run, code, round(time.monotonic() - start, 2)))
        bad = [r for r in results if r[1] != 0 or r[2] >= 2.0]
        slowest = max(r[2] for r in results)
        print(f"\n{STARTS} starts: slowest exit {slowest:.2f} s")
        self.assertEqual(bad, [], "(start, exit code, seconds) of every start that did not end well")


if __name__ == "__main__":
    main()
