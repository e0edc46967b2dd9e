#pragma once
// Top-level toolkit windows, addressed by number. Each window has its own
// class "WindowClass_<number>", the Tab and Shift+Tab accelerators, and a
// WindowRecord in the window table; its "GX_WindowID" property holds its
// number plus one so that platform messages lead back to the record.
#include <windows.h>

#include <cstdint>

#include "base/object_table.h"  // ANY_NUMBER
#include "base/text.h"

constexpr uint32_t WINDOW_SCREEN_CENTERED = 0x1;
constexpr uint32_t WINDOW_PARENT_CENTERED = 0x2;
constexpr uint32_t WINDOW_INVISIBLE = 0x10000000;
constexpr int DEFAULT_POSITION = -65535;

constexpr WORD COMMAND_NEXT_FOCUS = 64001;
constexpr WORD COMMAND_PREVIOUS_FOCUS = 64002;
// Escape in a toolkit window: EVENT_MENU with this as its gadget, as a
// dialog's Escape is its cancel command.
constexpr WORD COMMAND_CANCEL = 64003;

struct WindowRecord {
  HWND window;  // non-zero while open: the table's in-use marker
  ACCEL* accelerator_entries;
  HACCEL accelerator_table;
  int32_t accelerator_count;  // always 3 (Tab, Shift+Tab, Escape); kept with the entries
  int32_t minimised_or_maximised;
};

bool init_windows();
void end_windows();

// The window handle for a numbered window, the new number for ANY_NUMBER,
// 0 when the window could not be opened.
intptr_t open_window(intptr_t number, int x, int y, int width, int height, TextRef title, uint32_t flags,
                     HWND parent = nullptr);
void close_window(intptr_t number);

// Called inside the handling of WM_ENDSESSION when the session really ends:
// the process may be ended at any moment after the handler returns, so
// whatever must not be left half done is finished by the routine itself.
// Null removes it.
void set_session_end_handler(void (*routine)());

// The open window's record, or null.
WindowRecord* find_window_record(intptr_t number);
