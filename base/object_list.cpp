#include "base/object_list.h"

#include "base/heap.h"

void* add_list_record(ObjectList& head, std::size_t node_size) {
  if (node_size < LIST_LINKS_SIZE) return nullptr;
  auto* node = static_cast<ListNode*>(allocate_list_memory(node_size));
  if (!node) return nullptr;
  node->next = head;
  node->previous = nullptr;
  if (head) head->previous = node;
  head = node;
  return list_record(node);
}

void remove_list_record(ObjectList& head, void* record) {
  if (!record) return;
  ListNode* node = list_node(record);
  if (node == head) {
    head = node->next;
    if (head) head->previous = nullptr;
  } else {
    if (node->previous) node->previous->next = node->next;
    if (node->next) node->next->previous = node->previous;
  }
  free_list_memory(node);
}

bool list_holds_record(ObjectList head, const void* record) {
  for (ListNode* node = head; node; node = node->next)
    if (list_record(node) == record) return true;
  return false;
}
