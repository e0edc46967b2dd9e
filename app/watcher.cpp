#include "app/program.h"
#include "ui/gadgets/gadgets.h"

// Every turn decides afresh from both fields; a field of blanks counts as
// filled. The focus request has no effect from this thread (the gadget
// library leaves the focus to the GUI thread), so the user keeps typing
// where the caret is.
unsigned long __stdcall watch_start_button(void*) {
  for (;;) {
    bool on = false;
    if (!get_gadget_text(GADGET_URL).empty()) on = !get_gadget_text(GADGET_SAVE_AS).empty();
    if (on) {
      disable_gadget(GADGET_START, GADGET_ENABLED);
      focus_gadget(GADGET_START);
    } else {
      disable_gadget(GADGET_START, GADGET_DISABLED);
    }
    Sleep(WATCH_INTERVAL);
  }
}
