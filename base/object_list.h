#pragma once
// ObjectList: a doubly linked list whose nodes come from the list heap. The
// list is one head pointer owned by its user; the head is the newest record.
// Users see only the record part of a node; the links stay hidden in front.
#include <cstddef>

struct ListNode {
  ListNode* next;      // toward older nodes
  ListNode* previous;  // toward newer nodes; null at the head
};

using ObjectList = ListNode*;

constexpr std::size_t LIST_LINKS_SIZE = sizeof(ListNode);

// A new zero-filled record at the front of the list, or null (list unchanged).
// node_size counts the record and the two links.
void* add_list_record(ObjectList& head, std::size_t node_size);
void remove_list_record(ObjectList& head, void* record);

// The record part of a node, and the node of a record part.
inline void* list_record(ListNode* node) { return reinterpret_cast<char*>(node) + LIST_LINKS_SIZE; }
inline ListNode* list_node(void* record) {
  return reinterpret_cast<ListNode*>(static_cast<char*>(record) - LIST_LINKS_SIZE);
}

// True when record is the record part of one of the list's nodes.
bool list_holds_record(ObjectList head, const void* record);

template <class Record>
Record* add_list_record(ObjectList& head) {
  return static_cast<Record*>(add_list_record(head, sizeof(Record) + LIST_LINKS_SIZE));
}

// Visits records from newest to oldest; the visitor may remove the record it
// is given (the next node has been taken beforehand). Returning false stops.
template <class Record, class Visitor>
void for_each_list_record(ObjectList head, Visitor&& visit) {
  for (ListNode* node = head; node;) {
    ListNode* next = node->next;
    if (!visit(static_cast<Record*>(list_record(node)))) return;
    node = next;
  }
}
