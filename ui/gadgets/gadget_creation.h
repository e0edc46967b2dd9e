#pragma once
// The steps every gadget creation shares: make the control in the current
// parent window, then take the number's slot and register the gadget.
#include "ui/gadgets/gadget_registry.h"
#include "ui/gadgets/gui_thread.h"

struct ControlShape {
  DWORD extended_style;
  const char* class_name;
  const char* window_text;  // null: no text
  DWORD style;
  int x, y, width, height;
  intptr_t creation_id;
};

// The new control, or null when there is no parent or the platform says no.
HWND create_control(const ControlShape& shape);

// Takes the slot (an old gadget under the number goes now), lets the kind set
// its own fields and registers the control. When the table cannot hold the number
// the new control is destroyed and 0 returned: the old gadget stays.
intptr_t finish_gadget(intptr_t number, HWND control, const GadgetKindTable* kind,
                       void (*set_kind_fields)(GadgetRecord*) = nullptr);

// For the kinds with colours: both colours the system's, no brush.
void set_system_colors(GadgetRecord* record);

// Runs a creation on the GUI thread; 0 when the library is not running.
template <class Creation>
intptr_t create_on_gui_thread(Creation&& creation) {
  intptr_t result = 0;
  run_on_gui_thread([&] { result = creation(); });
  return result;
}
