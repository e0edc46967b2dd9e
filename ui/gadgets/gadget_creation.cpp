#include "ui/gadgets/gadget_creation.h"

#include "base/object_table.h"

HWND create_control(const ControlShape& shape) {
  HWND parent = gadget_parent();
  if (!parent || !IsWindow(parent)) return nullptr;
  return CreateWindowExA(shape.extended_style, shape.class_name, shape.window_text, shape.style, shape.x, shape.y,
                         shape.width, shape.height, parent, reinterpret_cast<HMENU>(shape.creation_id),
                         GetModuleHandleA(nullptr), nullptr);
}

intptr_t finish_gadget(intptr_t number, HWND control, const GadgetKindTable* kind,
                       void (*set_kind_fields)(GadgetRecord*)) {
  if (!control) return 0;
  GadgetRecord* record = take_gadget_slot(number);
  if (!record) {
    DestroyWindow(control);
    return 0;
  }
  if (set_kind_fields) set_kind_fields(record);
  return register_gadget(number, record, control, kind);
}

void set_system_colors(GadgetRecord* record) {
  record->colours.back_color = SYSTEM_COLOR;
  record->colours.front_color = SYSTEM_COLOR;
  record->colours.back_brush = nullptr;
}
