#pragma once
// Window procedures and constants of the gadget kinds.
#include <windows.h>

#include <cstdint>

// Extended-style switch in the creation flags of text and string gadgets.
constexpr uint32_t GADGET_EDGE_FLAG = 0x20000;

constexpr DWORD TEXT_STYLE = WS_CHILD | WS_VISIBLE | WS_GROUP;
constexpr DWORD STRING_STYLE = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD BUTTON_STYLE = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP;
constexpr DWORD PROGRESS_STYLE = WS_CHILD | WS_VISIBLE;
constexpr DWORD EDITOR_STYLE = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | ES_WANTRETURN |
                               ES_NOHIDESEL | ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_MULTILINE;
static_assert(TEXT_STYLE == 0x50020000 && STRING_STYLE == 0x50030080 && BUTTON_STYLE == 0x50030000 &&
              EDITOR_STYLE == 0x503111C4);

// String gadgets: posts focus and lost-focus gadget events, then forwards
// to the "Edit" class procedure.
LRESULT CALLBACK edit_focus_proc(HWND control, UINT message, WPARAM wparam, LPARAM lparam);
// Editors: keeps the text colour across a font change.
LRESULT CALLBACK editor_font_proc(HWND control, UINT message, WPARAM wparam, LPARAM lparam);

// The editors' class name: "RichEdit20A", or "RichEdit" when only the older
// library loads; null when neither does. Loads the library once.
const char* editor_class_name();
