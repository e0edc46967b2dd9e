#include <functional>

#include "ui/windows/live_sizing.h"
#include "window_test_support.h"

namespace {

// A subclass in front of the toolkit's procedure: it sets the tracking
// limits the sizing must honour and watches WM_SIZING.
struct Watch {
  WNDPROC toolkit = nullptr;
  POINT min_track{0, 0}, max_track{0, 0};  // 0: leave the platform's value
  std::vector<std::pair<WPARAM, RECT>> sizing;
  std::function<void(RECT&)> adjust;
  int enter_size_move = 0, exit_size_move = 0, mouse_moves = 0;
};
Watch watch;

LRESULT CALLBACK watching_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_GETMINMAXINFO: {
      const LRESULT result = CallWindowProcA(watch.toolkit, window, message, wparam, lparam);
      auto* limits = reinterpret_cast<MINMAXINFO*>(lparam);
      if (watch.min_track.x) limits->ptMinTrackSize = watch.min_track;
      if (watch.max_track.x) limits->ptMaxTrackSize = watch.max_track;
      return result;
    }
    case WM_SIZING: {
      auto* rect = reinterpret_cast<RECT*>(lparam);
      watch.sizing.push_back({wparam, *rect});
      if (watch.adjust) watch.adjust(*rect);
      break;
    }
    case WM_ENTERSIZEMOVE: ++watch.enter_size_move; break;
    case WM_EXITSIZEMOVE: ++watch.exit_size_move; break;
    case WM_MOUSEMOVE: ++watch.mouse_moves; break;
  }
  return CallWindowProcA(watch.toolkit, window, message, wparam, lparam);
}

RECT window_rect(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

void mouse(DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof input);
}

// Where the cursor comes to rest.
POINT settled_cursor() {
  POINT last = cursor();
  DWORD rested_since = GetTickCount();
  pump_until([&] {
    const POINT now = cursor();
    if (now.x != last.x || now.y != last.y) rested_since = GetTickCount();
    last = now;
    return GetTickCount() - rested_since >= 150;
  });
  return last;
}

// A real key press during a sizing, then a rest until the cursor the sizing
// moved has stopped moving.
void press(WORD key) {
  press_key(key);
  settled_cursor();
}

bool place_cursor(int x, int y) {
  SetCursorPos(x, y);
  return cursor_settles_at({x, y});
}

// A drag as a hand makes it: several moves on the way to the point.
void drag_to(int x, int y) {
  const POINT from = cursor();
  for (int part = 1; part <= 5; ++part) {
    mouse_to(from.x + (x - from.x) * part / 5, from.y + (y - from.y) * part / 5);
    pump_until([] { return false; }, 40);
  }
}

// Under load Wine may drop the last of a run of moves; a hand holding the
// mouse still gives it a few more reports of the same place.
bool hold_until(const std::function<bool()>& condition, POINT place) {
  for (int nudge = 0; nudge < 5; ++nudge) {
    if (pump_until(condition, 400)) return true;
    mouse_to(place.x, place.y);
  }
  return condition();
}

class LiveSizing : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    BOOL on = FALSE;
    SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &on, 0);
    // The prefix asks for full-window drag; say so if the platform ignored it.
    if (!on) {
      std::printf("full-window drag was off; switching it on for this program\n");
      SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0);
    }
  }
  void SetUp() override {
    watch = Watch{};
    window = reinterpret_cast<HWND>(open_window(0, 200, 150, 300, 200, "sizing", WS_OVERLAPPEDWINDOW));
    ASSERT_TRUE(IsWindow(window));
    watch.toolkit = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(watching_procedure)));
    ASSERT_TRUE(activate(window));
    drain_events();
  }
  void TearDown() override {
    if (GetCapture()) ReleaseCapture();
    mouse(MOUSEEVENTF_LEFTUP);
    drain_events();
    EXPECT_EQ(sizing_window(), nullptr);
    end_windows();
    drain_events();
  }
  // Starts a sizing the way the system menu's Size command does.
  void start_keyboard_sizing() {
    ASSERT_TRUE(place_cursor(330, 260));
    PostMessageA(window, WM_SYSCOMMAND, SC_SIZE, 0);
    ASSERT_TRUE(pump_until([&] { return sizing_window() == window; }));
    drain_events();
  }
  HWND window = nullptr;
};

TEST_F(LiveSizing, KeyboardSizingChoosesTheRightEdgeAndWidensIt) {
  const RECT start = window_rect(window);
  start_keyboard_sizing();
  EXPECT_EQ(GetCapture(), window);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, MAKEINTRESOURCEA(32646)));  // IDC_SIZEALL
  EXPECT_EQ(watch.enter_size_move, 1);

  press(VK_RIGHT);
  EXPECT_EQ(cursor().x, start.right - 2);
  EXPECT_EQ(cursor().y, 260);  // where the sizing began
  EXPECT_EQ(window_rect(window).right, start.right);  // choosing does not move the edge
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, MAKEINTRESOURCEA(32644)));  // IDC_SIZEWE

  for (int step = 1; step <= 3; ++step) {
    press(VK_RIGHT);
    const RECT now = window_rect(window);
    EXPECT_EQ(now.right, start.right + 10 * step);
    EXPECT_EQ(now.left, start.left);
    EXPECT_EQ(now.top, start.top);
    EXPECT_EQ(now.bottom, start.bottom);
    EXPECT_EQ(cursor().x, now.right - 2);
  }
  ASSERT_FALSE(watch.sizing.empty());
  EXPECT_EQ(watch.sizing.back().first, WPARAM{WMSZ_RIGHT});
  EXPECT_EQ(watch.sizing.back().second.right, start.right + 30);

  press(VK_RETURN);
  EXPECT_EQ(sizing_window(), nullptr);
  EXPECT_NE(GetCapture(), window);
  EXPECT_EQ(window_rect(window).right, start.right + 30);
  EXPECT_EQ(watch.exit_size_move, 1);
  // The window's toolkit events tell the program its new size.
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 330);
}

TEST_F(LiveSizing, KeyboardStepsStopAtTheTrackingLimits) {
  const RECT start = window_rect(window);
  const LONG width = start.right - start.left, height = start.bottom - start.top;
  watch.max_track = {width + 25, height + 1000};
  watch.min_track = {width - 15, height - 1000};
  start_keyboard_sizing();

  press(VK_RIGHT);  // chooses the right edge
  for (int step = 0; step < 4; ++step) press(VK_RIGHT);
  EXPECT_EQ(window_rect(window).right - window_rect(window).left, width + 25);
  EXPECT_EQ(window_rect(window).left, start.left);

  for (int step = 0; step < 6; ++step) press(VK_LEFT);
  EXPECT_EQ(window_rect(window).right - window_rect(window).left, width - 15);
  EXPECT_EQ(window_rect(window).left, start.left);
  press(VK_ESCAPE);
  EXPECT_EQ(sizing_window(), nullptr);
  EXPECT_EQ(window_rect(window).right - window_rect(window).left, width - 15);
}

TEST_F(LiveSizing, ArrowsChooseCornersFromAnEdge) {
  struct Case {
    WORD first, second;
    int32_t edge;  // the edge the second key chose, seen in the next step
    WORD step_key;
    LONG RECT::*moved;
    int delta;
  };
  const Case cases[] = {
      {VK_UP, VK_LEFT, WMSZ_TOPLEFT, VK_UP, &RECT::top, -10},
      {VK_DOWN, VK_RIGHT, WMSZ_BOTTOMRIGHT, VK_DOWN, &RECT::bottom, 10},
      {VK_LEFT, VK_DOWN, WMSZ_BOTTOMLEFT, VK_LEFT, &RECT::left, -10},
      {VK_RIGHT, VK_UP, WMSZ_TOPRIGHT, VK_RIGHT, &RECT::right, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.edge);
    const RECT start = window_rect(window);
    watch.sizing.clear();
    start_keyboard_sizing();
    press(c.first);
    press(c.second);
    EXPECT_EQ(window_rect(window).left, start.left);  // choosing a corner moves nothing
    EXPECT_EQ(window_rect(window).bottom, start.bottom);
    press(c.step_key);
    ASSERT_FALSE(watch.sizing.empty());
    EXPECT_EQ(watch.sizing.back().first, WPARAM(c.edge));
    EXPECT_EQ(window_rect(window).*c.moved, start.*c.moved + c.delta);
    press(VK_RETURN);
    ASSERT_EQ(sizing_window(), nullptr);
  }
}

TEST_F(LiveSizing, SizingWindowMayAdjustTheTrackedRectangle) {
  const RECT start = window_rect(window);
  watch.adjust = [](RECT& r) { r.right = r.left + ((r.right - r.left) / 40) * 40; };
  start_keyboard_sizing();
  press(VK_RIGHT);
  for (int step = 0; step < 5; ++step) press(VK_RIGHT);
  const LONG width = window_rect(window).right - window_rect(window).left;
  EXPECT_EQ(width % 40, 0);
  EXPECT_GT(width, start.right - start.left - 40);
  press(VK_RETURN);
}

TEST_F(LiveSizing, KeysReachTheSizingWhileAFieldHasTheFocus) {
  HWND field = add_control(window, "Edit", 1, WS_BORDER | WS_TABSTOP, 10, 10, 150, 24, "abcdef");
  SetFocus(field);
  SendMessageA(field, EM_SETSEL, 3, 3);
  const RECT start = window_rect(window);
  start_keyboard_sizing();
  press(VK_RIGHT);
  press(VK_RIGHT);
  EXPECT_EQ(window_rect(window).right, start.right + 10);
  DWORD caret_start = 0, caret_end = 0;
  SendMessageA(field, EM_GETSEL, reinterpret_cast<WPARAM>(&caret_start), reinterpret_cast<LPARAM>(&caret_end));
  EXPECT_EQ(caret_start, 3u);  // the caret stayed where it was
  press(VK_RETURN);
  EXPECT_EQ(sizing_window(), nullptr);
  // With the sizing over, the keys belong to the field again.
  press(VK_RIGHT);
  SendMessageA(field, EM_GETSEL, reinterpret_cast<WPARAM>(&caret_start), reinterpret_cast<LPARAM>(&caret_end));
  EXPECT_EQ(caret_start, 4u);
}

TEST_F(LiveSizing, DraggingTheBorderFollowsTheMouseDownToTheMinimum) {
  const RECT start = window_rect(window);
  const int middle = (start.top + start.bottom) / 2;
  mouse_to(start.right - 2, middle);
  drain_events();
  mouse(MOUSEEVENTF_LEFTDOWN);
  ASSERT_TRUE(pump_until([&] { return sizing_window() == window; }));
  EXPECT_EQ(GetCapture(), window);

  drag_to(start.right + 40, middle);
  // The edge follows the cursor to wherever the absolute move put it.
  const POINT dropped = settled_cursor();
  EXPECT_NEAR(dropped.x, start.right + 40, 1);
  EXPECT_TRUE(hold_until([&] { return window_rect(window).right == dropped.x + 2; }, dropped))
      << "right " << window_rect(window).right << ", cursor " << dropped.x;
  EXPECT_EQ(window_rect(window).left, start.left);

  // Past the left edge: the width stops at the minimum, the left edge stays.
  drag_to(start.left - 50, middle);
  const LONG minimum = GetSystemMetrics(SM_CXMINTRACK);
  EXPECT_TRUE(hold_until([&] { return window_rect(window).right - window_rect(window).left == minimum; },
                         settled_cursor()))
      << "width " << window_rect(window).right - window_rect(window).left << ", cursor " << cursor().x;
  EXPECT_EQ(window_rect(window).left, start.left);

  mouse(MOUSEEVENTF_LEFTUP);
  ASSERT_TRUE(pump_until([] { return sizing_window() == nullptr; }));
  EXPECT_EQ(window_rect(window).right, start.left + minimum);
}

TEST_F(LiveSizing, CursorReturnsOnlyWhenNoMouseMoveReachedTheSizing) {
  // Keys sent straight to the window: the sizing ends before the mouse move
  // that its own cursor placement causes is retrieved.
  ASSERT_TRUE(place_cursor(330, 260));
  SendMessageA(window, WM_SYSCOMMAND, SC_SIZE, 0);
  ASSERT_EQ(sizing_window(), window);
  SendMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
  SendMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
  SendMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(sizing_window(), nullptr);
  EXPECT_TRUE(cursor_settles_at({330, 260}));

  // A mouse move during the sizing leaves the cursor where the mouse put it.
  start_keyboard_sizing();
  watch.mouse_moves = 0;
  mouse_to(380, 300);
  ASSERT_TRUE(pump_until([] { return watch.mouse_moves > 0; }));
  ASSERT_TRUE(cursor_settles_at({380, 300}));
  press(VK_ESCAPE);
  EXPECT_EQ(sizing_window(), nullptr);
  EXPECT_TRUE(cursor_settles_at({380, 300}));
}

LPARAM client_point(HWND window, int x, int y) {
  POINT p{x, y};
  ScreenToClient(window, &p);
  return MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y));
}

TEST_F(LiveSizing, LateReportOfTheOldCursorPlaceDoesNotDragTheEdgeBack) {
  ASSERT_TRUE(place_cursor(330, 260));
  const RECT start = window_rect(window);
  SendMessageA(window, WM_SYSCOMMAND, SC_SIZE, 0);
  SendMessageA(window, WM_KEYDOWN, VK_RIGHT, 0);  // the cursor goes to the right edge
  // The platform's report of the place the cursor left, arriving late.
  SendMessageA(window, WM_MOUSEMOVE, 0, client_point(window, 330, 260));
  EXPECT_EQ(window_rect(window).right, start.right);
  // The mouse itself moving to another place is followed, even back there.
  SendMessageA(window, WM_MOUSEMOVE, 0, client_point(window, 400, 260));
  EXPECT_EQ(window_rect(window).right, 402);
  SendMessageA(window, WM_MOUSEMOVE, 0, client_point(window, 330, 260));
  EXPECT_EQ(window_rect(window).right, 332);
  SendMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(sizing_window(), nullptr);
}

TEST_F(LiveSizing, ClosingTheSizedWindowEndsTheSizing) {
  auto other = reinterpret_cast<HWND>(open_window(1, 600, 150, 200, 100, "other", WS_OVERLAPPEDWINDOW));
  HWND field = add_control(other, "Edit", 1, WS_BORDER, 10, 10, 150, 24, "abc");
  start_keyboard_sizing();
  close_window(0);
  EXPECT_EQ(sizing_window(), nullptr);
  // Keys reach the focus again.
  ASSERT_TRUE(activate(other));
  SetFocus(field);
  SendMessageA(field, EM_SETSEL, 0, 0);
  press_key(VK_RIGHT);
  DWORD caret = 0;
  SendMessageA(field, EM_GETSEL, reinterpret_cast<WPARAM>(&caret), 0);
  EXPECT_EQ(caret, 1u);
}

TEST_F(LiveSizing, WithoutFullWindowDragThePlatformSizes) {
  SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, FALSE, nullptr, 0);
  EXPECT_EQ(handle_live_sizing(window, WM_SYSCOMMAND, SC_SIZE, 0), NOT_HANDLED);
  EXPECT_EQ(sizing_window(), nullptr);
  EXPECT_NE(GetCapture(), window);
  SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0);
}

TEST_F(LiveSizing, OtherWindowsMessagesLeaveTheSizingAlone) {
  auto other = reinterpret_cast<HWND>(open_window(1, 600, 150, 200, 100, "other", WS_OVERLAPPEDWINDOW));
  ASSERT_TRUE(activate(window));
  start_keyboard_sizing();
  EXPECT_EQ(SendMessageA(other, WM_CAPTURECHANGED, 0, 0), 0);
  EXPECT_EQ(sizing_window(), window);
  press(VK_ESCAPE);
  EXPECT_EQ(sizing_window(), nullptr);
}

}  // namespace
