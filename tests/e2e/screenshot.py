#!/usr/bin/env python3
"""Takes the picture of the program for the README: one finished download
from nginx on 127.0.0.1 in the log, and a second one under way from a paced
server, its bar part way along; the window cropped out of the session's
display (ImageMagick's import).

    GX_BUILD_DIR=build/win64 tests/e2e/screenshot.py docs/screenshot.png

Needs the build's Wine session to be up (tests/wine/session start DIR/wine).
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from support import (GADGET_SAVE_AS, GADGET_START, GADGET_URL, Driver, NginxServer, ScriptedServer,  # noqa: E402
                     WineSession, answer, head, pattern_bytes, send, send_paced, start_and_attach, stop_program)

# The second download: about 20 s of body, shown when the bar is this far.
PACED_SIZE = 40 * 1024 * 1024
SHOWN_AT = 420


def desktop_origin(env):
    """Where Wine's virtual desktop window stands on the X screen."""
    tree = subprocess.run(["xwininfo", "-root", "-tree"], env=env, capture_output=True, text=True).stdout
    for line in tree.splitlines():
        if "Wine desktop" in line:
            m = re.search(r"\+(-?\d+)\+(-?\d+)\s*$", line)
            if m:
                return int(m.group(1)), int(m.group(2))
    return 0, 0


def main():
    out = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "screenshot.png")
    s = WineSession.current()
    work = tempfile.mkdtemp(prefix="gx-shot-")
    docroot = os.path.join(work, "served")
    os.mkdir(docroot)
    with open(os.path.join(docroot, "gatherly-demo.bin"), "wb") as f:
        f.write(pattern_bytes(2 * 1024 * 1024))
    program = None
    paced = answer(send(head(f"Content-Length: {PACED_SIZE}")),
                   send_paced(pattern_bytes(PACED_SIZE, seed=2), rate=PACED_SIZE / 20, piece=256 * 1024))
    try:
        with Driver(s) as d, NginxServer(docroot) as server, ScriptedServer(paced) as slow:
            program, _ = start_and_attach(s, d, work)
            d.set(GADGET_URL, server.url("gatherly-demo.bin"))
            d.set(GADGET_SAVE_AS, s.windows_path(os.path.join(work, "gatherly-demo.bin")))
            d.wait_for(lambda: d.enabled(GADGET_START), 3)
            print("download:", d.download(60000))
            d.set(GADGET_URL, slow.url("gatherly-1.4.2-setup.exe"))
            d.set(GADGET_SAVE_AS, s.windows_path(os.path.join(work, "gatherly-1.4.2-setup.exe")))
            d.click(GADGET_START)
            d.wait_for(lambda: d.progress()[0] >= SHOWN_AT, 30, 0.05)
            d.activate()
            left, top, right, bottom = d.rect()
            x0, y0 = desktop_origin(s.env)
            full = os.path.join(work, "full.png")
            subprocess.run(["import", "-window", "root", full], env=s.env, check=True)
            subprocess.run(["convert", full, "-crop",
                            f"{right - left}x{bottom - top}+{x0 + left}+{y0 + top}", "+repage", out],
                           check=True)
            print("wrote", out)
            d.close_box()
    finally:
        if program is not None:
            stop_program(program, 5)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
