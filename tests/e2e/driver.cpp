// Drives a running Gatherly from outside, the way a person does: it finds the
// window, reads and writes its controls, presses buttons, types real keys and
// answers the folder browser. One command per line on stdin, one answer per
// line on stdout: "ok", "ok <value>" or "error <reason>".
//
// Every call that the program's GUI thread must serve (reading a text while a
// download blocks that thread) runs on a helper thread, and the driver stops
// waiting for it on its own clock: the platform's own message time-out is not
// honoured towards a blocked thread of another process.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The program's own gadget numbers, title and log lines.
#include "app/program.h"
#include "tests/time_scale.h"

namespace {

// How long a call the program's window thread must serve may take; longer
// under emulation (GX_TIME_SCALE).
const DWORD CALL_TIMEOUT_MS = static_cast<DWORD>(scaled_ms(3000));

HWND main_window = nullptr;
DWORD main_thread = 0;

double now_ms() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::string escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

std::string unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      char n = text[++i];
      out += n == 'n' ? '\n' : n == 'r' ? '\r' : n;
    } else {
      out += text[i];
    }
  }
  return out;
}

void answer(const std::string& line) {
  std::string out = line + "\n";
  fwrite(out.data(), 1, out.size(), stdout);
  fflush(stdout);
}

// What a helper thread hands back. Shared by the driver and the helper and
// freed by whichever lets go last, so that a call given up on can still
// finish and write into it later without harm.
struct CallResult {
  std::function<void(CallResult&)> work;
  HANDLE finished = nullptr;
  LONG holders = 2;
  LRESULT value = 0;
  std::string text;
};

void let_go(CallResult* call) {
  if (InterlockedDecrement(&call->holders) == 0) {
    CloseHandle(call->finished);
    delete call;
  }
}

// One helper thread takes the calls in turn: the download command polls
// every millisecond, and a thread started per call would cost the program
// under test more of the machine than the calls themselves. A helper whose
// call was given up on is left to it and never used again (it waits idle
// afterwards); the next call gets a new one.
struct Helper {
  HANDLE wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  CallResult* call = nullptr;
};

DWORD WINAPI serve_calls(void* argument) {
  auto* helper = static_cast<Helper*>(argument);
  for (;;) {
    WaitForSingleObject(helper->wake, INFINITE);
    CallResult* call = helper->call;
    call->work(*call);
    SetEvent(call->finished);
    let_go(call);
  }
}

Helper* current_helper = nullptr;

Helper* ready_helper() {
  if (current_helper) return current_helper;
  auto* fresh = new Helper;
  HANDLE thread = fresh->wake ? CreateThread(nullptr, 0, serve_calls, fresh, 0, nullptr) : nullptr;
  if (!thread) {
    if (fresh->wake) CloseHandle(fresh->wake);
    delete fresh;
    return nullptr;
  }
  CloseHandle(thread);
  return current_helper = fresh;
}

// What a finished call gave back, copied out of the shared record.
struct CallOutcome {
  LRESULT value;
  std::string text;
};

// Runs work on the helper thread and waits at most timeout_ms for it.
std::optional<CallOutcome> run_timed(std::function<void(CallResult&)> work, DWORD timeout_ms) {
  Helper* helper = ready_helper();
  if (!helper) return std::nullopt;
  auto* call = new CallResult;
  call->work = std::move(work);
  call->finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  helper->call = call;
  SetEvent(helper->wake);
  std::optional<CallOutcome> outcome;
  if (WaitForSingleObject(call->finished, timeout_ms) == WAIT_OBJECT_0) outcome = CallOutcome{call->value, call->text};
  else
    current_helper = nullptr;  // left to the call it is stuck in
  let_go(call);
  return outcome;
}

std::optional<LRESULT> send_timed(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                  DWORD timeout_ms = CALL_TIMEOUT_MS) {
  auto r = run_timed([=](CallResult& out) { out.value = SendMessageA(window, message, wparam, lparam); },
                     timeout_ms);
  if (!r) return std::nullopt;
  return r->value;
}

// A window's text, read by the helper thread. With room, in one call into a
// buffer of that size (a look costs one round trip where asking for the
// length first costs two); a text that fills it is read again in full.
std::optional<std::string> text_timed(HWND window, DWORD timeout_ms = CALL_TIMEOUT_MS, size_t room = 0) {
  auto r = run_timed(
      [=](CallResult& out) {
        const size_t size = room ? room : static_cast<size_t>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0)) + 2;
        std::vector<char> buffer(size);
        LRESULT got = SendMessageA(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
        out.text.assign(buffer.data(), static_cast<size_t>(got));
      },
      timeout_ms);
  if (!r) return std::nullopt;
  if (room && r->text.size() + 1 >= room) return text_timed(window, timeout_ms);
  return r->text;
}

BOOL CALLBACK find_main(HWND window, LPARAM found) {
  char title[512];
  if (GetWindowTextA(window, title, sizeof title) > 0 && std::string_view(title) == MAIN_WINDOW_TITLE) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK list_titled_window(HWND window, LPARAM list) {
  char title[128];
  auto* seen = reinterpret_cast<std::string*>(list);
  if (GetWindowTextA(window, title, sizeof title) > 0 && seen->size() < 400)
    *seen += std::string(" \"") + escape(title) + (IsWindowVisible(window) ? "\"" : "\" (hidden)");
  return TRUE;
}

HWND control(intptr_t id) { return main_window ? GetDlgItem(main_window, static_cast<int>(id)) : nullptr; }

void send_key(WORD vk, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  if (vk == VK_LEFT || vk == VK_RIGHT || vk == VK_UP || vk == VK_DOWN || vk == VK_HOME || vk == VK_END)
    input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
  SendInput(1, &input, sizeof input);
}

void press(WORD vk, WORD modifier) {
  if (modifier) send_key(modifier, false);
  send_key(vk, false);
  send_key(vk, true);
  if (modifier) send_key(modifier, true);
}

void type_char(char c) {
  SHORT scan = VkKeyScanA(c);
  if (scan != -1) {
    press(static_cast<WORD>(LOBYTE(scan)), (HIBYTE(scan) & 1) ? VK_SHIFT : 0);
  } else {
    INPUT input[2]{};
    for (int i = 0; i < 2; ++i) {
      input[i].type = INPUT_KEYBOARD;
      input[i].ki.wScan = static_cast<unsigned char>(c);
      input[i].ki.dwFlags = KEYEVENTF_UNICODE | (i ? KEYEVENTF_KEYUP : 0);
    }
    SendInput(2, input, sizeof(INPUT));
  }
}

// Waits until the program's input queue has taken the keys sent so far.
void settle_input() {
  send_timed(main_window, WM_NULL, 0, 0);
  Sleep(20);
}

bool put_clipboard(UINT format, HANDLE data) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (OpenClipboard(nullptr)) {
      EmptyClipboard();
      bool ok = data == nullptr || SetClipboardData(format, data) != nullptr;
      CloseClipboard();
      return ok;
    }
    Sleep(20);
  }
  return false;
}

// Attached once the window exists and holds its last gadget, "Exit": the
// program creates the gadgets after the window, in the order of their numbers.
std::string cmd_attach(DWORD timeout_ms) {
  double deadline = now_ms() + timeout_ms;
  HWND found = nullptr;
  do {
    found = nullptr;
    EnumWindows(find_main, reinterpret_cast<LPARAM>(&found));
    if (found && GetDlgItem(found, static_cast<int>(GADGET_EXIT))) {
      main_window = found;
      main_thread = GetWindowThreadProcessId(found, nullptr);
      char title[512];
      GetWindowTextA(found, title, sizeof title);
      return "ok " + escape(title);
    }
    Sleep(10);
  } while (now_ms() < deadline);
  if (found) return "error no gadgets";
  // What was there instead tells a slow start from a window under another
  // title or on another desktop.
  std::string seen;
  EnumWindows(list_titled_window, reinterpret_cast<LPARAM>(&seen));
  return "error no window; titled windows seen:" + (seen.empty() ? std::string(" none") : seen);
}

std::string cmd_download(DWORD timeout_ms) {
  HWND log = control(GADGET_LOG), start = control(GADGET_START);
  if (!log || !start) return "error no such gadget";
  auto before = text_timed(log);
  if (!before) return "error timeout";
  const size_t base = before->size();
  if (!IsWindowEnabled(start)) return "error disabled";
  PostMessageA(start, BM_CLICK, 0, 0);
  double clicked = now_ms(), deadline = clicked + timeout_ms;
  size_t seen = base;
  for (;;) {
    double left = deadline - now_ms();
    if (left <= 0) return "error timeout, the log holds " + std::to_string(seen) + " bytes";
    // Room to spare beyond the length last seen: one call per look.
    auto text = text_timed(log, static_cast<DWORD>(left), seen + 4096);
    if (!text) return "error timeout, the program is busy";
    if (text->size() != seen) {
      seen = text->size();
      std::string_view added = std::string_view(*text).substr(std::min(base, text->size()));
      size_t started = added.find(LOG_STARTED);
      if (started != std::string_view::npos) {
        std::string_view rest = added.substr(started);
        const char* verdict = rest.find(LOG_COMPLETE) != std::string_view::npos ? "complete"
                              : rest.find(LOG_FAILED) != std::string_view::npos ? "failed"
                                                                                 : nullptr;
        if (verdict) {
          // Timed to the line on the screen: the log paints its new lines
          // with the program's next look at its messages.
          while (GetUpdateRect(log, nullptr, FALSE)) {
            if (now_ms() >= deadline) return "error timeout, the log's new lines are not drawn";
            Sleep(1);
          }
          return std::string("ok ") + verdict + " " + std::to_string(static_cast<long long>(now_ms() - clicked));
        }
      }
    }
    Sleep(1);
  }
}

bool press_named(std::string_view name) {
  struct Key {
    std::string_view name;
    WORD vk;
    WORD modifier;
  };
  static constexpr Key keys[] = {
      {"tab", VK_TAB, 0},        {"shift-tab", VK_TAB, VK_SHIFT}, {"enter", VK_RETURN, 0},
      {"escape", VK_ESCAPE, 0},  {"left", VK_LEFT, 0},            {"right", VK_RIGHT, 0},
      {"up", VK_UP, 0},          {"down", VK_DOWN, 0},            {"end", VK_END, 0},
      {"home", VK_HOME, 0},      {"backspace", VK_BACK, 0},       {"space", VK_SPACE, 0},
      {"alt-f4", VK_F4, VK_MENU},
  };
  for (const Key& key : keys) {
    if (key.name == name) {
      press(key.vk, key.modifier);
      return true;
    }
  }
  return false;
}

// The bar as another program reads it (a screen reader, an automation
// tool): position, range and whether it shows the marquee.
std::string cmd_progress() {
  HWND bar = control(GADGET_PROGRESS);
  if (!bar) return "error no such gadget";
  auto position = send_timed(bar, PBM_GETPOS, 0, 0);
  auto low = send_timed(bar, PBM_GETRANGE, TRUE, 0);
  auto high = send_timed(bar, PBM_GETRANGE, FALSE, 0);
  if (!position || !low || !high) return "error timeout";
  const bool marquee = (GetWindowLongPtrA(bar, GWL_STYLE) & PBS_MARQUEE) != 0;
  return "ok " + std::to_string(*position) + " " + std::to_string(*low) + " " + std::to_string(*high) + " " +
         (marquee ? "1" : "0");
}

// Sends a message from this process to the window (-1) or a gadget. A send
// that runs a modal loop in the program (a menu, a move) is not answered
// until the loop ends: after timeout_ms the answer is "pending".
std::string cmd_send(const std::string& rest) {
  long target = 0;
  unsigned long message = 0, timeout_ms = 0;
  long long wparam = 0, lparam = 0;
  if (sscanf(rest.c_str(), "%ld %lu %lli %lli %lu", &target, &message, &wparam, &lparam, &timeout_ms) != 5)
    return "error usage";
  HWND window = target == -1 ? main_window : control(target);
  if (!window) return "error no such window";
  auto result = send_timed(window, message, static_cast<WPARAM>(wparam), static_cast<LPARAM>(lparam), timeout_ms);
  return result ? "ok " + std::to_string(*result) : "ok pending";
}

// Stops a running download as a person would (or another program) and
// times it: from the press to "Download failed!" in the log.
std::string cmd_stop_by(std::string_view how, DWORD timeout_ms) {
  HWND log = control(GADGET_LOG), start = control(GADGET_START);
  if (!log || !start) return "error no such gadget";
  auto before = text_timed(log);
  if (!before) return "error timeout";
  const size_t base = before->size();
  const double pressed = now_ms(), deadline = pressed + timeout_ms;
  if (how == "click") {
    PostMessageA(start, BM_CLICK, 0, 0);
  } else if (how == "sent-click") {
    if (!send_timed(start, BM_CLICK, 0, 0)) return "error timeout, the click was not answered";
  } else if (!press_named(how)) {
    return "error unknown way";
  }
  for (;;) {
    const double left = deadline - now_ms();
    if (left <= 0) return "error timeout";
    auto text = text_timed(log, static_cast<DWORD>(left), base + 4096);
    if (!text) return "error timeout, the program is busy";
    const std::string_view added = std::string_view(*text).substr(std::min(base, text->size()));
    const char* verdict = added.find(LOG_FAILED) != std::string_view::npos     ? "failed"
                          : added.find(LOG_COMPLETE) != std::string_view::npos ? "complete"
                                                                               : nullptr;
    if (verdict) return std::string("ok ") + verdict + " " + std::to_string(static_cast<long long>(now_ms() - pressed));
    Sleep(1);
  }
}

// The session ends as Windows ends it: the query, then WM_ENDSESSION. The
// answer comes when the program's handler has returned; the caller may end
// the process at once, as the system may.
std::string cmd_end_session(DWORD timeout_ms) {
  auto query = send_timed(main_window, WM_QUERYENDSESSION, 0, 0, timeout_ms);
  if (!query) return "error timeout, the query was not answered";
  const double start = now_ms();
  if (!send_timed(main_window, WM_ENDSESSION, TRUE, 0, timeout_ms)) return "error timeout";
  return "ok " + std::to_string(static_cast<long long>(now_ms() - start));
}

std::string cmd_browse(DWORD timeout_ms, WPARAM command) {
  double deadline = now_ms() + timeout_ms;
  do {
    HWND dialog = FindWindowA("#32770", "Browse for Folder");
    if (dialog && IsWindowVisible(dialog)) {
      // A person answers once the tree shows its initial selection: the
      // dialog may still be walking the tree to it after it appears.
      HWND tree = FindWindowExA(dialog, nullptr, "SysTreeView32", nullptr);
      LRESULT shown = -1;
      double stable_since = now_ms();
      while (tree && now_ms() < deadline) {
        auto selected = send_timed(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, 1000);
        if (!selected) break;
        if (*selected != shown) {
          shown = *selected;
          stable_since = now_ms();
        } else if (shown != 0 && now_ms() - stable_since >= 300) {
          break;
        }
        Sleep(20);
      }
      PostMessageA(dialog, WM_COMMAND, command, 0);
      return "ok";
    }
    Sleep(10);
  } while (now_ms() < deadline);
  return "error no folder browser";
}

// Waits until the program has handled every message posted to its window
// thread so far, and the action each one started has ended: the program
// takes one posted message per turn of its loop and runs the action before
// the next, so a marker posted behind them is handled only after them. The
// marker is the URL field's modified flag, which nothing in the program reads.
std::string cmd_settle(DWORD timeout_ms) {
  HWND field = control(GADGET_URL);
  if (!field) return "error no such gadget";
  double deadline = now_ms() + timeout_ms;
  if (!send_timed(field, EM_SETMODIFY, FALSE, 0, timeout_ms)) return "error timeout, the program is busy";
  PostMessageA(field, EM_SETMODIFY, TRUE, 0);
  for (;;) {
    double left = deadline - now_ms();
    if (left <= 0) return "error timeout, the posted messages are still waiting";
    auto modified = send_timed(field, EM_GETMODIFY, 0, 0, static_cast<DWORD>(left));
    if (!modified) return "error timeout, the program is busy";
    if (*modified) return "ok";
    Sleep(5);
  }
}

// The client area's size, then one line per child control in creation
// order: number, class, rectangle within the client area (left top right
// bottom) and text, separated by tabs.
std::string cmd_layout() {
  RECT client;
  GetClientRect(main_window, &client);
  std::string out = "client\t" + std::to_string(client.right) + "\t" + std::to_string(client.bottom) + "\n";
  for (HWND child = GetWindow(main_window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    char kind[128] = "";
    GetClassNameA(child, kind, sizeof kind);
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, main_window, reinterpret_cast<POINT*>(&r), 2);
    auto text = text_timed(child);
    if (!text) return "error timeout";
    out += std::to_string(GetDlgCtrlID(child)) + "\t" + kind + "\t" + std::to_string(r.left) + "\t" +
           std::to_string(r.top) + "\t" + std::to_string(r.right) + "\t" + std::to_string(r.bottom) + "\t" +
           *text + "\n";
  }
  return "ok " + escape(out);
}

std::string cmd_key(std::string_view name) {
  if (!press_named(name)) return "error unknown key";
  settle_input();
  return "ok";
}

HWND focused_control() {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!main_thread || !GetGUIThreadInfo(main_thread, &info)) return nullptr;
  return info.hwndFocus;
}

std::string run(const std::string& line) {
  size_t space = line.find(' ');
  std::string name = line.substr(0, space);
  std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
  auto number = [&] { return static_cast<DWORD>(strtoul(rest.c_str(), nullptr, 10)); };
  auto id = [&] { return static_cast<int>(strtol(rest.c_str(), nullptr, 10)); };

  if (name == "attach") return cmd_attach(number());
  if (name == "sleep") {
    Sleep(number());
    return "ok";
  }
  if (name == "clipboard-text") {
    std::string text = unescape(rest);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    return put_clipboard(CF_TEXT, memory) ? "ok" : "error clipboard";
  }
  if (name == "clipboard-empty") return put_clipboard(0, nullptr) ? "ok" : "error clipboard";
  if (name == "clipboard-bitmap") {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
    ReleaseDC(nullptr, screen);
    return put_clipboard(CF_BITMAP, bitmap) ? "ok" : "error clipboard";
  }
  if (name == "browse-confirm") return cmd_browse(number(), IDOK);
  if (name == "browse-cancel") return cmd_browse(number(), IDCANCEL);

  // Everything below needs the program's window.
  if (!main_window) return "error not attached";
  if (name == "wait-gone") {
    double start = now_ms(), deadline = start + number();
    while (IsWindow(main_window)) {
      if (now_ms() >= deadline) return "error still there";
      Sleep(5);
    }
    return "ok " + std::to_string(static_cast<long long>(now_ms() - start));
  }
  if (!IsWindow(main_window)) return "error window gone";
  if (name == "set" || name == "get" || name == "click" || name == "enabled" || name == "enable") {
    size_t gap = rest.find(' ');
    HWND target = control(id());
    if (!target) return "error no such gadget";
    if (name == "get") {
      auto text = text_timed(target);
      return text ? "ok " + escape(*text) : "error timeout";
    }
    if (name == "enabled") return IsWindowEnabled(target) ? "ok 1" : "ok 0";
    if (name == "enable") {
      const BOOL state = gap != std::string::npos && rest.substr(gap + 1) == "1";
      auto r = run_timed([=](CallResult& out) { out.value = EnableWindow(target, state); }, CALL_TIMEOUT_MS);
      return r ? "ok" : "error timeout";
    }
    if (name == "click") {
      if (!IsWindowEnabled(target)) return "error disabled";
      PostMessageA(target, BM_CLICK, 0, 0);
      return "ok";
    }
    std::string text = gap == std::string::npos ? std::string() : unescape(rest.substr(gap + 1));
    auto r = run_timed([=](CallResult& out) { out.value = SendMessageA(target, WM_SETTEXT, 0, (LPARAM)text.c_str()); },
                       CALL_TIMEOUT_MS);
    return r ? "ok" : "error timeout";
  }
  if (name == "log") {
    HWND log = control(GADGET_LOG);
    if (!log) return "error no such gadget";
    auto text = text_timed(log);
    return text ? "ok " + escape(*text) : "error timeout";
  }
  if (name == "download") return cmd_download(number());
  if (name == "focus") {
    HWND focus = focused_control();
    if (!focus || !IsChild(main_window, focus)) return "ok -";
    return "ok " + std::to_string(GetDlgCtrlID(focus));
  }
  if (name == "caret") {
    HWND focus = focused_control();
    if (!focus) return "error no focus";
    auto selection = send_timed(focus, EM_GETSEL, 0, 0);
    if (!selection) return "error timeout";
    return "ok " + std::to_string(LOWORD(*selection)) + " " + std::to_string(HIWORD(*selection));
  }
  if (name == "activate") {
    double deadline = now_ms() + static_cast<double>(scaled_ms(3000));
    while (GetForegroundWindow() != main_window) {
      if (now_ms() >= deadline) return "error not foreground";
      SetForegroundWindow(main_window);
      Sleep(20);
    }
    return "ok";
  }
  if (name == "type") {
    for (char c : unescape(rest)) type_char(c);
    settle_input();
    return "ok";
  }
  if (name == "key") return cmd_key(rest);
  if (name == "progress") return cmd_progress();
  if (name == "send") return cmd_send(rest);
  if (name == "end-session") return cmd_end_session(number());
  if (name == "stop-by") {
    const size_t gap = rest.find(' ');
    if (gap == std::string::npos) return "error usage";
    return cmd_stop_by(std::string_view(rest).substr(0, gap),
                       static_cast<DWORD>(strtoul(rest.c_str() + gap + 1, nullptr, 10)));
  }
  if (name == "layout") return cmd_layout();
  if (name == "settle") return cmd_settle(number());
  if (name == "rect") {
    RECT r;
    GetWindowRect(main_window, &r);
    return "ok " + std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) + " " +
           std::to_string(r.bottom);
  }
  if (name == "close-box") {
    PostMessageA(main_window, WM_SYSCOMMAND, SC_CLOSE, 0);
    return "ok";
  }
  if (name == "post") {
    unsigned long message = 0;
    long long wparam = 0, lparam = 0;
    if (sscanf(rest.c_str(), "%lu %lli %lli", &message, &wparam, &lparam) != 3) return "error usage";
    return PostMessageA(main_window, message, static_cast<WPARAM>(wparam), static_cast<LPARAM>(lparam))
               ? "ok"
               : "error post";
  }
  return "error unknown command";
}

}  // namespace

int main() {
  char buffer[65536];
  while (fgets(buffer, sizeof buffer, stdin)) {
    std::string line(buffer);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.empty()) continue;
    if (line == "quit") {
      answer("ok");
      break;
    }
    answer(run(line));
  }
  fflush(stdout);
  // Helper threads given up on may still be waiting on a busy program.
  ExitProcess(0);
}
