#pragma once
// Text values: 8-bit ANSI characters without NULs, stored in the text heap.
// Every operation that produces text returns a new value of its own, so a
// text built on one thread shares nothing with texts built on another. An
// absent text (a null pointer) is the empty text wherever a text is taken.
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>

#include "base/heap.h"

template <class T>
struct TextAllocator {
  using value_type = T;
  TextAllocator() noexcept = default;
  template <class U>
  TextAllocator(const TextAllocator<U>&) noexcept {}
  T* allocate(std::size_t count) {
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    void* block = allocate_text_memory(count * sizeof(T));
    if (!block) throw std::bad_alloc();  // caught inside the runtime; see make_text
    return static_cast<T*>(block);
  }
  void deallocate(T* block, std::size_t) noexcept { free_text_memory(block); }
  template <class U>
  bool operator==(const TextAllocator<U>&) const noexcept { return true; }
};

using Text = std::basic_string<char, std::char_traits<char>, TextAllocator<char>>;

// Any text argument: a C string (null reads as empty), a view, or a Text.
struct TextRef {
  std::string_view view;
  TextRef(const char* text) : view(text ? text : "") {}
  TextRef(std::string_view text) : view(text) {}
  template <class Allocator>
  TextRef(const std::basic_string<char, std::char_traits<char>, Allocator>& text) : view(text) {}
  TextRef(std::nullptr_t) : view() {}
};

// Creates the text heap; must run before any text is built.
bool init_text();

// A new text holding these bytes; the empty text when memory runs out (no
// allocation failure ever leaves the runtime as an exception).
Text make_text(TextRef text) noexcept;
// The concatenation of two texts, nothing inserted; empty when memory runs out.
Text join_text(TextRef first, TextRef second) noexcept;

// 1 when the texts are equal byte for byte, else 0. The program tests a text
// for emptiness with the text's own empty() instead.
int compare_text(TextRef a, TextRef b);

constexpr int REPLACE_NO_CASE = 1;   // ASCII letters match regardless of case
constexpr int REPLACE_IN_PLACE = 2;  // change the text in its own storage

// Every match of searched in text from the 1-based start on, left to right
// and never overlapping, replaced. A start below 1 counts as 1; one past the
// end of the text is clamped there.
Text replace_text(TextRef text, TextRef searched, TextRef replacement, int mode = 0, intptr_t start = 1);
// In-place mode: the length never changes, so a replacement whose length
// differs from the searched text's leaves the text as it is.
void replace_text(Text* text, TextRef searched, TextRef replacement, int mode, intptr_t start = 1);

// The process's current directory ending in "\"; empty on failure or when it
// does not fit in 260 bytes.
Text get_current_directory();

// The clipboard's plain text (CF_TEXT), or empty.
Text get_clipboard_text();
