// Data records for the two data messages. Their lParam arrives from the
// message queue, where any process may post any value, so a record is taken
// over only if this runtime handed it out and it is still outstanding; the
// check compares addresses and never reads through an unknown pointer.
#include <cstddef>
#include <cstdint>

#include "base/heap.h"
#include "base/lock.h"
#include "ui/windows/window_library.h"

struct EventDataLinks {
  EventDataLinks* next;
  EventDataLinks* previous;
};

namespace {

// The links sit in front of the record; this keeps the record aligned.
constexpr std::size_t LINKS_SIZE = (sizeof(EventDataLinks) + alignof(std::max_align_t) - 1) &
                                   ~(alignof(std::max_align_t) - 1);

EventDataLinks* links_of(EventData* record) {
  return reinterpret_cast<EventDataLinks*>(reinterpret_cast<char*>(record) - LINKS_SIZE);
}
EventData* record_of(EventDataLinks* links) {
  return reinterpret_cast<EventData*>(reinterpret_cast<char*>(links) + LINKS_SIZE);
}

void free_record(EventData* record) {
  if (!record) return;
  if (record->buffer) free_memory(record->buffer);
  free_memory(links_of(record));
}

// Unlinks the record if it is outstanding; false when it is not.
bool take_outstanding(EventState* events, const void* candidate) {
  CriticalSectionLock lock(events->outstanding_lock);
  for (EventDataLinks* links = events->outstanding_data; links; links = links->next) {
    if (record_of(links) != candidate) continue;
    if (links->previous)
      links->previous->next = links->next;
    else
      events->outstanding_data = links->next;
    if (links->next) links->next->previous = links->previous;
    return true;
  }
  return false;
}

}  // namespace

EventData* allocate_event_data(std::size_t size) {
  EventState* events = window_library().events;
  if (!events) return nullptr;
  if (size < sizeof(EventData)) size = sizeof(EventData);
  if (size > SIZE_MAX - LINKS_SIZE) return nullptr;
  auto* links = static_cast<EventDataLinks*>(allocate_memory(LINKS_SIZE + size));
  if (!links) return nullptr;
  CriticalSectionLock lock(events->outstanding_lock);
  links->previous = nullptr;
  links->next = events->outstanding_data;
  if (links->next) links->next->previous = links;
  events->outstanding_data = links;
  return record_of(links);
}

void free_event_data(EventData* record) {
  EventState* events = window_library().events;
  if (events && record && take_outstanding(events, record)) free_record(record);
}

EventData* event_data() {
  EventState* events = window_library().events;
  return events ? events->event_data : nullptr;
}

EventData* take_event_data(EventState* events, LPARAM lparam) {
  auto* record = reinterpret_cast<EventData*>(lparam);
  if (!record || !take_outstanding(events, record)) return nullptr;
  return record;
}

void free_event_data_record(EventData* record) { free_record(record); }

void release_event_data(EventState* events) {
  free_record(events->event_data);
  events->event_data = nullptr;
}

void release_outstanding_event_data(EventState* events) {
  CriticalSectionLock lock(events->outstanding_lock);
  while (EventDataLinks* links = events->outstanding_data) {
    events->outstanding_data = links->next;
    EventData* record = record_of(links);
    if (record->buffer) free_memory(record->buffer);
    free_memory(links);
  }
}
