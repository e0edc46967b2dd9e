// The kinds' own behaviour: the editor's lines and colours, the progress
// bar's range, the string gadget's focus events.
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <string>
#include <vector>

#include "ui/gadgets/tests/gadget_test_window.h"
#include "ui/windows/events.h"

namespace {

using KindsTest = GadgetTest;

std::vector<std::string> editor_lines(intptr_t number) {
  GadgetRecord* record = find_gadget(number);
  std::vector<std::string> lines;
  const intptr_t count = record->kind->operations.count_items(record);
  for (intptr_t line = 0; line < count; ++line) {
    const Text text = record->kind->operations.get_item_text(record, line, 0);
    lines.emplace_back(text.data(), text.size());
  }
  return lines;
}

TEST_F(KindsTest, EditorLinesFollowTheSeparatorAndEmptyLineRules) {
  struct Append {
    intptr_t position;
    const char* text;
  };
  struct Case {
    const char* name;
    std::vector<Append> appends;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"nothing", {}, {}},
      {"two lines", {{-1, "Started download..."}, {-1, "Download complete!"}},
       {"Started download...", "Download complete!"}},
      {"empty first append", {{-1, ""}}, {""}},
      {"empty line kept above", {{-1, ""}, {-1, "x"}}, {"", "x"}},
      {"two empty appends", {{-1, ""}, {-1, ""}}, {"", ""}},
      {"insert before the first line", {{-1, "a"}, {-1, "b"}, {0, "c"}}, {"c", "a", "b"}},
      {"insert in the middle", {{-1, "a"}, {-1, "b"}, {1, "c"}}, {"a", "c", "b"}},
      {"position past the last line", {{-1, "a"}, {7, "b"}}, {"a", "b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(create_editor_gadget(8, 10, 100, 390, 110, 2048), 0);
    for (const Append& append : c.appends) EXPECT_EQ(append_gadget_line(8, append.position, append.text), 0);
    EXPECT_EQ(editor_lines(8), c.lines);
  }
}

TEST_F(KindsTest, EditorTextHasOneBreakBetweenTwoLinesAndNoneBefore) {
  ASSERT_NE(create_editor_gadget(8, 10, 100, 390, 110, 2048), 0);
  append_gadget_line(8, -1, "one");
  append_gadget_line(8, -1, "two");
  // The control keeps the break as a paragraph end and hands its text out
  // with CR LF there.
  EXPECT_EQ(get_gadget_text(8), "one\r\ntwo");
  EXPECT_EQ(SendMessageA(find_gadget(8)->window, EM_GETLINECOUNT, 0, 0), 2);
}

// The log keeps its newest line in view however many lines it holds.
TEST_F(KindsTest, EditorScrollsToEachAppendedLine) {
  ASSERT_NE(create_editor_gadget(8, 10, 100, 390, 110, 2048), 0);
  HWND log = find_gadget(8)->window;
  const LARGE_INTEGER start = [] { LARGE_INTEGER t; QueryPerformanceCounter(&t); return t; }();
  for (int i = 0; i < 60; ++i) append_gadget_line(8, -1, i % 2 ? "Download complete!" : "Started download...");
  LARGE_INTEGER end, frequency;
  QueryPerformanceCounter(&end);
  QueryPerformanceFrequency(&frequency);
  // Not drawn yet: once the log scrolls, new lines share one paint, which
  // the thread's next look at its messages gives.
  EXPECT_TRUE(GetUpdateRect(log, nullptr, FALSE));
  pump_messages();
  EXPECT_FALSE(GetUpdateRect(log, nullptr, FALSE));
  const LRESULT first_visible = SendMessageA(log, EM_GETFIRSTVISIBLELINE, 0, 0);
  RECT client;
  GetClientRect(log, &client);
  // The last line's first character lies inside the visible area.
  POINTL where{};
  SendMessageA(log, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&where), SendMessageA(log, EM_LINEINDEX, 59, 0));
  EXPECT_GT(first_visible, 40);
  EXPECT_GE(where.y, client.top);
  EXPECT_LT(where.y, client.bottom);
  std::printf("one append: %lld us\n", static_cast<long long>((end.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart / 60));
}

TEST_F(KindsTest, EditorClearingForgetsTheEmptyLine) {
  ASSERT_NE(create_editor_gadget(8, 10, 100, 390, 110, 0), 0);
  append_gadget_line(8, -1, "");
  EXPECT_EQ(editor_lines(8).size(), 1u);
  EXPECT_EQ(set_gadget_text(8, nullptr), 1);
  EXPECT_TRUE(editor_lines(8).empty());
  append_gadget_line(8, -1, "first");
  EXPECT_EQ(editor_lines(8), std::vector<std::string>{"first"});
  // A new text stands for everything there was; the next line goes below it.
  append_gadget_line(8, -1, "");
  EXPECT_EQ(set_gadget_text(8, "replaced"), 1);
  append_gadget_line(8, -1, "next");
  EXPECT_EQ(editor_lines(8), (std::vector<std::string>{"replaced", "next"}));
}

TEST_F(KindsTest, EditorIsReadOnlyFromItsFlagsAndKeepsItsColourAcrossFontChanges) {
  ASSERT_NE(create_editor_gadget(8, 10, 100, 390, 110, EDITOR_READONLY), 0);
  GadgetRecord* record = find_gadget(8);
  EXPECT_EQ(record->kind->operations.get_attribute(record, EDITOR_READONLY), 1);
  EXPECT_EQ(record->kind->operations.get_color(record, GADGET_FRONT_COLOR), SYSTEM_COLOR);
  const int32_t green = RGB(0, 128, 0);
  record->kind->operations.set_color(record, GADGET_FRONT_COLOR, green);
  append_gadget_line(8, -1, "coloured");
  SendMessageA(record->window, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_VAR_FONT)), 1);
  CHARFORMATA format{};
  format.cbSize = sizeof format;
  SendMessageA(record->window, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
  EXPECT_EQ(format.crTextColor, static_cast<COLORREF>(green));
  EXPECT_EQ(format.dwEffects & CFE_AUTOCOLOR, 0u);
  record->kind->operations.set_attribute(record, EDITOR_READONLY, 0);
  EXPECT_EQ(record->kind->operations.get_attribute(record, EDITOR_READONLY), 0);
}

TEST_F(KindsTest, ProgressBarStartsWithItsRange) {
  HWND control = as_window(create_progress_gadget(6, 10, 70, 490, 20, 0, 10));
  ASSERT_TRUE(IsWindow(control));
  EXPECT_EQ(GetWindowLongPtrA(control, GWLP_ID), 6);
  GadgetRecord* record = find_gadget(6);
  const GadgetOperations& operations = record->kind->operations;
  EXPECT_EQ(operations.get_attribute(record, ATTR_MINIMUM), 0);
  EXPECT_EQ(operations.get_attribute(record, ATTR_MAXIMUM), 10);
  operations.set_state(record, 7);
  EXPECT_EQ(operations.get_state(record), 7);
  operations.set_attribute(record, ATTR_MAXIMUM, 50);
  operations.set_attribute(record, ATTR_MINIMUM, 5);
  EXPECT_EQ(SendMessageA(control, PBM_GETRANGE, TRUE, 0), 5);
  EXPECT_EQ(SendMessageA(control, PBM_GETRANGE, FALSE, 0), 50);
  operations.set_color(record, GADGET_FRONT_COLOR, RGB(0, 200, 0));
  EXPECT_EQ(operations.get_color(record, GADGET_FRONT_COLOR), static_cast<int32_t>(RGB(0, 200, 0)));
  EXPECT_EQ(operations.get_color(record, GADGET_BACK_COLOR), SYSTEM_COLOR);
}

// Focus events waiting in the window's queue, in order, as (gadget, type).
std::vector<std::pair<intptr_t, intptr_t>> take_gadget_events(HWND window) {
  std::vector<std::pair<intptr_t, intptr_t>> events;
  MSG message;
  while (PeekMessageA(&message, window, MSG_GADGET_EVENT, MSG_GADGET_EVENT, PM_REMOVE))
    events.emplace_back(static_cast<intptr_t>(message.wParam), static_cast<intptr_t>(message.lParam));
  return events;
}

TEST_F(KindsTest, StringGadgetsPostFocusAndLostFocusToTheirWindow) {
  ASSERT_NE(create_string_gadget(2, 70, 10, 370, 20, ""), 0);
  ASSERT_NE(create_string_gadget(3, 70, 40, 370, 20, ""), 0);
  ASSERT_NE(create_button_gadget(7, 410, 100, 90, 30, "Start Download"), 0);
  focus_gadget(7);
  take_gadget_events(window_);
  focus_gadget(2);
  focus_gadget(3);
  focus_gadget(7);
  using Events = std::vector<std::pair<intptr_t, intptr_t>>;
  EXPECT_EQ(take_gadget_events(window_),
            (Events{{2, EVENT_TYPE_FOCUS}, {2, EVENT_TYPE_LOST_FOCUS}, {3, EVENT_TYPE_FOCUS}, {3, EVENT_TYPE_LOST_FOCUS}}));
}

}  // namespace
