#include "app/save_path.h"

#include <array>
#include <string_view>

#include "app/ansi_text.h"
#include "base/ascii.h"
#include "base/file_names.h"

namespace {

// The platform opens a device instead of a file for these names, whatever
// extension follows and whatever folder they stand in.
bool is_device_name(std::string_view segment) {
  // A ":" ends the name as well: "NUL:" is the device too.
  std::string_view name = trim_dots_and_spaces(segment.substr(0, segment.find_first_of(".:")));
  static constexpr std::array<std::string_view, 4> plain = {"CON", "PRN", "AUX", "NUL"};
  for (std::string_view device : plain)
    if (equal_ascii_no_case(name, device)) return true;
  if (name.size() < 4) return false;
  if (!equal_ascii_no_case(name.substr(0, 3), "COM") && !equal_ascii_no_case(name.substr(0, 3), "LPT")) return false;
  // The number: a digit from 1 to 9, or a superscript one, two or three,
  // which the platform reserves too. It decides on the Unicode name, so
  // the bytes are read in the ANSI code page (0xB9, 0xB2, 0xB3 in 1252).
  const std::string_view number = name.substr(3);
  if (number.size() == 1 && number[0] >= '1' && number[0] <= '9') return true;
  const char16_t character = ansi_single_character(number);
  return character == u'\u00B9' || character == u'\u00B2' || character == u'\u00B3';
}

// "." and ".." climb or stay; the platform also strips trailing dots and
// spaces, so ". ." or "..." resolve the same way.
bool is_dot_segment(std::string_view segment) {
  return !segment.empty() && trim_dots_and_spaces(segment).empty();
}

}  // namespace

Text compose_save_path(TextRef folder, TextRef url_path) try {
  Text result = make_text(folder);
  std::string_view path = url_path.view;
  bool first = true;
  for (;;) {
    size_t end = path.find_first_of("/\\");
    std::string_view segment = path.substr(0, end);
    if (!is_dot_segment(segment)) {
      if (!first) result += '\\';
      first = false;
      if (is_device_name(segment)) result += '_';
      for (char c : segment) result += c == ':' ? '_' : c;
    }
    if (end == std::string_view::npos) break;
    path.remove_prefix(end + 1);
  }
  return result;
} catch (...) {
  return Text();  // out of text memory: no path rather than half of one
}
