// The GUI thread busy with one long piece of work, calling only
// answer_waiting_messages between its slices.
#include <algorithm>
#include <atomic>
#include <vector>

#include "window_test_support.h"

namespace {

constexpr UINT SENT = WM_USER + 7;
constexpr int SENDS = 4;

struct Sender {
  HWND window;
  std::atomic<int> answered{0};
  std::atomic<DWORD> longest{0};
};

DWORD WINAPI send_several(void* argument) {
  auto* sender = static_cast<Sender*>(argument);
  for (int i = 0; i < SENDS; ++i) {
    const DWORD start = GetTickCount();
    SendMessageA(sender->window, SENT, static_cast<WPARAM>(i), 0);
    sender->longest = std::max(sender->longest.load(), GetTickCount() - start);
    ++sender->answered;
  }
  return 0;
}

// Runs "work" in slices of 20 ms, answering between them, until the
// condition holds or the budget is spent.
bool busy_until(const std::function<bool()>& condition, DWORD budget_ms) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > budget_ms) return false;
    Sleep(20);  // a slice of the work
    answer_waiting_messages();
  }
  return true;
}

class AnsweringWhileBusy : public ::testing::Test {
 protected:
  void TearDown() override {
    end_windows();
    drain_events();
  }
};

TEST_F(AnsweringWhileBusy, SendsAreAnsweredPaintsDoneAndTheQueueKeptInOrder) {
  auto window = reinterpret_cast<HWND>(open_window(0, 100, 100, 300, 200, "busy", WS_OVERLAPPEDWINDOW));
  ASSERT_TRUE(IsWindow(window));
  HWND child = add_control(window, "Button", 5, BS_PUSHBUTTON, 10, 10, 80, 24, "child");
  ASSERT_TRUE(activate(window));
  drain_events();

  // Queued before the work starts: two posted messages and a real key press.
  PostMessageA(window, WM_USER + 1, 0, 0);
  PostMessageA(window, WM_USER + 2, 0, 0);
  send_key('A', false);
  send_key('A', true);
  const DWORD start = GetTickCount();
  while (!(HIWORD(GetQueueStatus(QS_KEY)) & QS_KEY) && GetTickCount() - start < scaled_ms(3000)) Sleep(5);
  ASSERT_TRUE(HIWORD(GetQueueStatus(QS_KEY)) & QS_KEY) << "the key press never reached the queue";
  InvalidateRect(window, nullptr, TRUE);
  InvalidateRect(child, nullptr, TRUE);

  Sender sender{window};
  HANDLE thread = CreateThread(nullptr, 0, send_several, &sender, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  const bool all_answered = busy_until([&] { return sender.answered == SENDS; }, static_cast<DWORD>(scaled_ms(10000)));
  if (!all_answered) {
    // The thread waits on this one; let it finish before its frame goes.
    while (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) wait_event(10);
  }
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  ASSERT_TRUE(all_answered);
  EXPECT_LT(sender.longest.load(), scaled_ms(1000));
  EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE));
  EXPECT_FALSE(GetUpdateRect(child, nullptr, FALSE));

  // Everything queued is still there, in order; nothing was dispatched.
  std::vector<UINT> queued;
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    const UINT number = message.message;
    if (number == WM_USER + 1 || number == WM_USER + 2 || number == WM_KEYDOWN || number == WM_KEYUP)
      queued.push_back(number);
  }
  EXPECT_EQ(queued, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_KEYDOWN, WM_KEYUP}));
  // The paint's background erase was queued as the toolkit's own event.
  EXPECT_EQ(wait_event(0), EVENT_REPAINT);
}

}  // namespace
