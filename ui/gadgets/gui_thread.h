#pragma once
// Every access to the gadget table and its controls happens on one thread,
// the GUI thread that started the library. A call made on another thread
// (the program's watcher) is sent to the library's own message-only window
// and runs there; the caller waits while the GUI thread is busy, unless that
// thread answers sent messages meanwhile (a download does, between its
// waits). No lock is held across that send, so the two threads cannot
// deadlock on each other.
//
// What the route needs lives in plain globals outside the program heap: once
// the library has ended (the heap may be gone), a call from any thread finds
// no window and does nothing.
#include <windows.h>

#include <type_traits>

using GuiCall = void (*)(void* context);

// The message that carries a call to the library window. Any process finds
// that window, so the message runs only a call whose caller waits for it.
constexpr UINT MSG_RUN_GADGET_CALL = WM_APP + 0x2F0;

// Creates the library window on the calling thread, which becomes the GUI
// thread; false when the window cannot be made.
bool start_gui_thread_route();
// Stops the route before the library's state may go away.
void stop_gui_thread_route();

bool on_gui_thread();

// Runs call(context) on the GUI thread and returns true, or returns false
// without calling it when the library is not running.
bool run_on_gui_thread(GuiCall call, void* context);

template <class Function>
bool run_on_gui_thread(Function&& function) {
  using Stored = std::remove_reference_t<Function>;
  return run_on_gui_thread([](void* context) { (*static_cast<Stored*>(context))(); },
                           const_cast<void*>(static_cast<const void*>(&function)));
}
