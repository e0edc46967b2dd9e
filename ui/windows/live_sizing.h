#pragma once
// With full-window drag on, toolkit windows are sized by the toolkit itself
// rather than by the platform's modal loop: the mouse follows the cursor, the
// arrow keys choose an edge or move it 10 pixels, Enter/Escape/button-up end.
#include <windows.h>

#include <cstdint>

struct SizingState {
  int32_t active;
  int32_t keyboard;  // began without an edge and no mouse move since
  POINT saved_cursor;
  RECT tracked;  // screen coordinates; also WM_SIZING's lParam
  int32_t edge;  // WMSZ_ code, 0 while none is chosen
  MINMAXINFO limits;
  // The window being sized: other windows' messages are none of the sizing's
  // business (a capture change elsewhere must not end it).
  HWND window;
  // The sizing's own latest cursor placement: from where, to where. A warp
  // can take effect late, and a mouse report of the old place that arrives
  // after it would drag the edge back to where the mouse was.
  int32_t placed;
  POINT placed_from, placed_to;
};

// The first hook of handle_window_message: NOT_HANDLED for what it leaves.
LRESULT handle_live_sizing(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The sized window while a sizing runs, else null.
HWND sizing_window();

// Key-down messages go to the focus window, which is usually a control and
// not the sized window; while a sizing runs they are sent to the sized window
// instead, so that the arrows, Enter and Escape drive the sizing. True when
// the key went to the sizing: no accelerator may take it (Escape ends the
// sizing, not whatever else it would do).
bool route_key_to_sizing(MSG& message);
