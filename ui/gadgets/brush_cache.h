#pragma once
// The brush cache: one solid brush per colour, shared by every gadget whose
// background has that colour, counted and guarded by the library's lock.
#include <windows.h>

void init_brush_cache();
// The shared brush for the colour (one more reference), or null.
HBRUSH acquire_brush(COLORREF color);
// One reference less; the brush is deleted with its last one.
void release_brush(HBRUSH brush);
