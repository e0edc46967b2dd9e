// Button gadgets: push buttons; their clicks reach the program as the
// parent's WM_COMMAND.
#include "base/text.h"
#include "ui/gadgets/gadget_creation.h"
#include "ui/gadgets/gadget_kinds.h"
#include "ui/gadgets/gadgets.h"

namespace {

int32_t get_button_state(GadgetRecord* record) {
  return static_cast<int32_t>(SendMessageA(record->window, BM_GETCHECK, 0, 0) & 1);
}

void set_button_state(GadgetRecord* record, int32_t value) {
  SendMessageA(record->window, BM_SETCHECK, value ? 1 : 0, 0);
}

constexpr GadgetKindTable button_kind{
    .kind = KIND_BUTTON,
    .size = sizeof(GadgetKindTable),
    .operations = {.get_state = get_button_state, .set_state = set_button_state},
};

}  // namespace

intptr_t create_button_gadget(intptr_t number, int x, int y, int width, int height, TextRef text,
                              uint32_t flags) {
  const Text caption = make_text(text);
  return create_on_gui_thread([&]() -> intptr_t {
    HWND control = create_control({0, "Button", caption.c_str(), flags | BUTTON_STYLE, x, y, width, height, -1});
    return finish_gadget(number, control, &button_kind);
  });
}
