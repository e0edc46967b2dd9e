#pragma once
// The pieces of the folder requester, for its tests.
#include <windows.h>

#include "base/text.h"

constexpr std::size_t FOLDER_BUFFER_SIZE = MAX_PATH;  // 259 characters and the terminator

// The initial folder as the browser gets it: at most 259 characters, and one
// trailing backslash removed unless the folder is a root like D:\.
void prepare_initial_folder(TextRef folder, char (&buffer)[FOLDER_BUFFER_SIZE]);
// The chosen path as the caller gets it: ending in a backslash unless empty.
Text complete_folder_path(TextRef path);

int CALLBACK browse_callback(HWND browser, UINT message, LPARAM lparam, LPARAM data);
// The foreground window if it belongs to this process, else null.
HWND foreground_owner();
// 1 disables the calling thread's other visible, enabled top-level windows;
// 0 enables again those that this thread disabled.
void disable_thread_windows(int state);
