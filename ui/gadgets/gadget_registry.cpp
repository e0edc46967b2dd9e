#include "ui/gadgets/gadget_registry.h"

#include <commctrl.h>
#include <ole2.h>

#include "base/library_state.h"
#include "base/object_table.h"
#include "ui/gadgets/brush_cache.h"
#include "ui/gadgets/gadgets.h"
#include "ui/gadgets/gui_thread.h"
#include "ui/windows/events.h"
#include "ui/windows/gadget_hooks.h"
#include "ui/windows/message_origin.h"
#include "ui/windows/window_properties.h"

namespace {

// Marks a control made a drop target. No gadget of this program is one; the
// clean-up on destruction stays for any control that is.
constexpr char DROP_ACCEPT_PROPERTY[] = "GX_DropAccept";
constexpr int32_t TABLE_STEP = 50;

struct GadgetLibraryState {
  HWND parent;
  HFONT font;
  ObjectTable* table;
};

// Reached only on the GUI thread. Kept (with the table) after end_gadgets,
// because the windows' end routine still destroys controls afterwards.
GadgetLibraryState* state = nullptr;

// Requests of a control's own class (WM_USER up) and the programs' range
// (WM_APP up). The platform hands their parameters between threads and
// processes as they are, and the controls take some of them for pointers (a
// progress bar or a rich-edit control writes its answer through lParam).
bool is_private_request(UINT message) { return message >= WM_USER && message < 0xC000; }

LRESULT offer_parent_message(intptr_t number, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  GadgetRecord* record = find_gadget(number);
  if (!record || !record->kind->operations.on_parent_message) return NOT_HANDLED;
  return record->kind->operations.on_parent_message(record, window, message, wparam, lparam);
}

void clean_up_gadget(HWND control, intptr_t number) {
  GadgetRecord* record = find_gadget(number);
  const bool ours = record && record->window == control;
  if (ours && record->kind->operations.release) record->kind->operations.release(record);
  RemovePropA(control, GADGET_ID_PROPERTY);
  if (RemovePropA(control, DROP_ACCEPT_PROPERTY)) RevokeDragDrop(control);
  SetWindowLongPtrA(control, GWLP_ID, -1);
  if (ours) free_object(state->table, number);
}

}  // namespace

bool init_gadgets() {
  if (on_gui_thread()) return true;
  init_brush_cache();
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  // A second start after an end keeps the table: its gadgets may still live.
  if (!state) {
    ObjectTable* table = create_object_table(sizeof(GadgetRecord), TABLE_STEP, free_gadget);
    if (!table) return false;
    state = allocate_library_state<GadgetLibraryState>();
    if (!state) return false;
    state->table = table;
  }
  state->font = font;
  INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX),
                               ICC_TAB_CLASSES | ICC_DATE_CLASSES | ICC_USEREX_CLASSES | ICC_INTERNET_CLASSES};
  InitCommonControlsEx(&classes);
  if (!start_gui_thread_route()) return false;
  // The controls take private requests only from this thread's own sends,
  // which only the watch tells from posted ones.
  if (!watch_taken_messages()) return false;
  set_gadget_hooks(offer_parent_message, use_gadget_window);
  return true;
}

void end_gadgets() {
  set_gadget_hooks(nullptr, nullptr);
  stop_gui_thread_route();
}

GadgetRecord* find_gadget(intptr_t number) {
  if (!state) return nullptr;
  return find_record<GadgetRecord>(state->table, number);
}

void free_gadget(intptr_t number) {
  if (GadgetRecord* record = find_gadget(number)) DestroyWindow(record->window);
}

GadgetRecord* take_gadget_slot(intptr_t number) {
  if (!state) return nullptr;
  return static_cast<GadgetRecord*>(obtain_object(state->table, number));
}

intptr_t register_gadget(intptr_t number, GadgetRecord* record, HWND control, const GadgetKindTable* kind) {
  const bool generated = number == ANY_NUMBER;
  if (generated) number = reinterpret_cast<intptr_t>(record);
  record->window = control;
  record->kind = kind;
  // The id goes on before the new procedure, so that the procedure never
  // sees this control under its creation id.
  SetWindowLongPtrA(control, GWLP_ID, number);
  record->previous_proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(control, GWLP_WNDPROC));
  SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gadget_window_proc));
  SetPropA(control, GADGET_ID_PROPERTY, reinterpret_cast<HANDLE>(number));
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), 1);
  return generated ? number : reinterpret_cast<intptr_t>(control);
}

LRESULT CALLBACK gadget_window_proc(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
  const intptr_t number = GetWindowLongPtrA(control, GWLP_ID);
  GadgetRecord* record = number == -1 ? nullptr : find_gadget(number);
  if (!record || record->window != control) return DefWindowProcA(control, message, wparam, lparam);
  // Every request the program makes of its controls is sent on this thread;
  // one that was posted, or sent from elsewhere, is answered without them,
  // unless it only reads a plain value.
  if (is_private_request(message)) {
    const auto plain_read = record->kind->operations.is_plain_read;
    if (!(plain_read && plain_read(message, wparam, lparam)) && !sent_by_this_thread(control, message, wparam, lparam))
      return 0;
  }
  const LRESULT result = CallWindowProcA(record->previous_proc, control, message, wparam, lparam);
  // The forwarded message may have created gadgets and moved the record:
  // the clean-up looks it up again.
  if (message == WM_NCDESTROY) clean_up_gadget(control, number);
  return result;
}

HWND owning_window(HWND control) { return find_numbered_window(control).window; }

void use_gadget_window(HWND window) {
  if (state) state->parent = window;
}

HWND gadget_parent() { return state ? state->parent : nullptr; }


void pump_pending_messages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  clear_pending_event();
}
