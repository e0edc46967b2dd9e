#pragma once
// The machinery every gadget kind shares: the gadget table from numbers to
// GadgetRecords, each kind's table of optional operations, the registration
// that ends every creation and the subclass procedure that cleans a gadget up
// when its control is destroyed.
//
// Everything here runs on the GUI thread (the thread that called
// init_gadgets); the public operations of gadgets.h carry calls from other
// threads over to it (gui_thread.h).
#include <windows.h>

#include <cstdint>

#include "base/text.h"
#include "ui/gadgets/brush_cache.h"

constexpr int32_t KIND_BUTTON = 1;
constexpr int32_t KIND_STRING = 2;
constexpr int32_t KIND_TEXT = 3;
constexpr int32_t KIND_PROGRESS = 14;
constexpr int32_t KIND_EDITOR = 22;

// Colours are COLORREF values in a signed word; -1 leaves the system's colour.
constexpr int32_t SYSTEM_COLOR = -1;

struct GadgetKindTable;

// The colours of the kinds that have them (text, string, progress bar and
// editor), in one place for every kind.
struct GadgetColours {
  int32_t back_color;
  int32_t front_color;
  HBRUSH back_brush;  // text and string only: the cached brush for back_color
};

struct GadgetRecord {
  HWND window;  // non-null exactly while the slot is in use
  const GadgetKindTable* kind;
  WNDPROC previous_proc;
  GadgetColours colours;
  int32_t empty_line_state;  // editors only: 0, 1 or 2, see editor_gadget.cpp
};

// The operation positions in their fixed order. An empty position means a
// default or nothing, as each caller says. The kinds fill some positions that
// the program never calls (the states, attributes, lines other than the
// append, and colours but for the editor's font change); they stay, so that
// each kind's table is whole.
struct GadgetOperations {
  LRESULT (*on_parent_message)(GadgetRecord*, HWND parent, UINT message, WPARAM, LPARAM) = nullptr;
  void (*release)(GadgetRecord*) = nullptr;
  int32_t (*get_state)(GadgetRecord*) = nullptr;
  void (*set_state)(GadgetRecord*, int32_t value) = nullptr;
  Text (*get_text)(GadgetRecord*) = nullptr;
  int32_t (*set_text)(GadgetRecord*, TextRef text) = nullptr;  // non-zero on success
  int32_t (*add_item)(GadgetRecord*, intptr_t position, TextRef text, intptr_t image) = nullptr;
  int32_t (*add_item_ex)(GadgetRecord*, intptr_t position, TextRef text, intptr_t image, uint32_t flags) = nullptr;
  intptr_t (*remove_item)(GadgetRecord*, intptr_t line) = nullptr;
  void (*clear_items)(GadgetRecord*) = nullptr;
  intptr_t (*count_items)(GadgetRecord*) = nullptr;
  Text (*get_item_text)(GadgetRecord*, intptr_t line, intptr_t unused) = nullptr;
  void (*set_item_text)(GadgetRecord*, intptr_t line, TextRef text, intptr_t unused) = nullptr;
  intptr_t (*get_attribute)(GadgetRecord*, int32_t attribute) = nullptr;
  void (*set_attribute)(GadgetRecord*, int32_t attribute, intptr_t value) = nullptr;
  void (*set_color)(GadgetRecord*, int32_t selector, int32_t color) = nullptr;
  int32_t (*get_color)(GadgetRecord*, int32_t selector) = nullptr;
  // True for a request of the control's own class that only reads and whose
  // parameters are plain values: answered whoever sends it, so that
  // assistive technologies and automation in other processes can read the
  // control. Empty: every such request is answered to this thread only.
  bool (*is_plain_read)(UINT message, WPARAM, LPARAM) = nullptr;
  void (*unused[17])() = {};  // positions no kind of this system fills
};

struct GadgetKindTable {
  int32_t kind;
  int32_t size;  // the table's own size in bytes
  GadgetOperations operations;
};
static_assert(sizeof(void*) != 4 || sizeof(GadgetKindTable) == 148, "35 operation positions after two words");

// The gadget's record, or null for an unknown number. Records move when the
// table grows: hold numbers, not records, across anything that may create.
GadgetRecord* find_gadget(intptr_t number);

// The table's reuse handler: destroys the control registered under number;
// its WM_NCDESTROY clean-up then empties the slot.
void free_gadget(intptr_t number);

// Takes the slot for number (replacing a gadget that holds it); null when the
// table cannot hold the number.
GadgetRecord* take_gadget_slot(intptr_t number);

// The last step of every creation: subclasses the control, gives it its id,
// "GX_ID" and font. The generated number for ANY_NUMBER, else the control.
intptr_t register_gadget(intptr_t number, GadgetRecord* record, HWND control, const GadgetKindTable* kind);

LRESULT CALLBACK gadget_window_proc(HWND control, UINT message, WPARAM wparam, LPARAM lparam);

// The toolkit window that receives a gadget's posted events.
HWND owning_window(HWND control);
// The window in which the next gadgets are created.
void use_gadget_window(HWND window);
HWND gadget_parent();

// Dispatches every message waiting for this thread, then forgets any event
// they produced.
void pump_pending_messages();
