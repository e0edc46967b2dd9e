#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "base/text.h"
#include "runtime_fixture.h"

namespace {

// Puts one block of raw bytes on the clipboard under a format.
void put_on_clipboard(UINT format, const void* bytes, std::size_t size) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  if (bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    std::memcpy(GlobalLock(block), bytes, size);
    GlobalUnlock(block);
    ASSERT_NE(SetClipboardData(format, block), nullptr);
  }
  CloseClipboard();
}

TEST(ClipboardText, ReadsPlainText) {
  put_on_clipboard(CF_TEXT, "http://127.0.0.1/a.zip", 23);
  EXPECT_EQ(get_clipboard_text(), "http://127.0.0.1/a.zip");
}

TEST(ClipboardText, EmptyOrWithoutTextGivesTheEmptyText) {
  put_on_clipboard(CF_TEXT, nullptr, 0);
  EXPECT_EQ(get_clipboard_text(), "");
  const BYTE bits[4] = {1, 2, 3, 4};
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  SetClipboardData(CF_BITMAP, CreateBitmap(1, 1, 1, 32, bits));
  CloseClipboard();
  EXPECT_EQ(get_clipboard_text(), "");
}

struct HolderEvents {
  HANDLE opened, release;
};

// Another thread holds the clipboard open until told to let go.
DWORD WINAPI hold_clipboard(void* argument) {
  auto* events = static_cast<HolderEvents*>(argument);
  HWND owner = CreateWindowExA(0, "Static", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  OpenClipboard(owner);
  SetEvent(events->opened);
  WaitForSingleObject(events->release, 10000);
  CloseClipboard();
  DestroyWindow(owner);
  return 0;
}

TEST(ClipboardText, HeldOpenElsewhereGivesTheEmptyText) {
  put_on_clipboard(CF_TEXT, "busy", 5);
  HANDLE opened = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HolderEvents handles{opened, release};
  HANDLE holder = CreateThread(nullptr, 0, hold_clipboard, &handles, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(opened, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(get_clipboard_text(), "");
  SetEvent(release);
  WaitForSingleObject(holder, 10000);
  CloseHandle(holder);
  CloseHandle(opened);
  CloseHandle(release);
  EXPECT_EQ(get_clipboard_text(), "busy");
}

TEST(ClipboardText, TextWithoutTerminatorStaysInsideTheBlock) {
  put_on_clipboard(CF_TEXT, "abcd", 4);  // no NUL in the block
  Text text = get_clipboard_text();
  ASSERT_TRUE(OpenClipboard(nullptr));
  const SIZE_T block_size = GlobalSize(GetClipboardData(CF_TEXT));
  CloseClipboard();
  // The platform may terminate the block itself; what we read is never more
  // than the block and never other bytes than those placed there.
  EXPECT_LE(text.size(), block_size);
  EXPECT_EQ(std::string_view("abcd").substr(0, text.size()), std::string_view(text));
}

}  // namespace
