#include "http/number_token.h"

#include "base/ascii.h"

namespace {

// The digit's value in base, or -1 for a byte that is no digit there.
int digit_value(char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9') {
    value = c - '0';
  } else if (c >= 'a' && c <= 'z') {
    value = c - 'a' + 10;
  } else if (c >= 'A' && c <= 'Z') {
    value = c - 'A' + 10;
  }
  return value < base ? value : -1;
}

}  // namespace

NumberByte take_number_byte(NumberToken& token, char c, int base) {
  if (is_blank(c)) {
    if (token.part == NumberToken::Part::DIGITS) token.part = NumberToken::Part::BLANKS_AFTER;
    return NumberByte::TAKEN;
  }
  const int digit = digit_value(c, base);
  if (digit < 0 || token.part == NumberToken::Part::BLANKS_AFTER) return NumberByte::NOT_TAKEN;
  if (token.value > (INT64_MAX - digit) / base) return NumberByte::TOO_LARGE;
  token.value = token.value * base + digit;
  token.part = NumberToken::Part::DIGITS;
  return NumberByte::TAKEN;
}
