#include "ui/windows/window_properties.h"

void mark_window_number(HWND window, intptr_t number) {
  SetPropA(window, WINDOW_ID_PROPERTY, reinterpret_cast<HANDLE>(number + 1));
}

intptr_t marked_window_number(HWND window) {
  return reinterpret_cast<intptr_t>(GetPropA(window, WINDOW_ID_PROPERTY)) - 1;
}

NumberedWindow find_numbered_window(HWND window) {
  HWND at = window;
  while (at) {
    if (const intptr_t number = marked_window_number(at); number != -1) return {at, number};
    if (!(GetWindowLongPtrA(at, GWL_STYLE) & WS_CHILD)) break;
    HWND parent = GetParent(at);
    if (!parent) break;
    at = parent;
  }
  return {at, -1};
}
