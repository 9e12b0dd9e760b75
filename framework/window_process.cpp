#include "framework/window_process.h"

#include "platform/codepage.h"
#include "text/sjis_text.h"

namespace {

struct TitleSearch {
  const char* text;
  HWND found;
};

// EnumWindows' step: false (stop) at the first window of another process whose title holds the text.
BOOL CALLBACK MatchTitle(HWND window, LPARAM searchAddress) {
  auto* search = reinterpret_cast<TitleSearch*>(searchAddress);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == GetCurrentProcessId()) return TRUE;  // never one of our own
  wchar_t wide[kWindowTitleCapacity] = {};
  InternalGetWindowText(window, wide, kWindowTitleCapacity);
  if (!wide[0]) return TRUE;
  char title[kWindowTitleCapacity];
  CopyWhole(title, platform::WideToCp932(wide).c_str(), sizeof title);
  if (!FindText(title, search->text)) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

bool TerminateByWindowTitle(const char* text) {
  if (!text || !text[0]) return false;
  TitleSearch search = {text, nullptr};
  EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
  if (!search.found) return false;
  TerminateWindowProcess(search.found);
  return true;
}

void TerminateWindowProcess(HWND window) { PostMessageW(window, WM_CLOSE, 0, 0); }
