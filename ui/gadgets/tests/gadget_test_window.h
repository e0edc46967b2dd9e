#pragma once
// A plain top-level window of the test's own class, made the gadgets' parent,
// and the helpers the gadget tests share. The runtime's heaps and the gadget
// library are started once per test program.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ui/gadgets/gadget_registry.h"
#include "ui/gadgets/gadgets.h"

// Dispatches this thread's messages for about the given time (0: only what
// is waiting now).
void pump_messages(DWORD milliseconds = 0);

// A visible window carrying "GX_WindowID", as the toolkit's windows do.
HWND open_test_window(const char* title = "Gadget test");

// Runs a function on a new thread while this thread keeps handling its
// messages (the function may call into the GUI thread), and waits for it.
void run_on_other_thread(void (*function)(void*), void* context, DWORD limit_milliseconds = 20000);

template <class Function>
void run_on_other_thread(Function&& function, DWORD limit_milliseconds = 20000) {
  run_on_other_thread([](void* context) { (*static_cast<Function*>(context))(); }, &function,
                      limit_milliseconds);
}

inline HWND as_window(intptr_t created) { return reinterpret_cast<HWND>(created); }

std::string class_of(HWND window);
int child_count(HWND window);

class GadgetTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  HWND window_ = nullptr;
};
