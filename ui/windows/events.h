#pragma once
// The program sees its windows as a stream of events: wait_event returns an
// event code (or the number of a platform message that produced none) and
// event_window, event_gadget and event_type describe the last event.
#include <windows.h>

#include <cstddef>
#include <cstdint>

constexpr int32_t EVENT_MOVE_WINDOW = 3;
constexpr int32_t EVENT_SIZE_WINDOW = 5;
constexpr int32_t EVENT_REPAINT = 15;
constexpr int32_t EVENT_CLOSE_WINDOW = 16;
constexpr int32_t EVENT_GADGET = 13100;
constexpr int32_t EVENT_MENU = 13101;
constexpr int32_t EVENT_MOUSE_NOTIFY = 13102;
constexpr int32_t EVENT_ACTIVATE_WINDOW = 13104;
constexpr int32_t EVENT_DATA_WINDOW = 13105;
constexpr int32_t EVENT_DATA_GADGET = 13106;
constexpr int32_t EVENT_MINIMIZE_WINDOW = 13107;
constexpr int32_t EVENT_MAXIMIZE_WINDOW = 13108;
constexpr int32_t EVENT_RESTORE_WINDOW = 13109;

constexpr int32_t EVENT_TYPE_FOCUS = 14000;
constexpr int32_t EVENT_TYPE_LOST_FOCUS = 14001;

constexpr UINT MSG_MOUSE_NOTIFY = 12501;
constexpr UINT MSG_MOUSE_EVENT = 12502;
constexpr UINT MSG_GADGET_EVENT = 13103;
constexpr UINT MSG_DATA_WINDOW = 13105;
constexpr UINT MSG_DATA_GADGET = 13106;
constexpr UINT MSG_GADGET_NOTIFY = 13120;

constexpr intptr_t MENU_CONTROL_ID = -10000;

// What a message handler returns to leave a message to default processing.
constexpr LRESULT NOT_HANDLED = static_cast<LRESULT>(static_cast<int32_t>(0xD0D0D0D1u));

// timeout in milliseconds: -1 waits without limit, 0 does not wait. Gives 0
// when the time-out passed, and also for a message numbered like an event
// code (13100 to 13109) that produced no event.
int32_t wait_event(int32_t timeout = -1);
intptr_t event_window();
intptr_t event_gadget();
int32_t event_type();

// For the GUI thread while one long piece of work keeps it from wait_event:
// answers every message that other threads and processes have sent to it
// meanwhile (their senders wait for that), and paints what needs painting.
// Clicks, keys and posted messages stay queued, in order, for wait_event.
void answer_waiting_messages();

void queue_event(int32_t code, intptr_t window_number);
// Forgets the event produced by the current dispatch (pump_pending_messages).
void clear_pending_event();

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT handle_window_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Offers a control's message to its gadget's on_parent_message.
LRESULT notify_gadget(HWND control, HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The record handed over with EVENT_DATA_WINDOW and EVENT_DATA_GADGET. Its
// first words are the producer's own; it may own one further program-heap
// buffer, which is freed together with it.
struct EventData {
  int32_t words[5];
  void* buffer;  // from allocate_memory, or null
};

// A zero-filled record of at least sizeof(EventData) bytes for the lParam of
// MSG_DATA_WINDOW or MSG_DATA_GADGET; null when the heap says no. Only such
// records are taken over by a data message: any other lParam (a message
// posted by someone else) produces no event and frees nothing. May be called
// from any thread.
EventData* allocate_event_data(std::size_t size = sizeof(EventData));
// Gives back a record that was never posted (for example, PostMessageA failed).
void free_event_data(EventData* record);
// The data record of the last event returned by wait_event, or null; it lives
// until the next wait_event.
EventData* event_data();
