#pragma once
// Tells a message that this thread sent to its own window from one that was
// posted, or sent by another thread or process. Only the first can carry a
// pointer of the program's own in its parameters; for the others those are
// plain values, whatever the message's meaning says.
//
// A send from another thread or process is one that InSendMessageEx reports
// as such. A posted message is one the thread took from its queue: the
// platform shows every message that GetMessage or PeekMessage takes, in any
// message loop of the thread (the toolkit's own, a dialog's, the platform's
// move and menu loops), to the thread's WH_GETMESSAGE hook first, and the
// hook notes it. A hook on sends (WH_CALLWNDPROC) would tell the same, but
// the platform then calls it for every message the thread sends itself:
// under Wine that made an append to the log and its paint more than twice
// as slow. Taken messages are few.
#include <windows.h>

// Starts watching what the calling thread takes from its queue; once per
// thread. False when the hook cannot be set: the window and gadget
// libraries then refuse to start, since their thread must never run
// without the watch.
bool watch_taken_messages();

// True only for the message now being handled when this thread sent it
// itself. On a thread that is not watched (never the libraries' own) it
// falls back to "not from another thread", which a posted message also
// passes.
bool sent_by_this_thread(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
