#include <windows.h>

#include "ui/windows/events.h"

namespace {

BOOL CALLBACK paint_what_is_invalid(HWND window, LPARAM) {
  // Without an invalidating flag only what is already invalid is painted.
  RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  return TRUE;
}

}  // namespace

void answer_waiting_messages() {
  MSG message;
  // Filtered to sent messages, the peek answers each of them and neither
  // takes nor returns anything of the queue.
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  EnumThreadWindows(GetCurrentThreadId(), paint_what_is_invalid, 0);
}
