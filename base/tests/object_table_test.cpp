#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "base/object_table.h"
#include "runtime_fixture.h"

namespace {

struct Record {
  uintptr_t handle;  // non-zero while in use
  int32_t payload;
};

std::vector<intptr_t> reused;
void remember_reuse(intptr_t number) { reused.push_back(number); }

ObjectTable* new_table(ReuseHandler handler = nullptr) {
  reused.clear();
  ObjectTable* table = create_object_table(sizeof(Record), 4, handler);
  EXPECT_NE(table, nullptr);
  return table;
}

Record* obtain(ObjectTable* table, intptr_t number, uintptr_t handle) {
  auto* record = static_cast<Record*>(obtain_object(table, number));
  if (record) record->handle = handle;
  return record;
}

std::vector<intptr_t> walk(ObjectTable* table, bool free_each = false) {
  std::vector<intptr_t> numbers;
  start_object_walk(table);
  intptr_t number = 0;
  while (next_object(table, &number)) {
    numbers.push_back(number);
    if (free_each) free_object(table, number);
  }
  return numbers;
}

TEST(ObjectTable, GrowsBeyondCapacityByTheGrowthStepWithFreeSlotsBetween) {
  ObjectTable* table = new_table();
  ASSERT_NE(obtain(table, 9, 0x10), nullptr);
  EXPECT_EQ(table->capacity, 9 + 4);
  for (intptr_t n = 0; n < table->capacity; ++n)
    EXPECT_EQ(find_object(table, n) != nullptr, n == 9) << n;
  EXPECT_EQ(find_record<Record>(table, 9)->handle, 0x10u);
}

TEST(ObjectTable, GrowingWhileItHoldsRecordsKeepsEveryOne) {
  ObjectTable* table = new_table();
  for (intptr_t n = 0; n < 4; ++n) obtain(table, n, 0x100 + static_cast<uintptr_t>(n))->payload = 7 * int32_t(n);
  Record* side = obtain(table, ANY_NUMBER, 0xA);
  ASSERT_NE(side, nullptr);
  side->payload = 99;
  // Far beyond the capacity: the slot array is reallocated, and may move.
  ASSERT_NE(obtain(table, 1000, 0x999), nullptr);
  EXPECT_EQ(table->capacity, 1000 + 4);
  for (intptr_t n = 0; n < 4; ++n) {
    const Record* record = find_record<Record>(table, n);
    ASSERT_NE(record, nullptr) << n;
    EXPECT_EQ(record->handle, 0x100u + static_cast<uintptr_t>(n));
    EXPECT_EQ(record->payload, 7 * n);
  }
  // A side-list record never moves.
  EXPECT_EQ(find_record<Record>(table, reinterpret_cast<intptr_t>(side)), side);
  EXPECT_EQ(side->payload, 99);
  EXPECT_EQ(walk(table), (std::vector<intptr_t>{0, 1, 2, 3, 1000, reinterpret_cast<intptr_t>(side)}));
}

TEST(ObjectTable, SlotIsFoundOnlyWhileItsFirstWordIsSet) {
  ObjectTable* table = new_table();
  auto* record = static_cast<Record*>(obtain_object(table, 2));
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(find_object(table, 2), nullptr);
  record->payload = 7;  // a later field alone does not mark it in use
  EXPECT_EQ(find_object(table, 2), nullptr);
  record->handle = 1;
  EXPECT_EQ(find_object(table, 2), record);
  free_object(table, 2);
  EXPECT_EQ(find_object(table, 2), nullptr);
  EXPECT_EQ(record->payload, 0);
  EXPECT_EQ(table->capacity, 4);
}

TEST(ObjectTable, ReuseHandlerRunsForNumberedSlotsOnly) {
  ObjectTable* table = new_table(remember_reuse);
  obtain(table, 1, 0x1);
  obtain(table, 1, 0x2);
  auto* side = static_cast<Record*>(obtain_object(table, ANY_NUMBER));
  ASSERT_NE(side, nullptr);
  EXPECT_EQ(side->handle, 0u);
  EXPECT_EQ(side->payload, 0);
  EXPECT_EQ(reused, (std::vector<intptr_t>{1, 1}));
  auto number = reinterpret_cast<intptr_t>(side);
  EXPECT_EQ(find_object(table, number), nullptr);
  side->handle = 0x3;
  EXPECT_EQ(find_object(table, number), side);
}

TEST(ObjectTable, WalkVisitsSlotsAscendingThenSideRecordsOldestFirst) {
  ObjectTable* table = new_table();
  obtain(table, 3, 0x3);
  obtain(table, 0, 0x1);
  auto* a = obtain(table, ANY_NUMBER, 0xA);
  auto* b = obtain(table, ANY_NUMBER, 0xB);
  const std::vector<intptr_t> expected{0, 3, reinterpret_cast<intptr_t>(a), reinterpret_cast<intptr_t>(b)};
  EXPECT_EQ(walk(table), expected);
  // Freeing each record right after the walk returns it still visits all.
  EXPECT_EQ(walk(table, true), expected);
  EXPECT_TRUE(walk(table).empty());
  EXPECT_EQ(table->side_list, nullptr);
}

TEST(ObjectTable, NumbersItCannotHoldChangeNothing) {
  reused.clear();
  // Records of 1 MiB: a count that fits 32 bits still needs more memory than
  // either pointer size can address, so the heap itself has to say no.
  ObjectTable* table = create_object_table(1 << 20, 4, remember_reuse);
  ASSERT_NE(table, nullptr);
  obtain(table, 1, 0x1);
  reused.clear();
  unsigned char* slots = table->slots;
  const int32_t capacity = table->capacity;
  const intptr_t int32_max = std::numeric_limits<int32_t>::max();
  for (intptr_t number : {intptr_t{-2}, std::numeric_limits<intptr_t>::min(), int32_max,
                          std::numeric_limits<intptr_t>::max(), int32_max - 8, intptr_t{1} << 28}) {
    EXPECT_EQ(obtain_object(table, number), nullptr) << number;
  }
  EXPECT_TRUE(reused.empty());
  EXPECT_EQ(table->slots, slots);
  EXPECT_EQ(table->capacity, capacity);
  EXPECT_EQ(find_record<Record>(table, 1)->handle, 0x1u);
}

TEST(ObjectTable, UnknownNumbersAreNotFoundAndFreeingThemDoesNothing) {
  ObjectTable* table = new_table();
  auto* a = obtain(table, ANY_NUMBER, 0xA);
  Record outsider{0x55, 1};
  for (intptr_t number : {intptr_t{-2}, intptr_t{99}, intptr_t{0x100}, reinterpret_cast<intptr_t>(&outsider),
                          reinterpret_cast<intptr_t>(a) + 1}) {
    EXPECT_EQ(find_object(table, number), nullptr) << number;
    free_object(table, number);
  }
  EXPECT_EQ(outsider.handle, 0x55u);
  EXPECT_EQ(find_object(table, reinterpret_cast<intptr_t>(a)), a);
}

}  // namespace
