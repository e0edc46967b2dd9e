#include "base/library_state.h"

#include "base/heap.h"

void* allocate_library_state(std::size_t size, StateInitialiser initialiser) {
  void* block = allocate_memory(size);
  if (block && initialiser) initialiser(block);
  return block;
}
