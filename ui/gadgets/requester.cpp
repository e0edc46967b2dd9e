// The modal folder requester over the platform's folder browser. SHELL32 is
// loaded by name around each call, so the product never imports it.
#include "ui/gadgets/requester.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <atomic>
#include <cstdint>
#include <cstring>

#include "base/object_list.h"
#include "base/system_library.h"
#include "ui/gadgets/requester_parts.h"

namespace {

struct DisabledWindowEntry {
  DWORD thread_id;
  HWND window;
};

// Entries carry their thread so that two threads with requesters open each
// enable only their own windows again; the lock keeps the list whole then.
ObjectList disabled_windows = nullptr;
SRWLOCK disabled_windows_lock = SRWLOCK_INIT;
std::atomic<bool> com_started_by_request{false};

using BrowseForFolder = LPITEMIDLIST(WINAPI*)(LPBROWSEINFOA);
using PathFromItemList = BOOL(WINAPI*)(LPCITEMIDLIST, LPSTR);

class Shell32 {
 public:
  Shell32() : module_(load_system_library("SHELL32.DLL")) {}
  ~Shell32() {
    if (module_) FreeLibrary(module_);
  }
  Shell32(const Shell32&) = delete;
  Shell32& operator=(const Shell32&) = delete;
  explicit operator bool() const { return module_ != nullptr; }
  template <class Entry>
  Entry entry(const char* name) const {
    return reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

 private:
  HMODULE module_;
};

BOOL CALLBACK disable_if_ours(HWND window, LPARAM) {
  if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) return TRUE;
  if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
  // The foreground window owns the browser, which disables it itself.
  if (window == GetForegroundWindow()) return TRUE;
  AcquireSRWLockExclusive(&disabled_windows_lock);
  auto* entry = add_list_record<DisabledWindowEntry>(disabled_windows);
  if (entry) {
    entry->thread_id = GetCurrentThreadId();
    entry->window = window;
  }
  ReleaseSRWLockExclusive(&disabled_windows_lock);
  // A window we could not remember would stay disabled for good.
  if (entry) EnableWindow(window, FALSE);
  return TRUE;
}

void enable_own_windows() {
  const DWORD thread = GetCurrentThreadId();
  AcquireSRWLockExclusive(&disabled_windows_lock);
  for_each_list_record<DisabledWindowEntry>(disabled_windows, [&](DisabledWindowEntry* entry) {
    if (entry->thread_id == thread) {
      EnableWindow(entry->window, TRUE);
      remove_list_record(disabled_windows, entry);
    }
    return true;
  });
  ReleaseSRWLockExclusive(&disabled_windows_lock);
}

}  // namespace

void init_requesters() {
  InitCommonControls();
  CoInitialize(nullptr);
}

void prepare_initial_folder(TextRef folder, char (&buffer)[FOLDER_BUFFER_SIZE]) {
  const std::size_t length = folder.view.size() < FOLDER_BUFFER_SIZE - 1 ? folder.view.size() : FOLDER_BUFFER_SIZE - 1;
  std::memcpy(buffer, folder.view.data(), length);
  buffer[length] = '\0';
  buffer[FOLDER_BUFFER_SIZE - 1] = '\0';
  if (length > 3 && buffer[length - 1] == '\\') buffer[length - 1] = '\0';
}

Text complete_folder_path(TextRef path) {
  // Built as a text: a 259-character folder with its backslash no longer
  // fits the platform's 260-byte path buffer.
  if (path.view.empty() || path.view.back() == '\\') return make_text(path);
  return join_text(path, "\\");
}

int CALLBACK browse_callback(HWND browser, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED && data) SendMessageA(browser, BFFM_SETSELECTIONA, 1, data);
  return 0;
}

HWND foreground_owner() {
  HWND window = GetForegroundWindow();
  if (!window) return nullptr;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process == GetCurrentProcessId() ? window : nullptr;
}

void disable_thread_windows(int state) {
  if (state)
    EnumWindows(disable_if_ours, 0);
  else
    enable_own_windows();
}

Text request_folder(TextRef title, TextRef initial_folder) {
  if (!com_started_by_request.exchange(true)) CoInitialize(nullptr);
  BROWSEINFOA browse{};
  Shell32 shell;
  if (!shell) return Text();
  char folder[FOLDER_BUFFER_SIZE];
  prepare_initial_folder(initial_folder, folder);
  auto browse_for_folder = shell.entry<BrowseForFolder>("SHBrowseForFolderA");
  auto path_from_item_list = shell.entry<PathFromItemList>("SHGetPathFromIDListA");
  if (!browse_for_folder || !path_from_item_list) return Text();
  const Text caption = make_text(title);
  browse.hwndOwner = foreground_owner();
  browse.lpszTitle = caption.c_str();
  browse.ulFlags = BIF_NEWDIALOGSTYLE;
  browse.lpfn = browse_callback;
  browse.lParam = reinterpret_cast<LPARAM>(folder);
  disable_thread_windows(1);
  LPITEMIDLIST items = browse_for_folder(&browse);
  disable_thread_windows(0);
  if (!items) return Text();
  char path[FOLDER_BUFFER_SIZE];
  path[0] = '\0';
  if (!path_from_item_list(items, path)) path[0] = '\0';
  CoTaskMemFree(items);
  path[FOLDER_BUFFER_SIZE - 1] = '\0';
  return complete_folder_path(path);
}
