#include <richedit.h>

#include <string>

#include "ui/windows/navigation.h"
#include "window_test_support.h"

namespace {

std::string text_of(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

class Navigation : public ::testing::Test {
 protected:
  void SetUp() override {
    window = reinterpret_cast<HWND>(open_window(0, 100, 100, 400, 300, "navigation", WS_OVERLAPPEDWINDOW));
    ASSERT_TRUE(IsWindow(window));
  }
  void TearDown() override {
    end_windows();
    drain_events();
  }
  void activate_window() {
    ASSERT_TRUE(activate(window));
    drain_events();
  }
  HWND window = nullptr;
};

// Tab stops first, last and between them the controls Tab must skip.
struct Layout {
  HWND first, disabled, plain, hidden, middle, last;
};

Layout make_layout(HWND window) {
  Layout l;
  l.first = add_control(window, "Edit", 1, WS_TABSTOP | WS_BORDER, 10, 10);
  l.disabled = add_control(window, "Button", 2, WS_TABSTOP | WS_DISABLED, 10, 40);
  l.plain = add_control(window, "Edit", 3, WS_BORDER, 10, 70);
  l.hidden = add_control(window, "Button", 4, WS_TABSTOP, 10, 100);
  ShowWindow(l.hidden, SW_HIDE);
  l.middle = add_control(window, "Button", 5, WS_TABSTOP, 10, 130);
  l.last = add_control(window, "Edit", 6, WS_TABSTOP | WS_BORDER, 10, 160);
  return l;
}

TEST_F(Navigation, TabAndShiftTabWrapRoundTheTabStops) {
  const Layout l = make_layout(window);
  activate_window();
  SetFocus(l.first);

  press_key(VK_TAB);
  EXPECT_EQ(GetFocus(), l.middle);
  press_key(VK_TAB);
  EXPECT_EQ(GetFocus(), l.last);
  press_key(VK_TAB);
  EXPECT_EQ(GetFocus(), l.first);

  press_key(VK_TAB, true);
  EXPECT_EQ(GetFocus(), l.last);
  press_key(VK_TAB, true);
  EXPECT_EQ(GetFocus(), l.middle);
  press_key(VK_TAB, true);
  EXPECT_EQ(GetFocus(), l.first);
}

TEST_F(Navigation, WithoutFocusInsideTabTakesTheFirstAndShiftTabTheLast) {
  const Layout l = make_layout(window);
  activate_window();
  SetFocus(window);
  press_key(VK_TAB);
  EXPECT_EQ(GetFocus(), l.first);
  SetFocus(window);
  press_key(VK_TAB, true);
  EXPECT_EQ(GetFocus(), l.last);
}

TEST_F(Navigation, ALoneTabStopKeepsTheFocus) {
  HWND only = add_control(window, "Edit", 1, WS_TABSTOP | WS_BORDER, 10, 10);
  add_control(window, "Edit", 2, WS_BORDER, 10, 40);
  activate_window();
  SetFocus(only);
  press_key(VK_TAB);
  EXPECT_EQ(GetFocus(), only);
  press_key(VK_TAB, true);
  EXPECT_EQ(GetFocus(), only);
}

TEST_F(Navigation, NestedControlsFollowTheirParent) {
  HWND before = add_control(window, "Button", 1, WS_TABSTOP, 10, 10);
  HWND panel = add_control(window, "Static", 2, WS_TABSTOP, 10, 40, 200, 80);
  HWND inside = add_control(panel, "Button", 3, WS_TABSTOP, 5, 5);
  HWND after = add_control(window, "Button", 4, WS_TABSTOP, 10, 150);
  activate_window();
  SetFocus(before);
  const std::vector<SeenEvent> seen = press_key(VK_TAB);
  EXPECT_EQ(GetFocus(), panel);
  // The key-down comes back as its own number: Tab itself is no event.
  EXPECT_EQ(first_with(seen, WM_KEYDOWN).code, WM_KEYDOWN);
  EXPECT_EQ(codes_among(seen, {EVENT_GADGET, EVENT_MENU}), std::vector<int32_t>{});
  press_key(VK_TAB);
  EXPECT_EQ(GetFocus(), inside);
  press_key(VK_TAB);
  EXPECT_EQ(GetFocus(), after);
}

class RichEditNavigation : public Navigation {
 protected:
  static void SetUpTestSuite() { ASSERT_NE(LoadLibraryA("RICHED20.DLL"), nullptr); }
};

TEST_F(RichEditNavigation, EditableRichEditKeepsPlainTabAndLeavesOnShiftTab) {
  HWND before = add_control(window, "Button", 1, WS_TABSTOP, 10, 10);
  HWND editor = add_control(window, "RichEdit20A", 2, WS_TABSTOP | ES_MULTILINE | WS_BORDER, 10, 40, 200, 100);
  HWND after = add_control(window, "Button", 3, WS_TABSTOP, 10, 150);
  ASSERT_TRUE(IsWindow(editor));
  activate_window();
  SetFocus(editor);
  press_key(VK_TAB);
  EXPECT_EQ(GetFocus(), editor);
  EXPECT_EQ(text_of(editor), "\t");
  press_key(VK_TAB, true);
  EXPECT_EQ(GetFocus(), before);
  (void)after;
}

TEST_F(RichEditNavigation, ReadOnlyRichEditLetsTabMoveOn) {
  add_control(window, "Button", 1, WS_TABSTOP, 10, 10);
  HWND log = add_control(window, "RichEdit20A", 2, WS_TABSTOP | ES_MULTILINE | ES_READONLY | WS_BORDER, 10, 40,
                         200, 100);
  HWND after = add_control(window, "Button", 3, WS_TABSTOP, 10, 150);
  ASSERT_TRUE(SendMessageA(log, EM_GETOPTIONS, 0, 0) & ECO_READONLY);
  activate_window();
  SetFocus(log);
  press_key(VK_TAB);
  EXPECT_EQ(GetFocus(), after);
  EXPECT_EQ(text_of(log), "");
}

TEST_F(Navigation, OnlyToolkitWindowsGetAccelerators) {
  EXPECT_EQ(choose_accelerators(window), find_window_record(0)->accelerator_table);
  EXPECT_EQ(choose_accelerators(nullptr), nullptr);
  HWND stranger = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(choose_accelerators(stranger), nullptr);
  DestroyWindow(stranger);
}

}  // namespace
