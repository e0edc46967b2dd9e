#include <gtest/gtest.h>

#include <string>

#include "http/cut_line.h"

namespace {

struct CutCase {
  std::string block;
  std::string line;  // the text up to the NUL that cut_line wrote
  const char* next;  // the text from the next position to the end; null: cut_line gave null
};

TEST(CutLine, OnlyCarriageReturnEndsALine) {
  const CutCase cases[] = {
      {"abc\r\ndef", "abc", "def"},
      {"abc\rdef", "abc", "def"},
      {"abc\r\n\ndef", "abc", "\ndef"},  // one LF only
      {"abc\ndef\rx", "abc\ndef", "x"},    // a bare LF stays in the line
      {"abc", "abc", ""},                  // the end of the bytes: an empty next line
      {"\r\n", "", ""},
      {"\r\r\n", "", "\r\n"},
      {"", "", nullptr},
  };
  for (const CutCase& c : cases) {
    std::string block = c.block;
    char* const start = block.data();
    char* const end = start + block.size();
    char* next = cut_line(start, end);
    if (!c.next) {
      EXPECT_EQ(next, nullptr) << c.block;
      continue;
    }
    ASSERT_NE(next, nullptr) << c.block;
    ASSERT_GE(next, start);
    ASSERT_LE(next, end);
    EXPECT_EQ(std::string(start, std::min<size_t>(std::char_traits<char>::length(start), next - start)), c.line)
        << c.block;
    EXPECT_EQ(std::string(next, end), c.next) << c.block;
  }
}

TEST(CutLine, WalksABlockLineByLineAndStopsAtItsEnd) {
  std::string block = "HTTP/1.1 200 OK\r\nA: 1\r\n\r\nbody";
  char* end = block.data() + block.size();
  std::vector<std::string> lines;
  for (char* p = block.data(); p;) {
    char* next = cut_line(p, end);
    if (!next) break;
    lines.emplace_back(p, std::min<size_t>(std::char_traits<char>::length(p), end - p));
    p = next;
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"HTTP/1.1 200 OK", "A: 1", "", "body"}));
  EXPECT_EQ(cut_line(nullptr, end), nullptr);
}

}  // namespace
