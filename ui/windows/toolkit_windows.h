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

struct WindowRecord {
  HWND window;  // non-zero while open: the table's in-use marker
  ACCEL* accelerator_entries;
  HACCEL accelerator_table;
  int32_t accelerator_count;  // always 2; kept with the entries, nothing reads it
  int32_t minimised_or_maximised;
};

bool init_windows();
void end_windows();

// The window handle for a numbered window, the new number for ANY_NUMBER,
// 0 when the window could not be opened.
intptr_t open_window(intptr_t number, int x, int y, int width, int height, TextRef title, uint32_t flags,
                     HWND parent = nullptr);
void close_window(intptr_t number);

// The open window's record, or null.
WindowRecord* find_window_record(intptr_t number);
