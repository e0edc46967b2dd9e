#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "base/threads.h"
#include "runtime_fixture.h"
#include "tests/time_scale.h"

namespace {

// Each test resets what it uses: the tests hold in any order.
HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
std::atomic<intptr_t> seen_argument{0};
std::atomic<DWORD> waiting_thread{0};

unsigned long __stdcall wait_for_go(void* argument) {
  seen_argument = reinterpret_cast<intptr_t>(argument);
  waiting_thread = GetCurrentThreadId();
  WaitForSingleObject(go, static_cast<DWORD>(scaled_ms(30000)));
  return 0;
}

unsigned long __stdcall finish_at_once(void*) { return 0; }

// Starts a thread that waits for go; its number, once it runs.
int32_t start_waiting_thread(intptr_t argument) {
  ResetEvent(go);
  waiting_thread = 0;
  const int32_t number = start_thread(wait_for_go, argument);
  const ULONGLONG deadline = GetTickCount64() + scaled_ms(10000);
  while (number != 0 && waiting_thread == 0 && GetTickCount64() < deadline) Sleep(1);
  return waiting_thread != 0 ? number : 0;
}

bool finishes(int32_t number) {
  const ULONGLONG deadline = GetTickCount64() + scaled_ms(10000);
  while (is_thread_running(number)) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(1);
  }
  return true;
}

// A finished thread's object lasts while a handle to it is open, and with
// it the thread's id: the registry's handle shows as an id that still opens.
bool thread_object_lasts(DWORD id) {
  HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, id);
  if (!thread) return false;
  CloseHandle(thread);
  return true;
}

TEST(Threads, NumbersCountUpAndFinishedThreadsAreSweptOnTheNextStart) {
  seen_argument = 0;
  const int32_t first = start_waiting_thread(23);
  ASSERT_GT(first, 0);
  EXPECT_EQ(seen_argument, 23);
  EXPECT_TRUE(is_thread_running(first));
  const DWORD first_id = waiting_thread;

  EXPECT_EQ(start_thread(nullptr, 0), 0);  // a start that fails uses up no number
  const int32_t second = start_thread(finish_at_once, 0);
  EXPECT_EQ(second, first + 1);
  EXPECT_FALSE(is_thread_running(0));
  EXPECT_FALSE(is_thread_running(second + 1));  // never given

  SetEvent(go);
  ASSERT_TRUE(finishes(first));
  EXPECT_TRUE(thread_object_lasts(first_id));  // finished, not yet swept

  const int32_t third = start_thread(finish_at_once, 0);
  EXPECT_EQ(third, second + 1);
  // The sweep closed the registry's handle, the last one, as the third started.
  EXPECT_FALSE(thread_object_lasts(first_id));
}

TEST(Threads, EndThreadsClosesHandlesButLeavesThreadsRunning) {
  const int32_t number = start_waiting_thread(5);
  ASSERT_GT(number, 0);
  HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, waiting_thread);
  ASSERT_NE(thread, nullptr);
  end_threads();
  EXPECT_FALSE(is_thread_running(number));
  EXPECT_EQ(WaitForSingleObject(thread, 0), static_cast<DWORD>(WAIT_TIMEOUT));  // still running
  SetEvent(go);
  EXPECT_EQ(WaitForSingleObject(thread, static_cast<DWORD>(scaled_ms(10000))), static_cast<DWORD>(WAIT_OBJECT_0));
  CloseHandle(thread);
  end_threads();  // an empty registry: nothing to do
  EXPECT_GT(start_thread(finish_at_once, 0), number);  // numbers are never reused
}

}  // namespace
