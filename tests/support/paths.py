"""Where the programs of a build are.

GX_BUILD_DIR names the build tree (CTest sets it; by hand it defaults to
build/win64 of this checkout). GX_WINE_SESSION names the session folder that
tests/wine/session started, by default the build tree's wine/. Nothing here
assumes a pointer size: a 32-bit build tree works the same way.
"""
import os
from pathlib import Path

SOURCE_ROOT = Path(__file__).resolve().parents[2]
SESSION_SCRIPT = SOURCE_ROOT / "tests" / "wine" / "session"
PROGRAM_HEADER = SOURCE_ROOT / "app" / "program.h"


def build_dir():
    return Path(os.environ.get("GX_BUILD_DIR") or SOURCE_ROOT / "build" / "win64").resolve()


def session_dir():
    return Path(os.environ.get("GX_WINE_SESSION") or build_dir() / "wine").resolve()


def gatherly_exe(build=None):
    return (build or build_dir()) / "app" / "Gatherly.exe"


def e2e_program(name, build=None):
    """A Windows program that tests/e2e/CMakeLists.txt builds, by its file name."""
    return (build or build_dir()) / "tests" / "e2e" / name


def driver_exe(build=None):
    return e2e_program("driver.exe", build)


def work_root(build=None):
    """A scratch folder inside the build tree. Not under /tmp, whose folder
    times change all the time (see program.settle_folder_times)."""
    root = (build or build_dir()) / "e2e-work"
    root.mkdir(parents=True, exist_ok=True)
    return root
