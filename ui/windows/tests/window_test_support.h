#pragma once
// Shared by the window library's test programs: starts the runtime and the
// window library once, and drives real windows and real input on the
// session's virtual desktop.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "base/tests/runtime_fixture.h"
#include "tests/time_scale.h"
#include "ui/windows/events.h"
#include "ui/windows/toolkit_windows.h"
#include "ui/windows/window_properties.h"

class WindowLibraryEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(init_windows()); }
  void TearDown() override { end_windows(); }
};

// Defined after runtime_environment, so initialised (and set up) after it.
inline ::testing::Environment* const window_library_environment =
    ::testing::AddGlobalTestEnvironment(new WindowLibraryEnvironment);

// The open window's handle, or null.
inline HWND window_handle(intptr_t number) {
  WindowRecord* record = find_window_record(number);
  return record ? record->window : nullptr;
}

struct SeenEvent {
  int32_t code;
  intptr_t window;
  intptr_t gadget;
  int32_t type;
  bool operator==(const SeenEvent&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const SeenEvent& e) {
  return out << "{code " << e.code << ", window " << e.window << ", gadget " << e.gadget << ", type " << e.type
             << "}";
}

// Runs wait_event until nothing is left: the queue, posted messages and
// sent ones. Returns what it saw.
inline std::vector<SeenEvent> drain_events(DWORD settle_ms = 30) {
  std::vector<SeenEvent> seen;
  DWORD quiet_since = GetTickCount();
  for (int turn = 0; turn < 100000; ++turn) {
    const int32_t code = wait_event(0);
    if (code != 0) {
      seen.push_back({code, event_window(), event_gadget(), event_type()});
      quiet_since = GetTickCount();
    } else if (GetTickCount() - quiet_since >= settle_ms) {
      break;
    } else {
      Sleep(1);
    }
  }
  return seen;
}

// Calls wait_event until it returns code; false after timeout_ms (stretched
// under emulation, where input crosses an emulated program twice).
inline bool wait_for_event(int32_t code, SeenEvent* found = nullptr, DWORD timeout_ms = 3000) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < scaled_ms(timeout_ms)) {
    const int32_t got = wait_event(20);
    if (got == code) {
      if (found) *found = {got, event_window(), event_gadget(), event_type()};
      return true;
    }
  }
  return false;
}

// Runs wait_event until the condition holds; false after timeout_ms (also
// stretched under emulation).
inline bool pump_until(const std::function<bool()>& condition, DWORD timeout_ms = 3000) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start >= scaled_ms(timeout_ms)) return false;
    wait_event(10);
  }
  return true;
}

// The first event with this code, or a record with code 0.
inline SeenEvent first_with(const std::vector<SeenEvent>& seen, int32_t code) {
  for (const SeenEvent& e : seen)
    if (e.code == code) return e;
  return {0, 0, 0, 0};
}

inline std::vector<int32_t> codes_among(const std::vector<SeenEvent>& seen, std::initializer_list<int32_t> wanted) {
  std::vector<int32_t> codes;
  for (const SeenEvent& e : seen)
    for (int32_t w : wanted)
      if (e.code == w) codes.push_back(e.code);
  return codes;
}

// Brings the window to the front and waits until it is really active, so
// that keyboard input reaches it.
inline bool activate(HWND window) {
  SetForegroundWindow(window);
  SetActiveWindow(window);
  return pump_until([&] { return GetForegroundWindow() == window && GetActiveWindow() == window; });
}

inline void send_key(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  if (key >= VK_PRIOR && key <= VK_DOWN) input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
  SendInput(1, &input, sizeof input);
}

// A real key press (with Shift held when asked), then wait_event until the
// key-up has been handled. Returns the codes wait_event gave meanwhile.
inline std::vector<SeenEvent> press_key(WORD key, bool with_shift = false) {
  if (with_shift) send_key(VK_SHIFT, false);
  send_key(key, false);
  send_key(key, true);
  if (with_shift) send_key(VK_SHIFT, true);
  std::vector<SeenEvent> seen;
  const DWORD start = GetTickCount();
  bool key_up_seen = false;
  while (GetTickCount() - start < 3000) {
    const int32_t code = wait_event(20);
    if (code != 0) seen.push_back({code, event_window(), event_gadget(), event_type()});
    if (code == WM_KEYUP) key_up_seen = true;
    if (key_up_seen && code == 0) break;
  }
  return seen;
}

inline POINT cursor() {
  POINT p{};
  GetCursorPos(&p);
  return p;
}

// Absolute mouse coordinates run 0..65535 across the primary screen.
inline INPUT mouse_input(POINT screen, DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = static_cast<LONG>((screen.x * 65536 + 32768) / GetSystemMetrics(SM_CXSCREEN));
  input.mi.dy = static_cast<LONG>((screen.y * 65536 + 32768) / GetSystemMetrics(SM_CYSCREEN));
  input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  return input;
}

inline void mouse_to(int x, int y) {
  INPUT input = mouse_input({x, y}, 0);
  SendInput(1, &input, sizeof input);
}

// Cursor warps under Wine's virtual desktop take effect asynchronously: a
// stale pointer report can bring the old position back for a moment. Each
// step therefore waits until the cursor has rested where it should be.
inline bool cursor_settles_at(POINT expected, DWORD timeout_ms = 5000) {
  DWORD rested_since = GetTickCount();
  return pump_until(
      [&] {
        const POINT now = cursor();
        if (now.x != expected.x || now.y != expected.y) rested_since = GetTickCount();
        return GetTickCount() - rested_since >= 150;
      },
      timeout_ms);
}

// A real left click at a point of the screen, made only once the cursor
// rests there and the point shows the window meant; false (and no click)
// otherwise. A click sent while an earlier position still stood would land
// on whatever was there, such as the close box a previous test pressed.
// The press and release carry the point themselves, so that no stale
// pointer report can move them elsewhere.
inline bool click_at(POINT screen, HWND meant) {
  mouse_to(screen.x, screen.y);
  if (!cursor_settles_at(screen) || WindowFromPoint(screen) != meant) return false;
  INPUT clicks[2] = {mouse_input(screen, MOUSEEVENTF_LEFTDOWN), mouse_input(screen, MOUSEEVENTF_LEFTUP)};
  return SendInput(2, clicks, sizeof(INPUT)) == 2;
}

// A child control inside a toolkit window.
inline HWND add_control(HWND parent, const char* kind, intptr_t id, DWORD style, int x, int y, int width = 80,
                        int height = 24, const char* text = "") {
  return CreateWindowExA(0, kind, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                         reinterpret_cast<HMENU>(id), GetModuleHandleA(nullptr), nullptr);
}

// Marks a control the way the gadget library registers one.
inline void register_like_gadget(HWND control, intptr_t number) {
  SetPropA(control, GADGET_ID_PROPERTY, reinterpret_cast<HANDLE>(number));
}

inline BOOL CALLBACK collect_window(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

// Every top-level window of this thread.
inline std::vector<HWND> thread_windows() {
  std::vector<HWND> windows;
  EnumThreadWindows(GetCurrentThreadId(), collect_window, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

inline bool class_registered(const char* name) {
  WNDCLASSA info;
  return GetClassInfoA(GetModuleHandleA(nullptr), name, &info) != 0;
}
