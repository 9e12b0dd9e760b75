// The edit control's typing limit in bytes of the Shift-JIS form, in this process: typed and
// pasted characters past the limit are refused, never half a double-byte character, and text
// the program sets is not cut.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "framework/controls.h"

namespace {

std::wstring Text(HWND h) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(h, buffer, 1024);
  return buffer;
}

bool PutOnClipboard(HWND owner, const std::wstring& text) {
  if (!OpenClipboard(owner)) return false;
  EmptyClipboard();
  HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  std::memcpy(GlobalLock(g), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(g);
  SetClipboardData(CF_UNICODETEXT, g);
  CloseClipboard();
  return true;
}

class EditLimit : public ::testing::Test {
 protected:
  void SetUp() override {
    parent_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND h = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 400, 20, parent_, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(edit_.Attach(h));
  }
  void TearDown() override {
    edit_.Detach();
    DestroyWindow(parent_);
  }
  void Type(const std::wstring& chars) {
    for (wchar_t c : chars) SendMessageW(edit_.m_hWnd, WM_CHAR, c, 1);
  }
  HWND parent_ = nullptr;
  CEdit edit_;
};

TEST_F(EditLimit, TypingStopsAtTheLimitInBytes) {
  struct {
    UINT limit;
    std::wstring typed, kept;
  } cases[] = {
      {6, L"1234567", L"123456"},
      {1, L"cd", L"c"},
      {1, L"\u540D", L""},                     // a two-byte character does not fit one byte
      {5, L"\u540D\u540D\u540D", L"\u540D\u540D"},  // 4 bytes; a third would make 6
      {5, L"\u540Da\u540D", L"\u540Da\u540D"},     // exactly 5
      {4, L"\uFF71\uFF72\uFF73\uFF74\uFF75", L"\uFF71\uFF72\uFF73\uFF74"},  // half-width kana: one byte each
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.limit);
    SetWindowTextW(edit_.m_hWnd, L"");
    edit_.SetLimitText(c.limit);
    EXPECT_EQ(edit_.GetLimitText(), c.limit);
    Type(c.typed);
    EXPECT_EQ(Text(edit_.m_hWnd), c.kept);
  }
  // Backspace and replacing a selection still work at the limit.
  SetWindowTextW(edit_.m_hWnd, L"");
  edit_.SetLimitText(4);
  Type(L"\u540D\u540D");
  Type(L"x");
  EXPECT_EQ(Text(edit_.m_hWnd), L"\u540D\u540D");
  Type(L"\b");
  Type(L"xy");
  EXPECT_EQ(Text(edit_.m_hWnd), L"\u540Dxy");
  SendMessageW(edit_.m_hWnd, EM_SETSEL, 0, 1);
  Type(L"ab");  // the selected character's two bytes make room
  EXPECT_EQ(Text(edit_.m_hWnd), L"abxy");
}

TEST_F(EditLimit, TextSetByTheProgramIsNotCut) {
  edit_.SetLimitText(1);
  edit_.SetWindowText("ABC");
  EXPECT_EQ(Text(edit_.m_hWnd), L"ABC");
  char back[8];
  EXPECT_EQ(edit_.GetWindowText(back, 3), 2);  // read-back sizes cut the value, not the field
  EXPECT_STREQ(back, "AB");
}

TEST_F(EditLimit, ReadBackNeverSplitsADoubleByteCharacter) {
  SetWindowTextW(edit_.m_hWnd, L"a\u540D\u540D");  // 1 + 2 + 2 bytes
  char back[5];
  EXPECT_EQ(edit_.GetWindowText(back, 5), 3);
  EXPECT_STREQ(back, "a\x96\xBC");
}

TEST_F(EditLimit, PastingFillsUpToTheLimitAndStopsAtALineEnd) {
  edit_.SetLimitText(9);
  SetWindowTextW(edit_.m_hWnd, L"C:\\");
  SendMessageW(edit_.m_hWnd, EM_SETSEL, 3, 3);
  ASSERT_TRUE(PutOnClipboard(parent_, std::wstring(10, L'\u540D')));
  SendMessageW(edit_.m_hWnd, WM_PASTE, 0, 0);
  EXPECT_EQ(Text(edit_.m_hWnd), L"C:\\\u540D\u540D\u540D");  // 3 + 6 bytes
  edit_.SetLimitText(20);
  SetWindowTextW(edit_.m_hWnd, L"");
  ASSERT_TRUE(PutOnClipboard(parent_, L"first line\r\nsecond"));
  SendMessageW(edit_.m_hWnd, WM_PASTE, 0, 0);
  EXPECT_EQ(Text(edit_.m_hWnd), L"first line");
}

}  // namespace
