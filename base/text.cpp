#include "base/text.h"

#include <windows.h>

#include "base/ascii.h"

bool init_text() { return create_text_heap(); }

Text make_text(TextRef text) noexcept {
  try {
    return Text(text.view);
  } catch (...) {
    return Text();
  }
}

Text join_text(TextRef first, TextRef second) noexcept {
  try {
    Text joined;
    joined.reserve(first.view.size() + second.view.size());
    joined.append(first.view).append(second.view);
    return joined;
  } catch (...) {
    return Text();
  }
}

int compare_text(TextRef a, TextRef b) { return a.view == b.view ? 1 : 0; }

namespace {

bool matches_at(std::string_view text, std::size_t at, std::string_view searched, bool no_case) {
  if (text.size() - at < searched.size()) return false;
  for (std::size_t i = 0; i < searched.size(); ++i) {
    const char a = text[at + i];
    const char b = searched[i];
    if (a == b) continue;
    if (!no_case || ascii_lower(a) != ascii_lower(b)) return false;
  }
  return true;
}

// Zero-based scan origin for a 1-based start, clamped into [0, size].
std::size_t scan_origin(std::size_t size, intptr_t start) {
  if (start < 1) return 0;
  const auto origin = static_cast<uintptr_t>(start - 1);
  return origin > size ? size : static_cast<std::size_t>(origin);
}

}  // namespace

Text replace_text(TextRef text, TextRef searched, TextRef replacement, int mode, intptr_t start) {
  const std::string_view t = text.view, f = searched.view, r = replacement.view;
  const bool no_case = (mode & REPLACE_NO_CASE) != 0;
  const std::size_t origin = scan_origin(t.size(), start);
  if (f.empty()) return make_text(t);
  try {
    Text result;
    result.reserve(t.size());
    result.append(t.substr(0, origin));
    for (std::size_t at = origin; at < t.size();) {
      if (matches_at(t, at, f, no_case)) {
        result.append(r);
        at += f.size();
      } else {
        result.push_back(t[at++]);
      }
    }
    return result;
  } catch (...) {
    return Text();
  }
}

void replace_text(Text* text, TextRef searched, TextRef replacement, int mode, intptr_t start) {
  if (!text) return;
  const std::string_view f = searched.view, r = replacement.view;
  if (f.empty() || f.size() != r.size()) return;
  // The searched text may be a view into *text itself: keep a copy.
  const Text needle = make_text(f), with = make_text(r);
  if (needle.size() != f.size() || with.size() != r.size()) return;
  const bool no_case = (mode & REPLACE_NO_CASE) != 0;
  for (std::size_t at = scan_origin(text->size(), start); at < text->size();) {
    if (matches_at(*text, at, needle, no_case)) {
      text->replace(at, with.size(), with);
      at += with.size();
    } else {
      ++at;
    }
  }
}

Text get_current_directory() {
  char buffer[MAX_PATH];
  const DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
  // A length of MAX_PATH or more is the size the platform would need: the
  // directory did not fit, and a truncated path would name another folder.
  if (length == 0 || length >= MAX_PATH) return Text();
  std::string_view directory(buffer, length);
  if (directory.back() == '\\') return make_text(directory);
  return join_text(directory, "\\");
}

Text get_clipboard_text() {
  if (!OpenClipboard(nullptr)) return Text();
  Text result;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const auto* bytes = static_cast<const char*>(GlobalLock(data))) {
      // The block's size bounds the copy: a text without its terminator must
      // not make us read past the block.
      const SIZE_T size = GlobalSize(data);
      std::size_t length = 0;
      while (length < size && bytes[length]) ++length;
      result = make_text(std::string_view(bytes, length));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return result;
}
