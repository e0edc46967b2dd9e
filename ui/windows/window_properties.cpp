#include "ui/windows/window_properties.h"

NumberedWindow find_numbered_window(HWND window) {
  HWND at = window;
  while (at) {
    if (auto property = reinterpret_cast<intptr_t>(GetPropA(at, WINDOW_ID_PROPERTY))) return {at, property - 1};
    if (!(GetWindowLongPtrA(at, GWL_STYLE) & WS_CHILD)) break;
    HWND parent = GetParent(at);
    if (!parent) break;
    at = parent;
  }
  return {at, -1};
}
