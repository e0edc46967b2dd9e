#include "app/save_path.h"

#include <gtest/gtest.h>

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

}  // namespace
