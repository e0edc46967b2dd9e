#include "base/heap.h"

#include <windows.h>

namespace {
HANDLE program_heap_handle = nullptr;
HANDLE list_heap_handle = nullptr;
HANDLE text_heap_handle = nullptr;
}  // namespace

bool create_program_heap() {
  if (!program_heap_handle) program_heap_handle = HeapCreate(0, 4096, 0);
  return program_heap_handle != nullptr;
}

void destroy_program_heap() {
  if (program_heap_handle) HeapDestroy(program_heap_handle);
  program_heap_handle = nullptr;
}


void* allocate_memory(std::size_t size, bool zero_fill) {
  if (!program_heap_handle) return nullptr;
  return HeapAlloc(program_heap_handle, zero_fill ? HEAP_ZERO_MEMORY : 0, size ? size : 1);
}

void* reallocate_memory(void* block, std::size_t size) {
  if (!program_heap_handle) return nullptr;
  if (!block) return allocate_memory(size);
  return HeapReAlloc(program_heap_handle, HEAP_ZERO_MEMORY, block, size ? size : 1);
}

void free_memory(void* block) {
  if (block && program_heap_handle) HeapFree(program_heap_handle, 0, block);
}

bool init_lists() {
  if (!list_heap_handle) list_heap_handle = HeapCreate(0, 1024, 0);
  return list_heap_handle != nullptr;
}

void end_lists() {}

void* allocate_list_memory(std::size_t size) {
  if (!list_heap_handle) return nullptr;
  return HeapAlloc(list_heap_handle, HEAP_ZERO_MEMORY, size);
}

void free_list_memory(void* block) {
  if (block && list_heap_handle) HeapFree(list_heap_handle, 0, block);
}

bool create_text_heap() {
  if (!text_heap_handle) text_heap_handle = HeapCreate(0, 4096, 0);
  return text_heap_handle != nullptr;
}

void* allocate_text_memory(std::size_t size) {
  if (!text_heap_handle) return nullptr;
  return HeapAlloc(text_heap_handle, 0, size ? size : 1);
}

void free_text_memory(void* block) {
  if (block && text_heap_handle) HeapFree(text_heap_handle, 0, block);
}
