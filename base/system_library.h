#pragma once
// Libraries loaded at run time by name come from the system folder only,
// never from the program's folder or the current one: a program started
// from its own folder has downloads land there by default, so a file of any
// name may lie there.
#include <windows.h>

// Restricts every later search by name (the program's own loads, and those
// the platform's libraries make for it) to the system folder. Called first
// thing at start-up. False where the platform lacks the call: there
// load_system_library names each library by its full path instead.
bool restrict_library_search();

// The named library from the system folder, or null.
HMODULE load_system_library(const char* name);
