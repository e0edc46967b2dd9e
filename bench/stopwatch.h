#pragma once
// The benchmark programs' clock: microseconds from the performance counter.
#include <windows.h>

inline double now_us() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}
