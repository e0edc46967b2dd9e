#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "runtime_fixture.h"

namespace {

TEST(CompareText, EqualityOnlyAndAbsentIsEmpty) {
  const char* absent = nullptr;
  EXPECT_EQ(compare_text(absent, ""), 1);
  EXPECT_EQ(compare_text("", absent), 1);
  EXPECT_EQ(compare_text("a", "A"), 0);
  EXPECT_EQ(compare_text("ab", "abc"), 0);
  EXPECT_EQ(compare_text("abc", "ab"), 0);
  EXPECT_EQ(compare_text(make_text("x\xE9"), "x\xE9"), 1);
}

struct ReplaceCase {
  const char* text;
  const char* searched;
  const char* replacement;
  int mode;
  intptr_t start;
  const char* expected;
};

TEST(ReplaceText, Table) {
  const ReplaceCase cases[] = {
      {"a/b/c", "/", "\\", 0, 1, "a\\b\\c"},
      {"", "/", "\\", 0, 1, ""},
      {nullptr, "/", "\\", 0, 1, ""},
      {"abc", "/", "\\", 0, 1, "abc"},
      {"aaa", "aa", "b", 0, 1, "ba"},
      {"abcabc", "abc", "x", 0, 2, "abcx"},
      {"ABab", "ab", "x", 1, 1, "xx"},
      {"ABab", "ab", "x", 0, 1, "ABx"},
      {"abc", "", "x", 0, 1, "abc"},
      {"abc", "", "x", 1, 1, "abc"},
      {"abc", nullptr, "x", 0, 1, "abc"},
      {"abc", "b", nullptr, 0, 1, "ac"},
      {"abc", "b", "xyz", 0, -5, "axyzc"},
      {"abcb", "b", "_", 0, 4, "abc_"},
      // A start past the end is clamped: nothing is read beyond the text.
      {"abc", "b", "_", 0, 5, "abc"},
      {"abc", "b", "_", 0, INTPTR_MAX, "abc"},
      {"\xC4\xE4", "\xE4", "x", 1, 1, "\xC4x"},  // only ASCII letters fold
  };
  for (const auto& c : cases) {
    EXPECT_EQ(replace_text(c.text, c.searched, c.replacement, c.mode, c.start), c.expected)
        << (c.text ? c.text : "(absent)") << " / " << (c.searched ? c.searched : "(absent)") << " start " << c.start;
  }
}

TEST(ReplaceText, InPlaceKeepsTheLength) {
  Text text = make_text("a/b/C/c");
  replace_text(&text, "/", "\\", REPLACE_IN_PLACE);
  EXPECT_EQ(text, "a\\b\\C\\c");
  replace_text(&text, "c", "x", REPLACE_IN_PLACE | REPLACE_NO_CASE, 5);
  EXPECT_EQ(text, "a\\b\\x\\x");
  // A replacement of another length cannot be made in place: unchanged.
  for (const char* other : {"", "xy"}) {
    replace_text(&text, "\\", other, REPLACE_IN_PLACE);
    EXPECT_EQ(text, "a\\b\\x\\x");
  }
  replace_text(&text, "", "", REPLACE_IN_PLACE);
  replace_text(&text, "x", "y", REPLACE_IN_PLACE, 100);
  EXPECT_EQ(text, "a\\b\\x\\x");
  // The searched text may be part of the text itself.
  Text self = make_text("abab");
  replace_text(&self, std::string_view(self).substr(0, 2), "xy", REPLACE_IN_PLACE);
  EXPECT_EQ(self, "xyxy");
}

TEST(JoinText, PlainConcatenation) {
  EXPECT_EQ(join_text("D:\\Data\\", "a\\b.zip"), "D:\\Data\\a\\b.zip");
  EXPECT_EQ(join_text(nullptr, nullptr), "");
}

struct TextWork {
  char letter;
  bool ok;
};

DWORD WINAPI build_texts(void* argument) {
  auto* work = static_cast<TextWork*>(argument);
  work->ok = true;
  for (int i = 0; i < 20000 && work->ok; ++i) {
    Text expected(static_cast<std::size_t>(i % 50 + 1), work->letter);
    Text made = replace_text(Text(expected.size(), '/'), "/", std::string_view(&work->letter, 1));
    work->ok = made == expected && compare_text(made, expected) == 1;
  }
  return 0;
}

// Both program threads build texts at once; nothing may be shared meanwhile.
TEST(Text, BuiltOnTwoThreadsAtOnceStayTheirOwn) {
  TextWork a{'a', false}, b{'b', false};
  HANDLE threads[2] = {CreateThread(nullptr, 0, build_texts, &a, 0, nullptr),
                       CreateThread(nullptr, 0, build_texts, &b, 0, nullptr)};
  WaitForMultipleObjects(2, threads, TRUE, 60000);
  CloseHandle(threads[0]);
  CloseHandle(threads[1]);
  EXPECT_TRUE(a.ok);
  EXPECT_TRUE(b.ok);
}

class CurrentDirectory : public ::testing::Test {
 protected:
  char saved[MAX_PATH * 2] = {};
  void SetUp() override { GetCurrentDirectoryA(sizeof saved, saved); }
  void TearDown() override { SetCurrentDirectoryA(saved); }
};

TEST_F(CurrentDirectory, EndsInExactlyOneBackslash) {
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
  EXPECT_EQ(get_current_directory(), "C:\\");
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\windows"));
  EXPECT_EQ(CharLowerA(get_current_directory().data()), std::string("c:\\windows\\"));
}

TEST_F(CurrentDirectory, TooLongForTheBufferGivesTheEmptyText) {
  std::string path = "C:\\";
  GetTempPathA(MAX_PATH, path.data());
  path = std::string(path.c_str());
  std::string segment(40, 'd');
  while (path.size() < MAX_PATH + 20) {
    path += segment;
    CreateDirectoryA(path.c_str(), nullptr);
    path += "\\";
  }
  if (!SetCurrentDirectoryA(path.c_str())) GTEST_SKIP() << "the platform refuses a current directory this long";
  EXPECT_EQ(get_current_directory(), "");
}

}  // namespace
