#include "ui/windows/navigation.h"

#include <richedit.h>

#include <cstdint>
#include <cstring>

#include "ui/windows/toolkit_windows.h"
#include "ui/windows/window_properties.h"

namespace {

bool key_down(int key) { return GetKeyState(key) < 0; }  // high bit: down

bool focus_keeps_tab() {
  HWND focus = GetFocus();
  if (!focus) return false;
  char class_name[5] = {};
  GetClassNameA(focus, class_name, sizeof class_name);
  if (std::strncmp(class_name, "Rich", 4) != 0) return false;
  return (SendMessageA(focus, EM_GETOPTIONS, 0, 0) & ECO_READONLY) == 0;
}

struct Navigation {
  HWND current;    // the focus, when it is inside the navigated window
  HWND candidate;  // last tab stop seen before the current one
  bool take_next;
  bool done;
};

bool is_tab_stop(HWND window) {
  return IsWindowEnabled(window) && IsWindowVisible(window) && (GetWindowLongPtrA(window, GWL_STYLE) & WS_TABSTOP);
}

BOOL CALLBACK visit_forward(HWND window, LPARAM argument) {
  auto& nav = *reinterpret_cast<Navigation*>(argument);
  if (!is_tab_stop(window)) return TRUE;
  if (nav.take_next) {
    SetFocus(window);
    nav.take_next = false;
    return FALSE;
  }
  if (!nav.current) {
    SetFocus(window);
    return FALSE;
  }
  if (window == nav.current) nav.take_next = true;
  return TRUE;
}

BOOL CALLBACK visit_backward(HWND window, LPARAM argument) {
  auto& nav = *reinterpret_cast<Navigation*>(argument);
  if (!is_tab_stop(window)) return TRUE;
  if (window == nav.current && nav.candidate) {
    SetFocus(nav.candidate);
    nav.done = true;
    nav.candidate = window;
    return FALSE;
  }
  nav.candidate = window;
  return TRUE;
}

}  // namespace

HACCEL choose_accelerators(HWND active_window) {
  if (key_down(VK_TAB) && !key_down(VK_CONTROL) && !key_down(VK_SHIFT) && !key_down(VK_MENU) && focus_keeps_tab())
    return nullptr;
  if (!active_window) return nullptr;
  const intptr_t number = marked_window_number(active_window);
  if (number == -1) return nullptr;
  WindowRecord* record = find_window_record(number);
  return record ? record->accelerator_table : nullptr;
}

void move_focus(int direction) {
  HWND navigated = GetActiveWindow();
  // EnumChildWindows of null would walk every top-level window.
  if (!navigated) return;
  HWND focus = GetFocus();
  Navigation nav{IsChild(navigated, focus) ? focus : nullptr, nullptr, false, false};
  const auto argument = reinterpret_cast<LPARAM>(&nav);
  if (direction == FOCUS_FORWARD) {
    EnumChildWindows(navigated, visit_forward, argument);
    if (nav.take_next) EnumChildWindows(navigated, visit_forward, argument);
    return;
  }
  EnumChildWindows(navigated, visit_backward, argument);
  if (!nav.done && nav.candidate) SetFocus(nav.candidate);
}
