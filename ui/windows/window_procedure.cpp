#include "ui/windows/live_sizing.h"
#include "ui/windows/message_origin.h"
#include "ui/windows/navigation.h"
#include "ui/windows/window_library.h"
#include "ui/windows/toolkit_windows.h"
#include "ui/windows/window_properties.h"

namespace {

void (*session_end_handler)() = nullptr;

void queue_size_events(WindowRecord* record, WPARAM kind, intptr_t number) {
  int32_t flag = record ? record->minimised_or_maximised : 0;
  switch (kind) {
    case SIZE_RESTORED:
      if (flag) {
        flag = 0;
        queue_event(EVENT_RESTORE_WINDOW, number);
      }
      queue_event(EVENT_SIZE_WINDOW, number);
      break;
    case SIZE_MINIMIZED:
      flag = 1;
      queue_event(EVENT_MINIMIZE_WINDOW, number);
      break;
    case SIZE_MAXIMIZED:
      flag = 1;
      queue_event(EVENT_MAXIMIZE_WINDOW, number);
      queue_event(EVENT_SIZE_WINDOW, number);
      break;
    default:
      queue_event(EVENT_SIZE_WINDOW, number);
  }
  if (record) record->minimised_or_maximised = flag;
}

void handle_command(EventState* events, HWND window, WPARAM wparam, LPARAM lparam) {
  auto control = reinterpret_cast<HWND>(lparam);
  // Any process may post any value here; only a control inside this window
  // names a gadget, and anything else names nothing at all.
  if (control && !IsChild(window, control)) return;
  if (notify_gadget(control, window, WM_COMMAND, wparam, lparam) != NOT_HANDLED) return;
  const int32_t code = HIWORD(wparam);
  if (control) {
    const intptr_t id = GetWindowLongPtrA(control, GWLP_ID);
    if (id == MENU_CONTROL_ID)
      produce_event(events, EVENT_MENU, LOWORD(wparam), code);
    else
      produce_event(events, EVENT_GADGET, id, code);
    return;
  }
  if (code == 0) {  // a menu item
    produce_event(events, EVENT_MENU, static_cast<intptr_t>(wparam), -1);
    return;
  }
  // An accelerator.
  const WORD command = LOWORD(wparam);
  if (command == COMMAND_NEXT_FOCUS)
    move_focus(FOCUS_FORWARD);
  else if (command == COMMAND_PREVIOUS_FOCUS)
    move_focus(FOCUS_BACKWARD);
  else
    produce_event(events, EVENT_MENU, command, -1);
}

int32_t mouse_event_type(LPARAM button_message) {
  switch (button_message) {
    case WM_LBUTTONDOWN: return 0;
    case WM_RBUTTONDOWN: return 1;
    case WM_LBUTTONDBLCLK: return 2;
    case WM_RBUTTONDBLCLK: return 3;
  }
  return -1;
}

BOOL CALLBACK pass_colour_change(HWND child, LPARAM) {
  SendMessageA(child, WM_SYSCOLORCHANGE, 0, 0);
  return TRUE;
}

}  // namespace

LRESULT handle_window_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  const LRESULT sizing = handle_live_sizing(window, message, wparam, lparam);
  if (sizing != NOT_HANDLED) return sizing;
  EventState* events = window_library().events;
  if (!events) return NOT_HANDLED;

  const intptr_t number = find_numbered_window(window).number;
  WindowRecord* record = number == -1 ? nullptr : find_window_record(number);
  events->window = number;

  switch (message) {
    case WM_MOVE:
    case WM_CLOSE:
      if (number != -1) queue_event(static_cast<int32_t>(message), number);
      return 0;
    case WM_SIZE:
      if (number == -1) return 1;
      queue_size_events(record, wparam, number);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE) queue_event(EVENT_ACTIVATE_WINDOW, number);
      return 1;
    case WM_ERASEBKGND:
      queue_event(EVENT_REPAINT, number);
      return NOT_HANDLED;
    case WM_SYSCOLORCHANGE:
      if (record) EnumChildWindows(window, pass_colour_change, 0);
      return NOT_HANDLED;
    case WM_GETMINMAXINFO:
      return record ? 0 : NOT_HANDLED;
    case WM_ENDSESSION:
      if (wparam && record && session_end_handler) session_end_handler();
      return 0;
    case WM_NOTIFY: {
      // The header is read only when this thread sent the notification: a
      // posted one, or one from another thread or process, carries a value
      // that is no pointer of ours.
      if (!sent_by_this_thread(window, message, wparam, lparam)) return 0;
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      return header ? notify_gadget(header->hwndFrom, window, message, wparam, lparam) : NOT_HANDLED;
    }
    case WM_COMMAND:
      handle_command(events, window, wparam, lparam);
      return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case MSG_GADGET_NOTIFY:
      return notify_gadget(reinterpret_cast<HWND>(lparam), window, message, wparam, lparam);
    case MSG_MOUSE_NOTIFY:
      PostMessageA(window, MSG_MOUSE_EVENT, wparam, lparam);
      return 0;
    case MSG_MOUSE_EVENT:
      if (const int32_t type = mouse_event_type(lparam); type >= 0)
        produce_event(events, EVENT_MOUSE_NOTIFY, static_cast<intptr_t>(wparam), type);
      return 0;
    case MSG_GADGET_EVENT:
      produce_event(events, EVENT_GADGET, static_cast<intptr_t>(wparam), static_cast<int32_t>(lparam));
      return 0;
    case MSG_DATA_WINDOW:
      if (EventData* data = take_event_data(events, lparam))
        produce_event(events, EVENT_DATA_WINDOW, events->gadget, -1, data);
      return 0;
    case MSG_DATA_GADGET:
      if (EventData* data = take_event_data(events, lparam))
        produce_event(events, EVENT_DATA_GADGET, static_cast<intptr_t>(wparam), -1, data);
      return 0;
  }
  return NOT_HANDLED;
}

void set_session_end_handler(void (*routine)()) { session_end_handler = routine; }

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  const LRESULT result = handle_window_message(window, message, wparam, lparam);
  SetLastError(0);
  return result == NOT_HANDLED ? DefWindowProcA(window, message, wparam, lparam) : result;
}
