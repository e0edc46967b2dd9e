#include "ui/gadgets/gui_thread.h"

#include <windows.h>

#include <atomic>

namespace {

constexpr char LIBRARY_WINDOW_CLASS[] = "GadgetLibraryWindow";

// Plain globals on purpose: nothing the route reads may live in the program
// heap, which is destroyed at exit while the watcher thread still runs.
std::atomic<HWND> library_window{nullptr};
std::atomic<DWORD> gui_thread_id{0};

struct CallRequest {
  GuiCall call;
  void* context;
  bool done;
  CallRequest* next;  // the next request whose caller waits
};

// The requests whose callers are waiting in their send right now. The
// window is found by any process on the desktop, which may send or post
// this message with any lParam: only an address on this list is a request.
SRWLOCK waiting_lock = SRWLOCK_INIT;
CallRequest* waiting = nullptr;

void add_waiting(CallRequest* request) {
  AcquireSRWLockExclusive(&waiting_lock);
  request->next = waiting;
  waiting = request;
  ReleaseSRWLockExclusive(&waiting_lock);
}

// Unlinks the request at this address if one waits there; compares
// addresses only, so an unknown value is never read through.
CallRequest* take_waiting(const void* address) {
  AcquireSRWLockExclusive(&waiting_lock);
  CallRequest* found = nullptr;
  for (CallRequest** link = &waiting; *link; link = &(*link)->next) {
    if (*link != address) continue;
    found = *link;
    *link = found->next;
    break;
  }
  ReleaseSRWLockExclusive(&waiting_lock);
  return found;
}

LRESULT CALLBACK library_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != MSG_RUN_GADGET_CALL) return DefWindowProcA(window, message, wparam, lparam);
  // A send that was already under way when the library ended finds the
  // route stopped and leaves the table alone.
  if (gui_thread_id.load() != GetCurrentThreadId()) return 0;
  // A caller waits in a plain send; a posted request has nobody waiting.
  if ((InSendMessageEx(nullptr) & (ISMEX_SEND | ISMEX_NOTIFY | ISMEX_CALLBACK)) != ISMEX_SEND) return 0;
  CallRequest* request = take_waiting(reinterpret_cast<const void*>(lparam));
  if (!request) return 0;
  request->call(request->context);
  request->done = true;
  return 1;
}

}  // namespace

bool start_gui_thread_route() {
  if (library_window.load()) return true;
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = library_window_proc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = LIBRARY_WINDOW_CLASS;
  RegisterClassA(&window_class);  // already registered after an earlier start: fine
  HWND window = CreateWindowExA(0, LIBRARY_WINDOW_CLASS, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  if (!window) return false;
  gui_thread_id.store(GetCurrentThreadId());
  library_window.store(window);
  return true;
}

void stop_gui_thread_route() {
  // Thread id first: from here on every caller, here or elsewhere, sees a
  // stopped library before the window goes.
  gui_thread_id.store(0);
  HWND window = library_window.exchange(nullptr);
  if (window) DestroyWindow(window);
  // A caller whose send was already queued is answered now (with nothing
  // done); any later one finds no window. Either way no caller is left
  // waiting on a thread that may never look at its messages again.
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  UnregisterClassA(LIBRARY_WINDOW_CLASS, GetModuleHandleA(nullptr));
}

bool on_gui_thread() {
  const DWORD gui = gui_thread_id.load();
  return gui != 0 && gui == GetCurrentThreadId();
}

bool run_on_gui_thread(GuiCall call, void* context) {
  const DWORD gui = gui_thread_id.load();
  if (gui == 0) return false;
  if (gui == GetCurrentThreadId()) {
    call(context);
    return true;
  }
  HWND window = library_window.load();
  if (!window) return false;
  CallRequest request{call, context, false, nullptr};
  add_waiting(&request);
  SendMessageA(window, MSG_RUN_GADGET_CALL, 0, reinterpret_cast<LPARAM>(&request));
  // Still listed when the send came back unanswered (the library ended).
  take_waiting(&request);
  return request.done;
}
