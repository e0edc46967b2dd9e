#pragma once
// ASCII blanks and case folding, the one definition for every layer.
// Protocol names, header names, URL schemes and device names compare their
// ASCII letters without regard to case and every other byte exactly,
// whatever the locale or the ANSI code page: a byte above 0x7F is never
// folded. No platform header, so the parsers that use it stay fuzzable
// natively.
#include <cstddef>
#include <string_view>

// The blanks of the protocol: space and horizontal tab, nothing else (a
// vertical tab or a form feed is no blank on the wire).
constexpr bool is_blank(char c) { return c == ' ' || c == '\t'; }

constexpr char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr bool equal_ascii_no_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  }
  return true;
}
