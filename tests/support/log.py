"""The log's lines of a download: "Started download...", the summary or
reason line, and the verdict. Expected logs are lists whose items are texts
or compiled patterns, so that the time in a summary line may vary."""
import re

from .names import COMPLETE, FAILED, STARTED

ANY_REASON = re.compile(r".+")


def saved(size):
    """The summary line of a download that saved size bytes."""
    return re.compile(re.escape(f"Saved {size:,} byte{'' if size == 1 else 's'} in ") + r"(\d+\.\d|less than 0\.1) s\.")


def completed(size):
    """The three lines of a download that saved size bytes."""
    return [STARTED, saved(size), COMPLETE]


def failed(reason=ANY_REASON):
    """The three lines of a failed download, with its reason line."""
    return [STARTED, reason, FAILED]


def log_matches(lines, expected):
    return len(lines) == len(expected) and all(
        want.fullmatch(line) if isinstance(want, re.Pattern) else line == want for line, want in zip(lines, expected))


def shown(expected):
    return [want.pattern if isinstance(want, re.Pattern) else want for want in expected]
