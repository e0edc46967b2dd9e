#include "ui/windows/live_sizing.h"

#include "ui/windows/events.h"
#include "ui/windows/window_library.h"

namespace {

constexpr int STEP = 10;
// Cursor points sit 2 pixels inside the right and bottom edges; applying a
// point takes them off again, so choosing an edge does not move it.
constexpr int INSET = 2;

void set_cursor_shape(WORD shape) {
  auto cursor = static_cast<HCURSOR>(
      LoadImageA(nullptr, MAKEINTRESOURCEA(shape), IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
  SetCursor(cursor);
}

// Holds one extent between the tracking limits by moving the named side.
void hold_extent(LONG& moved, LONG fixed, LONG minimum, LONG maximum, bool moved_is_lower) {
  const LONG extent = moved_is_lower ? fixed - moved : moved - fixed;
  LONG held = extent;
  if (extent < minimum)
    held = minimum;
  else if (extent > maximum)
    held = maximum;
  if (held != extent) moved = moved_is_lower ? fixed - held : fixed + held;
}

void apply_point(SizingState& s, POINT point) {
  RECT& r = s.tracked;
  const POINT minimum = s.limits.ptMinTrackSize;
  const POINT maximum = s.limits.ptMaxTrackSize;
  switch (s.edge) {
    case WMSZ_LEFT: case WMSZ_TOPLEFT: case WMSZ_BOTTOMLEFT:
      r.left = s.edge == WMSZ_TOPLEFT ? point.x - INSET : point.x;
      hold_extent(r.left, r.right, minimum.x, maximum.x, true);
      break;
    case WMSZ_RIGHT: case WMSZ_TOPRIGHT: case WMSZ_BOTTOMRIGHT:
      r.right = point.x + INSET;
      hold_extent(r.right, r.left, minimum.x, maximum.x, false);
      break;
  }
  switch (s.edge) {
    case WMSZ_TOP: case WMSZ_TOPLEFT: case WMSZ_TOPRIGHT:
      r.top = s.edge == WMSZ_TOPLEFT ? point.y - INSET : point.y;
      hold_extent(r.top, r.bottom, minimum.y, maximum.y, true);
      break;
    case WMSZ_BOTTOM: case WMSZ_BOTTOMLEFT: case WMSZ_BOTTOMRIGHT:
      r.bottom = point.y + INSET;
      hold_extent(r.bottom, r.top, minimum.y, maximum.y, false);
      break;
  }
}

void move_to_tracked(SizingState& s) {
  RECT place = s.tracked;
  if (GetWindowLongPtrA(s.window, GWL_STYLE) & WS_CHILD)
    MapWindowPoints(nullptr, GetParent(s.window), reinterpret_cast<POINT*>(&place), 2);
  MoveWindow(s.window, place.left, place.top, place.right - place.left, place.bottom - place.top, TRUE);
}

void size_to(SizingState& s, POINT point) {
  apply_point(s, point);
  SendMessageA(s.window, WM_SIZING, static_cast<WPARAM>(s.edge), reinterpret_cast<LPARAM>(&s.tracked));
  move_to_tracked(s);
}

bool same_point(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }

void place_cursor(SizingState& s, POINT point) {
  GetCursorPos(&s.placed_from);
  s.placed_to = point;
  s.placed = 1;
  SetCursorPos(point.x, point.y);
}

// A report of the place the sizing itself moved the cursor away from.
bool is_stale_report(SizingState& s, POINT point) {
  if (!s.placed) return false;
  if (same_point(point, s.placed_from) && !same_point(point, s.placed_to)) return true;
  if (!same_point(point, s.placed_to)) s.placed = 0;  // the mouse itself has moved
  return false;
}

void step(SizingState& s, POINT point) {
  place_cursor(s, point);
  size_to(s, point);
}

void choose_edge(SizingState& s, int32_t edge, POINT point, WORD shape) {
  s.edge = edge;
  place_cursor(s, point);
  set_cursor_shape(shape);
}

void press_arrow(SizingState& s, WPARAM key) {
  POINT cursor;
  GetCursorPos(&cursor);
  const RECT& r = s.tracked;
  const POINT top_left{r.left + INSET, r.top + INSET};
  const POINT top_right{r.right - INSET, r.top};
  const POINT bottom_left{r.left, r.bottom - INSET};
  const POINT bottom_right{r.right - INSET, r.bottom - INSET};
  const auto SIZENWSE = 32642, SIZENESW = 32643, SIZEWE = 32644, SIZENS = 32645;
  switch (key) {
    case VK_LEFT:
      if (s.edge == 0) return choose_edge(s, WMSZ_LEFT, {r.left, cursor.y}, SIZEWE);
      if (s.edge == WMSZ_TOP) return choose_edge(s, WMSZ_TOPLEFT, top_left, SIZENWSE);
      if (s.edge == WMSZ_BOTTOM) return choose_edge(s, WMSZ_BOTTOMLEFT, bottom_left, SIZENESW);
      return step(s, {cursor.x - STEP, cursor.y});
    case VK_RIGHT:
      if (s.edge == 0) return choose_edge(s, WMSZ_RIGHT, {r.right - INSET, cursor.y}, SIZEWE);
      if (s.edge == WMSZ_TOP) return choose_edge(s, WMSZ_TOPRIGHT, top_right, SIZENESW);
      if (s.edge == WMSZ_BOTTOM) return choose_edge(s, WMSZ_BOTTOMRIGHT, bottom_right, SIZENWSE);
      return step(s, {cursor.x + STEP, cursor.y});
    case VK_UP:
      if (s.edge == 0) return choose_edge(s, WMSZ_TOP, {cursor.x, r.top}, SIZENS);
      if (s.edge == WMSZ_LEFT) return choose_edge(s, WMSZ_TOPLEFT, top_left, SIZENWSE);
      if (s.edge == WMSZ_RIGHT) return choose_edge(s, WMSZ_TOPRIGHT, top_right, SIZENESW);
      return step(s, {cursor.x, cursor.y - STEP});
    case VK_DOWN:
      if (s.edge == 0) return choose_edge(s, WMSZ_BOTTOM, {cursor.x, r.bottom - INSET}, SIZENS);
      if (s.edge == WMSZ_LEFT) return choose_edge(s, WMSZ_BOTTOMLEFT, bottom_left, SIZENESW);
      if (s.edge == WMSZ_RIGHT) return choose_edge(s, WMSZ_BOTTOMRIGHT, bottom_right, SIZENWSE);
      return step(s, {cursor.x, cursor.y + STEP});
  }
}

void read_size_limits(SizingState& s, HWND window) {
  MINMAXINFO& limits = s.limits;
  limits = MINMAXINFO{};
  limits.ptMaxSize = {GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CYMAXIMIZED)};
  if (GetWindowLongPtrA(window, GWL_STYLE) & WS_BORDER)
    limits.ptMaxPosition = {GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER)};
  else if (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_WINDOWEDGE)
    limits.ptMaxPosition = {GetSystemMetrics(SM_CXEDGE), GetSystemMetrics(SM_CYEDGE)};
  limits.ptMinTrackSize = {GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
  limits.ptMaxTrackSize = {GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
  SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
}

LRESULT start_sizing(SizingState& s, HWND window, WPARAM command) {
  BOOL full_window_drag = FALSE;
  SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &full_window_drag, 0);
  if (!full_window_drag) return NOT_HANDLED;
  s.edge = static_cast<int32_t>(command & 0xF);
  s.active = 1;
  s.placed = 0;
  s.window = window;
  GetWindowRect(window, &s.tracked);
  read_size_limits(s, window);
  if (GetKeyState(VK_LBUTTON) == 0) SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  SetCapture(window);
  PostMessageA(window, WM_ENTERSIZEMOVE, 0, 0);
  if (s.edge == 0) {
    s.keyboard = 1;
    GetCursorPos(&s.saved_cursor);
    set_cursor_shape(32646);  // IDC_SIZEALL
  } else {
    s.keyboard = 0;
  }
  return 0;
}

LRESULT track(SizingState& s, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_MOUSEMOVE: {
      POINT point{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      MapWindowPoints(s.window, nullptr, &point, 1);
      if (is_stale_report(s, point)) return 0;
      s.keyboard = 0;
      size_to(s, point);
      return 0;
    }
    case WM_KEYDOWN:
      if (wparam == VK_RETURN || wparam == VK_ESCAPE) {
        ReleaseCapture();
        return 0;
      }
      press_arrow(s, wparam);
      return NOT_HANDLED;
    case WM_LBUTTONUP:
      ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
      PostMessageA(s.window, WM_EXITSIZEMOVE, 0, 0);
      s.active = 0;
      s.window = nullptr;
      if (s.keyboard == 1) SetCursorPos(s.saved_cursor.x, s.saved_cursor.y);
      return 0;
    case WM_NCDESTROY:
      // A window closed mid-sizing takes the sizing with it; otherwise every
      // key-down of the thread would keep going to a window that is gone.
      s.active = 0;
      s.window = nullptr;
      return NOT_HANDLED;
  }
  return NOT_HANDLED;
}

}  // namespace

LRESULT handle_live_sizing(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  SizingState* s = window_library().sizing;
  if (!s) return NOT_HANDLED;
  if (!s->active) {
    if (message == WM_SYSCOMMAND && (wparam & 0xFFF0) == SC_SIZE) return start_sizing(*s, window, wparam);
    return NOT_HANDLED;
  }
  if (window != s->window) return NOT_HANDLED;
  return track(*s, message, wparam, lparam);
}

HWND sizing_window() {
  SizingState* s = window_library().sizing;
  if (!s || !s->active) return nullptr;
  if (!IsWindow(s->window)) {
    s->active = 0;
    s->window = nullptr;
  }
  return s->window;
}

bool route_key_to_sizing(MSG& message) {
  if (message.message != WM_KEYDOWN) return false;
  HWND sized = sizing_window();
  if (!sized) return false;
  message.hwnd = sized;
  return true;
}
