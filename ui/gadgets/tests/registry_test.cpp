// The gadget table, registration, clean-up and the brush cache, on real
// controls.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <limits>

#include "base/object_table.h"
#include "ui/gadgets/tests/gadget_test_window.h"
#include "ui/windows/events.h"
#include "ui/windows/window_properties.h"

namespace {

using RegistryTest = GadgetTest;

struct KindCase {
  const char* name;
  std::function<intptr_t(intptr_t number)> create;
  const char* class_name;
  DWORD style;  // bits that must be set
  bool client_edge;
  bool reports_font = true;  // the rich-edit control does not answer WM_GETFONT
};

const KindCase kind_cases[] = {
    {"text", [](intptr_t n) { return create_text_gadget(n, 10, 10, 40, 20, "URL:"); }, "Static", 0x50020000, false},
    {"text with edge", [](intptr_t n) { return create_text_gadget(n, 10, 10, 40, 20, "URL:", 0x20000); }, "Static",
     0x50020000, true},
    {"string", [](intptr_t n) { return create_string_gadget(n, 70, 10, 370, 20, ""); }, "Edit", 0x50030080, true},
    {"string without edge", [](intptr_t n) { return create_string_gadget(n, 70, 10, 370, 20, "", 0x20000); },
     "Edit", 0x50030080, false},
    {"button", [](intptr_t n) { return create_button_gadget(n, 450, 10, 50, 20, "Paste"); }, "Button", 0x50030000,
     false},
    {"progress", [](intptr_t n) { return create_progress_gadget(n, 10, 70, 490, 20, 0, 10); }, "msctls_progress32",
     0x50000000, false},
    // The scroll bars come and go with the contents; the other bits stay.
    {"editor", [](intptr_t n) { return create_editor_gadget(n, 10, 100, 390, 110, 2048); }, "RichEdit20A",
     0x500011C4 | ES_READONLY, true, false},
};

TEST_F(RegistryTest, EveryKindIsARegisteredChildUnderItsNumber) {
  intptr_t number = 0;
  for (const KindCase& kind : kind_cases) {
    SCOPED_TRACE(kind.name);
    HWND control = as_window(kind.create(number));
    ASSERT_TRUE(IsWindow(control));
    EXPECT_STRCASEEQ(class_of(control).c_str(), kind.class_name);
    const auto style = static_cast<DWORD>(GetWindowLongPtrA(control, GWL_STYLE));
    EXPECT_EQ(style & kind.style, kind.style);
    EXPECT_EQ((GetWindowLongPtrA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0, kind.client_edge);
    EXPECT_EQ(GetParent(control), window_);
    EXPECT_EQ(GetWindowLongPtrA(control, GWLP_ID), number);
    EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropA(control, GADGET_ID_PROPERTY)), number);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(control, GWLP_WNDPROC)), gadget_window_proc);
    if (kind.reports_font) {
      EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)), GetStockObject(DEFAULT_GUI_FONT));
    }
    GadgetRecord* record = find_gadget(number);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->window, control);
    EXPECT_EQ(record->kind->size, static_cast<int32_t>(sizeof(GadgetKindTable)));
    ++number;
  }
}

TEST_F(RegistryTest, ANewGadgetUnderANumberInUseReplacesTheOld) {
  HWND old_control = as_window(create_button_gadget(3, 10, 10, 50, 20, "old"));
  ASSERT_TRUE(IsWindow(old_control));
  HWND new_control = as_window(create_text_gadget(3, 10, 40, 50, 20, "new"));
  ASSERT_TRUE(IsWindow(new_control));
  EXPECT_FALSE(IsWindow(old_control));
  EXPECT_EQ(find_gadget(3)->window, new_control);
  EXPECT_EQ(find_gadget(3)->kind->kind, KIND_TEXT);
  EXPECT_EQ(get_gadget_text(3), "new");
  EXPECT_EQ(child_count(window_), 1);
}

TEST_F(RegistryTest, AFailedCreationLeavesTheOldGadgetAndNoStrayControl) {
  ASSERT_NE(create_text_gadget(1, 10, 10, 50, 20, "kept"), 0);
  struct Case {
    const char* name;
    intptr_t number;
    bool with_parent;
  };
  const Case cases[] = {
      {"no parent window", 1, false},
      {"negative number", -5, true},
      {"largest number", std::numeric_limits<intptr_t>::max(), true},
      {"number past the table's reach", std::numeric_limits<int32_t>::max(), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    use_gadget_window(c.with_parent ? window_ : nullptr);
    EXPECT_EQ(create_button_gadget(c.number, 10, 40, 50, 20, "new"), 0);
    EXPECT_EQ(create_editor_gadget(c.number, 10, 70, 50, 50, 0), 0);
    EXPECT_EQ(child_count(window_), 1);
    EXPECT_EQ(get_gadget_text(1), "kept");
  }
  use_gadget_window(window_);
  // The ordinary numbers still work afterwards.
  for (intptr_t number = 0; number <= 10; ++number) EXPECT_NE(create_button_gadget(number, 0, 0, 5, 5, "b"), 0);
  EXPECT_EQ(child_count(window_), 11);
}

TEST_F(RegistryTest, AutomaticNumbersAreDistinctAndServeTheOperations) {
  const intptr_t first = create_button_gadget(ANY_NUMBER, 10, 10, 50, 20, "first");
  const intptr_t second = create_string_gadget(ANY_NUMBER, 10, 40, 50, 20, "second");
  ASSERT_NE(first, 0);
  ASSERT_NE(second, 0);
  EXPECT_NE(first, ANY_NUMBER);
  EXPECT_NE(first, second);
  EXPECT_EQ(get_gadget_text(first), "first");
  EXPECT_EQ(set_gadget_text(second, "changed"), 1);
  EXPECT_EQ(get_gadget_text(second), "changed");
  HWND control = find_gadget(second)->window;
  EXPECT_EQ(GetWindowLongPtrA(control, GWLP_ID), second);
  DestroyWindow(control);
  EXPECT_EQ(find_gadget(second), nullptr);
  EXPECT_EQ(get_gadget_text(first), "first");
}

TEST_F(RegistryTest, ADestroyedControlFreesItsNumber) {
  HWND control = as_window(create_string_gadget(4, 10, 10, 100, 20, "text"));
  ASSERT_TRUE(IsWindow(control));
  DestroyWindow(control);
  EXPECT_EQ(find_gadget(4), nullptr);
  EXPECT_EQ(get_gadget_text(4), "");
  EXPECT_EQ(disable_gadget(4, GADGET_DISABLED), 0);
  // Closing the window takes every gadget with it.
  ASSERT_NE(create_button_gadget(5, 10, 10, 50, 20, "b"), 0);
  ASSERT_NE(create_editor_gadget(6, 10, 40, 100, 50, 0), 0);
  DestroyWindow(window_);
  EXPECT_EQ(find_gadget(5), nullptr);
  EXPECT_EQ(find_gadget(6), nullptr);
  EXPECT_EQ(get_gadget_text(5), "");
}

TEST_F(RegistryTest, OwningWindowIsTheNearestToolkitWindow) {
  HWND group = CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200, window_, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  use_gadget_window(group);
  HWND control = as_window(create_button_gadget(2, 10, 10, 50, 20, "nested"));
  ASSERT_EQ(GetParent(control), group);
  EXPECT_EQ(owning_window(control), window_);
  // Without any toolkit window above, the top of the chain.
  RemovePropA(window_, WINDOW_ID_PROPERTY);
  EXPECT_EQ(owning_window(control), window_);
}

TEST(BrushCacheTest, OneBrushPerColourLivesWhileItHasUsers) {
  const COLORREF colour = RGB(12, 34, 56);
  HBRUSH first = acquire_brush(colour);
  HBRUSH second = acquire_brush(colour);
  HBRUSH other = acquire_brush(RGB(1, 2, 3));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_NE(first, other);
  release_brush(first);
  EXPECT_EQ(GetObjectType(first), static_cast<DWORD>(OBJ_BRUSH));
  release_brush(second);
  EXPECT_EQ(GetObjectType(first), 0u);
  EXPECT_EQ(GetObjectType(other), static_cast<DWORD>(OBJ_BRUSH));
  release_brush(other);
  EXPECT_EQ(GetObjectType(other), 0u);
  // A colour that comes back gets a working brush again.
  HBRUSH again = acquire_brush(colour);
  EXPECT_EQ(GetObjectType(again), static_cast<DWORD>(OBJ_BRUSH));
  release_brush(again);
}

LRESULT ask_colours(intptr_t number, UINT message, HDC context) {
  GadgetRecord* record = find_gadget(number);
  return record->kind->operations.on_parent_message(record, GetParent(record->window), message,
                                                    reinterpret_cast<WPARAM>(context),
                                                    reinterpret_cast<LPARAM>(record->window));
}

void set_colour(intptr_t number, int32_t selector, int32_t colour) {
  GadgetRecord* record = find_gadget(number);
  record->kind->operations.set_color(record, selector, colour);
}

TEST_F(RegistryTest, GadgetsWithOneBackgroundShareOneBrush) {
  ASSERT_NE(create_text_gadget(0, 10, 10, 50, 20, "a"), 0);
  ASSERT_NE(create_string_gadget(1, 10, 40, 50, 20, "b"), 0);
  const int32_t red = RGB(200, 0, 0);
  set_colour(0, GADGET_BACK_COLOR, red);
  set_colour(1, GADGET_BACK_COLOR, red);
  HBRUSH shared = find_gadget(0)->colours.back_brush;
  ASSERT_NE(shared, nullptr);
  LOGBRUSH brush{};
  ASSERT_EQ(GetObjectA(shared, sizeof brush, &brush), int{sizeof brush});
  EXPECT_EQ(brush.lbColor, static_cast<COLORREF>(red));
  EXPECT_EQ(find_gadget(1)->colours.back_brush, shared);
  HDC context = GetDC(window_);
  EXPECT_EQ(ask_colours(0, WM_CTLCOLORSTATIC, context), reinterpret_cast<LRESULT>(shared));
  EXPECT_EQ(GetBkColor(context), static_cast<COLORREF>(red));
  // The first user going leaves the brush to the second.
  DestroyWindow(find_gadget(0)->window);
  EXPECT_EQ(GetObjectType(shared), static_cast<DWORD>(OBJ_BRUSH));
  // Back to the system colour: the brush goes, the system paints again.
  set_colour(1, GADGET_BACK_COLOR, SYSTEM_COLOR);
  EXPECT_EQ(GetObjectType(shared), 0u);
  EXPECT_EQ(find_gadget(1)->colours.back_brush, nullptr);
  EXPECT_EQ(ask_colours(1, WM_CTLCOLOREDIT, context), NOT_HANDLED);
  ReleaseDC(window_, context);
}

TEST_F(RegistryTest, ColourHandlersAnswerForTheirKindsOnly) {
  ASSERT_NE(create_text_gadget(0, 10, 10, 50, 20, "text"), 0);
  ASSERT_NE(create_string_gadget(1, 10, 40, 50, 20, "string"), 0);
  const int32_t blue = RGB(0, 0, 180);
  const auto system_brush = [](int index) { return reinterpret_cast<LRESULT>(GetSysColorBrush(index)); };
  struct Case {
    const char* name;
    intptr_t number;
    int32_t front;
    bool enabled;
    UINT message;
    LRESULT expected;
  };
  const Case cases[] = {
      {"text, system colours", 0, SYSTEM_COLOR, true, WM_CTLCOLORSTATIC, NOT_HANDLED},
      {"text, front only", 0, blue, true, WM_CTLCOLORSTATIC, system_brush(COLOR_BTNFACE)},
      {"text, another message", 0, blue, true, WM_CTLCOLOREDIT, NOT_HANDLED},
      {"string, system colours", 1, SYSTEM_COLOR, true, WM_CTLCOLOREDIT, NOT_HANDLED},
      {"string, front only", 1, blue, true, WM_CTLCOLOREDIT, system_brush(COLOR_BTNHIGHLIGHT)},
      {"string, read-only look", 1, blue, true, WM_CTLCOLORSTATIC, system_brush(COLOR_BTNHIGHLIGHT)},
      {"string, disabled", 1, blue, false, WM_CTLCOLORSTATIC, NOT_HANDLED},
  };
  HDC context = GetDC(window_);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    set_colour(c.number, GADGET_FRONT_COLOR, c.front);
    EnableWindow(find_gadget(c.number)->window, c.enabled);
    SetTextColor(context, RGB(1, 1, 1));
    EXPECT_EQ(ask_colours(c.number, c.message, context), c.expected);
    if (c.expected != NOT_HANDLED) {
      EXPECT_EQ(GetTextColor(context), static_cast<COLORREF>(blue));
    }
  }
  ReleaseDC(window_, context);
}

TEST_F(RegistryTest, PumpingDispatchesWhatIsWaiting) {
  HWND control = as_window(create_string_gadget(0, 10, 10, 50, 20, ""));
  PostMessageA(control, WM_CHAR, 'p', 1);
  PostMessageA(control, WM_CHAR, 'q', 1);
  pump_pending_messages();
  EXPECT_EQ(get_gadget_text(0), "pq");
}

}  // namespace
