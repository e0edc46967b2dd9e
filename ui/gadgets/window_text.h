#pragma once
#include <windows.h>

#include "base/text.h"

// The control's whole window text as a new value of the caller's own; the
// reported length is only an upper bound, the text ends at its first NUL.
Text read_window_text(HWND control);
