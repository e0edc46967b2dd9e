#include "http/temporary_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string temporary_path(const std::string& destination, uint64_t value) {
  std::string out(destination.size() + 1, '?');
  write_temporary_path(out.data(), destination, value);
  return out.substr(0, out.find('\0'));
}

// The temporary file stands in the destination's folder, under hex digits no
// more than the destination's own file name has, so its path is never the
// longer one.
TEST(TemporaryName, InTheDestinationsFolderAndNoLongerThanItsName) {
  const struct {
    std::string destination;
    uint64_t value;
    std::string expected;
  } cases[] = {
      {"C:\\Data\\file.zip", 0x1234abcd, "C:\\Data\\1234abcd"},
      {"C:\\Data\\archive-2024.tar.gz", 0xfedcba9876ull, "C:\\Data\\dcba9876"},
      {"C:\\Data\\f", 0x2b, "C:\\Data\\b"},
      {"C:\\Data\\ab", 0x100, "C:\\Data\\00"},
      {"D:/mixed/slashes/x.y", 0x5, "D:/mixed/slashes/005"},
      {"C:name.bin", 0xabc, "C:00000abc"},
      {"relative.txt", 0xffffffff, "ffffffff"},
      {"\\\\server\\share\\q", 3, "\\\\server\\share\\3"},
  };
  for (const auto& c : cases) {
    const std::string path = temporary_path(c.destination, c.value);
    EXPECT_EQ(path, c.expected) << c.destination;
    EXPECT_LE(path.size(), c.destination.size()) << c.destination;
  }
}

// The draws a download skips: those that give the destination's own name
// as the platform reads it.
TEST(TemporaryName, TheDestinationsOwnNameWithoutCaseAndTrailingDotsAndSpaces) {
  const struct {
    std::string destination;
    uint64_t value;
    bool own;
  } cases[] = {
      {"C:\\Data\\f", 0xf, true},
      {"C:\\Data\\F", 0xf, true},
      {"C:\\Data\\f", 0xe, false},
      {"relative\\ab", 0x1ab, true},
      {"C:\\Data\\2024", 0x2024, true},
      {"C:\\Data\\abcdefab.", 0xabcdefab, true},
      {"C:\\Data\\AbCdEfAb . .", 0xabcdefab, true},
      {"C:\\Data\\ab.", 0xab, false},  // three digits: "0ab"
      {"C:\\Data\\ab.", 0xab0, false},
      {"C:\\Data\\abcdefabc", 0xabcdefab, false},
      {"C:\\Data\\file.zip", 0xf11e0000, false},
      {"C:\\Data\\g", 0x0, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(temporary_name_is_destination(c.destination, c.value), c.own) << c.destination << " " << c.value;
  }
}

TEST(TemporaryName, DigitsAndNameCounts) {
  EXPECT_EQ(temporary_name_digits("C:\\Data\\"), 0u);
  EXPECT_EQ(temporary_name_digits("C:"), 0u);
  EXPECT_EQ(temporary_name_digits("C:\\a"), 1u);
  EXPECT_EQ(temporary_name_digits("C:\\" + std::string(300, 'n')), TEMPORARY_NAME_MOST_DIGITS);
  EXPECT_EQ(temporary_name_count(1), 16u);
  EXPECT_EQ(temporary_name_count(TEMPORARY_NAME_MOST_DIGITS), uint64_t{1} << 32);
}

}  // namespace
