#pragma once
// Tells a message that this thread sent to its own window from one that was
// posted, or sent by another thread or process. Only the first can carry a
// pointer of the program's own in its parameters; for the others those are
// plain values, whatever the message's meaning says.
//
// The platform calls a thread's WH_CALLWNDPROC hook right before the window
// procedure for every message sent to the thread's windows, saying whether
// the thread sent it itself; a posted message never passes that hook.
#include <windows.h>

// Starts watching the calling thread's sends (the GUI thread's, from the
// library starts); once per thread. False when the hook cannot be set.
bool watch_own_sends();

// True only for the message now being handled when this thread sent it
// itself. Asks once: the answer is used up by the question. On a thread
// whose sends are not watched it falls back to "not from another thread",
// which a posted message also passes.
bool sent_by_this_thread(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
