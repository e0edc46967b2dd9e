// The program: starts the runtime's libraries in order, opens the window,
// starts the watcher, runs the event loop, and ends the libraries: threads,
// network, gadgets, windows, lists. That is not the reverse of their start;
// the text heap is never ended, the process exit takes it.
#include "app/program.h"
#include "base/heap.h"
#include "base/system_library.h"
#include "base/threads.h"
#include "net/connection.h"
#include "ui/gadgets/gadgets.h"
#include "ui/gadgets/requester.h"
#include "ui/windows/events.h"
#include "ui/windows/toolkit_windows.h"

ProgramState program_state;

namespace {

// False when a library that the window needs did not start: among them the
// watch that tells a posted message from the window thread's own sends,
// without which the program must not run at all.
bool start_libraries() {
  if (!init_text() || !init_lists() || !init_windows() || !init_gadgets()) return false;
  init_requesters();
  init_threads();
  init_network();  // a failure shows later as "Download failed!"
  return true;
}

void end_libraries() {
  end_threads();
  end_network();
  end_gadgets();
  end_windows();
  end_lists();
}

// During a download the loop goes on as at any time: the download runs on
// a thread of its own. Escape and the button's second press stop it; the
// close box, Alt+F4, a WM_CLOSE from elsewhere and "Exit" stop it too, and
// the loop ends once the download has ended (its file closed and removed),
// never with the download still running.
void run_event_loop() {
  bool leaving = false;
  for (;;) {
    program_state.last_event_code = wait_event();
    program_state.last_event_window = event_window();
    program_state.last_event_gadget = event_gadget();
    program_state.last_event_type = event_type();
    bool leave = false;
    switch (program_state.last_event_code) {
      case EVENT_CLOSE_WINDOW:
        leave = true;
        break;
      case EVENT_DATA_WINDOW:
        if (take_download_event() && leaving) return;
        continue;
      case EVENT_MENU:
        if (program_state.last_event_gadget == COMMAND_CANCEL) stop_download();
        continue;
      case EVENT_GADGET:
        switch (program_state.last_event_gadget) {
          case GADGET_PASTE: paste_action(); break;
          case GADGET_BROWSE: browse_action(); break;
          case GADGET_START:
            if (!leaving) start_download_action();
            break;
          case GADGET_EXIT: leave = true; break;
          default: break;  // About, the fields' focus events, the log: nothing
        }
        break;
      default:
        continue;
    }
    if (!leave) continue;
    if (!download_running()) return;
    stop_download();
    leaving = true;
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything can load a library by name.
  restrict_library_search();
  program_state = ProgramState{};
  program_state.module_instance = GetModuleHandleA(nullptr);
  create_program_heap();
  // A library that did not start (the window thread's message watch among
  // them) or a window that did not open ends the program at once, with exit
  // code 1: it would otherwise run without that defence, or wait for an
  // event that never comes.
  UINT exit_code = 1;
  if (start_libraries() && create_main_window()) {
    program_state.watcher_thread = start_thread(watch_start_button, WATCHER_UNUSED_ARGUMENT);
    set_session_end_handler(end_session);
    run_event_loop();
    set_session_end_handler(nullptr);
    exit_code = 0;
  }
  end_libraries();
  destroy_program_heap();
  ExitProcess(exit_code);
}
