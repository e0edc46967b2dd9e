#include "ui/windows/window_library.h"

#include "base/library_state.h"
#include "ui/windows/live_sizing.h"
#include "ui/windows/message_origin.h"
#include "ui/windows/toolkit_windows.h"

namespace {

WindowLibrary library;

// Large enough for every WindowRecord field on either pointer size.
constexpr int32_t WINDOW_RECORD_SIZE = 48;
constexpr int32_t WINDOW_TABLE_GROWTH = 16;
static_assert(sizeof(WindowRecord) <= WINDOW_RECORD_SIZE);

}  // namespace

WindowLibrary& window_library() { return library; }

bool init_windows() {
  library.window_table = create_object_table(WINDOW_RECORD_SIZE, WINDOW_TABLE_GROWTH, close_window);
  library.events = allocate_library_state<EventState>();
  if (library.events) InitializeCriticalSection(&library.events->outstanding_lock);
  // The module carries no icon resource: a null icon gives the platform's own.
  library.class_icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
  library.class_cursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  library.sizing = allocate_library_state<SizingState>();
  // Without the watch a posted message would pass for one of this thread's
  // own sends, and its parameters for the program's own pointers.
  if (!watch_taken_messages()) return false;
  return library.window_table && library.events && library.sizing;
}

void end_windows() {
  if (ObjectTable* table = library.window_table) {
    start_object_walk(table);
    intptr_t number = 0;
    while (next_object(table, &number)) close_window(number);
  }
  if (library.events) {
    release_event_data(library.events);
    release_queued_events(library.events);
    release_outstanding_event_data(library.events);
  }
}
