#pragma once
// State shared by the window library's own files: the window table, the
// event state and the sizing state, each set up by init_windows.
#include <windows.h>

#include <cstdint>

#include "base/object_table.h"
#include "ui/windows/events.h"

struct QueuedEvent {
  QueuedEvent* next;
  int32_t code;
  intptr_t window_number;
};

struct EventState {
  intptr_t gadget;
  intptr_t window;  // -1 when the message's window has no number
  int32_t type;
  int32_t pending_code;  // the event produced by the current dispatch, 0 for none
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
// out and it is still outstanding; false (nothing freed) otherwise.
bool take_event_data(EventState* events, LPARAM lparam);
