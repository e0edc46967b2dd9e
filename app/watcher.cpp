#include "app/program.h"
#include "ui/gadgets/gadgets.h"
#include "ui/gadgets/gui_thread.h"

// Every turn decides afresh from both fields; a field of blanks counts as
// filled. The focus request has no effect from this thread (the gadget
// library leaves the focus to the GUI thread), so the user keeps typing
// where the caret is.
//
// While a download runs the button reads "Stop" and is left alone, whatever
// the fields hold. Whether one runs is asked on the GUI thread, in the same
// call that sets the button: a download that starts between a look from
// here and the setting could otherwise find its "Stop" disabled.
unsigned long __stdcall watch_start_button(void*) {
  for (;;) {
    bool on = false;
    if (!get_gadget_text(GADGET_URL).empty()) on = !get_gadget_text(GADGET_SAVE_AS).empty();
    run_on_gui_thread([on] {
      if (!download_running()) disable_gadget(GADGET_START, on ? GADGET_ENABLED : GADGET_DISABLED);
    });
    if (on) focus_gadget(GADGET_START);
    Sleep(WATCH_INTERVAL);
  }
}
