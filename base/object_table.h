#pragma once
// ObjectTable: records of one fixed size addressed by number. Numbers from 0
// up index a growable slot array; ANY_NUMBER asks for a record in the side
// list, whose address then is the object's number. Slot records move when the
// array grows, so holders keep numbers, never record pointers, across any
// call that may create an object.
//
// A record is in use while its first pointer-sized word (a window or control
// handle in every table of this system) is non-zero.
#include <cstddef>
#include <cstdint>

#include "base/object_list.h"

constexpr intptr_t ANY_NUMBER = -1;

using ReuseHandler = void (*)(intptr_t number);

struct ObjectTable {
  int32_t element_size;
  int32_t growth_step;  // also the initial capacity
  int32_t capacity;
  ObjectList side_list;
  ReuseHandler on_reuse;
  int32_t walk_index;
  ListNode* walk_cursor;
  unsigned char* slots;  // capacity * element_size bytes, zero-filled
};

// Null when the program heap cannot supply the header or the first slots.
ObjectTable* create_object_table(int32_t element_size, int32_t growth_step, ReuseHandler on_reuse);

// The record for number, making room for it; for a number in use the reuse
// handler runs first and destroys the old object. Null, with the table and
// its slots unchanged and no handler called, for a negative number other than
// ANY_NUMBER, a number the table cannot grow to, or a failed allocation.
void* obtain_object(ObjectTable* table, intptr_t number);

// The record in use for number, or null. A number outside the slot range is
// taken as a side-list record only if the side list really holds it.
void* find_object(ObjectTable* table, intptr_t number);

// Makes the number free again: a slot is zeroed (the array never shrinks), a
// side-list record is removed. Unknown numbers are ignored.
void free_object(ObjectTable* table, intptr_t number);

// The walk: numbered slots in ascending order, then side-list records from
// oldest to newest. The caller may free the record just returned before it
// asks for the next one. One walk per table at a time.
void start_object_walk(ObjectTable* table);
void* next_object(ObjectTable* table, intptr_t* number);

template <class Record>
Record* find_record(ObjectTable* table, intptr_t number) {
  return static_cast<Record*>(find_object(table, number));
}
