#include "base/threads.h"

#include <windows.h>

#include "base/lock.h"
#include "base/object_list.h"

namespace {

struct ThreadRecord {
  HANDLE handle;
  int32_t number;
};

CRITICAL_SECTION threads_lock;
bool lock_ready = false;
ObjectList thread_registry = nullptr;
int32_t next_thread_number = 1;

bool has_finished(HANDLE handle) { return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0; }

void sweep_finished_threads() {
  for_each_list_record<ThreadRecord>(thread_registry, [](ThreadRecord* record) {
    if (has_finished(record->handle)) {
      CloseHandle(record->handle);
      remove_list_record(thread_registry, record);
    }
    return true;
  });
}

}  // namespace

void init_threads() {
  if (lock_ready) return;
  InitializeCriticalSection(&threads_lock);
  lock_ready = true;
}

int32_t start_thread(ThreadProcedure procedure, intptr_t argument) {
  if (!lock_ready || !procedure) return 0;
  DWORD identifier = 0;
  // 4 KiB committed at first; the reserve stays the program's default (1 MiB).
  HANDLE handle = CreateThread(nullptr, 4096, procedure, reinterpret_cast<void*>(argument), 0, &identifier);
  if (!handle) return 0;
  CriticalSectionLock lock(threads_lock);
  sweep_finished_threads();
  auto* record = add_list_record<ThreadRecord>(thread_registry);
  if (!record) {
    // The thread runs on without a record; its number is still its own, and
    // its handle is closed now since nothing could close it later.
    CloseHandle(handle);
    return next_thread_number++;
  }
  record->handle = handle;
  record->number = next_thread_number++;
  return record->number;
}

bool is_thread_running(int32_t number) {
  if (!lock_ready) return false;
  CriticalSectionLock lock(threads_lock);
  bool running = false;
  for_each_list_record<ThreadRecord>(thread_registry, [&](ThreadRecord* record) {
    if (record->number != number) return true;
    running = !has_finished(record->handle);
    return false;
  });
  return running;
}

void end_threads() {
  if (!lock_ready) return;
  CriticalSectionLock lock(threads_lock);
  while (thread_registry) {
    auto* record = static_cast<ThreadRecord*>(list_record(thread_registry));
    CloseHandle(record->handle);
    remove_list_record(thread_registry, record);
  }
}
