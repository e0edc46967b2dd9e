#pragma once
// Holds a critical section for the lifetime of a scope.
#include <windows.h>

class CriticalSectionLock {
 public:
  explicit CriticalSectionLock(CRITICAL_SECTION& section) : section_(section) { EnterCriticalSection(&section_); }
  ~CriticalSectionLock() { LeaveCriticalSection(&section_); }
  CriticalSectionLock(const CriticalSectionLock&) = delete;
  CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

 private:
  CRITICAL_SECTION& section_;
};
