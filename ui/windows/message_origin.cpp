#include "ui/windows/message_origin.h"

#include "ui/windows/window_library.h"
#include "ui/windows/taken_message_hook.h"

namespace {

// The last message this thread took from its queue to handle: the one being
// dispatched, until it is asked about or the next one is taken. A message
// only looked at (PM_NOREMOVE) is not dispatched and passes the hook again
// when it is taken. A noted message without a window (a thread message, or
// nothing since the last answer) never matches: only window procedures ask.
struct TakenMessage {
  HWND window;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

thread_local HHOOK take_hook = nullptr;
thread_local TakenMessage last_taken{};

LRESULT CALLBACK note_taken(int code, WPARAM removal, LPARAM details) {
  if (code == HC_ACTION && (removal & PM_REMOVE)) {
    const auto* taken = reinterpret_cast<const MSG*>(details);
    last_taken = {taken->hwnd, taken->message, taken->wParam, taken->lParam};
    // Taken inside a dispatch of wait_event's, it is a nested loop's.
    note_nested_loop();
  }
  return CallNextHookEx(nullptr, code, removal, details);
}

}  // namespace

bool watch_taken_messages() {
  if (!take_hook) take_hook = install_taken_message_hook(note_taken);
  return take_hook != nullptr;
}

bool sent_by_this_thread(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (InSendMessageEx(nullptr) != ISMEX_NOSEND) return false;
  if (!take_hook) return true;
  const TakenMessage taken = last_taken;
  const bool posted = taken.window && taken.window == window && taken.message == message && taken.wparam == wparam &&
                      taken.lparam == lparam;
  // Asked once: a later send of this thread with the same values is a send.
  if (posted) last_taken = {};
  return !posted;
}
