#pragma once
// The window properties through which platform messages lead back to the
// toolkit's records. A window carries its number plus one, so that number 0
// differs from a missing property; a gadget's control carries its number,
// equal to its identifier while the gadget library has it registered.
#include <windows.h>

#include <cstdint>

constexpr char WINDOW_ID_PROPERTY[] = "GX_WindowID";
constexpr char GADGET_ID_PROPERTY[] = "GX_ID";

// Marks a toolkit window with its number, and reads the mark back: -1 for a
// window that carries none. The property holds the number plus one.
void mark_window_number(HWND window, intptr_t number);
intptr_t marked_window_number(HWND window);

// The toolkit window that a window belongs to, and that window's number.
struct NumberedWindow {
  HWND window;
  intptr_t number;  // -1 when no window on the way carries one
};

// Climbs from a window through its parents (never to an owner: a window
// being created under an owner must not pass for it) to the first one that
// carries "GX_WindowID". With none on the way, the window is the last one
// reached, the top of the way, and the number -1.
NumberedWindow find_numbered_window(HWND window);
