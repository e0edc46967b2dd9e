// A second program on Gatherly's desktop, for the end-to-end tests.
//
//   neighbour [--class NAME] [--skip NAME]... [--send-limit SECONDS]
//
// treats Gatherly as a stranger would: it finds every window of Gatherly's
// process, the message-only ones included, and posts and sends each of them
// the toolkit's own messages and the ranges where programs keep theirs,
// with wild parameters (values that are no pointer of Gatherly's, and the
// window's own handle). --class keeps only windows of one class, --skip
// leaves a class out. Prints every window and what it sent. Exit codes: 0
// every send came back; 2 no Gatherly window appeared; 3 a send did not come
// back within the limit, or Gatherly's window went away meanwhile.
//
//   neighbour --probe COUNT [--gap SECONDS] [--answer-limit SECONDS]
//
// sends Gatherly's window a message COUNT times, GAP seconds apart, and
// prints how long each took to come back. Exit code 0 when every one came
// back within the limit, 4 otherwise.
//
// Wine does not keep SendMessageTimeout's limit towards another process
// whose thread is blocked, so the sends run on a thread of their own and
// this one watches the clock.
#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr char TITLE_PREFIX[] = "Gatherly - ";

struct Found {
  HWND main = nullptr;
  DWORD process = 0;
};

BOOL CALLBACK look_for_main(HWND window, LPARAM argument) {
  char title[64] = "";
  GetWindowTextA(window, title, sizeof title);
  if (std::strncmp(title, TITLE_PREFIX, sizeof TITLE_PREFIX - 1) != 0) return TRUE;
  char class_name[64] = "";
  GetClassNameA(window, class_name, sizeof class_name);
  if (std::strcmp(class_name, "WindowClass_0") != 0) return TRUE;
  auto* found = reinterpret_cast<Found*>(argument);
  found->main = window;
  GetWindowThreadProcessId(window, &found->process);
  return FALSE;
}

struct Collection {
  DWORD process;
  std::set<HWND>* windows;
};

BOOL CALLBACK collect_child(HWND window, LPARAM argument) {
  reinterpret_cast<Collection*>(argument)->windows->insert(window);
  return TRUE;
}

void add_with_descendants(HWND window, Collection& collection) {
  collection.windows->insert(window);
  EnumChildWindows(window, collect_child, reinterpret_cast<LPARAM>(&collection));
}

BOOL CALLBACK collect_if_ours(HWND window, LPARAM argument) {
  auto& collection = *reinterpret_cast<Collection*>(argument);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == collection.process) add_with_descendants(window, collection);
  return TRUE;
}

// Three ways, since none of them alone is promised to see every window:
// the top-level windows, the message-only ones, and each thread's own.
std::set<HWND> windows_of(DWORD process) {
  std::set<HWND> windows;
  Collection collection{process, &windows};
  EnumWindows(collect_if_ours, reinterpret_cast<LPARAM>(&collection));
  for (HWND after = nullptr; (after = FindWindowExA(HWND_MESSAGE, after, nullptr, nullptr));)
    collect_if_ours(after, reinterpret_cast<LPARAM>(&collection));
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot != INVALID_HANDLE_VALUE) {
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
      if (entry.th32OwnerProcessID == process)
        EnumThreadWindows(entry.th32ThreadID, collect_if_ours, reinterpret_cast<LPARAM>(&collection));
    CloseHandle(snapshot);
  }
  return windows;
}

std::string describe(HWND window) {
  char class_name[64] = "", title[64] = "";
  GetClassNameA(window, class_name, sizeof class_name);
  GetWindowTextA(window, title, sizeof title);
  char line[200];
  std::snprintf(line, sizeof line, "%p %s \"%s\"", static_cast<void*>(window), class_name, title);
  return line;
}

// The messages, each with the parameter pairs it gets.
struct Shot {
  UINT message;
  bool many_pairs;  // several pairs, else one (for the wide WM_APP range)
};

std::vector<Shot> messages() {
  std::vector<Shot> shots;
  for (UINT m = WM_USER; m <= WM_USER + 0x3F; ++m) shots.push_back({m, true});
  // The toolkit's own: mouse notify and event, the event codes (13100 to
  // 13109, some of which are messages of its own), gadget notify.
  for (UINT m : {12501u, 12502u, 13120u}) shots.push_back({m, true});
  for (UINT m = 13100; m <= 13109; ++m) shots.push_back({m, true});
  for (UINT m = WM_APP; m <= WM_APP + 0x3FF; ++m) shots.push_back({m, false});
  shots.push_back({WM_NOTIFY, true});
  shots.push_back({WM_COMMAND, true});
  for (UINT m = WM_CTLCOLORMSGBOX; m <= WM_CTLCOLORSTATIC; ++m) shots.push_back({m, true});
  return shots;
}

struct Pair {
  WPARAM wparam;
  LPARAM lparam;
};

// Values that are no pointer of Gatherly's, and the window's own handle.
// Every value goes into each parameter, beside itself and beside the next
// one; a message of the WM_APP range gets one pair, a different one from
// its neighbours'.
std::vector<Pair> pairs_for(HWND window, const Shot& shot) {
  const LPARAM wild[] = {0x100, -1, 0x7FFF0000, reinterpret_cast<LPARAM>(window)};
  constexpr std::size_t count = sizeof wild / sizeof wild[0];
  if (!shot.many_pairs) {
    const std::size_t i = shot.message % count;
    return {{static_cast<WPARAM>(wild[i]), wild[(i + 1) % count]}};
  }
  std::vector<Pair> pairs{{0, 0x100}};
  for (std::size_t i = 0; i < count; ++i) {
    pairs.push_back({static_cast<WPARAM>(wild[i]), wild[i]});
    pairs.push_back({static_cast<WPARAM>(wild[i]), wild[(i + 1) % count]});
  }
  return pairs;
}

struct Progress {
  HWND main;
  std::vector<HWND> windows;
  bool post = true, send = true, verbose = false;
  std::atomic<long> sends{0};
  std::atomic<long> posts{0};
  std::atomic<long> refused_posts{0};
  std::atomic<long> failed_sends{0};
  std::atomic<bool> finished{false};
  std::atomic<bool> main_gone{false};
  // What is being sent now, for the report when it does not come back.
  std::atomic<HWND> window{nullptr};
  std::atomic<UINT> message{0};
};

DWORD WINAPI shoot(void* argument) {
  auto& progress = *static_cast<Progress*>(argument);
  const std::vector<Shot> shots = messages();
  for (HWND window : progress.windows) {
    for (const Shot& shot : shots) {
      for (const Pair& pair : pairs_for(window, shot)) {
        progress.window = window;
        progress.message = shot.message;
        if (progress.post) {
          if (PostMessageA(window, shot.message, pair.wparam, pair.lparam))
            ++progress.posts;
          else
            ++progress.refused_posts;
        }
        if (progress.send) {
          DWORD_PTR answer = 0;
          const DWORD sent_at = GetTickCount();
          if (!SendMessageTimeoutA(window, shot.message, pair.wparam, pair.lparam, SMTO_BLOCK, 5000, &answer)) {
            ++progress.failed_sends;
            if (progress.verbose)
              std::printf("failed: 0x%X %p %p error %lu\n", shot.message, (void*)pair.wparam, (void*)pair.lparam,
                          GetLastError());
          }
          if (progress.verbose && GetTickCount() - sent_at > 300)
            std::printf("slow: 0x%X %p %p took %lu ms\n", shot.message, (void*)pair.wparam, (void*)pair.lparam,
                        GetTickCount() - sent_at);
        }
        ++progress.sends;
        // A program that died (or closed its window) ends the test here,
        // naming the last message it was given.
        if (!IsWindow(progress.main)) {
          progress.main_gone = true;
          return 0;
        }
      }
    }
  }
  progress.finished = true;
  return 0;
}

struct Options {
  DWORD send_limit_ms = 10000;
  const char* only_class = nullptr;
  std::vector<std::string> skipped_classes;
  bool post = true, send = true, verbose = false;
  int probes = 0;
  DWORD gap_ms = 500;
  DWORD answer_limit_ms = 1000;
};

Options read_options(int argc, char** argv) {
  Options options;
  const auto milliseconds = [](const char* seconds) { return static_cast<DWORD>(std::atof(seconds) * 1000); };
  for (int i = 1; i < argc; ++i) {
    const bool has_value = i + 1 < argc;
    if (std::strcmp(argv[i], "--send-limit") == 0 && has_value)
      options.send_limit_ms = milliseconds(argv[++i]);
    else if (std::strcmp(argv[i], "--class") == 0 && has_value)
      options.only_class = argv[++i];
    else if (std::strcmp(argv[i], "--skip") == 0 && has_value)
      options.skipped_classes.push_back(argv[++i]);
    else if (std::strcmp(argv[i], "--posts-only") == 0)
      options.send = false;
    else if (std::strcmp(argv[i], "--sends-only") == 0)
      options.post = false;
    else if (std::strcmp(argv[i], "--verbose") == 0)
      options.verbose = true;
    else if (std::strcmp(argv[i], "--probe") == 0 && has_value)
      options.probes = std::atoi(argv[++i]);
    else if (std::strcmp(argv[i], "--gap") == 0 && has_value)
      options.gap_ms = milliseconds(argv[++i]);
    else if (std::strcmp(argv[i], "--answer-limit") == 0 && has_value)
      options.answer_limit_ms = milliseconds(argv[++i]);
  }
  return options;
}

// The window shows before its controls exist: waits for the last of them.
bool find_gatherly(Found& found) {
  const DWORD looking_since = GetTickCount();
  for (;;) {
    found = Found{};
    EnumWindows(look_for_main, reinterpret_cast<LPARAM>(&found));
    if (found.main && FindWindowExA(found.main, nullptr, "Button", "Exit")) return true;
    if (GetTickCount() - looking_since > 20000) return false;
    Sleep(50);
  }
}

int send_wild_messages(const Found& found, const Options& options) {
  Progress progress;
  progress.main = found.main;
  progress.post = options.post;
  progress.send = options.send;
  progress.verbose = options.verbose;
  for (HWND window : windows_of(found.process)) {
    char class_name[64] = "";
    GetClassNameA(window, class_name, sizeof class_name);
    bool skipped = options.only_class && std::strcmp(class_name, options.only_class) != 0;
    for (const std::string& skip : options.skipped_classes) skipped |= skip == class_name;
    if (skipped)
      std::printf("  skipped: %s\n", describe(window).c_str());
    else
      progress.windows.push_back(window);
  }
  std::printf("neighbour: %zu windows of process %lu\n", progress.windows.size(), found.process);
  for (HWND window : progress.windows) std::printf("  %s\n", describe(window).c_str());
  std::fflush(stdout);

  HANDLE thread = CreateThread(nullptr, 0, shoot, &progress, 0, nullptr);
  if (!thread) return 1;
  long last_sends = -1;
  DWORD last_move = GetTickCount();
  while (WaitForSingleObject(thread, 100) == WAIT_TIMEOUT) {
    const long sends = progress.sends.load();
    if (sends != last_sends) {
      last_sends = sends;
      last_move = GetTickCount();
    } else if (GetTickCount() - last_move > options.send_limit_ms) {
      char class_name[64] = "";
      GetClassNameA(progress.window.load(), class_name, sizeof class_name);
      std::printf("neighbour: a send of message 0x%X to %s did not come back in %lu ms\n", progress.message.load(),
                  class_name, options.send_limit_ms);
      std::fflush(stdout);
      ExitProcess(3);
    }
  }
  CloseHandle(thread);
  if (progress.main_gone) {
    char class_name[64] = "";
    GetClassNameA(progress.window.load(), class_name, sizeof class_name);
    std::printf("neighbour: Gatherly's window went away after message 0x%X to %s\n", progress.message.load(),
                class_name);
    return 3;
  }
  std::printf("neighbour: %ld posted (%ld refused), %ld sent (%ld failed)\n", progress.posts.load(),
              progress.refused_posts.load(), progress.sends.load(), progress.failed_sends.load());
  return 0;
}

DWORD WINAPI send_null(void* window) {
  SendMessageA(static_cast<HWND>(window), WM_NULL, 0, 0);
  return 0;
}

int probe(const Found& found, const Options& options) {
  int late = 0;
  for (int i = 1; i <= options.probes; ++i) {
    const DWORD start = GetTickCount();
    HANDLE thread = CreateThread(nullptr, 0, send_null, found.main, 0, nullptr);
    if (!thread) return 1;
    // Waited for well past the limit, to say how late a late answer was.
    const DWORD outcome = WaitForSingleObject(thread, options.answer_limit_ms * 10);
    const DWORD took = GetTickCount() - start;
    if (outcome == WAIT_TIMEOUT) {
      std::printf("probe %d: no answer within %lu ms\n", i, took);
      std::fflush(stdout);
      ExitProcess(4);  // the thread is still stuck in its send
    }
    CloseHandle(thread);
    std::printf("probe %d: %lu ms\n", i, took);
    std::fflush(stdout);
    if (took > options.answer_limit_ms) ++late;
    if (i < options.probes) Sleep(options.gap_ms);
  }
  return late ? 4 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = read_options(argc, argv);
  Found found;
  if (!find_gatherly(found)) {
    std::printf("neighbour: no Gatherly window\n");
    return 2;
  }
  return options.probes > 0 ? probe(found, options) : send_wild_messages(found, options);
}
