#include "ui/gadgets/window_text.h"

#include <cstring>

Text read_window_text(HWND control) {
  const int length = GetWindowTextLengthA(control);
  if (length <= 0) return Text();
  try {
    Text text(static_cast<std::size_t>(length) + 1, '\0');
    GetWindowTextA(control, text.data(), length + 1);
    text.resize(std::strlen(text.c_str()));
    return text;
  } catch (...) {
    return Text();
  }
}
