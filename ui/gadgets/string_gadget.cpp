// String gadgets: one-line edit fields that report focus changes.
#include <atomic>

#include "base/text.h"
#include "ui/gadgets/gadget_colors.h"
#include "ui/gadgets/gadget_creation.h"
#include "ui/gadgets/gadget_kinds.h"
#include "ui/gadgets/gadgets.h"
#include "ui/windows/events.h"

namespace {

constexpr GadgetKindTable string_kind{
    .kind = KIND_STRING,
    .size = sizeof(GadgetKindTable),
    .operations = {.on_parent_message = string_parent_message,
                   .release = release_common_colors,
                   .set_color = set_common_color,
                   .get_color = get_common_color},
};

// The "Edit" class procedure, the same for every string gadget.
std::atomic<WNDPROC> edit_class_proc{nullptr};

}  // namespace

LRESULT CALLBACK edit_focus_proc(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_SETFOCUS || message == WM_KILLFOCUS) {
    const int32_t type = message == WM_SETFOCUS ? EVENT_TYPE_FOCUS : EVENT_TYPE_LOST_FOCUS;
    PostMessageA(owning_window(control), MSG_GADGET_EVENT, static_cast<WPARAM>(GetWindowLongPtrA(control, GWLP_ID)),
                 type);
  }
  WNDPROC forward = edit_class_proc.load();
  if (!forward) return DefWindowProcA(control, message, wparam, lparam);
  return CallWindowProcA(forward, control, message, wparam, lparam);
}

intptr_t create_string_gadget(intptr_t number, int x, int y, int width, int height, TextRef text,
                              uint32_t flags) {
  const Text contents = make_text(text);
  return create_on_gui_thread([&]() -> intptr_t {
    const DWORD edge = (flags & GADGET_EDGE_FLAG) ? 0 : WS_EX_CLIENTEDGE;
    HWND control = create_control({edge, "Edit", contents.c_str(), flags | STRING_STYLE, x, y, width, height, -1});
    if (!control) return 0;
    // Saved before the subclass goes on, so that edit_focus_proc can forward
    // from the first message it sees.
    WNDPROC class_proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(control, GWLP_WNDPROC));
    WNDPROC expected = nullptr;
    edit_class_proc.compare_exchange_strong(expected, class_proc);
    SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(edit_focus_proc));
    return finish_gadget(number, control, &string_kind, set_system_colors);
  });
}
