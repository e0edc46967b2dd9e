#include <climits>
#include <string>

#include "ui/windows/gadget_hooks.h"
#include "ui/windows/window_class.h"
#include "window_test_support.h"

namespace {

constexpr uint32_t PROGRAM_FLAGS = 0xCA0001;

RECT window_rect(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

std::string class_of(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

class OpenWindow : public ::testing::Test {
 protected:
  void TearDown() override {
    end_windows();
    drain_events();
  }
};

TEST_F(OpenWindow, ProgramWindowHasExactClientAreaAndIsCentredOnTheScreen) {
  auto window = reinterpret_cast<HWND>(open_window(0, 388, 210, 512, 222, "Gatherly - x", PROGRAM_FLAGS));
  // Should the platform refuse every window (once seen in a full run, not
  // yet explained), its own reason is the first thing to know.
  ASSERT_TRUE(IsWindow(window)) << "last error " << GetLastError();
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right - client.left, 512);
  EXPECT_EQ(client.bottom - client.top, 222);

  const RECT outer = window_rect(window);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);

  const auto style = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE));
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), DWORD{WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX});
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0u);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(class_of(window), "WindowClass_0");
  EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropA(window, WINDOW_ID_PROPERTY)), 1);
  char title[64] = {};
  GetWindowTextA(window, title, sizeof title);
  EXPECT_STREQ(title, "Gatherly - x");
  EXPECT_EQ(window_handle(0), window);

  close_window(0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(class_registered("WindowClass_0"));
  EXPECT_EQ(find_window_record(0), nullptr);
}

TEST_F(OpenWindow, ToolkitFlagsDecideCaptionVisibilityAndPlace) {
  struct Case {
    uint32_t flags;
    bool captioned, visible;
  };
  const Case cases[] = {
      {0, true, true},
      {WINDOW_INVISIBLE, true, false},
      {WS_POPUP | WS_BORDER, false, true},
      {WS_POPUP | WINDOW_INVISIBLE, false, false},
      {WS_OVERLAPPEDWINDOW, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    auto window = reinterpret_cast<HWND>(open_window(2, 30, 40, 200, 100, nullptr, c.flags));
    ASSERT_TRUE(IsWindow(window));
    const auto style = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE));
    EXPECT_EQ((style & WS_CAPTION) == WS_CAPTION, c.captioned);
    EXPECT_EQ(IsWindowVisible(window) != 0, c.visible);
    const RECT outer = window_rect(window);
    EXPECT_EQ(outer.left, 30);
    EXPECT_EQ(outer.top, 40);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 200);
    EXPECT_EQ(client.bottom, 100);
  }
}

TEST_F(OpenWindow, DefaultPositionLeavesThePlaceToThePlatform) {
  for (auto [x, y] : {std::pair{DEFAULT_POSITION, 50}, std::pair{50, DEFAULT_POSITION}}) {
    auto window = reinterpret_cast<HWND>(open_window(1, x, y, 200, 100, "default", 0));
    ASSERT_TRUE(IsWindow(window));
    const RECT outer = window_rect(window);
    // Neither coordinate is taken literally: CW_USEDEFAULT puts the window
    // somewhere on the screen.
    EXPECT_GE(outer.left, 0);
    EXPECT_GE(outer.top, 0);
    EXPECT_LT(outer.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_LT(outer.top, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_NE(outer.left, 50);
    close_window(1);
  }
}

TEST_F(OpenWindow, ScreenCentringOfAnOversizedWindowFillsTheScreen) {
  const int screen_width = GetSystemMetrics(SM_CXSCREEN), screen_height = GetSystemMetrics(SM_CYSCREEN);
  auto window = reinterpret_cast<HWND>(
      open_window(0, 100, 100, screen_width + 300, screen_height + 300, "big", WS_POPUP | WINDOW_SCREEN_CENTERED));
  ASSERT_TRUE(IsWindow(window));
  const RECT outer = window_rect(window);
  EXPECT_EQ(outer.left, 0);
  EXPECT_EQ(outer.top, 0);
  EXPECT_EQ(outer.right, screen_width);
  EXPECT_EQ(outer.bottom, screen_height);
}

TEST_F(OpenWindow, ParentCentringUsesTheParentOrTheActiveWindow) {
  // A reference at (100, 120) to (500, 420): borderless, so its outer
  // rectangle is the one given.
  auto reference = reinterpret_cast<HWND>(open_window(0, 100, 120, 400, 300, "reference", WS_POPUP));
  ASSERT_TRUE(activate(reference));
  const RECT area = window_rect(reference);
  ASSERT_EQ(area.left, 100);
  ASSERT_EQ(area.top, 120);
  ASSERT_EQ(area.right, 500);
  ASSERT_EQ(area.bottom, 420);

  struct Case {
    HWND parent;
    int width, height;
    int x, y;
  };
  // The active window stands in for a missing parent; a window larger than
  // its reference would start left of and above it, and stops at 0 instead.
  for (const Case& c : {Case{reference, 200, 100, 200, 220}, Case{nullptr, 200, 100, 200, 220},
                        Case{reference, 201, 101, 199, 219}, Case{reference, 1000, 700, 0, 0}}) {
    SCOPED_TRACE(c.width);
    ASSERT_TRUE(activate(reference));
    auto window = reinterpret_cast<HWND>(
        open_window(1, 5, 5, c.width, c.height, "centred", WS_POPUP | WINDOW_PARENT_CENTERED, c.parent));
    ASSERT_TRUE(IsWindow(window));
    const RECT outer = window_rect(window);
    EXPECT_EQ(outer.left, c.x);
    EXPECT_EQ(outer.top, c.y);
    close_window(1);
  }

  // Without a parent and without an active window the given place stays.
  close_window(0);
  ASSERT_TRUE(pump_until([] { return GetActiveWindow() == nullptr; }));
  auto window = reinterpret_cast<HWND>(
      open_window(1, 70, 80, 200, 100, "alone", WS_POPUP | WINDOW_PARENT_CENTERED | WINDOW_INVISIBLE));
  ASSERT_TRUE(IsWindow(window));
  EXPECT_EQ(window_rect(window).left, 70);
  EXPECT_EQ(window_rect(window).top, 80);
}

TEST_F(OpenWindow, ReopeningANumberClosesTheOldWindowFirst) {
  auto first = reinterpret_cast<HWND>(open_window(0, 10, 10, 100, 100, "first", 0));
  ASSERT_TRUE(IsWindow(first));
  auto second = reinterpret_cast<HWND>(open_window(0, 10, 10, 100, 100, "second", 0));
  ASSERT_TRUE(IsWindow(second));
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(window_handle(0), second);
  EXPECT_EQ(class_of(second), "WindowClass_0");
}

TEST_F(OpenWindow, WindowDestroyedWithItsOwnerStillClosesCleanly) {
  auto owner = reinterpret_cast<HWND>(open_window(0, 10, 10, 200, 200, "owner", 0));
  auto owned = reinterpret_cast<HWND>(open_window(1, 40, 40, 100, 100, "owned", 0, owner));
  ASSERT_TRUE(IsWindow(owned));
  EXPECT_EQ(GetWindow(owned, GW_OWNER), owner);
  close_window(0);
  EXPECT_FALSE(IsWindow(owned));  // the platform took it along
  close_window(1);
  EXPECT_EQ(find_window_record(1), nullptr);
  EXPECT_FALSE(class_registered("WindowClass_1"));
  EXPECT_NE(open_window(1, 40, 40, 100, 100, "again", 0), 0);
}

TEST_F(OpenWindow, ClosingAnUnknownNumberDoesNothing) {
  auto window = reinterpret_cast<HWND>(open_window(0, 10, 10, 100, 100, "kept", 0));
  for (intptr_t number : {intptr_t{1}, intptr_t{15}, intptr_t{16}, intptr_t{100000}, intptr_t{-1}, intptr_t{-7},
                          reinterpret_cast<intptr_t>(&window)})
    close_window(number);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(window_handle(0), window);
}

TEST_F(OpenWindow, AnyNumberIsTheRecordAddressWrittenInFull) {
  const intptr_t number = open_window(ANY_NUMBER, 10, 10, 100, 100, "any", 0);
  ASSERT_NE(number, 0);
  WindowRecord* record = find_window_record(number);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(reinterpret_cast<intptr_t>(record), number);
  HWND window = window_handle(number);
  ASSERT_TRUE(IsWindow(window));
  EXPECT_EQ(class_of(window), "WindowClass_" + std::to_string(static_cast<long long>(number)));
  EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropA(window, WINDOW_ID_PROPERTY)), number + 1);
  close_window(number);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(find_window_record(number), nullptr);
}

TEST_F(OpenWindow, ClassNamesKeepTheWholeNumber) {
  struct Case {
    intptr_t number;
    const char* name;
  };
  const Case cases[] = {
      {0, "WindowClass_0"},
      {-1, "WindowClass_-1"},
      {INT32_MAX, "WindowClass_2147483647"},
#if INTPTR_MAX > INT32_MAX
      {intptr_t{0x123456789A}, "WindowClass_78187493530"},
      {INTPTR_MIN, "WindowClass_-9223372036854775808"},
#endif
  };
  for (const Case& c : cases) EXPECT_STREQ(window_class_name(c.number).text, c.name);
}

TEST_F(OpenWindow, NumbersTheTableCannotHoldOpenNothing) {
  const auto before = thread_windows();
  for (intptr_t number : {intptr_t{-2}, intptr_t{-65535}, intptr_t{INTPTR_MIN}, intptr_t{INTPTR_MAX},
                          intptr_t{INT32_MAX}}) {
    SCOPED_TRACE(number);
    EXPECT_EQ(open_window(number, 10, 10, 100, 100, "refused", 0), 0);
    EXPECT_FALSE(class_registered(window_class_name(number).text));
  }
  EXPECT_EQ(thread_windows(), before);
}

TEST_F(OpenWindow, RefusedCreationUnregistersTheClassAndFreesTheNumber) {
  auto not_a_window = reinterpret_cast<HWND>(intptr_t{0x7654321});
  EXPECT_EQ(open_window(3, 10, 10, 100, 100, "orphan", 0, not_a_window), 0);
  EXPECT_FALSE(class_registered("WindowClass_3"));
  EXPECT_EQ(find_window_record(3), nullptr);
  EXPECT_EQ(open_window(ANY_NUMBER, 10, 10, 100, 100, "orphan", 0, not_a_window), 0);
}

TEST_F(OpenWindow, EveryWindowGetsTheTabAndEscapeAccelerators) {
  open_window(4, 10, 10, 100, 100, "keys", 0);
  WindowRecord* record = find_window_record(4);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->accelerator_count, 3);
  ACCEL entries[4] = {};
  ASSERT_EQ(CopyAcceleratorTableA(record->accelerator_table, entries, 4), 3);
  EXPECT_EQ(entries[0].fVirt, FVIRTKEY | FNOINVERT);
  EXPECT_EQ(entries[0].key, VK_TAB);
  EXPECT_EQ(entries[0].cmd, COMMAND_NEXT_FOCUS);
  EXPECT_EQ(entries[1].fVirt, FVIRTKEY | FNOINVERT | FSHIFT);
  EXPECT_EQ(entries[1].key, VK_TAB);
  EXPECT_EQ(entries[1].cmd, COMMAND_PREVIOUS_FOCUS);
  EXPECT_EQ(entries[2].fVirt, FVIRTKEY | FNOINVERT);
  EXPECT_EQ(entries[2].key, VK_ESCAPE);
  EXPECT_EQ(entries[2].cmd, COMMAND_CANCEL);
}

TEST_F(OpenWindow, MinimisedOrMaximisedFlagFollowsTheStyle) {
  struct Case {
    uint32_t flags;
    int32_t flag;
    bool zoomed, iconic;
  };
  const Case cases[] = {{WS_OVERLAPPEDWINDOW, 0, false, false},
                        {WS_OVERLAPPEDWINDOW | WS_MAXIMIZE, 1, true, false},
                        {WS_OVERLAPPEDWINDOW | WS_MINIMIZE, 1, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    auto window = reinterpret_cast<HWND>(open_window(5, 10, 10, 200, 100, "state", c.flags));
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(find_window_record(5)->minimised_or_maximised, c.flag);
    EXPECT_EQ(IsZoomed(window) != 0, c.zoomed);
    EXPECT_EQ(IsIconic(window) != 0, c.iconic);
  }
}

HWND last_gadget_parent;

TEST_F(OpenWindow, NewWindowBecomesTheGadgetParentAndEndClosesEveryWindow) {
  set_gadget_hooks(nullptr, [](HWND window) { last_gadget_parent = window; });
  auto numbered = reinterpret_cast<HWND>(open_window(6, 10, 10, 100, 100, "six", 0));
  EXPECT_EQ(last_gadget_parent, numbered);
  const intptr_t any = open_window(ANY_NUMBER, 10, 10, 100, 100, "any", 0);
  HWND other = window_handle(any);
  EXPECT_EQ(last_gadget_parent, other);
  set_gadget_hooks(nullptr, nullptr);

  end_windows();
  EXPECT_FALSE(IsWindow(numbered));
  EXPECT_FALSE(IsWindow(other));
  EXPECT_FALSE(class_registered("WindowClass_6"));
  EXPECT_EQ(find_window_record(6), nullptr);
  EXPECT_EQ(find_window_record(any), nullptr);
}

}  // namespace
