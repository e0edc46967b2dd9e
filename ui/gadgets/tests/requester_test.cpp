// The folder requester on the platform's real folder browser, driven by a
// helper thread that finds the browser and confirms or cancels it.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>

#include "base/heap.h"
#include "base/text.h"
#include "ui/gadgets/requester.h"
#include "ui/gadgets/requester_parts.h"

namespace {

class RequesterEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(create_program_heap());
    ASSERT_TRUE(init_text());
    ASSERT_TRUE(init_lists());
    init_requesters();
  }
};

::testing::Environment* const requester_environment = ::testing::AddGlobalTestEnvironment(new RequesterEnvironment);

std::string prepared(const std::string& folder) {
  char buffer[FOLDER_BUFFER_SIZE];
  std::memset(buffer, 'x', sizeof buffer);
  prepare_initial_folder(folder, buffer);
  return buffer;
}

TEST(RequesterPartsTest, InitialFolderLosesOneTrailingBackslashExceptAtTheRoot) {
  const std::string long_folder = "C:\\" + std::string(300, 'a');
  struct Case {
    std::string folder, expected;
  };
  const Case cases[] = {
      {"D:\\", "D:\\"},
      {"D:\\temp\\", "D:\\temp"},
      {"D:\\temp", "D:\\temp"},
      {"D:\\temp\\\\", "D:\\temp\\"},
      {"", ""},
      {long_folder, long_folder.substr(0, 259)},
      {long_folder.substr(0, 258) + "\\", long_folder.substr(0, 258)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    EXPECT_EQ(prepared(c.folder), c.expected);
  }
}

TEST(RequesterPartsTest, ChosenPathEndsInOneBackslash) {
  const std::string longest = "C:\\" + std::string(256, 'b');  // 259 characters, all the platform gives
  struct Case {
    std::string path, expected;
  };
  const Case cases[] = {
      {"D:\\", "D:\\"},
      {"D:\\temp", "D:\\temp\\"},
      {"", ""},
      {longest, longest + "\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(complete_folder_path(c.path).c_str(), c.expected);
  }
}

constexpr char TEST_CLASS[] = "RequesterTestWindow";

HWND make_window(const char* title, bool visible) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = TEST_CLASS;
    registered = RegisterClassA(&window_class) != 0;
  }
  return CreateWindowExA(0, TEST_CLASS, title, WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), 50, 50, 300, 200,
                         nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

// Activation reaches the window through the display server: wait for it.
bool make_foreground(HWND window) {
  for (int tries = 0; tries < 100; ++tries) {
    if (GetForegroundWindow() == window) return true;
    SetForegroundWindow(window);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
  return GetForegroundWindow() == window;
}

// A window that belongs to another thread of this process, with a loop.
struct ForeignWindow {
  HANDLE thread = nullptr;
  std::atomic<HWND> window{nullptr};
  DWORD thread_id = 0;

  static DWORD WINAPI run(void* self) {
    auto* foreign = static_cast<ForeignWindow*>(self);
    foreign->window = make_window("other thread", true);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    DestroyWindow(foreign->window);
    return 0;
  }
  void open() {
    thread = CreateThread(nullptr, 0, run, this, 0, &thread_id);
    while (!window.load()) Sleep(5);
  }
  void close() {
    PostThreadMessageA(thread_id, WM_QUIT, 0, 0);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
  }
};

struct Observation {
  bool found = false;
  bool owner_enabled = true, other_enabled = true, hidden_enabled = true, disabled_enabled = true,
       foreign_enabled = false;
};

struct Driver {
  WPARAM answer;
  HWND owner, other, hidden, disabled, foreign;
  Observation seen;
};

// Waits for the browser, notes the windows' states while it is open, and
// presses the button.
DWORD WINAPI drive_browser(void* argument) {
  auto* driver = static_cast<Driver*>(argument);
  HWND browser = nullptr;
  for (int tries = 0; tries < 400 && !browser; ++tries) {
    browser = FindWindowA("#32770", "Browse for Folder");
    if (!browser) Sleep(25);
  }
  if (!browser) return 0;
  // A person answers once the tree shows its initial selection: the browser
  // may still be walking its tree to it after it appears.
  HWND tree = FindWindowExA(browser, nullptr, "SysTreeView32", nullptr);
  LRESULT shown = 0;
  DWORD stable_since = GetTickCount();
  for (const DWORD start = GetTickCount(); tree && GetTickCount() - start < 15000; Sleep(20)) {
    DWORD_PTR selected = 0;
    if (!SendMessageTimeoutA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, SMTO_NORMAL, 1000, &selected)) continue;
    if (static_cast<LRESULT>(selected) != shown) {
      shown = static_cast<LRESULT>(selected);
      stable_since = GetTickCount();
    } else if (shown != 0 && GetTickCount() - stable_since >= 300) {
      break;
    }
  }
  Observation& seen = driver->seen;
  seen.found = true;
  seen.owner_enabled = IsWindowEnabled(driver->owner);
  seen.other_enabled = IsWindowEnabled(driver->other);
  seen.hidden_enabled = IsWindowEnabled(driver->hidden);
  seen.disabled_enabled = IsWindowEnabled(driver->disabled);
  seen.foreign_enabled = IsWindowEnabled(driver->foreign);
  PostMessageA(browser, WM_COMMAND, driver->answer, 0);
  return 0;
}

class RequesterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ = make_window("owner", true);
    other_ = make_window("other", true);
    hidden_ = make_window("hidden", false);
    disabled_ = make_window("disabled", true);
    EnableWindow(disabled_, FALSE);
    foreign_.open();
    ASSERT_TRUE(make_foreground(owner_));
  }
  void TearDown() override {
    foreign_.close();
    for (HWND window : {owner_, other_, hidden_, disabled_}) DestroyWindow(window);
  }

  Text request(WPARAM answer, const char* initial, Observation* seen) {
    // The foreground window becomes the browser's owner, which the browser
    // disables itself; after a browser closes, the platform may have
    // activated any window of the process, the other thread's included.
    EXPECT_TRUE(make_foreground(owner_));
    Driver driver{answer, owner_, other_, hidden_, disabled_, foreign_.window.load(), {}};
    HANDLE thread = CreateThread(nullptr, 0, drive_browser, &driver, 0, nullptr);
    Text chosen = request_folder("Save downloaded file to:", initial);
    WaitForSingleObject(thread, 15000);
    CloseHandle(thread);
    *seen = driver.seen;
    return chosen;
  }

  void expect_windows_as_before() {
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_TRUE(IsWindowEnabled(other_));
    EXPECT_TRUE(IsWindowEnabled(hidden_));
    EXPECT_FALSE(IsWindowVisible(hidden_));
    EXPECT_FALSE(IsWindowEnabled(disabled_));
    EXPECT_TRUE(IsWindowEnabled(foreign_.window.load()));
  }

  HWND owner_ = nullptr, other_ = nullptr, hidden_ = nullptr, disabled_ = nullptr;
  ForeignWindow foreign_;
};

TEST_F(RequesterTest, ConfirmingReturnsTheInitialFolderWithItsBackslash) {
  struct Case {
    const char* initial;
    const char* expected;
  };
  for (const Case& c : {Case{"C:\\windows\\", "C:\\windows\\"}, Case{"C:\\windows", "C:\\windows\\"},
                        Case{"C:\\", "C:\\"}}) {
    SCOPED_TRACE(c.initial);
    Observation seen;
    const Text chosen = request(IDOK, c.initial, &seen);
    ASSERT_TRUE(seen.found);
    EXPECT_STRCASEEQ(chosen.c_str(), c.expected);
    // While it was open: this thread's other visible windows were disabled;
    // the hidden, the already disabled and the other thread's were not touched.
    EXPECT_FALSE(seen.other_enabled);
    EXPECT_TRUE(seen.hidden_enabled);
    EXPECT_FALSE(seen.disabled_enabled);
    EXPECT_TRUE(seen.foreign_enabled);
    expect_windows_as_before();
  }
}

TEST_F(RequesterTest, CancellingReturnsEmptyAndEnablesTheWindowsAgain) {
  Observation seen;
  const Text chosen = request(IDCANCEL, "C:\\windows\\", &seen);
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(chosen, "");
  EXPECT_FALSE(seen.other_enabled);
  EXPECT_FALSE(seen.owner_enabled);  // the browser's owner, disabled by the browser itself
  expect_windows_as_before();
}

DWORD WINAPI enable_this_threads_windows(void*) {
  disable_thread_windows(0);
  return 0;
}

TEST_F(RequesterTest, OnlyTheCallingThreadsWindowsAreDisabled) {
  disable_thread_windows(1);
  EXPECT_TRUE(IsWindowEnabled(owner_));  // the foreground window
  EXPECT_FALSE(IsWindowEnabled(other_));
  EXPECT_TRUE(IsWindowEnabled(foreign_.window.load()));
  // Another thread's enabling leaves this thread's entries alone.
  HANDLE thread = CreateThread(nullptr, 0, enable_this_threads_windows, nullptr, 0, nullptr);
  WaitForSingleObject(thread, 5000);
  CloseHandle(thread);
  EXPECT_FALSE(IsWindowEnabled(other_));
  disable_thread_windows(0);
  expect_windows_as_before();
}

TEST_F(RequesterTest, TheForegroundWindowOfThisProcessOwnsTheBrowser) {
  EXPECT_EQ(foreground_owner(), GetForegroundWindow());
  EXPECT_EQ(foreground_owner(), owner_);
}

}  // namespace
