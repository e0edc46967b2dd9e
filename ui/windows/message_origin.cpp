#include "ui/windows/message_origin.h"

namespace {

// The last message the hook saw on this thread: it is the one whose window
// procedure runs next, since nothing runs in between.
struct SentMessage {
  HWND window;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
  bool by_this_thread;
};

thread_local HHOOK send_hook = nullptr;
thread_local SentMessage last_sent{};

LRESULT CALLBACK note_send(int code, WPARAM sent_by_current_thread, LPARAM details) {
  if (code == HC_ACTION) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(details);
    last_sent = {sent->hwnd, sent->message, sent->wParam, sent->lParam, sent_by_current_thread != 0};
  }
  return CallNextHookEx(nullptr, code, sent_by_current_thread, details);
}

}  // namespace

bool watch_own_sends() {
  if (!send_hook) send_hook = SetWindowsHookExA(WH_CALLWNDPROC, note_send, nullptr, GetCurrentThreadId());
  return send_hook != nullptr;
}

bool sent_by_this_thread(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!send_hook) return InSendMessageEx(nullptr) == ISMEX_NOSEND;
  const SentMessage sent = last_sent;
  last_sent = {};
  return sent.by_this_thread && sent.window == window && sent.message == message && sent.wparam == wparam &&
         sent.lparam == lparam;
}
