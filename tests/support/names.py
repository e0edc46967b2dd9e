"""The program's own numbers and texts, read from its header app/program.h,
so that a gadget renumbered or a log line reworded there is followed here
without a second edit."""
import re

from .paths import PROGRAM_HEADER

_CONSTANT = re.compile(r'constexpr\s+[\w\s*]+?\b([A-Z][A-Z0-9_]*)\s*=\s*("(?:[^"\\]|\\.)*"|-?\d+)\s*;')


def read_constants(path=PROGRAM_HEADER):
    """Every `constexpr NAME = number;` and `constexpr ... NAME = "text";`."""
    constants = {}
    for name, value in _CONSTANT.findall(path.read_text()):
        constants[name] = value[1:-1].encode().decode("unicode_escape") if value.startswith('"') else int(value)
    return constants


_ALL = read_constants()


def _take(name):
    if name not in _ALL:
        raise RuntimeError(f"{PROGRAM_HEADER} no longer defines {name}")
    return _ALL[name]


GADGETS = {name: value for name, value in _ALL.items() if name.startswith("GADGET_")}
GADGET_URL_LABEL = _take("GADGET_URL_LABEL")
GADGET_SAVE_LABEL = _take("GADGET_SAVE_LABEL")
GADGET_URL = _take("GADGET_URL")
GADGET_SAVE_AS = _take("GADGET_SAVE_AS")
GADGET_PASTE = _take("GADGET_PASTE")
GADGET_BROWSE = _take("GADGET_BROWSE")
GADGET_PROGRESS = _take("GADGET_PROGRESS")
GADGET_START = _take("GADGET_START")
GADGET_LOG = _take("GADGET_LOG")
GADGET_ABOUT = _take("GADGET_ABOUT")
GADGET_EXIT = _take("GADGET_EXIT")

STARTED = _take("LOG_STARTED")
COMPLETE = _take("LOG_COMPLETE")
FAILED = _take("LOG_FAILED")

WATCH_INTERVAL_MS = _take("WATCH_INTERVAL")
MAIN_WINDOW_TITLE = _take("MAIN_WINDOW_TITLE")
