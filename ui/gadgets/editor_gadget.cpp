// Editor gadgets: multi-line rich-edit controls; the program's log is one.
#include <richedit.h>

#include <atomic>
#include <cstring>

#include "base/system_library.h"
#include "base/text.h"
#include "ui/gadgets/gadget_creation.h"
#include "ui/gadgets/gadget_kinds.h"
#include "ui/gadgets/gadgets.h"
#include "ui/gadgets/window_text.h"
#include "ui/windows/window_properties.h"

namespace {

constexpr char LINE_SEPARATOR[] = "\n";

// empty_line_state: 0 no pending empty line; 1 an empty text was appended to the
// empty editor, which holds no character yet but counts as one empty line;
// 2 that empty line has been written out by the next append.
constexpr int32_t NO_EMPTY_LINE = 0;
constexpr int32_t EMPTY_LINE_PENDING = 1;
constexpr int32_t EMPTY_LINE_WRITTEN = 2;

// The editors' class procedure, the same for every editor.
std::atomic<WNDPROC> editor_class_proc{nullptr};

LRESULT send(GadgetRecord* record, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
  return SendMessageA(record->window, message, wparam, lparam);
}

void replace_selection(GadgetRecord* record, const char* text) {
  send(record, EM_REPLACESEL, 1, reinterpret_cast<LPARAM>(text));
}

intptr_t line_index(GadgetRecord* record, intptr_t line) {
  return static_cast<intptr_t>(send(record, EM_LINEINDEX, static_cast<WPARAM>(line)));
}

// Brackets every change so that the selection's movement is not drawn.
class HiddenSelection {
 public:
  explicit HiddenSelection(GadgetRecord* record) : window_(record->window) {
    SendMessageA(window_, EM_HIDESELECTION, 1, 0);
  }
  ~HiddenSelection() { SendMessageA(window_, EM_HIDESELECTION, 0, 0); }
  HiddenSelection(const HiddenSelection&) = delete;
  HiddenSelection& operator=(const HiddenSelection&) = delete;

 private:
  HWND window_;
};

// An append is several replacements (a separator, then the line). While the
// log still shows all its lines the control handles each one itself: it
// marks just the strip of the new text for painting. Once it scrolls, each
// replacement would scroll the view and draw it at once, so the drawing is
// turned off for the append and the whole control marked afterwards. Either
// way the paint comes with the thread's next look at its messages (the event
// loop, a modal dialog's loop, or a download's wait hook, which runs before a
// name lookup and then at least every 100 ms of any wait), and the lines
// appended meanwhile share it. Turning the drawing off and on again also
// marks the frame, which with a visual theme costs more than a short log's
// strips but less than a scrolled log's own scrolling and drawing, so each
// way is kept for the log it is cheaper for.
class DrawnOnceIfScrolled {
 public:
  explicit DrawnOnceIfScrolled(GadgetRecord* record)
      : window_((GetWindowLongA(record->window, GWL_STYLE) & WS_VSCROLL) ? record->window : nullptr) {
    if (window_) SendMessageA(window_, WM_SETREDRAW, FALSE, 0);
  }
  ~DrawnOnceIfScrolled() {
    if (!window_) return;
    SendMessageA(window_, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(window_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
  }
  DrawnOnceIfScrolled(const DrawnOnceIfScrolled&) = delete;
  DrawnOnceIfScrolled& operator=(const DrawnOnceIfScrolled&) = delete;

 private:
  HWND window_;  // null while the log does not scroll
};

int32_t add_editor_line(GadgetRecord* record, intptr_t position, TextRef text, intptr_t) {
  const Text line = make_text(text);
  const intptr_t index = line_index(record, position);
  DrawnOnceIfScrolled drawn(record);
  HiddenSelection hidden(record);
  if (index != -1 && position != -1) {
    send(record, EM_SETSEL, static_cast<WPARAM>(index), index);
    replace_selection(record, line.c_str());
    replace_selection(record, LINE_SEPARATOR);
    return 0;
  }
  const LRESULT length = send(record, WM_GETTEXTLENGTH);
  send(record, EM_SETSEL, static_cast<WPARAM>(length), length);
  int32_t& state = record->empty_line_state;
  if (state == EMPTY_LINE_PENDING) {
    replace_selection(record, LINE_SEPARATOR);
    state = EMPTY_LINE_WRITTEN;
  }
  if (length != 0)
    replace_selection(record, LINE_SEPARATOR);
  else if (line.empty() && state == NO_EMPTY_LINE)
    state = EMPTY_LINE_PENDING;
  replace_selection(record, line.c_str());
  return 0;
}

Text get_editor_text(GadgetRecord* record) { return read_window_text(record->window); }

void clear_editor(GadgetRecord* record) {
  SetWindowTextA(record->window, "");
  record->empty_line_state = NO_EMPTY_LINE;
}

int32_t set_editor_text(GadgetRecord* record, TextRef text) {
  if (text.view.empty()) {
    clear_editor(record);
    return 1;
  }
  // Whatever the empty-line state stood for is replaced with the text.
  record->empty_line_state = NO_EMPTY_LINE;
  const Text contents = make_text(text);
  return SetWindowTextA(record->window, contents.c_str()) ? 1 : 0;
}

intptr_t count_editor_lines(GadgetRecord* record) {
  if (send(record, WM_GETTEXTLENGTH) == 0 && record->empty_line_state == NO_EMPTY_LINE) return 0;
  return static_cast<intptr_t>(send(record, EM_GETLINECOUNT));
}

intptr_t remove_editor_line(GadgetRecord* record, intptr_t line) {
  const intptr_t start = line_index(record, line);
  if (start != -1) {
    const intptr_t end = line_index(record, line + 1);
    HiddenSelection hidden(record);
    send(record, EM_SETSEL, static_cast<WPARAM>(start), end);
    replace_selection(record, "");
  }
  const LRESULT remaining = send(record, WM_GETTEXTLENGTH);
  if (remaining == 0) record->empty_line_state = NO_EMPTY_LINE;
  return static_cast<intptr_t>(remaining);
}

Text get_editor_line(GadgetRecord* record, intptr_t line, intptr_t) {
  const intptr_t start = line_index(record, line);
  if (start == -1) return Text();
  const auto length = static_cast<std::size_t>(send(record, EM_LINELENGTH, static_cast<WPARAM>(start)));
  try {
    // EM_GETLINE reads the buffer's size from its first 16-bit word.
    Text buffer(length + 3, '\0');
    const auto size = static_cast<WORD>(length + 3 > 0xFFFF ? 0xFFFF : length + 3);
    std::memcpy(buffer.data(), &size, sizeof size);
    const auto copied = static_cast<std::size_t>(
        send(record, EM_GETLINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(buffer.data())));
    buffer.resize(copied < buffer.size() ? copied : buffer.size());
    if (!buffer.empty() && buffer.back() == '\r') buffer.pop_back();
    return buffer;
  } catch (...) {
    return Text();
  }
}

void set_editor_line(GadgetRecord* record, intptr_t line, TextRef text, intptr_t) {
  const intptr_t start = line_index(record, line);
  if (start == -1) return;
  const LRESULT length = send(record, EM_LINELENGTH, static_cast<WPARAM>(start));
  const Text contents = make_text(text);
  HiddenSelection hidden(record);
  send(record, EM_SETSEL, static_cast<WPARAM>(start), start + length);
  replace_selection(record, contents.c_str());
}

intptr_t get_editor_attribute(GadgetRecord* record, int32_t attribute) {
  if (static_cast<uint32_t>(attribute) != EDITOR_READONLY) return 0;
  return (send(record, EM_GETOPTIONS) & ECO_READONLY) ? 1 : 0;
}

void set_editor_attribute(GadgetRecord* record, int32_t attribute, intptr_t value) {
  if (static_cast<uint32_t>(attribute) == EDITOR_READONLY) send(record, EM_SETREADONLY, value ? 1 : 0);
}

void set_editor_color(GadgetRecord* record, int32_t selector, int32_t color) {
  if (selector == GADGET_FRONT_COLOR) {
    CHARFORMATA format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_COLOR;
    format.crTextColor = color == SYSTEM_COLOR ? 0 : static_cast<COLORREF>(color);
    format.dwEffects = color == SYSTEM_COLOR ? CFE_AUTOCOLOR : 0;
    send(record, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
    send(record, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    record->colours.front_color = color;
  } else if (selector == GADGET_BACK_COLOR) {
    if (color == SYSTEM_COLOR)
      send(record, EM_SETBKGNDCOLOR, 1, 0);
    else
      send(record, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(color));
    record->colours.back_color = color;
  }
}

int32_t get_editor_color(GadgetRecord* record, int32_t selector) {
  if (selector == GADGET_BACK_COLOR) return record->colours.back_color;
  if (selector == GADGET_FRONT_COLOR) return record->colours.front_color;
  return SYSTEM_COLOR;
}

constexpr GadgetKindTable editor_kind{
    .kind = KIND_EDITOR,
    .size = sizeof(GadgetKindTable),
    .operations = {.get_text = get_editor_text,
                   .set_text = set_editor_text,
                   .add_item = add_editor_line,
                   .remove_item = remove_editor_line,
                   .clear_items = clear_editor,
                   .count_items = count_editor_lines,
                   .get_item_text = get_editor_line,
                   .set_item_text = set_editor_line,
                   .get_attribute = get_editor_attribute,
                   .set_attribute = set_editor_attribute,
                   .set_color = set_editor_color,
                   .get_color = get_editor_color},
};

void set_editor_fields(GadgetRecord* record) {
  set_system_colors(record);
  record->empty_line_state = NO_EMPTY_LINE;
}

}  // namespace

const char* editor_class_name() {
  // Decided once, at the first editor: the product never imports either
  // library, so a system without them still starts.
  static const char* class_name = [] {
    if (load_system_library("RICHED20.DLL")) return "RichEdit20A";
    return load_system_library("RICHED32.DLL") ? "RichEdit" : static_cast<const char*>(nullptr);
  }();
  return class_name;
}

LRESULT CALLBACK editor_font_proc(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
  WNDPROC forward = editor_class_proc.load();
  if (!forward) return DefWindowProcA(control, message, wparam, lparam);
  if (message != WM_SETFONT) return CallWindowProcA(forward, control, message, wparam, lparam);
  CallWindowProcA(forward, control, message, wparam, lparam);
  // A new font brings the automatic colour back; keep the gadget's own.
  const intptr_t number = GetWindowLongPtrA(control, GWLP_ID);
  if (reinterpret_cast<intptr_t>(GetPropA(control, GADGET_ID_PROPERTY)) == number) {
    GadgetRecord* record = find_gadget(number);
    if (record && record->window == control) set_editor_color(record, GADGET_FRONT_COLOR, record->colours.front_color);
  }
  return 0;
}

intptr_t create_editor_gadget(intptr_t number, int x, int y, int width, int height, uint32_t flags) {
  return create_on_gui_thread([&]() -> intptr_t {
    const char* class_name = editor_class_name();
    // Neither library loaded: the older class is missing too, and the creation
    // fails as any failed creation does.
    HWND control = create_control({WS_EX_CLIENTEDGE, class_name ? class_name : "RichEdit", nullptr,
                                   flags | EDITOR_STYLE, x, y, width, height, -1});
    if (!control) return 0;
    SendMessageA(control, EM_SETLIMITTEXT, static_cast<WPARAM>(-1), 0);
    WNDPROC class_proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(control, GWLP_WNDPROC));
    WNDPROC expected = nullptr;
    editor_class_proc.compare_exchange_strong(expected, class_proc);
    SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editor_font_proc));
    // Before the slot is taken: these messages may run other gadget calls,
    // which could move the table's records.
    pump_pending_messages();
    return finish_gadget(number, control, &editor_kind, set_editor_fields);
  });
}
