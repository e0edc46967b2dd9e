#pragma once
// The ways the parser tests feed an input: whole, byte by byte, and in random
// pieces (fixed seeds, so a failure repeats).
#include <random>
#include <string>
#include <string_view>
#include <vector>

struct Split {
  std::string name;
  std::vector<std::string_view> pieces;
};

inline std::vector<Split> splits_of(std::string_view input) {
  std::vector<Split> splits;
  splits.push_back({"whole", {input}});
  Split bytes{"byte by byte", {}};
  for (size_t i = 0; i < input.size(); ++i) bytes.pieces.push_back(input.substr(i, 1));
  splits.push_back(bytes);
  for (unsigned seed = 1; seed <= 6; ++seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<size_t> length(1, seed % 2 ? 5 : 40);
    Split split{"random seed " + std::to_string(seed), {}};
    for (size_t at = 0; at < input.size();) {
      const size_t n = std::min(length(random), input.size() - at);
      split.pieces.push_back(input.substr(at, n));
      at += n;
    }
    splits.push_back(split);
  }
  return splits;
}
