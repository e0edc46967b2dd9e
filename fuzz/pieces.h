#pragma once
// Cuts a fuzz input into pieces in a way the input itself decides, so that
// every target can check that its parser gives the same answer whole and in
// pieces.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

inline std::vector<std::string_view> pieces_of(std::string_view input, uint32_t seed) {
  std::vector<std::string_view> pieces;
  uint32_t state = seed * 2654435761u + 1;
  for (size_t at = 0; at < input.size();) {
    state = state * 1103515245u + 12345u;
    const size_t length = 1 + (state >> 16) % 17;
    const size_t n = length < input.size() - at ? length : input.size() - at;
    pieces.push_back(input.substr(at, n));
    at += n;
  }
  return pieces;
}

inline uint32_t seed_of(std::string_view input) {
  uint32_t hash = 2166136261u;
  for (char c : input) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return hash;
}
