#pragma once
// Each toolkit window has a class of its own, named after its number.
#include <cstdint>

struct WindowClassName {
  char text[40];  // "WindowClass_" and a pointer-size signed number
};

// "WindowClass_<number>" with the whole number in signed decimal, never
// truncated to 32 bits (ANY_NUMBER windows are numbered by an address).
WindowClassName window_class_name(intptr_t number);
bool register_window_class(intptr_t number);
void unregister_window_class(intptr_t number);
