// Linked into a copy of the program in place of the install of the window
// thread's message hook: here the platform refuses the hook, as nothing
// outside the process can make it do.
//
// The copy also watches its own main thread for the first window that is
// not a child or a message-only window, and ends at once with
// WINDOW_OPENED_EXIT_CODE when one is about to be created: a start that
// went on without the hook shows as that code, never as a window left
// waiting for input.
#include <windows.h>

#include "app/tests/hook_refused.h"
#include "ui/windows/taken_message_hook.h"

HHOOK install_taken_message_hook(HOOKPROC) {
  SetLastError(ERROR_ACCESS_DENIED);
  return nullptr;
}

namespace {

LRESULT CALLBACK end_at_first_window(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_CREATEWND) {
    const CREATESTRUCTA* created = reinterpret_cast<const CBT_CREATEWNDA*>(lparam)->lpcs;
    if (!(created->style & WS_CHILD) && created->hwndParent != HWND_MESSAGE) ExitProcess(WINDOW_OPENED_EXIT_CODE);
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

// Set before WinMain runs, on the thread that runs it.
const HHOOK window_watch = SetWindowsHookExA(WH_CBT, end_at_first_window, nullptr, GetCurrentThreadId());

}  // namespace
