#pragma once
// The copy of the program whose message hook the platform refuses, and how
// its test tells a start that failed from one that went on.

// The copy's file name, beside the test program.
constexpr char HOOK_REFUSED_PROGRAM[] = "gatherly_hook_refused.exe";

// The copy's exit code when it was about to open a window.
constexpr unsigned WINDOW_OPENED_EXIT_CODE = 86;
