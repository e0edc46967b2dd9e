#pragma once
// What a text in the ANSI code page is in Unicode, for the few decisions
// that the platform makes on the Unicode form of a name.
#include <cstdint>
#include <string_view>

// The one UTF-16 unit that text stands for in the ANSI code page, or 0 when
// it stands for none or for more than one.
char16_t ansi_single_character(std::string_view text);
