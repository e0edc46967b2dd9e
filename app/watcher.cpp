#include "app/program.h"
#include "ui/gadgets/gadgets.h"

// Every turn decides afresh from both fields. The button is never asked for
// the focus from here: the user keeps typing where the caret is.
unsigned long __stdcall watch_start_button(void*) {
  for (;;) {
    bool on = false;
    if (compare_text(get_gadget_text(GADGET_URL), "") == 0)
      on = compare_text(get_gadget_text(GADGET_SAVE_AS), "") == 0;
    disable_gadget(GADGET_START, on ? 0 : 1);
    Sleep(WATCH_INTERVAL);
  }
}
