#include "http/cut_line.h"

#include "http/line_end.h"

char* cut_line(char* position, char* end) {
  if (!position || position >= end) return nullptr;
  LineEnd line_end;
  for (char* p = position; p < end; ++p) {
    if (take_line_end_byte(line_end, *p) != LineByte::END) continue;
    *p++ = '\0';
    if (p < end && take_line_end_byte(line_end, *p) == LineByte::END_LF) ++p;
    return p;
  }
  return end;
}
