#include "framework/file_dialog.h"

#include <commdlg.h>

#include <vector>

#include "platform/codepage.h"

namespace {

// Room for the chosen path in UTF-16 units: the longest path the system can name.
constexpr DWORD kChosenPathCapacity = 32768;

}  // namespace

FileDialogResult ShowOpenFileDialog(HWND owner, const char* filter, const char* initialFolder, std::string& path) {
  path.clear();
  std::wstring wideFilter = platform::Cp932ToWide(filter ? filter : "");
  for (wchar_t& c : wideFilter)
    if (c == L'|') c = L'\0';
  std::wstring folder = platform::Cp932ToWide(initialFolder ? initialFolder : "");
  std::vector<wchar_t> chosen(kChosenPathCapacity, L'\0');
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = wideFilter.c_str();
  ofn.lpstrFile = chosen.data();
  ofn.nMaxFile = kChosenPathCapacity;
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_CREATEPROMPT;
  if (!GetOpenFileNameW(&ofn)) return FileDialogResult::kCancelled;
  std::string sjis;
  if (!platform::WideToCp932(chosen.data(), sjis)) return FileDialogResult::kNoShiftJisForm;
  path = sjis;
  return FileDialogResult::kPicked;
}
