// A library planted beside Gatherly.exe under the name of one it loads at
// run time (riched20.dll). Loaded, it leaves a marker file beside itself;
// the test looks for that file.
#include <windows.h>

#include <cstring>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  char* name = std::strrchr(path, '\\');
  constexpr char MARKER[] = "planted-library-loaded";
  if (!name || static_cast<std::size_t>(name + 1 - path) + sizeof MARKER > MAX_PATH) return TRUE;
  std::memcpy(name + 1, MARKER, sizeof MARKER);
  HANDLE marker = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
  return TRUE;
}
