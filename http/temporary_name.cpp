#include "http/temporary_name.h"

#include <cstring>

#include "base/ascii.h"
#include "base/file_names.h"

size_t file_name_start(std::string_view destination) {
  const size_t separator = destination.find_last_of("\\/:");
  return separator == std::string_view::npos ? 0 : separator + 1;
}

size_t temporary_name_digits(std::string_view destination) {
  const size_t length = destination.size() - file_name_start(destination);
  return length < TEMPORARY_NAME_MOST_DIGITS ? length : TEMPORARY_NAME_MOST_DIGITS;
}

uint64_t temporary_name_count(size_t digits) { return uint64_t{1} << (4 * digits); }

namespace {

// The last digits hex digits of value, into out.
void write_name_digits(char* out, size_t digits, uint64_t value) {
  static constexpr char HEX[] = "0123456789abcdef";
  value %= temporary_name_count(digits);
  for (size_t i = digits; i > 0; --i) {
    out[i - 1] = HEX[value & 0xF];
    value >>= 4;
  }
}

}  // namespace

void write_temporary_path(char* out, std::string_view destination, uint64_t value) {
  const size_t folder = file_name_start(destination);
  const size_t digits = temporary_name_digits(destination);
  std::memcpy(out, destination.data(), folder);
  write_name_digits(out + folder, digits, value);
  out[folder + digits] = '\0';
}

bool temporary_name_is_destination(std::string_view destination, uint64_t value) {
  const std::string_view own = trim_dots_and_spaces(destination.substr(file_name_start(destination)));
  const size_t digits = temporary_name_digits(destination);
  if (own.size() != digits) return false;
  char name[TEMPORARY_NAME_MOST_DIGITS];
  write_name_digits(name, digits, value);
  // Hex digits are ASCII, and no other character folds to one of them.
  return equal_ascii_no_case(own, std::string_view(name, digits));
}
