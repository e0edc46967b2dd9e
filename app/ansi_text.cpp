#include "app/ansi_text.h"

#include <windows.h>

char16_t ansi_single_character(std::string_view text) {
  if (text.empty() || text.size() > 4) return 0;  // no code page needs more bytes for one character
  wchar_t wide[2];
  const int count = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                        wide, 2);
  return count == 1 ? static_cast<char16_t>(wide[0]) : 0;
}
