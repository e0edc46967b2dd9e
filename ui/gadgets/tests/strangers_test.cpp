// Messages that another thread or process sends or posts to the gadgets'
// windows carry values, never pointers that the library would follow.
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include "ui/gadgets/gui_thread.h"
#include "ui/gadgets/tests/gadget_test_window.h"

namespace {

using StrangerTest = GadgetTest;

// A request that a control answers by writing through lParam: posted, or
// sent from another thread, it must not reach the control; sent by this
// thread, it does.
TEST_F(StrangerTest, AControlsOwnRequestsComeOnlyFromThisThread) {
  HWND bar = as_window(create_progress_gadget(6, 10, 70, 490, 20, 0, 10));
  HWND log = as_window(create_editor_gadget(8, 10, 100, 390, 110, 2048));
  ASSERT_TRUE(IsWindow(bar) && IsWindow(log));
  append_gadget_line(8, -1, "Started download...");
  PBRANGE range{-1, -1};
  CHARRANGE selection{-1, -1};
  struct Request {
    HWND control;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
  };
  const Request requests[] = {{bar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range)},
                              {log, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection)}};
  for (const Request& r : requests) PostMessageA(r.control, r.message, r.wparam, r.lparam);
  pump_messages();
  run_on_other_thread([&] {
    for (const Request& r : requests) SendMessageA(r.control, r.message, r.wparam, r.lparam);
  });
  EXPECT_EQ(range.iLow, -1);
  EXPECT_EQ(range.iHigh, -1);
  EXPECT_EQ(selection.cpMin, -1);
  EXPECT_EQ(selection.cpMax, -1);

  for (const Request& r : requests) SendMessageA(r.control, r.message, r.wparam, r.lparam);
  EXPECT_EQ(range.iLow, 0);
  EXPECT_EQ(range.iHigh, 10);
  EXPECT_GE(selection.cpMin, 0);
}

// What another program reads of a bar (its position, its range as a return
// value, its step and state) it gets from another thread too; the same
// request with a place to write into is still refused.
TEST_F(StrangerTest, ABarsPlainValuesAreReadFromAnyThread) {
  HWND bar = as_window(create_progress_gadget(6, 10, 70, 490, 20, 0, 10));
  ASSERT_TRUE(IsWindow(bar));
  ASSERT_NE(set_gadget_attribute(6, ATTR_MAXIMUM, 1000), 0);
  ASSERT_NE(set_gadget_state(6, 250), 0);
  PBRANGE range{-1, -1};
  LRESULT position = 0, low = 0, high = 0, step = 0, state = 0, written = 0;
  run_on_other_thread([&] {
    position = SendMessageA(bar, PBM_GETPOS, 0, 0);
    low = SendMessageA(bar, PBM_GETRANGE, TRUE, 0);
    high = SendMessageA(bar, PBM_GETRANGE, FALSE, 0);
    step = SendMessageA(bar, PBM_GETSTEP, 0, 0);
    state = SendMessageA(bar, PBM_GETSTATE, 0, 0);
    written = SendMessageA(bar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    SendMessageA(bar, PBM_SETPOS, 900, 0);  // a change is no read
  });
  EXPECT_EQ(position, 250);
  EXPECT_EQ(low, 0);
  EXPECT_EQ(high, 1000);
  EXPECT_EQ(step, 10);  // the platform's default step
  EXPECT_EQ(state, PBST_NORMAL);
  EXPECT_EQ(written, 0);
  EXPECT_EQ(range.iLow, -1);
  EXPECT_EQ(get_gadget_state(6), 250);
}

// Laid out as the route's own request, so that a route that followed a
// stranger's lParam would run it.
struct ForgedRequest {
  GuiCall call;
  void* context;
  bool done;
  void* next;
};

bool forged_call_ran = false;

HWND library_window_of_this_process() {
  for (HWND window = nullptr; (window = FindWindowExA(HWND_MESSAGE, window, "GadgetLibraryWindow", nullptr));) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) return window;
  }
  return nullptr;
}

TEST_F(StrangerTest, TheRouteRunsOnlyCallsWhoseCallerWaits) {
  HWND route = library_window_of_this_process();
  ASSERT_NE(route, nullptr);
  ASSERT_NE(create_string_gadget(2, 70, 10, 370, 20, "http://127.0.0.1/"), 0);
  ForgedRequest forged{[](void*) { forged_call_ran = true; }, nullptr, false, nullptr};
  const auto lparam = reinterpret_cast<LPARAM>(&forged);
  PostMessageA(route, MSG_RUN_GADGET_CALL, 0, lparam);
  pump_messages();
  Text read;
  run_on_other_thread([&] {
    SendMessageA(route, MSG_RUN_GADGET_CALL, 0, lparam);
    SendMessageA(route, MSG_RUN_GADGET_CALL, 0, 0x100);
    read = get_gadget_text(2);  // a call of the library's own still runs
  });
  EXPECT_FALSE(forged_call_ran);
  EXPECT_FALSE(forged.done);
  EXPECT_EQ(read, "http://127.0.0.1/");
}

}  // namespace
