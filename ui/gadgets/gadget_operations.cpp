// The operations the program performs on existing gadgets. Each may be called
// from any thread; the work itself always runs on the GUI thread, so that no
// other thread reads the table while it changes or touches a control whose
// record is gone.
#include "base/text.h"
#include "ui/gadgets/gadget_registry.h"
#include "ui/gadgets/gadgets.h"
#include "ui/gadgets/gui_thread.h"
#include "ui/gadgets/window_text.h"

int32_t set_gadget_text(intptr_t number, TextRef text) {
  int32_t result = 0;
  run_on_gui_thread([&] {
    GadgetRecord* record = find_gadget(number);
    if (!record) return;
    if (record->kind->operations.set_text) {
      result = record->kind->operations.set_text(record, text);
      return;
    }
    const Text contents = make_text(text);
    result = SetWindowTextA(record->window, contents.c_str()) ? 1 : 0;
  });
  return result;
}

Text get_gadget_text(intptr_t number) {
  // Built on the GUI thread straight into the caller's own value.
  Text result;
  run_on_gui_thread([&] {
    GadgetRecord* record = find_gadget(number);
    if (!record) return;
    result = record->kind->operations.get_text ? record->kind->operations.get_text(record)
                                               : read_window_text(record->window);
  });
  return result;
}

int32_t append_gadget_line(intptr_t number, intptr_t position, TextRef text) {
  int32_t result = 0;
  run_on_gui_thread([&] {
    GadgetRecord* record = find_gadget(number);
    if (!record) return;
    const GadgetOperations& operations = record->kind->operations;
    if (operations.add_item_ex)
      result = operations.add_item_ex(record, position, text, 0, 0);
    else if (operations.add_item)
      result = operations.add_item(record, position, text, 0);
  });
  return result;
}

int32_t disable_gadget(intptr_t number, int32_t state) {
  int32_t result = 0;
  run_on_gui_thread([&] {
    if (GadgetRecord* record = find_gadget(number)) result = EnableWindow(record->window, state == GADGET_ENABLED ? TRUE : FALSE);
  });
  return result;
}

HWND focus_gadget(intptr_t number) {
  // The focus belongs to the user's thread: a request from any other thread
  // leaves it where the caret is, whatever the platform would do.
  if (!on_gui_thread()) return nullptr;
  if (number == -1) return SetFocus(nullptr);
  GadgetRecord* record = find_gadget(number);
  return record ? SetFocus(record->window) : nullptr;
}

int32_t get_gadget_state(intptr_t number) {
  int32_t result = 0;
  run_on_gui_thread([&] {
    GadgetRecord* record = find_gadget(number);
    if (record && record->kind->operations.get_state) result = record->kind->operations.get_state(record);
  });
  return result;
}

int32_t set_gadget_state(intptr_t number, int32_t value) {
  int32_t result = 0;
  run_on_gui_thread([&] {
    GadgetRecord* record = find_gadget(number);
    if (!record || !record->kind->operations.set_state) return;
    record->kind->operations.set_state(record, value);
    result = 1;
  });
  return result;
}

intptr_t get_gadget_attribute(intptr_t number, int32_t attribute) {
  intptr_t result = 0;
  run_on_gui_thread([&] {
    GadgetRecord* record = find_gadget(number);
    if (record && record->kind->operations.get_attribute)
      result = record->kind->operations.get_attribute(record, attribute);
  });
  return result;
}

int32_t set_gadget_attribute(intptr_t number, int32_t attribute, intptr_t value) {
  int32_t result = 0;
  run_on_gui_thread([&] {
    GadgetRecord* record = find_gadget(number);
    if (!record || !record->kind->operations.set_attribute) return;
    record->kind->operations.set_attribute(record, attribute, value);
    result = 1;
  });
  return result;
}
