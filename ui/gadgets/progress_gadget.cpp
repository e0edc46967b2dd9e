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

bool is_marquee(HWND control) { return (GetWindowLongPtrA(control, GWL_STYLE) & PBS_MARQUEE) != 0; }

// The marquee style goes on before its animation starts and off after it
// stops: the control animates only while it has the style.
void set_marquee(HWND control, bool on) {
  if (on == is_marquee(control)) return;
  const LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE);
  if (on) {
    SetWindowLongPtrA(control, GWL_STYLE, style | PBS_MARQUEE);
    SendMessageA(control, PBM_SETMARQUEE, TRUE, 0);  // the platform's own pace
  } else {
    SendMessageA(control, PBM_SETMARQUEE, FALSE, 0);
    SetWindowLongPtrA(control, GWL_STYLE, style & ~static_cast<LONG_PTR>(PBS_MARQUEE));
  }
  InvalidateRect(control, nullptr, TRUE);
}

intptr_t get_progress_attribute(GadgetRecord* record, int32_t attribute) {
  if (attribute == ATTR_MINIMUM) return range_limit(record->window, true);
  if (attribute == ATTR_MAXIMUM) return range_limit(record->window, false);
  if (attribute == ATTR_MARQUEE) return is_marquee(record->window) ? 1 : 0;
  return 0;
}

void set_progress_attribute(GadgetRecord* record, int32_t attribute, intptr_t value) {
  HWND control = record->window;
  if (attribute == ATTR_MINIMUM)
    SendMessageA(control, PBM_SETRANGE32, static_cast<WPARAM>(value), range_limit(control, false));
  else if (attribute == ATTR_MAXIMUM)
    SendMessageA(control, PBM_SETRANGE32, static_cast<WPARAM>(range_limit(control, true)), value);
  else if (attribute == ATTR_MARQUEE)
    set_marquee(control, value != 0);
}

// What a screen reader or an automation tool reads of a bar: the position,
// the range as a return value (a non-null lParam would be a place to write
// it, an address in someone else's process), the step and the state.
bool is_plain_progress_read(UINT message, WPARAM, LPARAM lparam) {
  switch (message) {
    case PBM_GETPOS:
    case PBM_GETSTEP:
    case PBM_GETSTATE:
      return true;
    case PBM_GETRANGE:
      return lparam == 0;
    default:
      return false;
  }
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
                   .get_color = get_progress_color,
                   .is_plain_read = is_plain_progress_read},
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
