// The operations on existing gadgets, from the GUI thread and from another.
#include <windows.h>

#include <atomic>
#include <limits>
#include <string>

#include "base/object_table.h"
#include "ui/gadgets/tests/gadget_test_window.h"
#include "tests/time_scale.h"
#include "ui/windows/events.h"

namespace {

using OperationsTest = GadgetTest;

TEST_F(OperationsTest, TextsGoInAndComeBack) {
  ASSERT_NE(create_text_gadget(0, 10, 10, 40, 20, "URL:"), 0);
  ASSERT_NE(create_string_gadget(2, 70, 10, 370, 20, ""), 0);
  ASSERT_NE(create_button_gadget(4, 450, 10, 50, 20, "Paste"), 0);
  ASSERT_NE(create_editor_gadget(8, 10, 100, 390, 110, 2048), 0);
  EXPECT_EQ(get_gadget_text(0), "URL:");
  EXPECT_EQ(get_gadget_text(2), "");
  EXPECT_EQ(get_gadget_text(4), "Paste");
  for (intptr_t number : {0, 2, 4, 8}) {
    SCOPED_TRACE(number);
    EXPECT_NE(set_gadget_text(number, "http://127.0.0.1:8080/file.bin"), 0);
    EXPECT_EQ(get_gadget_text(number), "http://127.0.0.1:8080/file.bin");
    EXPECT_NE(set_gadget_text(number, nullptr), 0);
    EXPECT_EQ(get_gadget_text(number), "");
  }
  // A text that is a view into a longer one ends where the view ends.
  const std::string longer = "C:\\downloads\\file.bin|rest";
  EXPECT_NE(set_gadget_text(2, std::string_view(longer).substr(0, longer.find('|'))), 0);
  EXPECT_EQ(get_gadget_text(2), "C:\\downloads\\file.bin");
}

TEST_F(OperationsTest, UnknownNumbersDoNothing) {
  ASSERT_NE(create_button_gadget(1, 10, 10, 50, 20, "b"), 0);
  for (intptr_t number : {intptr_t{99}, intptr_t{-7}, intptr_t{12345678}, std::numeric_limits<intptr_t>::max()}) {
    SCOPED_TRACE(number);
    EXPECT_EQ(set_gadget_text(number, "x"), 0);
    EXPECT_EQ(get_gadget_text(number), "");
    EXPECT_EQ(append_gadget_line(number, -1, "x"), 0);
    EXPECT_EQ(disable_gadget(number, GADGET_DISABLED), 0);
    EXPECT_EQ(focus_gadget(number), nullptr);
  }
  EXPECT_EQ(get_gadget_text(1), "b");
  EXPECT_TRUE(IsWindowEnabled(find_gadget(1)->window));
}

TEST_F(OperationsTest, AppendingToAKindWithoutLinesChangesNothing) {
  ASSERT_NE(create_button_gadget(7, 410, 100, 90, 30, "Start Download"), 0);
  EXPECT_EQ(append_gadget_line(7, -1, "Started download..."), 0);
  EXPECT_EQ(get_gadget_text(7), "Start Download");
}

TEST_F(OperationsTest, AnyStateButZeroDisables) {
  HWND control = as_window(create_button_gadget(7, 410, 100, 90, 30, "Start Download"));
  struct Case {
    int32_t state;
    bool enabled_after;
  };
  for (const Case& c : {Case{1, false}, Case{0, true}, Case{7, false}, Case{-1, false}, Case{0, true}}) {
    SCOPED_TRACE(c.state);
    const bool was_disabled = !IsWindowEnabled(control);
    // EnableWindow's own answer: non-zero when the control was disabled.
    EXPECT_EQ(disable_gadget(7, c.state) != 0, was_disabled);
    EXPECT_EQ(IsWindowEnabled(control) != 0, c.enabled_after);
  }
}

TEST_F(OperationsTest, FocusMovesOnTheGuiThreadAndMinusOneRemovesIt) {
  HWND first = as_window(create_string_gadget(2, 70, 10, 370, 20, ""));
  HWND second = as_window(create_button_gadget(7, 410, 100, 90, 30, "Start Download"));
  focus_gadget(2);
  ASSERT_EQ(GetFocus(), first);
  EXPECT_EQ(focus_gadget(7), first);
  EXPECT_EQ(GetFocus(), second);
  EXPECT_EQ(focus_gadget(-1), second);
  EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(OperationsTest, AnotherThreadReachesTheControlsButNeverMovesTheFocus) {
  HWND field = as_window(create_string_gadget(2, 70, 10, 370, 20, "typed here"));
  ASSERT_NE(create_button_gadget(7, 410, 100, 90, 30, "Start Download"), 0);
  ASSERT_NE(create_editor_gadget(8, 10, 100, 390, 110, 2048), 0);
  focus_gadget(2);
  ASSERT_EQ(GetFocus(), field);
  Text read;
  int32_t disabled = -1, set = -1;
  HWND focus_answer = field;
  run_on_other_thread([&] {
    read = get_gadget_text(2);
    disabled = disable_gadget(7, GADGET_DISABLED);
    set = set_gadget_text(3, "no such gadget");
    append_gadget_line(8, -1, "from the watcher");
    focus_answer = focus_gadget(7);
  });
  EXPECT_EQ(read, "typed here");
  EXPECT_EQ(disabled, 0);
  EXPECT_FALSE(IsWindowEnabled(find_gadget(7)->window));
  EXPECT_EQ(set, 0);
  EXPECT_EQ(get_gadget_text(8), "from the watcher");
  EXPECT_EQ(focus_answer, nullptr);
  EXPECT_EQ(GetFocus(), field);
}

struct WatcherTurn {
  Text read;
  int32_t disabled = -1;
  std::atomic<bool> finished{false};
};

DWORD WINAPI watcher_turn(void* argument) {
  auto* turn = static_cast<WatcherTurn*>(argument);
  turn->read = get_gadget_text(2);
  turn->disabled = disable_gadget(7, GADGET_DISABLED);
  turn->finished = true;
  return 0;
}

// Long work keeps the GUI thread busy; between its slices it answers what
// other threads have sent, so the watcher's calls still come back.
TEST_F(OperationsTest, AnotherThreadsCallsAreAnsweredWhileThisThreadIsBusy) {
  ASSERT_NE(create_string_gadget(2, 70, 10, 370, 20, "typed here"), 0);
  ASSERT_NE(create_button_gadget(7, 410, 100, 90, 30, "Start Download"), 0);
  WatcherTurn turn;
  HANDLE thread = CreateThread(nullptr, 0, watcher_turn, &turn, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  const DWORD start = GetTickCount();
  while (!turn.finished && GetTickCount() - start < scaled_ms(10000)) {
    Sleep(20);  // a slice of the work
    answer_waiting_messages();
  }
  const bool answered = turn.finished;
  while (MsgWaitForMultipleObjects(1, &thread, FALSE, 50, QS_ALLINPUT) != WAIT_OBJECT_0) pump_messages();
  CloseHandle(thread);
  ASSERT_TRUE(answered);
  EXPECT_EQ(turn.read, "typed here");
  EXPECT_FALSE(IsWindowEnabled(find_gadget(7)->window));
}

// The watcher's calls keep coming while the GUI thread replaces gadgets,
// destroys them and closes their window, over and over. Every answer must be
// whole: one of the texts the gadgets ever held, or empty.
TEST(OperationsRaceTest, CallsFromAnotherThreadSurviveGadgetsComingAndGoing) {
  std::atomic<bool> stop{false};
  std::atomic<int> calls{0}, bad_texts{0}, focus_moves{0};
  auto watcher = [&] {
    while (!stop.load()) {
      for (intptr_t number = 0; number < 8; ++number) {
        const Text text = get_gadget_text(number);
        if (!(text.empty() || text == "label" || text == "field" || text == "button" ||
              text.rfind("line", 0) == 0))
          ++bad_texts;
        disable_gadget(number, static_cast<int32_t>(number & 1));
        if (focus_gadget(number)) ++focus_moves;
        if (number == 5) append_gadget_line(number, -1, "line");
        calls += 4;
      }
    }
  };
  struct Shared {
    decltype(watcher)* watcher;
    static DWORD WINAPI run(void* context) {
      (*static_cast<Shared*>(context)->watcher)();
      return 0;
    }
  } shared{&watcher};
  HANDLE thread = CreateThread(nullptr, 0, Shared::run, &shared, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  const DWORD start = GetTickCount();
  int rounds = 0;
  while (GetTickCount() - start < 3000) {
    HWND window = open_test_window("Race");
    use_gadget_window(window);
    for (int pass = 0; pass < 3; ++pass) {
      create_text_gadget(0, 10, 10, 40, 20, "label");
      create_string_gadget(1 + pass % 2, 70, 10, 370, 20, "field");
      create_button_gadget(3, 450, 10, 50, 20, "button");
      create_progress_gadget(4, 10, 70, 490, 20, 0, 10);
      create_editor_gadget(5, 10, 100, 390, 110, 2048);
      create_button_gadget(ANY_NUMBER, 10, 200, 50, 20, "button");
      pump_messages(5);
      if (GadgetRecord* record = find_gadget(3)) DestroyWindow(record->window);
      pump_messages(5);
    }
    DestroyWindow(window);
    pump_messages(5);
    ++rounds;
  }
  stop = true;
  while (MsgWaitForMultipleObjects(1, &thread, FALSE, 50, QS_ALLINPUT) != WAIT_OBJECT_0) pump_messages();
  CloseHandle(thread);
  use_gadget_window(nullptr);
  EXPECT_GT(rounds, 1);
  EXPECT_GT(calls.load(), 100);
  EXPECT_EQ(bad_texts.load(), 0);
  EXPECT_EQ(focus_moves.load(), 0);
}

}  // namespace
