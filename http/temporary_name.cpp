#include "http/temporary_name.h"

#include <cstring>

size_t file_name_start(std::string_view destination) {
  const size_t separator = destination.find_last_of("\\/:");
  return separator == std::string_view::npos ? 0 : separator + 1;
}

size_t temporary_name_digits(std::string_view destination) {
  const size_t length = destination.size() - file_name_start(destination);
  return length < TEMPORARY_NAME_MOST_DIGITS ? length : TEMPORARY_NAME_MOST_DIGITS;
}

uint64_t temporary_name_count(size_t digits) { return uint64_t{1} << (4 * digits); }

void write_temporary_path(char* out, std::string_view destination, uint64_t value) {
  static constexpr char HEX[] = "0123456789abcdef";
  const size_t folder = file_name_start(destination);
  const size_t digits = temporary_name_digits(destination);
  std::memcpy(out, destination.data(), folder);
  value %= temporary_name_count(digits);
  for (size_t i = digits; i > 0; --i) {
    out[folder + i - 1] = HEX[value & 0xF];
    value >>= 4;
  }
  out[folder + digits] = '\0';
}
