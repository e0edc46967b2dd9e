#include "base/object_table.h"

#include <cstdint>
#include <cstring>
#include <limits>

#include "base/heap.h"

namespace {

unsigned char* slot_address(ObjectTable* table, intptr_t number) {
  return table->slots + static_cast<std::size_t>(number) * static_cast<std::size_t>(table->element_size);
}

bool record_in_use(const void* record) {
  uintptr_t first_word;
  std::memcpy(&first_word, record, sizeof first_word);
  return first_word != 0;
}

bool in_slot_range(const ObjectTable* table, intptr_t number) {
  return number >= 0 && number < table->capacity;
}

// Grows the slot array so that number fits; false (table unchanged) when the
// new capacity or its byte size would not fit, or the heap says no.
bool grow_slots(ObjectTable* table, intptr_t number) {
  constexpr intptr_t max_capacity = std::numeric_limits<int32_t>::max();
  if (number > max_capacity - table->growth_step) return false;
  const intptr_t capacity = number + table->growth_step;
  const uint64_t bytes = static_cast<uint64_t>(capacity) * static_cast<uint64_t>(table->element_size);
  if (bytes > static_cast<uint64_t>(std::numeric_limits<intptr_t>::max())) return false;
  void* grown = reallocate_memory(table->slots, static_cast<std::size_t>(bytes));
  if (!grown) return false;
  table->slots = static_cast<unsigned char*>(grown);
  table->capacity = static_cast<int32_t>(capacity);
  return true;
}

}  // namespace

ObjectTable* create_object_table(int32_t element_size, int32_t growth_step, ReuseHandler on_reuse) {
  if (element_size < static_cast<int32_t>(sizeof(uintptr_t)) || growth_step < 1) return nullptr;
  auto* table = static_cast<ObjectTable*>(allocate_memory(sizeof(ObjectTable)));
  if (!table) return nullptr;
  table->element_size = element_size;
  table->growth_step = growth_step;
  table->on_reuse = on_reuse;
  table->slots = static_cast<unsigned char*>(
      allocate_memory(static_cast<std::size_t>(element_size) * static_cast<std::size_t>(growth_step)));
  if (!table->slots) {
    free_memory(table);
    return nullptr;
  }
  table->capacity = growth_step;
  return table;
}

void* obtain_object(ObjectTable* table, intptr_t number) {
  if (!table) return nullptr;
  if (number == ANY_NUMBER)
    return add_list_record(table->side_list, static_cast<std::size_t>(table->element_size) + LIST_LINKS_SIZE);
  if (number < 0) return nullptr;
  if (number >= table->capacity && !grow_slots(table, number)) return nullptr;
  if (table->on_reuse) table->on_reuse(number);
  return slot_address(table, number);
}

void* find_object(ObjectTable* table, intptr_t number) {
  if (!table) return nullptr;
  void* candidate = nullptr;
  if (in_slot_range(table, number))
    candidate = slot_address(table, number);
  else if (list_holds_record(table->side_list, reinterpret_cast<void*>(number)))
    candidate = reinterpret_cast<void*>(number);
  return candidate && record_in_use(candidate) ? candidate : nullptr;
}

void free_object(ObjectTable* table, intptr_t number) {
  if (!table) return;
  if (in_slot_range(table, number)) {
    std::memset(slot_address(table, number), 0, static_cast<std::size_t>(table->element_size));
    return;
  }
  auto* record = reinterpret_cast<void*>(number);
  if (!list_holds_record(table->side_list, record)) return;
  // A walk in progress must not be left pointing at a freed node.
  if (table->walk_cursor && list_record(table->walk_cursor) == record)
    table->walk_cursor = table->walk_cursor->previous;
  remove_list_record(table->side_list, record);
}

void start_object_walk(ObjectTable* table) {
  if (!table) return;
  table->walk_index = 0;
  ListNode* oldest = table->side_list;
  while (oldest && oldest->next) oldest = oldest->next;
  table->walk_cursor = oldest;
}

void* next_object(ObjectTable* table, intptr_t* number) {
  if (!table) return nullptr;
  while (table->walk_index < table->capacity) {
    const intptr_t index = table->walk_index++;
    void* slot = slot_address(table, index);
    if (record_in_use(slot)) {
      if (number) *number = index;
      return slot;
    }
  }
  if (ListNode* node = table->walk_cursor) {
    table->walk_cursor = node->previous;
    void* record = list_record(node);
    if (number) *number = reinterpret_cast<intptr_t>(record);
    return record;
  }
  return nullptr;
}
