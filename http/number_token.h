#pragma once
// A number that stands as a token of its own: blanks, digits in one base,
// blanks (the blanks of base/ascii.h). The whole token is a number or it is
// refused. A byte that cannot continue the token is the caller's to judge:
// the delimiter it expects after the number (a line end, ";", ","), or a
// stray byte that refuses the token; it is never where a number read as far
// as it looks like one quietly ends ("5zz", "+12xyz", "1,000" as 1). Fed a
// byte at a time, so that a parser fed in pieces keeps it across them.
// Plain C++, no platform header.
#include <cstdint>

struct NumberToken {
  enum class Part : uint8_t { BLANKS_BEFORE, DIGITS, BLANKS_AFTER };
  Part part = Part::BLANKS_BEFORE;
  int64_t value = 0;
};

enum class NumberByte : uint8_t {
  TAKEN,      // a blank or a digit of the token
  TOO_LARGE,  // a digit that would take the value past 63 bits
  NOT_TAKEN,  // no byte of the token: the caller's delimiter or a stray byte
};

// Takes c into the token, digits read in base (10 or 16).
NumberByte take_number_byte(NumberToken& token, char c, int base);

// A token without digits is no number, however it ends.
constexpr bool has_digits(const NumberToken& token) { return token.part != NumberToken::Part::BLANKS_BEFORE; }
