// Test helper: waits for a top-level window with the given title, then asks it to close.
// Exit status 0 when the window appeared (and, with "close", went away), 1 otherwise.
//   wait_window.exe <title> <seconds> [close]
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 3) return 2;
  const wchar_t* title = argv[1];
  DWORD limit = static_cast<DWORD>(_wtoi(argv[2])) * 1000;
  bool close = argc > 3 && std::wcscmp(argv[3], L"close") == 0;
  DWORD start = GetTickCount();
  HWND window = nullptr;
  while (!(window = FindWindowW(nullptr, title))) {
    if (GetTickCount() - start > limit) return 1;
    Sleep(200);
  }
  if (close) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    while (IsWindow(window)) {
      if (GetTickCount() - start > limit) return 1;
      Sleep(200);
    }
  }
  return 0;
}
