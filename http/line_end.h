#pragma once
// Where a line ends in everything read from a server: the response head,
// the chunk size lines and the blocks that cut_line cuts. A CR ends a line,
// and one LF directly after that CR belongs to its line end; a bare LF is a
// byte of the line like any other. Fed a byte at a time, so that a parser
// fed in pieces keeps the rule across them. Plain C++, no platform header.
#include <cstdint>

enum class LineByte : uint8_t {
  TEXT,    // a byte of the line
  END,     // the CR that ends the line
  END_LF,  // the one LF directly after that CR, part of the same line end
};

// A CR read last makes the next byte, if it is a LF, part of its line end.
struct LineEnd {
  bool after_cr = false;
};

// Which part of a line c is. Only END_LF depends on the byte before, so a
// byte that a caller looks at again, having taken no END_LF, reads the same.
constexpr LineByte take_line_end_byte(LineEnd& end, char c) {
  const bool after_cr = end.after_cr;
  end.after_cr = c == '\r';
  if (c == '\r') return LineByte::END;
  return after_cr && c == '\n' ? LineByte::END_LF : LineByte::TEXT;
}
