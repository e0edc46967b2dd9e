#include "http/cut_line.h"

char* cut_line(char* position, char* end) {
  if (!position || position >= end) return nullptr;
  for (char* p = position; p < end; ++p) {
    if (*p != '\r') continue;
    *p++ = '\0';
    if (p < end && *p == '\n') ++p;
    return p;
  }
  return end;
}
