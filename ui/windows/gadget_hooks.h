#pragma once
// The window library sits below the gadget library, so it reaches the gadget
// table only through these hooks, which init_gadgets installs. Until then a
// control's message is NOT_HANDLED and a new window is nobody's parent.
#include <windows.h>

#include <cstdint>

// Offers a message to the on_parent_message of the gadget with this number;
// NOT_HANDLED when there is no such gadget or its kind has no handler.
using GadgetMessageHook = LRESULT (*)(intptr_t gadget_number, HWND window, UINT message, WPARAM wparam,
                                      LPARAM lparam);
// Makes the window the parent of the gadgets created next.
using GadgetParentHook = void (*)(HWND window);

void set_gadget_hooks(GadgetMessageHook on_parent_message, GadgetParentHook use_gadget_window);
