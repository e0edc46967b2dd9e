#pragma once
// Gadgets: child controls inside a toolkit window, addressed by a number the
// program chooses. Creating a gadget under a number in use replaces the old
// one (if the creation fails, the old one stays). The operations may be
// called from any thread; an unknown number makes each of them do nothing.
#include <windows.h>

#include <cstdint>

#include "base/text.h"

constexpr int32_t GADGET_FRONT_COLOR = 1;
constexpr int32_t GADGET_BACK_COLOR = 2;
constexpr uint32_t EDITOR_READONLY = 2048;

// Attributes of progress bars.
constexpr int32_t ATTR_MINIMUM = 1;
constexpr int32_t ATTR_MAXIMUM = 2;
// Non-zero: the bar moves on its own (the platform's marquee style) to show
// that something goes on whose end is unknown; 0: it shows its position.
constexpr int32_t ATTR_MARQUEE = 3;

bool init_gadgets();
void end_gadgets();

// Each returns the control's handle, the new number for ANY_NUMBER, or 0.
intptr_t create_text_gadget(intptr_t number, int x, int y, int width, int height, TextRef text, uint32_t flags = 0);
intptr_t create_string_gadget(intptr_t number, int x, int y, int width, int height, TextRef text, uint32_t flags = 0);
intptr_t create_button_gadget(intptr_t number, int x, int y, int width, int height, TextRef text, uint32_t flags = 0);
intptr_t create_progress_gadget(intptr_t number, int x, int y, int width, int height, int32_t minimum,
                                int32_t maximum, uint32_t flags = 0);
intptr_t create_editor_gadget(intptr_t number, int x, int y, int width, int height, uint32_t flags);

// Non-zero on success, 0 when the gadget doesn't exist.
int32_t set_gadget_text(intptr_t number, TextRef text);
// The caller's own new text; empty for an unknown gadget.
Text get_gadget_text(intptr_t number);
// Position -1 (or a line that doesn't exist) appends at the end.
int32_t append_gadget_line(intptr_t number, intptr_t position, TextRef text);
// The state that disable_gadget gives a gadget: 0 enables it, any other
// state disables it.
constexpr int32_t GADGET_ENABLED = 0;
constexpr int32_t GADGET_DISABLED = 1;

// Enables or disables the gadget as state says; EnableWindow's result
// (non-zero when the gadget was disabled before).
int32_t disable_gadget(intptr_t number, int32_t state);
// The window that had the focus before, or null. -1 removes the focus.
HWND focus_gadget(intptr_t number);
// The value a gadget shows (a progress bar's position); 0 for an unknown
// number or a kind without one. The setter returns 0 then, else non-zero.
int32_t get_gadget_state(intptr_t number);
int32_t set_gadget_state(intptr_t number, int32_t value);
// A kind's attribute (ATTR_...); 0 for an unknown number or attribute. The
// setter returns 0 then, else non-zero.
intptr_t get_gadget_attribute(intptr_t number, int32_t attribute);
int32_t set_gadget_attribute(intptr_t number, int32_t attribute, intptr_t value);
