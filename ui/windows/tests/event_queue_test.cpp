#include <functional>
#include <vector>

#include "ui/windows/gadget_hooks.h"
#include "window_test_support.h"

namespace {

struct HookCall {
  intptr_t gadget;
  HWND window;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};
std::vector<HookCall> hook_calls;
LRESULT hook_answer = NOT_HANDLED;

LRESULT record_hook(intptr_t gadget, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  hook_calls.push_back({gadget, window, message, wparam, lparam});
  return hook_answer;
}

class EventQueue : public ::testing::Test {
 protected:
  void SetUp() override {
    window = reinterpret_cast<HWND>(open_window(0, 100, 100, 300, 200, "events", WS_OVERLAPPEDWINDOW));
    ASSERT_TRUE(IsWindow(window));
    ASSERT_TRUE(activate(window));
    drain_events();
    hook_calls.clear();
    hook_answer = NOT_HANDLED;
    set_gadget_hooks(record_hook, nullptr);
  }
  void TearDown() override {
    set_gadget_hooks(nullptr, nullptr);
    end_windows();
    drain_events();
  }
  HWND window = nullptr;
};

TEST_F(EventQueue, CloseBoxQueuesCloseAfterTheDispatchAndTheWindowStays) {
  for (UINT how : {UINT{WM_SYSCOMMAND}, UINT{WM_CLOSE}}) {
    SCOPED_TRACE(how);
    if (how == WM_SYSCOMMAND)
      PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    else
      PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(wait_event(1000), static_cast<int32_t>(how));
    EXPECT_EQ(wait_event(0), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(event_window(), 0);
    EXPECT_EQ(event_type(), -1);
    EXPECT_TRUE(IsWindow(window));
  }
}

TEST_F(EventQueue, ClickingTheCloseBoxQueuesCloseAndTheWindowStays) {
  RECT outer;
  GetWindowRect(window, &outer);
  // The close box is the rightmost caption button.
  const int frame = GetSystemMetrics(SM_CXFRAME);
  ASSERT_TRUE(click_at({outer.right - frame - GetSystemMetrics(SM_CXSIZE) / 2,
                        outer.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2},
                       window));
  SeenEvent found{};
  ASSERT_TRUE(wait_for_event(EVENT_CLOSE_WINDOW, &found));
  EXPECT_EQ(found.window, 0);
  EXPECT_TRUE(IsWindow(window));
}

TEST_F(EventQueue, ClickingAPushButtonGivesAGadgetEventWithItsNumber) {
  HWND button = add_control(window, "Button", 7, BS_PUSHBUTTON, 20, 20, 100, 30, "Press");
  POINT centre{70, 35};
  ClientToScreen(window, &centre);
  ASSERT_TRUE(click_at(centre, button));
  SeenEvent found{};
  ASSERT_TRUE(wait_for_event(EVENT_GADGET, &found));
  EXPECT_EQ(found.gadget, 7);
  EXPECT_EQ(found.type, BN_CLICKED);
  EXPECT_EQ(found.window, 0);
  DestroyWindow(button);
}

TEST_F(EventQueue, PrivateMessagesBecomePendingEvents) {
  struct Case {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
    int32_t code;  // the event the next wait_event calls produce
    intptr_t gadget;
    int32_t type;
  };
  const Case cases[] = {
      {MSG_GADGET_EVENT, 3, EVENT_TYPE_FOCUS, EVENT_GADGET, 3, EVENT_TYPE_FOCUS},
      {MSG_GADGET_EVENT, 4, EVENT_TYPE_LOST_FOCUS, EVENT_GADGET, 4, EVENT_TYPE_LOST_FOCUS},
      {MSG_MOUSE_NOTIFY, 5, WM_LBUTTONDOWN, EVENT_MOUSE_NOTIFY, 5, 0},
      {MSG_MOUSE_NOTIFY, 6, WM_RBUTTONDOWN, EVENT_MOUSE_NOTIFY, 6, 1},
      {MSG_MOUSE_NOTIFY, 7, WM_LBUTTONDBLCLK, EVENT_MOUSE_NOTIFY, 7, 2},
      {MSG_MOUSE_NOTIFY, 8, WM_RBUTTONDBLCLK, EVENT_MOUSE_NOTIFY, 8, 3},
      {WM_COMMAND, 0, 0, EVENT_MENU, 0, -1},
      {WM_COMMAND, 42, 0, EVENT_MENU, 42, -1},
      {WM_COMMAND, MAKEWPARAM(77, 1), 0, EVENT_MENU, 77, -1},  // an accelerator of the program's own
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    SCOPED_TRACE(c.wparam);
    PostMessageA(window, c.message, c.wparam, c.lparam);
    EXPECT_EQ(first_with(drain_events(), c.code), (SeenEvent{c.code, 0, c.gadget, c.type}));
  }
}

TEST_F(EventQueue, MouseNotifyWithAnotherButtonProducesNoEvent) {
  PostMessageA(window, MSG_GADGET_EVENT, 9, 1);  // sets the gadget
  drain_events();
  PostMessageA(window, MSG_MOUSE_NOTIFY, 5, WM_MOUSEMOVE);
  const std::vector<SeenEvent> seen = drain_events();
  EXPECT_EQ(codes_among(seen, {EVENT_MOUSE_NOTIFY}), std::vector<int32_t>{});
  EXPECT_EQ(first_with(seen, MSG_MOUSE_EVENT).gadget, 9);
}

TEST_F(EventQueue, ControlCommandsTableOfSources) {
  HWND plain = add_control(window, "Button", 12, BS_PUSHBUTTON, 0, 0);
  HWND menu_control = add_control(window, "Button", MENU_CONTROL_ID, BS_PUSHBUTTON, 0, 40);
  HWND registered = add_control(window, "Button", 21, BS_PUSHBUTTON, 0, 80);
  register_like_gadget(registered, 21);

  PostMessageA(window, WM_COMMAND, MAKEWPARAM(12, BN_DBLCLK), reinterpret_cast<LPARAM>(plain));
  EXPECT_EQ(first_with(drain_events(), EVENT_GADGET), (SeenEvent{EVENT_GADGET, 0, 12, BN_DBLCLK}));

  PostMessageA(window, WM_COMMAND, MAKEWPARAM(55, 3), reinterpret_cast<LPARAM>(menu_control));
  EXPECT_EQ(first_with(drain_events(), EVENT_MENU), (SeenEvent{EVENT_MENU, 0, 55, 3}));

  // A registered gadget that takes the command itself: no event.
  drain_events();
  hook_calls.clear();
  hook_answer = 0;
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(21, BN_CLICKED), reinterpret_cast<LPARAM>(registered));
  const std::vector<SeenEvent> seen = drain_events();
  EXPECT_EQ(codes_among(seen, {EVENT_GADGET, EVENT_MENU}), std::vector<int32_t>{});
  std::vector<HookCall> commands;
  for (const HookCall& call : hook_calls)
    if (call.message == WM_COMMAND) commands.push_back(call);
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].gadget, 21);
  EXPECT_EQ(commands[0].window, window);
  hook_calls.clear();

  // One that leaves it: the command becomes the gadget's event.
  hook_answer = NOT_HANDLED;
  hook_calls.clear();
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(21, BN_CLICKED), reinterpret_cast<LPARAM>(registered));
  EXPECT_EQ(first_with(drain_events(), EVENT_GADGET), (SeenEvent{EVENT_GADGET, 0, 21, BN_CLICKED}));
}

TEST_F(EventQueue, NotifyGadgetReachesOnlyRegisteredControls) {
  HWND registered = add_control(window, "Button", 31, BS_PUSHBUTTON, 0, 0);
  register_like_gadget(registered, 31);
  HWND mislabelled = add_control(window, "Button", 32, BS_PUSHBUTTON, 0, 40);
  register_like_gadget(mislabelled, 33);
  HWND unlabelled = add_control(window, "Button", 34, BS_PUSHBUTTON, 0, 80);
  drain_events();  // the controls' first paint asks the hook for colours
  hook_calls.clear();

  hook_answer = 1234;
  EXPECT_EQ(notify_gadget(nullptr, window, WM_COMMAND, 0, 0), NOT_HANDLED);
  EXPECT_EQ(notify_gadget(mislabelled, window, WM_COMMAND, 0, 0), NOT_HANDLED);
  EXPECT_EQ(notify_gadget(unlabelled, window, WM_COMMAND, 0, 0), NOT_HANDLED);
  EXPECT_EQ(notify_gadget(registered, window, WM_HSCROLL, 5, 6), 1234);
  ASSERT_EQ(hook_calls.size(), 1u);
  EXPECT_EQ(hook_calls[0].gadget, 31);
  EXPECT_EQ(hook_calls[0].wparam, WPARAM{5});

  set_gadget_hooks(nullptr, nullptr);
  EXPECT_EQ(notify_gadget(registered, window, WM_HSCROLL, 5, 6), NOT_HANDLED);
}

TEST_F(EventQueue, ControlMessagesToTheWindowReachTheGadgetHook) {
  HWND field = add_control(window, "Edit", 41, WS_BORDER, 10, 10, 120, 24, "text");
  register_like_gadget(field, 41);
  HWND other = add_control(window, "Button", 42, BS_PUSHBUTTON, 10, 50);
  register_like_gadget(other, 42);
  hook_answer = NOT_HANDLED;

  // A real repaint of the field asks its parent for colours.
  InvalidateRect(field, nullptr, TRUE);
  UpdateWindow(field);
  drain_events();
  bool colour_asked = false;
  for (const HookCall& call : hook_calls)
    colour_asked |= call.gadget == 41 && call.message == WM_CTLCOLOREDIT && call.window == window;
  EXPECT_TRUE(colour_asked);

  struct Case {
    UINT message;
    LRESULT answer;
  };
  for (const Case& c : {Case{WM_HSCROLL, 11}, Case{WM_VSCROLL, 12}, Case{WM_CTLCOLORBTN, 13},
                        Case{WM_CTLCOLORSTATIC, 14}, Case{WM_CTLCOLORLISTBOX, 15}, Case{MSG_GADGET_NOTIFY, 16}}) {
    SCOPED_TRACE(c.message);
    hook_calls.clear();
    hook_answer = c.answer;
    EXPECT_EQ(SendMessageA(window, c.message, 0, reinterpret_cast<LPARAM>(other)), c.answer);
    ASSERT_EQ(hook_calls.size(), 1u);
    EXPECT_EQ(hook_calls[0].gadget, 42);
  }

  NMHDR header{other, 42, 0};
  hook_calls.clear();
  hook_answer = 99;
  EXPECT_EQ(SendMessageA(window, WM_NOTIFY, 42, reinterpret_cast<LPARAM>(&header)), 99);
  ASSERT_EQ(hook_calls.size(), 1u);
  EXPECT_EQ(hook_calls[0].gadget, 42);
}

// Sends from a thread of its own while this one answers through wait_event.
struct CrossSend {
  HWND window;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

DWORD WINAPI send_message_now(void* argument) {
  const auto* send = static_cast<CrossSend*>(argument);
  SendMessageA(send->window, send->message, send->wparam, send->lparam);
  return 0;
}

void send_from_another_thread(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  CrossSend send{window, message, wparam, lparam};
  HANDLE thread = CreateThread(nullptr, 0, send_message_now, &send, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  const DWORD start = GetTickCount();
  while (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) {
    if (GetTickCount() - start > scaled_ms(10000)) {
      // The thread's frame holds send: it must end before this one returns.
      ADD_FAILURE() << "the other thread's send was never answered";
      WaitForSingleObject(thread, INFINITE);
      break;
    }
    wait_event(10);
  }
  CloseHandle(thread);
}

int hook_calls_of(UINT message, HWND window) {
  int count = 0;
  for (const HookCall& call : hook_calls) count += call.message == message && call.window == window;
  return count;
}

TEST_F(EventQueue, NotificationsAreReadOnlyWhenThisThreadSentThem) {
  HWND child = add_control(window, "Button", 42, BS_PUSHBUTTON, 10, 50);
  register_like_gadget(child, 42);
  drain_events();
  // A real header naming a registered child: read, it would reach the gadget.
  NMHDR header{child, 42, 0};
  const auto lparam = reinterpret_cast<LPARAM>(&header);
  hook_answer = 99;
  hook_calls.clear();
  PostMessageA(window, WM_NOTIFY, 42, lparam);
  drain_events();
  // Taken by a message loop that is not the toolkit's, as a dialog's is.
  PostMessageA(window, WM_NOTIFY, 42, lparam);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  send_from_another_thread(window, WM_NOTIFY, 42, lparam);
  drain_events();
  EXPECT_EQ(hook_calls_of(WM_NOTIFY, window), 0);
  EXPECT_EQ(SendMessageA(window, WM_NOTIFY, 42, lparam), 99);
  EXPECT_EQ(hook_calls_of(WM_NOTIFY, window), 1);
}

TEST_F(EventQueue, ControlMessagesNameOnlyTheWindowsOwnChildren) {
  // A registered control of another toolkit window, and the window itself:
  // neither is a control of this window.
  auto other = reinterpret_cast<HWND>(open_window(1, 60, 60, 200, 100, "other", WS_OVERLAPPEDWINDOW));
  ASSERT_TRUE(IsWindow(other));
  HWND foreign = add_control(other, "Button", 43, BS_PUSHBUTTON, 0, 0);
  register_like_gadget(foreign, 43);
  drain_events();
  hook_calls.clear();
  hook_answer = NOT_HANDLED;
  const UINT messages[] = {WM_COMMAND, WM_CTLCOLORSTATIC, WM_CTLCOLOREDIT, WM_CTLCOLORBTN, WM_HSCROLL,
                           MSG_GADGET_NOTIFY};
  for (HWND named : {foreign, window}) {
    for (UINT message : messages) {
      PostMessageA(window, message, MAKEWPARAM(43, BN_CLICKED), reinterpret_cast<LPARAM>(named));
      send_from_another_thread(window, message, MAKEWPARAM(43, BN_CLICKED), reinterpret_cast<LPARAM>(named));
    }
  }
  const std::vector<SeenEvent> seen = drain_events();
  EXPECT_EQ(codes_among(seen, {EVENT_GADGET, EVENT_MENU}), std::vector<int32_t>{});
  for (UINT message : messages) EXPECT_EQ(hook_calls_of(message, window), 0) << message;
  close_window(1);
}

TEST_F(EventQueue, MessagesNumberedLikeEventsPassForNoEvent) {
  PostMessageA(window, MSG_GADGET_EVENT, 7, 0);
  ASSERT_TRUE(wait_for_event(EVENT_GADGET));
  // Numbers a stranger may post to the window or the thread, which would
  // otherwise come back as an event of the last gadget (7).
  for (UINT number = EVENT_GADGET; number <= EVENT_RESTORE_WINDOW; ++number) {
    if (number == MSG_GADGET_EVENT) continue;  // the gadget event's own message
    PostMessageA(window, number, 0x100, 0x100);
    PostMessageA(nullptr, number, 0, 0);
  }
  std::vector<int32_t> event_numbers;
  for (const SeenEvent& e : drain_events())
    if (e.code >= EVENT_GADGET && e.code <= EVENT_RESTORE_WINDOW) event_numbers.push_back(e.code);
  EXPECT_EQ(event_numbers, std::vector<int32_t>{});
  EXPECT_EQ(event_gadget(), 7);
}

std::vector<int32_t> size_events_after(HWND window, int show) {
  ShowWindow(window, show);
  return codes_among(drain_events(),
                     {EVENT_SIZE_WINDOW, EVENT_MINIMIZE_WINDOW, EVENT_MAXIMIZE_WINDOW, EVENT_RESTORE_WINDOW});
}

TEST_F(EventQueue, SizeEventsOfMaximisingMinimisingAndRestoring) {
  using V = std::vector<int32_t>;
  EXPECT_EQ(size_events_after(window, SW_MAXIMIZE), (V{EVENT_MAXIMIZE_WINDOW, EVENT_SIZE_WINDOW}));
  EXPECT_EQ(find_window_record(0)->minimised_or_maximised, 1);
  EXPECT_EQ(size_events_after(window, SW_RESTORE), (V{EVENT_RESTORE_WINDOW, EVENT_SIZE_WINDOW}));
  EXPECT_EQ(find_window_record(0)->minimised_or_maximised, 0);
  EXPECT_EQ(size_events_after(window, SW_MINIMIZE), (V{EVENT_MINIMIZE_WINDOW}));
  EXPECT_EQ(size_events_after(window, SW_RESTORE), (V{EVENT_RESTORE_WINDOW, EVENT_SIZE_WINDOW}));
  // A plain resize of a restored window is a size event alone.
  SetWindowPos(window, nullptr, 0, 0, 320, 220, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(codes_among(drain_events(), {EVENT_SIZE_WINDOW, EVENT_RESTORE_WINDOW}), (V{EVENT_SIZE_WINDOW}));
}

TEST_F(EventQueue, MovesAndActivationAreQueuedWithTheWindowNumber) {
  SetWindowPos(window, nullptr, 150, 130, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SeenEvent found{};
  ASSERT_TRUE(wait_for_event(EVENT_MOVE_WINDOW, &found));
  EXPECT_EQ(found.window, 0);
  EXPECT_EQ(SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0), 1);
  EXPECT_EQ(wait_event(0), EVENT_ACTIVATE_WINDOW);
  EXPECT_EQ(SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0), 1);
  EXPECT_EQ(codes_among(drain_events(), {EVENT_ACTIVATE_WINDOW}), std::vector<int32_t>{});
}

TEST_F(EventQueue, ErasingTheBackgroundQueuesARepaint) {
  InvalidateRect(window, nullptr, TRUE);
  UpdateWindow(window);  // paints now: the erase is sent, not posted
  EXPECT_EQ(wait_event(0), EVENT_REPAINT);
  EXPECT_EQ(event_window(), 0);
}

TEST_F(EventQueue, ConsecutiveDuplicatesCollapse) {
  queue_event(EVENT_MOVE_WINDOW, 0);
  queue_event(EVENT_MOVE_WINDOW, 0);
  queue_event(EVENT_MOVE_WINDOW, 1);
  queue_event(EVENT_SIZE_WINDOW, 1);
  queue_event(EVENT_MOVE_WINDOW, 1);
  const std::vector<std::pair<int32_t, intptr_t>> expected = {
      {EVENT_MOVE_WINDOW, 0}, {EVENT_MOVE_WINDOW, 1}, {EVENT_SIZE_WINDOW, 1}, {EVENT_MOVE_WINDOW, 1}};
  for (const auto& [code, number] : expected) {
    EXPECT_EQ(wait_event(0), code);
    EXPECT_EQ(event_window(), number);
  }
  EXPECT_EQ(codes_among(drain_events(), {EVENT_MOVE_WINDOW, EVENT_SIZE_WINDOW}), std::vector<int32_t>{});
}

TEST_F(EventQueue, QueuedEventKeepsTheGadgetAndResetsTheType) {
  PostMessageA(window, MSG_GADGET_EVENT, 17, EVENT_TYPE_FOCUS);
  ASSERT_TRUE(wait_for_event(EVENT_GADGET));
  EXPECT_EQ(event_type(), EVENT_TYPE_FOCUS);
  queue_event(EVENT_REPAINT, 3);
  EXPECT_EQ(wait_event(0), EVENT_REPAINT);
  EXPECT_EQ(event_window(), 3);
  EXPECT_EQ(event_gadget(), 17);
  EXPECT_EQ(event_type(), -1);
}

DWORD WINAPI post_gadget_event_later(void* window) {
  Sleep(100);
  PostMessageA(static_cast<HWND>(window), MSG_GADGET_EVENT, 2, 0);
  return 0;
}

TEST_F(EventQueue, TimeOuts) {
  drain_events(100);
  DWORD start = GetTickCount();
  EXPECT_EQ(wait_event(0), 0);
  EXPECT_LT(GetTickCount() - start, 50u);

  start = GetTickCount();
  EXPECT_EQ(wait_event(300), 0);
  const DWORD waited = GetTickCount() - start;
  EXPECT_GE(waited, 280u);
  EXPECT_LT(waited, 1500u);

  // A message posted from another thread while waiting ends the wait early.
  HANDLE poster = CreateThread(nullptr, 0, post_gadget_event_later, window, 0, nullptr);
  start = GetTickCount();
  EXPECT_EQ(wait_event(5000), EVENT_GADGET);
  EXPECT_LT(GetTickCount() - start, 3000u);
  WaitForSingleObject(poster, 5000);
  CloseHandle(poster);
}

TEST_F(EventQueue, RetrievedMessagesWithoutAnEventReturnTheirNumber) {
  PostMessageA(window, WM_USER + 5, 0, 0);
  EXPECT_EQ(wait_event(1000), static_cast<int32_t>(WM_USER + 5));
  PostMessageA(nullptr, WM_USER + 6, 0, 0);  // a thread message, for no window
  EXPECT_EQ(wait_event(1000), static_cast<int32_t>(WM_USER + 6));
}

TEST_F(EventQueue, DataMessagesTakeOverOnlyRecordsTheRuntimeHandedOut) {
  // A value posted by anyone: no event (not even the data events' own
  // numbers, which the message numbers equal), nothing freed, nothing held.
  PostMessageA(window, MSG_DATA_WINDOW, 0, 0x100);
  EXPECT_EQ(wait_event(1000), 0);
  EXPECT_EQ(event_data(), nullptr);
  PostMessageA(window, MSG_DATA_GADGET, 4, 0x100);
  EXPECT_EQ(wait_event(1000), 0);
  EXPECT_EQ(event_data(), nullptr);
  EXPECT_NE(event_gadget(), 4);

  EventData* record = allocate_event_data();
  ASSERT_NE(record, nullptr);
  record->words[0] = 77;
  record->buffer = allocate_memory(64);
  PostMessageA(window, MSG_DATA_WINDOW, 0, reinterpret_cast<LPARAM>(record));
  EXPECT_EQ(wait_event(1000), EVENT_DATA_WINDOW);
  EXPECT_EQ(event_window(), 0);
  ASSERT_EQ(event_data(), record);
  EXPECT_EQ(event_data()->words[0], 77);

  // Once taken over it is no longer outstanding: posting it again (after the
  // next wait_event has freed it) is refused.
  EXPECT_EQ(wait_event(0), 0);
  EXPECT_EQ(event_data(), nullptr);
  PostMessageA(window, MSG_DATA_WINDOW, 0, reinterpret_cast<LPARAM>(record));
  wait_event(1000);
  EXPECT_EQ(event_data(), nullptr);

  EventData* gadget_record = allocate_event_data(200);
  ASSERT_NE(gadget_record, nullptr);
  PostMessageA(window, MSG_DATA_GADGET, 8, reinterpret_cast<LPARAM>(gadget_record));
  EXPECT_EQ(wait_event(1000), EVENT_DATA_GADGET);
  EXPECT_EQ(event_gadget(), 8);
  EXPECT_EQ(event_data(), gadget_record);
}

TEST_F(EventQueue, EveryDataRecordOfOneDispatchIsDelivered) {
  EventData* first = allocate_event_data();
  EventData* second = allocate_event_data();
  ASSERT_TRUE(first && second);
  first->words[4] = 4;
  second->words[4] = 5;
  // Both arrive outside wait_event's own dispatch, as under another loop.
  SendMessageA(window, MSG_DATA_WINDOW, 0, reinterpret_cast<LPARAM>(first));
  SendMessageA(window, MSG_DATA_WINDOW, 0, reinterpret_cast<LPARAM>(second));
  // Taken over: neither is outstanding any more.
  SendMessageA(window, MSG_DATA_WINDOW, 0, reinterpret_cast<LPARAM>(first));
  for (int words : {4, 5}) {
    EXPECT_EQ(wait_event(0), EVENT_DATA_WINDOW);
    ASSERT_NE(event_data(), nullptr);
    EXPECT_EQ(event_data()->words[4], words);
  }
  wait_event(0);
  EXPECT_EQ(event_data(), nullptr);
}

struct LaterClick {
  HWND button;
  DWORD delay_ms;
};

DWORD WINAPI click_later(void* argument) {
  const auto* click = static_cast<LaterClick*>(argument);
  Sleep(click->delay_ms);
  SendMessageA(click->button, BM_CLICK, 0, 0);
  return 0;
}

struct Rescue {
  HWND window;
  HANDLE no_longer_needed;
};

DWORD WINAPI post_unless_told(void* argument) {
  const auto* rescue = static_cast<Rescue*>(argument);
  if (WaitForSingleObject(rescue->no_longer_needed, static_cast<DWORD>(scaled_ms(4000))) == WAIT_TIMEOUT)
    PostMessageA(rescue->window, WM_USER + 77, 0, 0);
  return 0;
}

// A button pressed by another thread or process (a sent BM_CLICK, as
// automation presses one) produces its event inside the wait's fetch, which
// answers sent messages without returning: the event ends the wait at once.
TEST_F(EventQueue, AButtonPressedFromElsewhereEndsTheWaitAtOnce) {
  HWND button = add_control(window, "Button", 7, BS_PUSHBUTTON, 20, 20, 100, 30, "Press");
  drain_events();
  LaterClick click{button, 200};
  HANDLE clicker = CreateThread(nullptr, 0, click_later, &click, 0, nullptr);
  // Ends a wait that the click failed to end, so that a fault fails the
  // test instead of hanging it.
  Rescue rescue{window, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  HANDLE rescuer = CreateThread(nullptr, 0, post_unless_told, &rescue, 0, nullptr);
  const DWORD start = GetTickCount();
  EXPECT_EQ(wait_event(-1), EVENT_GADGET);
  EXPECT_LT(GetTickCount() - start, static_cast<DWORD>(scaled_ms(2000)));
  SetEvent(rescue.no_longer_needed);
  EXPECT_EQ(event_gadget(), 7);
  EXPECT_EQ(event_type(), BN_CLICKED);
  for (HANDLE thread : {clicker, rescuer}) {
    while (WaitForSingleObject(thread, 10) == WAIT_TIMEOUT) wait_event(10);
    CloseHandle(thread);
  }
  CloseHandle(rescue.no_longer_needed);
  drain_events();
}

// A message loop inside a dispatch of wait_event's (a menu's, a move's, a
// dialog's) dispatches messages that produce events of their own: each one
// is returned, in order, and so is the dispatch's own.
TEST_F(EventQueue, EventsOfALoopInsideADispatchAreAllReturned) {
  HWND button = add_control(window, "Button", 7, BS_PUSHBUTTON, 20, 20, 100, 30, "Press");
  register_like_gadget(button, 7);
  drain_events();
  bool nested = false;
  static std::function<void()> inside;
  inside = [&] {
    if (nested) return;
    nested = true;
    PostMessageA(window, MSG_GADGET_EVENT, 11, 0);
    PostMessageA(window, MSG_GADGET_EVENT, 12, 0);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  };
  set_gadget_hooks(
      [](intptr_t, HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == WM_COMMAND) inside();
        return NOT_HANDLED;
      },
      nullptr);
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(7, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  std::vector<intptr_t> gadgets;
  for (const SeenEvent& e : drain_events())
    if (e.code == EVENT_GADGET) gadgets.push_back(e.gadget);
  EXPECT_EQ(gadgets, (std::vector<intptr_t>{11, 12, 7}));
}

DWORD WINAPI post_data_record(void* window) {
  EventData* record = allocate_event_data();
  if (!record) return 1;
  record->words[1] = 4242;
  PostMessageA(static_cast<HWND>(window), MSG_DATA_GADGET, 12, reinterpret_cast<LPARAM>(record));
  return 0;
}

TEST_F(EventQueue, RecordFromAnotherThreadIsTakenOver) {
  HANDLE producer = CreateThread(nullptr, 0, post_data_record, window, 0, nullptr);
  ASSERT_TRUE(wait_for_event(EVENT_DATA_GADGET));
  EXPECT_EQ(event_gadget(), 12);
  ASSERT_NE(event_data(), nullptr);
  EXPECT_EQ(event_data()->words[1], 4242);
  WaitForSingleObject(producer, 5000);
  CloseHandle(producer);
}

TEST_F(EventQueue, RecordTheHeapCannotSupplyIsNull) {
  EXPECT_EQ(allocate_event_data(SIZE_MAX), nullptr);
  EXPECT_EQ(allocate_event_data(SIZE_MAX / 2), nullptr);
}

TEST_F(EventQueue, UnpostedRecordCanBeGivenBack) {
  EventData* record = allocate_event_data();
  ASSERT_NE(record, nullptr);
  free_event_data(record);
  PostMessageA(window, MSG_DATA_WINDOW, 0, reinterpret_cast<LPARAM>(record));
  wait_event(1000);
  EXPECT_EQ(event_data(), nullptr);
}

TEST_F(EventQueue, WindowWithoutARecordProducesNoWindowEvents) {
  // Messages of CreateWindowExA reach the procedure before the window has
  // its number; an invisible window gets nothing else, so nothing is queued.
  ASSERT_NE(open_window(5, 10, 10, 100, 100, "hidden", WINDOW_INVISIBLE), 0);
  const std::vector<SeenEvent> seen = drain_events();
  for (const SeenEvent& e : seen) {
    EXPECT_NE(e.code, EVENT_MOVE_WINDOW) << e;
    EXPECT_NE(e.code, EVENT_SIZE_WINDOW) << e;
  }
  // A toolkit-class window without the property is a window without a number.
  HWND bare = CreateWindowExA(0, "WindowClass_5", "bare", WS_OVERLAPPEDWINDOW, 10, 10, 100, 100, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  ASSERT_TRUE(IsWindow(bare));
  EXPECT_EQ(SendMessageA(bare, WM_SIZE, SIZE_RESTORED, MAKELPARAM(100, 100)), 1);
  SendMessageA(bare, WM_CLOSE, 0, 0);
  EXPECT_EQ(event_window(), -1);
  EXPECT_EQ(codes_among(drain_events(), {EVENT_SIZE_WINDOW, EVENT_CLOSE_WINDOW}), std::vector<int32_t>{});
  DestroyWindow(bare);
}

TEST_F(EventQueue, DescendantsLeadBackToTheirWindowNumber) {
  HWND panel = add_control(window, "Static", 50, 0, 0, 0, 200, 100);
  HWND inner = add_control(panel, "Button", 51, BS_PUSHBUTTON, 0, 0);
  EXPECT_EQ(handle_window_message(inner, WM_USER + 9, 0, 0), NOT_HANDLED);
  EXPECT_EQ(event_window(), 0);
  // An owned top-level window is not a descendant.
  HWND owned = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 10, 10, window, nullptr, nullptr, nullptr);
  EXPECT_EQ(handle_window_message(owned, WM_USER + 9, 0, 0), NOT_HANDLED);
  EXPECT_EQ(event_window(), -1);
  DestroyWindow(owned);
}

int colour_changes;

LRESULT CALLBACK colour_probe(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_SYSCOLORCHANGE) ++colour_changes;
  return DefWindowProcA(window, message, wparam, lparam);
}

TEST_F(EventQueue, ColourChangeReachesEveryDescendant) {
  WNDCLASSA probe{};
  probe.lpfnWndProc = colour_probe;
  probe.hInstance = GetModuleHandleA(nullptr);
  probe.lpszClassName = "ColourProbe";
  RegisterClassA(&probe);
  HWND outer = add_control(window, "ColourProbe", 60, 0, 0, 0, 100, 100);
  add_control(outer, "ColourProbe", 61, 0, 0, 0, 50, 50);
  colour_changes = 0;
  SendMessageA(window, WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(colour_changes, 2);
}

}  // namespace
