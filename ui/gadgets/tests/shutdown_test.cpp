// The program's shutdown with its watcher still running: the gadget library
// ends, the window closes and the program heap is destroyed while another
// thread keeps calling the gadget operations. After the end the calls must do
// nothing and touch nothing of the heap.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "base/heap.h"
#include "base/text.h"
#include "ui/gadgets/gadgets.h"
#include "ui/windows/toolkit_windows.h"

namespace {

struct Watcher {
  std::atomic<bool> stop{false};
  std::atomic<bool> ended{false};
  std::atomic<int> answers_before_end{0};
  std::atomic<int> answers_after_end{0};  // anything but empty/0/null after the end
  std::atomic<int> calls_after_end{0};
};

DWORD WINAPI watch(void* argument) {
  auto* watcher = static_cast<Watcher*>(argument);
  while (!watcher->stop.load()) {
    const bool ended = watcher->ended.load();
    const Text url = get_gadget_text(2);
    const Text path = get_gadget_text(3);
    const int32_t enabled = disable_gadget(7, url.empty() || path.empty() ? GADGET_DISABLED : GADGET_ENABLED);
    HWND focus = focus_gadget(7);
    const bool answered = !url.empty() || !path.empty();
    if (!ended && answered) ++watcher->answers_before_end;
    if (ended) {
      ++watcher->calls_after_end;
      if (answered || enabled || focus) ++watcher->answers_after_end;
    }
    Sleep(1);
  }
  return 0;
}

// Handles messages until the condition holds; false after timeout_ms.
bool pump_until(const std::function<bool()>& condition, DWORD timeout_ms = 10000) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start >= timeout_ms) return false;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  return true;
}

// Waits, handling no message, until the condition holds; false after timeout_ms.
bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms = 10000) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start >= timeout_ms) return false;
    Sleep(5);
  }
  return true;
}

TEST(ShutdownTest, TheWatcherFindsNothingOnceTheLibraryHasEnded) {
  ASSERT_TRUE(create_program_heap());
  ASSERT_TRUE(init_text());
  ASSERT_TRUE(init_lists());
  ASSERT_TRUE(init_windows());
  ASSERT_TRUE(init_gadgets());
  ASSERT_NE(open_window(0, 100, 100, 520, 240, "Gatherly - shutdown", WINDOW_SCREEN_CENTERED), 0);
  ASSERT_NE(create_string_gadget(2, 70, 10, 370, 20, "http://127.0.0.1/file"), 0);
  ASSERT_NE(create_string_gadget(3, 70, 40, 370, 20, "C:\\file"), 0);
  ASSERT_NE(create_button_gadget(7, 410, 100, 90, 30, "Start Download"), 0);

  Watcher watcher;
  HANDLE thread = CreateThread(nullptr, 0, watch, &watcher, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  // Some turns answered while the library runs (however slowly the
  // machine schedules the watcher).
  EXPECT_TRUE(pump_until([&] { return watcher.answers_before_end.load() > 0; }));
  // The program's own order: gadgets, windows, lists, then the heap goes.
  end_gadgets();
  watcher.ended = true;
  end_windows();
  end_lists();
  destroy_program_heap();
  // No message handling from here on, as at the program's exit.
  EXPECT_TRUE(wait_until([&] { return watcher.calls_after_end.load() > 10; }));
  watcher.stop = true;
  WaitForSingleObject(thread, 5000);
  CloseHandle(thread);

  EXPECT_GT(watcher.answers_before_end.load(), 0);
  EXPECT_GT(watcher.calls_after_end.load(), 10);
  EXPECT_EQ(watcher.answers_after_end.load(), 0);
  // The GUI thread's own calls after the end do nothing either.
  EXPECT_EQ(get_gadget_text(2), "");
  EXPECT_EQ(set_gadget_text(2, "x"), 0);
  EXPECT_EQ(create_button_gadget(1, 0, 0, 10, 10, "late"), 0);
}

}  // namespace
