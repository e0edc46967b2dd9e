#pragma once
// Tab navigation for toolkit windows, which are not dialogs: Tab and
// Shift+Tab arrive as accelerator commands and move the focus among the
// active window's tab stops (enabled, visible, WS_TABSTOP), wrapping round.
#include <windows.h>

constexpr int FOCUS_FORWARD = 0;
constexpr int FOCUS_BACKWARD = 1;

// The accelerator table for the current message, or null: an editable
// rich-edit control keeps plain Tab for itself, and windows that are not
// toolkit windows have none.
HACCEL choose_accelerators(HWND active_window);

// FOCUS_FORWARD or FOCUS_BACKWARD within the active window.
void move_focus(int direction);
