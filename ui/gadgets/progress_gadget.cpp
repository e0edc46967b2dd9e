// Progress-bar gadgets.
#include <windows.h>
#include <commctrl.h>

#include "ui/gadgets/gadget_creation.h"
#include "ui/gadgets/gadget_kinds.h"
#include "ui/gadgets/gadgets.h"

namespace {

int32_t get_progress_state(GadgetRecord* record) {
  return static_cast<int32_t>(SendMessageA(record->window, PBM_GETPOS, 0, 0));
}

void set_progress_state(GadgetRecord* record, int32_t value) {
  SendMessageA(record->window, PBM_SETPOS, static_cast<WPARAM>(value), 0);
}

int32_t range_limit(HWND control, bool low) {
  return static_cast<int32_t>(SendMessageA(control, PBM_GETRANGE, low ? 1 : 0, 0));
}

intptr_t get_progress_attribute(GadgetRecord* record, int32_t attribute) {
  if (attribute == ATTR_MINIMUM) return range_limit(record->window, true);
  if (attribute == ATTR_MAXIMUM) return range_limit(record->window, false);
  return 0;
}

void set_progress_attribute(GadgetRecord* record, int32_t attribute, intptr_t value) {
  HWND control = record->window;
  if (attribute == ATTR_MINIMUM)
    SendMessageA(control, PBM_SETRANGE32, static_cast<WPARAM>(value), range_limit(control, false));
  else if (attribute == ATTR_MAXIMUM)
    SendMessageA(control, PBM_SETRANGE32, static_cast<WPARAM>(range_limit(control, true)), value);
}

void set_progress_color(GadgetRecord* record, int32_t selector, int32_t color) {
  const LPARAM value = color == SYSTEM_COLOR ? static_cast<LPARAM>(CLR_DEFAULT) : static_cast<LPARAM>(color);
  if (selector == GADGET_FRONT_COLOR) {
    SendMessageA(record->window, PBM_SETBARCOLOR, 0, value);
    record->colours.front_color = color;
  } else if (selector == GADGET_BACK_COLOR) {
    SendMessageA(record->window, PBM_SETBKCOLOR, 0, value);
    record->colours.back_color = color;
  }
}

int32_t get_progress_color(GadgetRecord* record, int32_t selector) {
  if (selector == GADGET_FRONT_COLOR) return record->colours.front_color;
  if (selector == GADGET_BACK_COLOR) return record->colours.back_color;
  return SYSTEM_COLOR;
}

constexpr GadgetKindTable progress_kind{
    .kind = KIND_PROGRESS,
    .size = sizeof(GadgetKindTable),
    .operations = {.get_state = get_progress_state,
                   .set_state = set_progress_state,
                   .get_attribute = get_progress_attribute,
                   .set_attribute = set_progress_attribute,
                   .set_color = set_progress_color,
                   .get_color = get_progress_color},
};

}  // namespace

intptr_t create_progress_gadget(intptr_t number, int x, int y, int width, int height, int32_t minimum,
                                int32_t maximum, uint32_t flags) {
  return create_on_gui_thread([&]() -> intptr_t {
    HWND control =
        create_control({0, PROGRESS_CLASSA, nullptr, flags | PROGRESS_STYLE, x, y, width, height, 0});
    if (!control) return 0;
    SendMessageA(control, PBM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
    return finish_gadget(number, control, &progress_kind, set_system_colors);
  });
}
