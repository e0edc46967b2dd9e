#include "app/program.h"
#include "ui/gadgets/gadgets.h"
#include "ui/windows/toolkit_windows.h"

namespace {
// WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX and WINDOW_SCREEN_CENTERED: a
// fixed-size window, opened in the middle of the screen.
constexpr uint32_t MAIN_WINDOW_FLAGS = 0xCA0001;
}  // namespace

bool create_main_window() {
  if (open_window(WINDOW_MAIN, 388, 210, 512, 222, MAIN_WINDOW_TITLE, MAIN_WINDOW_FLAGS) == 0) return false;
  create_text_gadget(GADGET_URL_LABEL, 10, 10, 40, 20, "URL:");
  create_text_gadget(GADGET_SAVE_LABEL, 10, 40, 50, 20, "Save as:");
  create_string_gadget(GADGET_URL, 70, 10, 370, 20, "");
  create_string_gadget(GADGET_SAVE_AS, 70, 40, 370, 20, "");
  create_button_gadget(GADGET_PASTE, 450, 10, 50, 20, "Paste");
  create_button_gadget(GADGET_BROWSE, 450, 40, 50, 20, "Browse");
  create_progress_gadget(GADGET_PROGRESS, 10, 70, 490, 20, 0, 10);
  create_button_gadget(GADGET_START, 410, 100, 90, 30, "Start Download");
  create_editor_gadget(GADGET_LOG, 10, 100, 390, 110, EDITOR_READONLY);
  create_button_gadget(GADGET_ABOUT, 410, 140, 90, 30, "About");
  create_button_gadget(GADGET_EXIT, 410, 180, 90, 30, "Exit");
  return true;
}
