#include "ui/gadgets/brush_cache.h"

#include <cstdint>

#include "base/lock.h"
#include "base/object_list.h"

namespace {

struct BrushEntry {
  COLORREF color;
  HBRUSH brush;
  int32_t references;
};

CRITICAL_SECTION brush_lock;
bool brush_lock_ready = false;
ObjectList brush_cache = nullptr;  // newest first

}  // namespace

void init_brush_cache() {
  if (brush_lock_ready) return;
  InitializeCriticalSection(&brush_lock);
  brush_lock_ready = true;
}

HBRUSH acquire_brush(COLORREF color) {
  if (!brush_lock_ready) return nullptr;
  CriticalSectionLock lock(brush_lock);
  HBRUSH shared = nullptr;
  for_each_list_record<BrushEntry>(brush_cache, [&](BrushEntry* entry) {
    if (entry->color != color) return true;
    ++entry->references;
    shared = entry->brush;
    return false;
  });
  if (shared) return shared;
  HBRUSH brush = CreateSolidBrush(color);
  if (!brush) return nullptr;
  // Only entries that hold a brush are ever kept, so a colour's entry is
  // always the one found above.
  auto* entry = add_list_record<BrushEntry>(brush_cache);
  if (!entry) {
    DeleteObject(brush);
    return nullptr;
  }
  entry->color = color;
  entry->brush = brush;
  entry->references = 1;
  return brush;
}

void release_brush(HBRUSH brush) {
  if (!brush || !brush_lock_ready) return;
  CriticalSectionLock lock(brush_lock);
  for_each_list_record<BrushEntry>(brush_cache, [&](BrushEntry* entry) {
    if (entry->brush != brush) return true;
    if (--entry->references <= 0) {
      DeleteObject(brush);
      remove_list_record(brush_cache, entry);
    }
    return false;
  });
}
