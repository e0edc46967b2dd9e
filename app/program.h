#pragma once
// The program's window, its gadgets and the watcher's pace.
#include <windows.h>

#include <cstdint>

#include "base/text.h"

constexpr intptr_t WINDOW_MAIN = 0;

constexpr intptr_t GADGET_URL_LABEL = 0;
constexpr intptr_t GADGET_SAVE_LABEL = 1;
constexpr intptr_t GADGET_URL = 2;
constexpr intptr_t GADGET_SAVE_AS = 3;
constexpr intptr_t GADGET_PASTE = 4;
constexpr intptr_t GADGET_BROWSE = 5;
constexpr intptr_t GADGET_PROGRESS = 6;
constexpr intptr_t GADGET_START = 7;
constexpr intptr_t GADGET_LOG = 8;
constexpr intptr_t GADGET_ABOUT = 9;
constexpr intptr_t GADGET_EXIT = 10;

constexpr DWORD WATCH_INTERVAL = 100;  // milliseconds between two looks at the fields

// The argument the watcher thread is started with; the watcher never reads it.
constexpr intptr_t WATCHER_UNUSED_ARGUMENT = 23;

constexpr const char* MAIN_WINDOW_TITLE = "Gatherly - https://gatherly.example.org";

// The log's lines for one press of "Start Download". The end-to-end driver
// and its client read them from here too, so each is written once.
constexpr const char* LOG_STARTED = "Started download...";
constexpr const char* LOG_COMPLETE = "Download complete!";
constexpr const char* LOG_FAILED = "Download failed!";

// "Start Download" reads "Stop" while a download runs.
constexpr const char* START_TEXT = "Start Download";
constexpr const char* STOP_TEXT = "Stop";

// The bar's range while a download runs: fine enough that a large
// download moves visibly. The bar is created with the range of the layout
// and gets this one when the first download starts.
constexpr int32_t PROGRESS_STEPS = 1000;

// Everything the program keeps for its whole run; zeroed before anything else.
// The module instance, the watcher's number and the last event's window and
// type are kept as the program's state although nothing reads them again.
struct ProgramState {
  HINSTANCE module_instance;
  int32_t watcher_thread;
  int32_t last_event_code;
  intptr_t last_event_window;
  intptr_t last_event_gadget;
  int32_t last_event_type;
  Text chosen_folder;  // the folder requester's last answer; empty until then
  Text download_destination;  // "Save as:" as read for the running or last download
};

extern ProgramState program_state;

// Opens the main window and its eleven gadgets; false when the window could
// not be opened (no gadget is created then).
bool create_main_window();

void paste_action();
void browse_action();
// Starts a download, or stops the one that runs.
void start_download_action();
// A data event of the main window: the running download's progress or end.
// True when it was the end of a download.
bool take_download_event();
// Escape, the close box, "Exit" and the session's end during a download.
void stop_download();
bool download_running();
// Called by the window library when the session ends.
void end_session();

// The bar and the button while a download starts, moves and ends.
void show_download_started();
void show_download_progress();
void show_download_ended(bool complete);

// The watcher thread: keeps "Start Download" enabled only while both fields
// hold text. Never returns.
unsigned long __stdcall watch_start_button(void* argument);
