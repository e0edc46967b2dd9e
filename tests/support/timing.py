"""The factor on time budgets: 1 on real hardware, more where the programs
run under CPU emulation (the 32-bit build on machines that cannot execute
32-bit code). CTest hands it over as GX_TIME_SCALE, as to the C++ tests."""
import os


def _factor():
    try:
        return max(1, int(os.environ.get("GX_TIME_SCALE", "1")))
    except ValueError:
        return 1


TIME_SCALE = _factor()


def scaled(budget):
    """A budget (seconds or milliseconds alike), stretched by the factor."""
    return budget * TIME_SCALE
