#include "ui/gadgets/tests/gadget_test_window.h"

#include "base/heap.h"
#include "base/text.h"
#include "ui/windows/window_properties.h"

namespace {

class GadgetEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(create_program_heap());
    ASSERT_TRUE(init_text());
    ASSERT_TRUE(init_lists());
    ASSERT_TRUE(init_gadgets());
  }
  void TearDown() override { end_gadgets(); }
};

::testing::Environment* const gadget_environment = ::testing::AddGlobalTestEnvironment(new GadgetEnvironment);

constexpr char TEST_WINDOW_CLASS[] = "GadgetTestWindow";

LRESULT CALLBACK test_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(window, message, wparam, lparam);
}

struct ThreadCall {
  void (*function)(void*);
  void* context;
};

DWORD WINAPI thread_entry(void* argument) {
  auto* call = static_cast<ThreadCall*>(argument);
  call->function(call->context);
  return 0;
}

}  // namespace

void pump_messages(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (milliseconds) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  } while (GetTickCount() - start < milliseconds);
}

HWND open_test_window(const char* title) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = test_window_proc;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = TEST_WINDOW_CLASS;
    registered = RegisterClassA(&window_class) != 0;
  }
  HWND window = CreateWindowExA(0, TEST_WINDOW_CLASS, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 640, 400,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (window) {
    mark_window_number(window, 0);
    SetForegroundWindow(window);
    pump_messages();
  }
  return window;
}

void run_on_other_thread(void (*function)(void*), void* context, DWORD limit_milliseconds) {
  ThreadCall call{function, context};
  HANDLE thread = CreateThread(nullptr, 0, thread_entry, &call, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  const DWORD start = GetTickCount();
  bool late = false;
  // The thread's context lives in this frame, so the wait goes on even when
  // it is late; meanwhile this thread keeps answering its calls.
  while (MsgWaitForMultipleObjects(1, &thread, FALSE, 50, QS_ALLINPUT) != WAIT_OBJECT_0) {
    pump_messages();
    if (!late && GetTickCount() - start > limit_milliseconds) {
      late = true;
      ADD_FAILURE() << "the other thread did not finish in time";
    }
  }
  CloseHandle(thread);
}

std::string class_of(HWND window) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

namespace {
BOOL CALLBACK count_child(HWND, LPARAM counter) {
  ++*reinterpret_cast<int*>(counter);
  return TRUE;
}
}  // namespace

int child_count(HWND window) {
  int count = 0;
  EnumChildWindows(window, count_child, reinterpret_cast<LPARAM>(&count));
  return count;
}

void GadgetTest::SetUp() {
  window_ = open_test_window();
  ASSERT_NE(window_, nullptr);
  use_gadget_window(window_);
}

void GadgetTest::TearDown() {
  if (IsWindow(window_)) DestroyWindow(window_);
  use_gadget_window(nullptr);
  pump_messages();
}
