#include "ui/windows/gadget_hooks.h"

#include "ui/windows/events.h"
#include "ui/windows/window_library.h"
#include "ui/windows/window_properties.h"

namespace {

GadgetMessageHook message_hook;
GadgetParentHook parent_hook;

}  // namespace

void set_gadget_hooks(GadgetMessageHook on_parent_message, GadgetParentHook use_gadget_window) {
  message_hook = on_parent_message;
  parent_hook = use_gadget_window;
}

void use_gadget_window_hook(HWND window) {
  if (parent_hook) parent_hook(window);
}

LRESULT notify_gadget(HWND control, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  // A handle that names no window reads as property 0 and identifier 0,
  // which would pass for gadget 0; any process can put one in an lParam.
  if (!control || !IsWindow(control)) return NOT_HANDLED;
  // Only a control inside the window names one of its gadgets; a control of
  // another window, or of another process, is none of this window's.
  if (!IsChild(window, control)) return NOT_HANDLED;
  // Only a control the gadget library registered carries its number as
  // "GX_ID", equal to its identifier.
  const auto number = reinterpret_cast<intptr_t>(GetPropA(control, GADGET_ID_PROPERTY));
  if (number != GetWindowLongPtrA(control, GWLP_ID)) return NOT_HANDLED;
  if (!message_hook) return NOT_HANDLED;
  return message_hook(number, window, message, wparam, lparam);
}
