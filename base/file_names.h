#pragma once
// How the platform reads the last part of a path: it strips the dots and
// spaces at its end, so "a.txt. ." opens a.txt and "..." climbs like "..".
// No platform header, so the HTTP layer's plain parts can use it too.
#include <string_view>

constexpr std::string_view trim_dots_and_spaces(std::string_view name) {
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
  return name;
}
