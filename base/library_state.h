#pragma once
// LibraryState: the one zero-filled block of mutable state of a library,
// allocated once from the program heap when the library starts and shared by
// all threads. Blocks go with the program heap at exit.
#include <cstddef>

using StateInitialiser = void (*)(void* block);

void* allocate_library_state(std::size_t size, StateInitialiser initialiser = nullptr);

template <class State>
State* allocate_library_state(void (*initialiser)(State*) = nullptr) {
  auto* state = static_cast<State*>(allocate_library_state(sizeof(State), nullptr));
  if (state && initialiser) initialiser(state);
  return state;
}

// The block through which a library reaches its state. Part of the state
// blocks' interface, although every library here keeps its block's address.
inline void* library_state(void* block) { return block; }
