#pragma once
// The runtime's three private heaps. Every record of the runtime comes from
// one of them: the program heap (tables, library state, queued events,
// download buffers, connection records), the list heap (list nodes) and the
// text heap (text values). All three are serialised by the platform, so any
// thread may allocate and free in them.
#include <cstddef>

// The program heap: created first at start-up, destroyed as a whole at exit.
bool create_program_heap();
void destroy_program_heap();

// Allocation from the program heap; null when it cannot supply the block.
void* allocate_memory(std::size_t size, bool zero_fill = true);
// Grows or shrinks a block, zero-filling any added bytes; null on failure,
// and the old block then stays valid and unchanged.
void* reallocate_memory(void* block, std::size_t size);
void free_memory(void* block);

// The list heap, started by init_lists; never destroyed before exit.
bool init_lists();
void end_lists();
void* allocate_list_memory(std::size_t size);
void free_list_memory(void* block);

// The text heap, created by init_text (text.h); never destroyed before exit.
bool create_text_heap();
void* allocate_text_memory(std::size_t size);
void free_text_memory(void* block);
