#include <windows.h>

#include <gtest/gtest.h>

#include "base/threads.h"
#include "runtime_fixture.h"

namespace {

HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
volatile LONG seen_argument = 0;

unsigned long __stdcall wait_for_go(void* argument) {
  InterlockedExchange(&seen_argument, static_cast<LONG>(reinterpret_cast<intptr_t>(argument)));
  WaitForSingleObject(go, 30000);
  return 0;
}

unsigned long __stdcall finish_at_once(void*) { return 0; }

void wait_until_finished(HANDLE handle) { ASSERT_EQ(WaitForSingleObject(handle, 10000), WAIT_OBJECT_0); }

TEST(Threads, NumbersCountUpAndFinishedThreadsAreSweptOnTheNextStart) {
  EXPECT_EQ(is_thread_running(0), nullptr);
  ResetEvent(go);
  const int32_t first = start_thread(wait_for_go, 23);
  ASSERT_EQ(first, 1);
  HANDLE first_handle = is_thread_running(first);
  ASSERT_NE(first_handle, nullptr);
  HANDLE copy = nullptr;
  DuplicateHandle(GetCurrentProcess(), first_handle, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
  while (seen_argument == 0) Sleep(1);
  EXPECT_EQ(seen_argument, 23);

  const int32_t second = start_thread(finish_at_once, 0);
  EXPECT_EQ(second, 2);
  EXPECT_EQ(is_thread_running(99), nullptr);

  SetEvent(go);
  wait_until_finished(copy);
  CloseHandle(copy);
  EXPECT_EQ(is_thread_running(first), nullptr);  // finished, not yet swept

  const int32_t third = start_thread(finish_at_once, 0);
  EXPECT_EQ(third, 3);
  // The sweep closed the first thread's handle when the third started.
  DWORD flags = 0;
  EXPECT_FALSE(GetHandleInformation(first_handle, &flags));
}

TEST(Threads, EndThreadsClosesHandlesButLeavesThreadsRunning) {
  ResetEvent(go);
  seen_argument = 0;
  const int32_t number = start_thread(wait_for_go, 5);
  ASSERT_GT(number, 0);
  HANDLE handle = is_thread_running(number);
  ASSERT_NE(handle, nullptr);
  HANDLE copy = nullptr;
  DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
  end_threads();
  EXPECT_EQ(is_thread_running(number), nullptr);
  EXPECT_EQ(WaitForSingleObject(copy, 0), static_cast<DWORD>(WAIT_TIMEOUT));  // still running
  SetEvent(go);
  wait_until_finished(copy);
  CloseHandle(copy);
  end_threads();  // an empty registry: nothing to do
  EXPECT_GT(start_thread(finish_at_once, 0), number);  // numbers are never reused
}

}  // namespace
