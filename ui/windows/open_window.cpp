#include <windows.h>

#include "ui/windows/window_class.h"
#include "ui/windows/toolkit_windows.h"
#include "ui/windows/window_library.h"
#include "ui/windows/window_properties.h"

namespace {

constexpr uint32_t TOOLKIT_FLAGS = WINDOW_SCREEN_CENTERED | WINDOW_PARENT_CENTERED | WINDOW_INVISIBLE;
constexpr LONG CW_DEFAULT_POSITION = static_cast<LONG>(0x80000000u);

struct Placement {
  int x, y, width, height;
};

Placement centre_on_screen(int width, int height) {
  const int screen_width = GetSystemMetrics(SM_CXSCREEN);
  const int screen_height = GetSystemMetrics(SM_CYSCREEN);
  if (width > screen_width) width = screen_width;
  if (height > screen_height) height = screen_height;
  return {(screen_width - width) / 2, (screen_height - height) / 2, width, height};
}

// Centres on the parent, or on the active window; with neither the caller's
// position stays.
Placement centre_on_reference(HWND parent, int x, int y, int width, int height) {
  HWND reference = parent ? parent : GetActiveWindow();
  RECT area;
  if (!reference || !GetWindowRect(reference, &area)) return {x, y, width, height};
  x = area.left + (area.right - area.left - width) / 2;
  y = area.top + (area.bottom - area.top - height) / 2;
  return {x < 0 ? 0 : x, y < 0 ? 0 : y, width, height};
}

Placement place_window(int x, int y, int width, int height, uint32_t flags, DWORD style, HWND parent) {
  RECT outer{0, 0, width, height};
  AdjustWindowRect(&outer, style, FALSE);
  const int outer_width = outer.right - outer.left;
  const int outer_height = outer.bottom - outer.top;
  if (flags & WINDOW_SCREEN_CENTERED) return centre_on_screen(outer_width, outer_height);
  if (flags & WINDOW_PARENT_CENTERED) return centre_on_reference(parent, x, y, outer_width, outer_height);
  if (x == DEFAULT_POSITION || y == DEFAULT_POSITION) x = y = CW_DEFAULT_POSITION;
  return {x, y, outer_width, outer_height};
}

void fill_accelerators(WindowRecord* record) {
  constexpr int32_t count = 3;
  auto* entries = static_cast<ACCEL*>(allocate_memory(count * sizeof(ACCEL), false));
  if (!entries) return;
  entries[0] = {FVIRTKEY | FNOINVERT, VK_TAB, COMMAND_NEXT_FOCUS};
  entries[1] = {FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, COMMAND_PREVIOUS_FOCUS};
  entries[2] = {FVIRTKEY | FNOINVERT, VK_ESCAPE, COMMAND_CANCEL};
  record->accelerator_entries = entries;
  record->accelerator_count = count;
  record->accelerator_table = CreateAcceleratorTableA(entries, count);
}

}  // namespace

intptr_t open_window(intptr_t number, int x, int y, int width, int height, TextRef title, uint32_t flags,
                     HWND parent) {
  auto* record = static_cast<WindowRecord*>(obtain_object(window_library().window_table, number));
  if (!record) return 0;
  const bool any_number = number == ANY_NUMBER;
  if (any_number) number = reinterpret_cast<intptr_t>(record);

  register_window_class(number);
  if ((flags & ~TOOLKIT_FLAGS) == 0) flags |= WS_CAPTION;
  const bool show = (flags & WINDOW_INVISIBLE) == 0;
  const DWORD style = flags & ~TOOLKIT_FLAGS;

  const Placement place = place_window(x, y, width, height, flags, style, parent);

  const WindowClassName class_name = window_class_name(number);
  const Text caption = make_text(title);
  HWND window = CreateWindowExA(0, class_name.text, caption.c_str(), style, place.x, place.y, place.width,
                                place.height, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!window) {
    unregister_window_class(number);
    free_object(window_library().window_table, number);
    return 0;
  }
  // Creation ran code of its own; should it have grown the table, the slot
  // (still free, since its handle is unset) has moved with the others.
  if (!any_number) record = static_cast<WindowRecord*>(obtain_object(window_library().window_table, number));
  // In use from here on, so the messages of showing the window find it.
  record->window = window;
  record->minimised_or_maximised = (style & (WS_MAXIMIZE | WS_MINIMIZE)) ? 1 : 0;
  mark_window_number(window, number);
  if (show)
    ShowWindow(window, (style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED : (style & WS_MINIMIZE) ? SW_SHOWMINIMIZED
                                                                                       : SW_SHOWNORMAL);
  fill_accelerators(record);
  use_gadget_window_hook(window);
  return any_number ? number : reinterpret_cast<intptr_t>(window);
}

void close_window(intptr_t number) {
  auto* record = find_record<WindowRecord>(window_library().window_table, number);
  if (!record) return;
  HWND window = record->window;
  // A window already destroyed with its owner leaves a stale handle, which
  // may by now name another window: destroy only the window still marked
  // with this number.
  const bool still_ours = IsWindow(window) && marked_window_number(window) == number;
  if (still_ours) {
    if (HWND owner = GetWindow(window, GW_OWNER)) SetActiveWindow(owner);
    RemovePropA(window, WINDOW_ID_PROPERTY);
    DestroyWindow(window);
  }
  unregister_window_class(number);
  // Found again: the messages of destroying the window ran code that may
  // have grown the table and moved its slots.
  record = find_record<WindowRecord>(window_library().window_table, number);
  if (!record) return;
  if (record->accelerator_entries) {
    free_memory(record->accelerator_entries);
    DestroyAcceleratorTable(record->accelerator_table);
  }
  free_object(window_library().window_table, number);
}

WindowRecord* find_window_record(intptr_t number) {
  return find_record<WindowRecord>(window_library().window_table, number);
}

