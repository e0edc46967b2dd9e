#pragma once
// The factor on the tests' time budgets: 1 on real hardware, more where the
// test programs run under CPU emulation (the 32-bit build on machines that
// cannot execute 32-bit code). CTest hands it over as GX_TIME_SCALE, and
// Wine passes it on to the program's environment.
#include <cstdint>
#include <cstdlib>

inline uint64_t time_scale() {
  const char* text = std::getenv("GX_TIME_SCALE");
  const long factor = text ? std::strtol(text, nullptr, 10) : 1;
  return factor > 1 ? static_cast<uint64_t>(factor) : 1;
}

// A budget in milliseconds, stretched by the factor.
inline uint64_t scaled_ms(uint64_t milliseconds) { return milliseconds * time_scale(); }
