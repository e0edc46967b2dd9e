// A library of the same name planted beside the program is never what the
// program loads by name. The test program has one planted beside it
// (gxplanted.dll, a name no system library has).
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "base/system_library.h"

namespace {

constexpr char PLANTED[] = "gxplanted.dll";

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string folder_of(HMODULE module) {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(module, path, MAX_PATH);
  std::string text = path;
  return lower(text.substr(0, text.rfind('\\')));
}

std::string system_folder() {
  char path[MAX_PATH] = "";
  GetSystemDirectoryA(path, MAX_PATH);
  return lower(path);
}

// In this order: the plain search, the fallback by full path, then the
// restricted search, which stays for the rest of the process.
TEST(SystemLibrary, APlantedLibraryIsNeverLoadedByName) {
  HMODULE found = LoadLibraryA(PLANTED);
  ASSERT_NE(found, nullptr) << "the plain search finds the planted library beside the program";
  FreeLibrary(found);

  // Before the search is restricted, each library is named by its full path.
  EXPECT_EQ(load_system_library(PLANTED), nullptr);
  HMODULE rich_edit = load_system_library("RICHED20.DLL");
  ASSERT_NE(rich_edit, nullptr);
  EXPECT_EQ(folder_of(rich_edit), system_folder());

  ASSERT_TRUE(restrict_library_search());
  EXPECT_EQ(LoadLibraryA(PLANTED), nullptr);
  EXPECT_EQ(load_system_library(PLANTED), nullptr);
  HMODULE shell = load_system_library("SHELL32.DLL");
  ASSERT_NE(shell, nullptr);
  EXPECT_EQ(folder_of(shell), system_folder());
}

}  // namespace
