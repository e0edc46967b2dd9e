#include <gtest/gtest.h>

#include <vector>

#include "base/object_list.h"
#include "runtime_fixture.h"

namespace {

struct Item {
  int value;
};

// Reads the list both ways and checks that the links agree.
std::vector<int> values(ObjectList head) {
  std::vector<int> forward;
  ListNode* last = nullptr;
  for (ListNode* node = head; node; node = node->next) {
    EXPECT_EQ(node->previous, last);
    forward.push_back(static_cast<Item*>(list_record(node))->value);
    last = node;
  }
  std::vector<int> backward;
  for (ListNode* node = last; node; node = node->previous)
    backward.insert(backward.begin(), static_cast<Item*>(list_record(node))->value);
  EXPECT_EQ(forward, backward);
  return forward;
}

struct ListOfFour : ::testing::Test {
  ObjectList head = nullptr;
  Item* items[4] = {};
  void SetUp() override {
    for (int i = 0; i < 4; ++i) {
      items[i] = add_list_record<Item>(head);
      ASSERT_NE(items[i], nullptr);
      EXPECT_EQ(items[i]->value, 0);
      items[i]->value = i;
    }
  }
  void TearDown() override {
    while (head) remove_list_record(head, list_record(head));
  }
};

TEST_F(ListOfFour, NewestIsAtTheHead) { EXPECT_EQ(values(head), (std::vector<int>{3, 2, 1, 0})); }

TEST_F(ListOfFour, RemovingHeadMiddleAndLastKeepsLinksConsistent) {
  remove_list_record(head, items[3]);
  EXPECT_EQ(values(head), (std::vector<int>{2, 1, 0}));
  remove_list_record(head, items[1]);
  EXPECT_EQ(values(head), (std::vector<int>{2, 0}));
  remove_list_record(head, items[0]);
  EXPECT_EQ(values(head), (std::vector<int>{2}));
  EXPECT_TRUE(list_holds_record(head, items[2]));
  EXPECT_FALSE(list_holds_record(head, items[0]));
  remove_list_record(head, items[2]);
  EXPECT_EQ(head, nullptr);
}

TEST(ObjectList, TooSmallNodeIsRefusedAndListUnchanged) {
  ObjectList head = nullptr;
  EXPECT_EQ(add_list_record(head, 1), nullptr);
  EXPECT_EQ(head, nullptr);
}

}  // namespace
