// Gadgets inside the toolkit's own windows: their events reach wait_event and
// their colour messages reach their kinds through the window procedure.
#include <windows.h>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "base/heap.h"
#include "base/text.h"
#include "ui/gadgets/gadget_registry.h"
#include "ui/gadgets/gadgets.h"
#include "ui/windows/events.h"
#include "ui/windows/toolkit_windows.h"

namespace {

class ToolkitEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(create_program_heap());
    ASSERT_TRUE(init_text());
    ASSERT_TRUE(init_lists());
    ASSERT_TRUE(init_windows());
    ASSERT_TRUE(init_gadgets());
  }
  void TearDown() override {
    end_gadgets();
    end_windows();
  }
};

::testing::Environment* const toolkit_environment = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

using GadgetEvent = std::pair<intptr_t, int32_t>;

// The gadget events that wait_event returns within about the given time.
std::vector<GadgetEvent> gadget_events(DWORD milliseconds) {
  std::vector<GadgetEvent> events;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    if (wait_event(20) == EVENT_GADGET) events.emplace_back(event_gadget(), event_type());
  }
  return events;
}

class ToolkitWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = reinterpret_cast<HWND>(open_window(0, 100, 100, 520, 240, "Gatherly - test", WINDOW_SCREEN_CENTERED));
    ASSERT_TRUE(IsWindow(window_));
    SetForegroundWindow(window_);
    gadget_events(100);
  }
  void TearDown() override {
    close_window(0);
    gadget_events(50);
  }
  HWND window_ = nullptr;
};

TEST_F(ToolkitWindowTest, FocusChangesOfStringGadgetsReachWaitEvent) {
  // open_window made the window the parent of the gadgets created next.
  HWND url = reinterpret_cast<HWND>(create_string_gadget(2, 70, 10, 370, 20, ""));
  ASSERT_TRUE(IsWindow(url));
  EXPECT_EQ(GetParent(url), window_);
  ASSERT_NE(create_string_gadget(3, 70, 40, 370, 20, ""), 0);
  ASSERT_NE(create_button_gadget(7, 410, 100, 90, 30, "Start Download"), 0);
  focus_gadget(7);
  gadget_events(100);
  focus_gadget(2);
  focus_gadget(3);
  // Each field's own notifications (EN_SETFOCUS, EN_KILLFOCUS) come too, as
  // events of the same gadgets; the focus events are the gadgets' own.
  std::vector<GadgetEvent> focus_events;
  for (const GadgetEvent& event : gadget_events(300))
    if (event.second == EVENT_TYPE_FOCUS || event.second == EVENT_TYPE_LOST_FOCUS) focus_events.push_back(event);
  EXPECT_EQ(focus_events, (std::vector<GadgetEvent>{{2, EVENT_TYPE_FOCUS},
                                                    {2, EVENT_TYPE_LOST_FOCUS},
                                                    {3, EVENT_TYPE_FOCUS}}));
}

TEST_F(ToolkitWindowTest, AButtonClickIsAGadgetEvent) {
  HWND button = reinterpret_cast<HWND>(create_button_gadget(7, 410, 100, 90, 30, "Start Download"));
  ASSERT_TRUE(IsWindow(button));
  PostMessageA(button, BM_CLICK, 0, 0);
  const std::vector<GadgetEvent> events = gadget_events(300);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front(), (GadgetEvent{7, BN_CLICKED}));
}

TEST_F(ToolkitWindowTest, ColourMessagesReachTheKindThroughTheWindow) {
  HWND label = reinterpret_cast<HWND>(create_text_gadget(0, 10, 10, 40, 20, "URL:"));
  ASSERT_TRUE(IsWindow(label));
  HDC context = GetDC(label);
  const auto brush_for = [&] {
    return SendMessageA(window_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(context),
                        reinterpret_cast<LPARAM>(label));
  };
  GadgetRecord* record = find_gadget(0);
  record->kind->operations.set_color(record, GADGET_BACK_COLOR, RGB(10, 200, 10));
  // A solid brush of the background colour, and the colour set to paint with.
  LOGBRUSH brush{};
  ASSERT_EQ(GetObjectA(reinterpret_cast<HBRUSH>(brush_for()), sizeof brush, &brush), int{sizeof brush});
  EXPECT_EQ(brush.lbStyle, static_cast<UINT>(BS_SOLID));
  EXPECT_EQ(brush.lbColor, RGB(10, 200, 10));
  EXPECT_EQ(GetBkColor(context), RGB(10, 200, 10));
  ReleaseDC(label, context);
}

TEST_F(ToolkitWindowTest, ClosingTheWindowEndsItsGadgets) {
  ASSERT_NE(create_string_gadget(2, 70, 10, 370, 20, "http://127.0.0.1/"), 0);
  ASSERT_NE(create_editor_gadget(8, 10, 100, 390, 110, 2048), 0);
  EXPECT_EQ(get_gadget_text(2), "http://127.0.0.1/");
  close_window(0);
  EXPECT_EQ(get_gadget_text(2), "");
  EXPECT_EQ(disable_gadget(2, GADGET_DISABLED), 0);
  EXPECT_EQ(append_gadget_line(8, -1, "Download failed!"), 0);
}

}  // namespace
