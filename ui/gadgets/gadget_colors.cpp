#include "ui/gadgets/gadget_colors.h"

#include "ui/gadgets/gadgets.h"
#include "ui/windows/events.h"

namespace {

// With only a front colour the background is painted in the system colour
// the kind's control would use itself.
LRESULT paint_colors(GadgetRecord* record, HDC context, int system_background) {
  const GadgetColours& colours = record->colours;
  LRESULT result = NOT_HANDLED;
  if (colours.front_color != SYSTEM_COLOR) {
    SetTextColor(context, static_cast<COLORREF>(colours.front_color));
    if (colours.back_color == SYSTEM_COLOR) {
      SetBkColor(context, GetSysColor(system_background));
      result = reinterpret_cast<LRESULT>(GetSysColorBrush(system_background));
    }
  }
  if (colours.back_color != SYSTEM_COLOR) {
    SetBkColor(context, static_cast<COLORREF>(colours.back_color));
    result = reinterpret_cast<LRESULT>(colours.back_brush);
  }
  return result;
}

}  // namespace

void set_common_color(GadgetRecord* record, int32_t selector, int32_t color) {
  GadgetColours& colours = record->colours;
  if (selector == GADGET_FRONT_COLOR) {
    colours.front_color = color;
  } else if (selector == GADGET_BACK_COLOR) {
    if (colours.back_brush) release_brush(colours.back_brush);
    colours.back_brush = color == SYSTEM_COLOR ? nullptr : acquire_brush(static_cast<COLORREF>(color));
    colours.back_color = color;
  }
  RedrawWindow(record->window, nullptr, nullptr, RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_FRAME);
}

int32_t get_common_color(GadgetRecord* record, int32_t selector) {
  if (selector == GADGET_FRONT_COLOR) return record->colours.front_color;
  if (selector == GADGET_BACK_COLOR) return record->colours.back_color;
  return SYSTEM_COLOR;
}

void release_common_colors(GadgetRecord* record) {
  if (record->colours.back_brush) release_brush(record->colours.back_brush);
  record->colours.back_brush = nullptr;
}

LRESULT text_parent_message(GadgetRecord* record, HWND, UINT message, WPARAM wparam, LPARAM) {
  if (message != WM_CTLCOLORSTATIC) return NOT_HANDLED;
  return paint_colors(record, reinterpret_cast<HDC>(wparam), COLOR_BTNFACE);
}

LRESULT string_parent_message(GadgetRecord* record, HWND, UINT message, WPARAM wparam, LPARAM) {
  // An enabled read-only edit asks with WM_CTLCOLORSTATIC; a disabled one
  // keeps the system's colours.
  const bool asks = message == WM_CTLCOLOREDIT || (message == WM_CTLCOLORSTATIC && IsWindowEnabled(record->window));
  if (!asks) return NOT_HANDLED;
  return paint_colors(record, reinterpret_cast<HDC>(wparam), COLOR_BTNHIGHLIGHT);
}
