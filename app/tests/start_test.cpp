// The program's start where the window thread's message hook cannot be
// installed: without the hook a posted message would pass for one of the
// thread's own sends, so the start fails before any window opens.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/tests/hook_refused.h"
#include "tests/time_scale.h"

namespace {

std::string beside_this_program(const char* name) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of("\\/") + 1) + name;
}

TEST(Start, RefusedMessageHookEndsTheProgramWithCodeOneBeforeItsWindowOpens) {
  std::string command = "\"" + beside_this_program(HOOK_REFUSED_PROGRAM) + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      << command << ": " << GetLastError();
  CloseHandle(process.hThread);
  const DWORD waited = WaitForSingleObject(process.hProcess, static_cast<DWORD>(scaled_ms(20000)));
  if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 0);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  ASSERT_EQ(waited, static_cast<DWORD>(WAIT_OBJECT_0)) << "the program did not end";
  EXPECT_NE(code, WINDOW_OPENED_EXIT_CODE) << "the program went on to open its window";
  EXPECT_EQ(code, 1u);
}

}  // namespace
