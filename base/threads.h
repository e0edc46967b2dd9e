#pragma once
// Threads started by the program, numbered 1, 2, ... in the order the platform
// created them, kept in a registry under one lock until they have finished or
// the program ends. Closing a handle does not end its thread.
#include <cstdint>

// The platform's thread procedure shape; the argument is the integer given to
// start_thread.
using ThreadProcedure = unsigned long(__stdcall*)(void* argument);

void init_threads();
// The new thread's number, or 0 when the platform did not create the thread.
int32_t start_thread(ThreadProcedure procedure, intptr_t argument);
// True while the thread is registered and has not finished. The program
// itself never asks; any caller may. (The handle stays the registry's: a
// later start or the end may close it at any moment.)
bool is_thread_running(int32_t number);
// Closes every registered handle and empties the registry.
void end_threads();
