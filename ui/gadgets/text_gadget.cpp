// Text gadgets: static labels with optional colours.
#include "base/text.h"
#include "ui/gadgets/gadget_colors.h"
#include "ui/gadgets/gadget_creation.h"
#include "ui/gadgets/gadget_kinds.h"
#include "ui/gadgets/gadgets.h"

namespace {

constexpr GadgetKindTable text_kind{
    .kind = KIND_TEXT,
    .size = sizeof(GadgetKindTable),
    .operations = {.on_parent_message = text_parent_message,
                   .release = release_common_colors,
                   .set_color = set_common_color,
                   .get_color = get_common_color},
};

}  // namespace

intptr_t create_text_gadget(intptr_t number, int x, int y, int width, int height, TextRef text, uint32_t flags) {
  const Text caption = make_text(text);
  return create_on_gui_thread([&]() -> intptr_t {
    const DWORD edge = (flags & GADGET_EDGE_FLAG) ? WS_EX_CLIENTEDGE : 0;
    HWND control = create_control({edge, "Static", caption.c_str(), flags | TEXT_STYLE, x, y, width, height, -1});
    return finish_gadget(number, control, &text_kind, set_system_colors);
  });
}
