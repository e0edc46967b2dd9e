#pragma once
// The names a download's temporary file may take. Plain C++, no platform
// header.
//
// The file stands in the destination's own folder, so that putting it in
// place is a rename on one volume, and its name is hex digits alone, no
// longer than the destination's own file name: the temporary path is then
// never longer than the destination's, so every destination the platform
// accepts has room for it, and no name of hex digits is a reserved device
// name.
#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr size_t TEMPORARY_NAME_MOST_DIGITS = 8;

// Where the destination's file name starts: after its last "\", "/" or ":".
size_t file_name_start(std::string_view destination);

// How many hex digits the temporary name has: as many as the destination's
// file name has characters, at most TEMPORARY_NAME_MOST_DIGITS; 0 when the
// destination has no file name.
size_t temporary_name_digits(std::string_view destination);

// How many different names there are of that many digits, at most 2^32.
uint64_t temporary_name_count(size_t digits);

// Writes the destination's folder followed by the digits of value (modulo
// the name count) into out, which holds at least destination.size() + 1
// bytes, and a NUL after them.
void write_temporary_path(char* out, std::string_view destination, uint64_t value);

// True when the name that value gives is the destination's own file name as
// the platform reads it: without regard to case, and after the dots and
// spaces that it strips from a name's end ("abcdefab." opens abcdefab). A
// new destination could otherwise be created as its own temporary file.
bool temporary_name_is_destination(std::string_view destination, uint64_t value);
