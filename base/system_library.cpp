#include "base/system_library.h"

#include <atomic>
#include <cstring>

namespace {

std::atomic<bool> search_restricted{false};

using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD directories);

}  // namespace

bool restrict_library_search() {
  // Looked up rather than imported, so that a system without it still starts.
  auto restrict_search = reinterpret_cast<SetDefaultDllDirectoriesCall>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "SetDefaultDllDirectories")));
  if (restrict_search && restrict_search(LOAD_LIBRARY_SEARCH_SYSTEM32)) search_restricted = true;
  return search_restricted;
}

HMODULE load_system_library(const char* name) {
  if (search_restricted) return LoadLibraryA(name);
  char path[MAX_PATH];
  const UINT folder_length = GetSystemDirectoryA(path, MAX_PATH);
  const std::size_t name_length = std::strlen(name);
  // A folder that does not fit, or no folder at all: nothing rather than a
  // search that would start in the program's folder.
  if (folder_length == 0 || folder_length + 1 + name_length >= MAX_PATH) return nullptr;
  path[folder_length] = '\\';
  std::memcpy(path + folder_length + 1, name, name_length + 1);
  return LoadLibraryA(path);
}
