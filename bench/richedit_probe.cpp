// What the platform's rich-edit control costs as a log, without Gatherly:
// a window with one read-only rich-edit control the size of the program's
// log, to which the three lines of a download are appended as the log
// gadget appends them (selection hidden, caret to the end, a line break,
// then the line), but drawn after each change, as a plain control is.
//
//   richedit_probe.exe DOWNLOADS...
//
// Prints "ready", then after each round (one per argument) of that many
// downloads' lines "round <k> <mean microseconds per download>", waiting
// for a line on stdin before each round, so that the caller can read the
// process's memory from outside between rounds.
#include <windows.h>
#include <richedit.h>

#include <cstdio>
#include <cstdlib>

#include "app/program.h"  // the log's lines
#include "stopwatch.h"

namespace {

void pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void append_line(HWND log, const char* line) {
  SendMessageA(log, EM_HIDESELECTION, 1, 0);
  LRESULT length = SendMessageA(log, WM_GETTEXTLENGTH, 0, 0);
  SendMessageA(log, EM_SETSEL, static_cast<WPARAM>(length), length);
  if (length) SendMessageA(log, EM_REPLACESEL, 1, reinterpret_cast<LPARAM>("\n"));
  SendMessageA(log, EM_REPLACESEL, 1, reinterpret_cast<LPARAM>(line));
  SendMessageA(log, EM_HIDESELECTION, 0, 0);
}

void wait_for_caller() {
  char line[16];
  if (!std::fgets(line, sizeof line, stdin)) std::exit(0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: richedit_probe DOWNLOADS...\n");
    return 2;
  }
  if (!LoadLibraryA("RICHED20.DLL")) return 1;
  HWND window = CreateWindowExA(0, "STATIC", "probe", WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, 100, 100, 520, 260,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  HWND log = CreateWindowExA(WS_EX_CLIENTEDGE, "RichEdit20A", "",
                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 10, 100,
                             390, 110, window, reinterpret_cast<HMENU>(8), GetModuleHandleA(nullptr), nullptr);
  if (!window || !log) return 1;
  SendMessageA(log, EM_SETLIMITTEXT, static_cast<WPARAM>(-1), 0);
  pump();
  std::printf("ready\n");
  std::fflush(stdout);
  wait_for_caller();
  for (int round = 1; round < argc; ++round) {
    const int downloads = std::atoi(argv[round]);
    if (downloads <= 0) return 2;
    double start = now_us();
    for (int i = 0; i < downloads; ++i) {
      // The summary line of the benchmark's small file, as long as the
      // program writes it.
      for (const char* line : {LOG_STARTED, "Saved 65,536 bytes in less than 0.1 s.", LOG_COMPLETE}) {
        append_line(log, line);
        pump();
      }
    }
    std::printf("round %d %.0f\n", round, (now_us() - start) / downloads);
    std::fflush(stdout);
    wait_for_caller();
  }
  DestroyWindow(window);
  return 0;
}
