#pragma once
// State shared by the window library's own files: the window table, the
// event state and the sizing state, each set up by init_windows.
#include <windows.h>

#include <cstdint>

#include "base/object_table.h"
#include "ui/windows/events.h"

// A window's own events (moves, sizes, repaints, activation, closing) carry
// no gadget; the events of gadgets, menus and data messages carry a gadget,
// a type and perhaps a data record.
struct QueuedEvent {
  QueuedEvent* next;
  int32_t code;
  intptr_t window_number;
  bool carries_gadget;
  intptr_t gadget;
  int32_t type;
  EventData* data;  // owned by the node until its event is returned
};

struct EventState {
  intptr_t gadget;
  intptr_t window;  // -1 when the message's window has no number
  int32_t type;
  // The event produced by the message that wait_event itself dispatches
  // (0 for none), returned as soon as that dispatch ends.
  int32_t pending_code;
  // wait_event's own dispatch is under way, and no message loop inside it
  // has taken a message yet: an event produced now is that dispatch's.
  bool dispatching;
  // wait_event waits in its fetch: an event produced now comes from a
  // message sent to this thread, and the fetch must be woken to return it.
  bool fetching;
  QueuedEvent* queue_head;
  QueuedEvent* queue_tail;
  EventData* event_data;  // owned by the event state until the next wait_event
  // Records handed out by allocate_event_data and not yet taken over by a
  // data message. Producers may run on any thread, hence the lock.
  struct EventDataLinks* outstanding_data;
  CRITICAL_SECTION outstanding_lock;
};

struct WindowLibrary {
  ObjectTable* window_table;
  HICON class_icon;
  HCURSOR class_cursor;
  EventState* events;
  struct SizingState* sizing;
};

// The library's data; all pointers null before init_windows.
WindowLibrary& window_library();

// Calls the installed parent hook, if any (open_window's last step).
void use_gadget_window_hook(HWND window);

// Frees the current event's data record, and any records still outstanding.
void release_event_data(EventState* events);
void release_outstanding_event_data(EventState* events);

// Takes over the record a data message carries if this runtime handed it
// out and it is still outstanding; null (nothing freed) otherwise.
EventData* take_event_data(EventState* events, LPARAM lparam);
// Frees a record that take_event_data took over.
void free_event_data_record(EventData* record);

// Produces a gadget, menu or data event: pending when wait_event's own
// dispatch produced it, else queued, so that no event is lost to another
// message loop or to a message sent to this thread (and the fetch woken).
void produce_event(EventState* events, int32_t code, intptr_t gadget, int32_t type, EventData* data = nullptr);
// Frees every queued event and its data.
void release_queued_events(EventState* events);
// A message loop other than wait_event's own has taken a message.
void note_nested_loop();
