#include "base/heap.h"
#include "ui/windows/live_sizing.h"
#include "ui/windows/navigation.h"
#include "ui/windows/window_library.h"

namespace {

// Takes the next message; false when none came within the time-out.
// A negative time-out waits without limit.
bool fetch_message(MSG& message, int32_t timeout) {
  if (timeout < 0) {
    // The result is not examined: a failed call leaves the zeroed message,
    // which is dispatched to nobody and returned as 0.
    GetMessageA(&message, nullptr, 0, 0);
    return true;
  }
  constexpr UINT REMOVE = PM_REMOVE | PM_NOYIELD;
  if (PeekMessageA(&message, nullptr, 0, 0, REMOVE)) return true;
  if (timeout == 0) return false;
  if (MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(timeout), QS_ALLINPUT) == WAIT_TIMEOUT)
    return false;
  return PeekMessageA(&message, nullptr, 0, 0, REMOVE) != 0;
}

// Some message numbers are also event codes (13100 to 13109). Retrieved
// without producing that event (a data message whose record was refused,
// or any process posting the number), such a message must not pass for it.
bool is_event_code(UINT message) { return message >= EVENT_GADGET && message <= EVENT_RESTORE_WINDOW; }

// produce_event's wake: a thread message that carries nothing.
bool is_wake(const MSG& message) { return !message.hwnd && message.message == WM_NULL; }

int32_t take_queued_event(EventState* events) {
  QueuedEvent* node = events->queue_head;
  events->queue_head = node->next;
  if (!events->queue_head) events->queue_tail = nullptr;
  events->window = node->window_number;
  if (node->carries_gadget) {
    events->gadget = node->gadget;
    events->type = node->type;
  }
  events->event_data = node->data;
  events->pending_code = 0;
  const int32_t code = node->code;
  free_memory(node);
  return code;
}

bool append_node(EventState* events, const QueuedEvent& event) {
  auto* node = static_cast<QueuedEvent*>(allocate_memory(sizeof(QueuedEvent), false));
  if (!node) return false;  // dropped: the queue stays as it was
  *node = event;
  node->next = nullptr;
  if (events->queue_tail)
    events->queue_tail->next = node;
  else
    events->queue_head = node;
  events->queue_tail = node;
  return true;
}

}  // namespace

int32_t wait_event(int32_t timeout) {
  EventState* events = window_library().events;
  if (!events) return 0;
  release_event_data(events);
  events->type = -1;
  if (events->queue_head) return take_queued_event(events);

  MSG message{};
  events->fetching = true;
  const bool fetched = fetch_message(message, timeout);
  events->fetching = false;
  if (!fetched) return events->queue_head ? take_queued_event(events) : 0;
  // The wake of an event produced while the fetch answered a sent message.
  if (is_wake(message) && events->queue_head) return take_queued_event(events);
  const bool sizing_key = route_key_to_sizing(message);
  HWND active = GetActiveWindow();
  HACCEL accelerators = sizing_key ? nullptr : choose_accelerators(active);
  events->dispatching = true;
  if (!accelerators || !TranslateAcceleratorA(active, accelerators, &message)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  events->dispatching = false;
  if (const int32_t code = events->pending_code) {
    events->pending_code = 0;
    return code;
  }
  if (is_event_code(message.message)) return 0;
  return static_cast<int32_t>(message.message);
}

intptr_t event_window() { return window_library().events ? window_library().events->window : -1; }
intptr_t event_gadget() { return window_library().events ? window_library().events->gadget : 0; }
int32_t event_type() { return window_library().events ? window_library().events->type : -1; }

void clear_pending_event() {
  if (EventState* events = window_library().events) events->pending_code = 0;
}

void queue_event(int32_t code, intptr_t window_number) {
  EventState* events = window_library().events;
  if (!events) return;
  QueuedEvent* tail = events->queue_tail;
  if (tail && !tail->carries_gadget && tail->code == code && tail->window_number == window_number) return;
  append_node(events, {nullptr, code, window_number, false, 0, -1, nullptr});
}

void produce_event(EventState* events, int32_t code, intptr_t gadget, int32_t type, EventData* data) {
  // wait_event's own dispatch keeps one event aside and returns it the moment
  // the dispatch ends; every other event (a second one of the same
  // dispatch, one from a message loop inside it, or one from a message sent
  // while the fetch waits) waits in the queue in order, never replacing one.
  if (events->dispatching && !events->pending_code) {
    events->pending_code = code;
    events->gadget = gadget;
    events->type = type;
    events->event_data = data;
    return;
  }
  if (!append_node(events, {nullptr, code, events->window, true, gadget, type, data})) {
    free_event_data_record(data);
    return;
  }
  if (events->fetching) {
    // The fetch answers sent messages without returning; a message in the
    // queue ends it, and the event is returned.
    events->fetching = false;
    PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0);
  }
}

void release_queued_events(EventState* events) {
  while (QueuedEvent* node = events->queue_head) {
    events->queue_head = node->next;
    free_event_data_record(node->data);
    free_memory(node);
  }
  events->queue_tail = nullptr;
}

void note_nested_loop() {
  if (EventState* events = window_library().events) events->dispatching = false;
}
