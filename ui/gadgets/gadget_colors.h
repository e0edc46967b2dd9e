#pragma once
// The colour operations that the text and string kinds share.
#include "ui/gadgets/gadget_registry.h"

void set_common_color(GadgetRecord* record, int32_t selector, int32_t color);
int32_t get_common_color(GadgetRecord* record, int32_t selector);
void release_common_colors(GadgetRecord* record);

// WM_CTLCOLOR... handlers: the brush to paint with, or NOT_HANDLED while
// both colours are the system's.
LRESULT text_parent_message(GadgetRecord* record, HWND parent, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT string_parent_message(GadgetRecord* record, HWND parent, UINT message, WPARAM wparam, LPARAM lparam);
