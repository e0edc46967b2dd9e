#include "ui/windows/window_class.h"

#include <windows.h>

#include <charconv>
#include <cstring>

#include "ui/windows/events.h"
#include "ui/windows/window_library.h"

WindowClassName window_class_name(intptr_t number) {
  WindowClassName name{};
  constexpr char prefix[] = "WindowClass_";
  std::memcpy(name.text, prefix, sizeof prefix - 1);
  char* end = name.text + sizeof name.text - 1;
  auto result = std::to_chars(name.text + sizeof prefix - 1, end, static_cast<long long>(number));
  *result.ptr = '\0';
  return name;
}

bool register_window_class(intptr_t number) {
  const WindowClassName name = window_class_name(number);
  WNDCLASSA window_class{};
  window_class.style = CS_DBLCLKS;
  window_class.lpfnWndProc = window_procedure;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.hIcon = window_library().class_icon;
  window_class.hCursor = window_library().class_cursor;
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_BTNFACE + 1));
  window_class.lpszClassName = name.text;
  return RegisterClassA(&window_class) != 0;
}

void unregister_window_class(intptr_t number) {
  const WindowClassName name = window_class_name(number);
  UnregisterClassA(name.text, GetModuleHandleA(nullptr));
}
