#include "app/save_path.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "base/tests/runtime_fixture.h"

namespace {

struct Case {
  const char* folder;
  const char* url_path;  // what the URL's path part holds
  const char* expected;
};

TEST(ComposeSavePath, KeepsTheComposedPathOfOrdinaryUrls) {
  const Case cases[] = {
      {"D:\\Data\\", "files/a.zip", "D:\\Data\\files\\a.zip"},
      {"E:\\Down\\", "a/b/c.txt", "E:\\Down\\a\\b\\c.txt"},
      {"D:\\Data\\", "", "D:\\Data\\"},
      {"D:\\Data\\", "a.zip#top", "D:\\Data\\a.zip#top"},
      {"D:\\Data\\", "dir/", "D:\\Data\\dir\\"},
      {"D:\\Data\\", "a//b", "D:\\Data\\a\\\\b"},
      {"D:\\Data\\", "a b/%2e%2e/x.y.z", "D:\\Data\\a b\\%2e%2e\\x.y.z"},
      {"", "a/b", "a\\b"},
  };
  for (const Case& c : cases) EXPECT_EQ(std::string_view(compose_save_path(c.folder, c.url_path)), c.expected) << c.url_path;
}

TEST(ComposeSavePath, NeverClimbsOutOfTheFolder) {
  const Case cases[] = {
      {"D:\\Data\\", "../../x.dll", "D:\\Data\\x.dll"},
      {"D:\\Data\\", "..\\..\\x.dll", "D:\\Data\\x.dll"},
      {"D:\\Data\\", "a/../../b", "D:\\Data\\a\\b"},
      {"D:\\Data\\", "./x", "D:\\Data\\x"},
      {"D:\\Data\\", "../", "D:\\Data\\"},
      {"D:\\Data\\", "..", "D:\\Data\\"},
      // The platform strips trailing dots and spaces, so these climb too.
      {"D:\\Data\\", ".. /... /. ./x", "D:\\Data\\x"},
      {"D:\\Data\\", "..a/b..", "D:\\Data\\..a\\b.."},
  };
  for (const Case& c : cases) EXPECT_EQ(std::string_view(compose_save_path(c.folder, c.url_path)), c.expected) << c.url_path;
}

TEST(ComposeSavePath, DefusesDeviceNamesAndColons) {
  const Case cases[] = {
      {"D:\\Data\\", "nul", "D:\\Data\\_nul"},
      {"D:\\Data\\", "NUL.txt", "D:\\Data\\_NUL.txt"},
      {"D:\\Data\\", "a/Con/b", "D:\\Data\\a\\_Con\\b"},
      {"D:\\Data\\", "prn.tar.gz", "D:\\Data\\_prn.tar.gz"},
      {"D:\\Data\\", "aux .txt", "D:\\Data\\_aux .txt"},
      {"D:\\Data\\", "com1", "D:\\Data\\_com1"},
      {"D:\\Data\\", "LPT9.log", "D:\\Data\\_LPT9.log"},
      {"D:\\Data\\", "nul...", "D:\\Data\\_nul..."},
      {"D:\\Data\\", "com0", "D:\\Data\\com0"},
      {"D:\\Data\\", "com10", "D:\\Data\\com10"},
      {"D:\\Data\\", "console", "D:\\Data\\console"},
      {"D:\\Data\\", "nullify.txt", "D:\\Data\\nullify.txt"},
      {"D:\\Data\\", "a:b", "D:\\Data\\a_b"},
      {"D:\\Data\\", "C:/Windows/x.dll", "D:\\Data\\C_\\Windows\\x.dll"},
      {"D:\\Data\\", "f.txt:stream", "D:\\Data\\f.txt_stream"},
      {"D:\\Data\\", "nul:", "D:\\Data\\_nul_"},
  };
  for (const Case& c : cases) EXPECT_EQ(std::string_view(compose_save_path(c.folder, c.url_path)), c.expected) << c.url_path;
}

// The ANSI bytes of one Unicode character; empty when the code page has none.
std::string ansi_of(wchar_t character) {
  char bytes[8];
  BOOL lost = FALSE;
  const int count = WideCharToMultiByte(CP_ACP, 0, &character, 1, bytes, sizeof bytes, nullptr, &lost);
  return count > 0 && !lost ? std::string(bytes, static_cast<size_t>(count)) : std::string();
}

// COM and LPT followed by a superscript one, two or three are devices as
// well, read from the name in the ANSI code page.
TEST(ComposeSavePath, DefusesDeviceNamesWithSuperscriptDigits) {
  if (GetACP() == 1252) {
    EXPECT_EQ(ansi_of(L'\u00B9'), "\xB9");
    EXPECT_EQ(ansi_of(L'\u00B2'), "\xB2");
    EXPECT_EQ(ansi_of(L'\u00B3'), "\xB3");
  }
  const std::string one = ansi_of(L'\u00B9'), two = ansi_of(L'\u00B2'), three = ansi_of(L'\u00B3');
  ASSERT_FALSE(one.empty() || two.empty() || three.empty()) << "code page " << GetACP();
  const std::string quarter = ansi_of(L'\u00BC');  // a number, but no device
  const struct {
    std::string url_path;
    std::string expected;
  } cases[] = {
      {"COM" + one, "D:\\Data\\_COM" + one},
      {"com" + two + ".txt", "D:\\Data\\_com" + two + ".txt"},
      {"a/LPT" + three + "/b", "D:\\Data\\a\\_LPT" + three + "\\b"},
      {"lpt" + one + " .log", "D:\\Data\\_lpt" + one + " .log"},
      {"COM" + one + one, "D:\\Data\\COM" + one + one},
      {"COM" + quarter, "D:\\Data\\COM" + quarter},
      {"CON" + one, "D:\\Data\\CON" + one},
      {"COM" + one + "x", "D:\\Data\\COM" + one + "x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(std::string_view(compose_save_path("D:\\Data\\", c.url_path.c_str())), c.expected) << c.url_path;
  }
}

}  // namespace
