#include "framework/shell.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/codepage.h"

void ShellOpen(const char* path) {
  std::wstring wide = platform::Cp932ToWide(path ? path : "");
  ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::string SystemTextEditorPath() {
  wchar_t windows[MAX_PATH] = {};
  UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
  std::wstring notepad = (n > 0 && n < MAX_PATH) ? std::wstring(windows) + L"\\notepad.exe" : L"notepad.exe";
  return platform::WideToCp932(notepad.c_str());
}
