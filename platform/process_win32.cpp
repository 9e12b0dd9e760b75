#include "platform/process.h"

#include <windows.h>

#include "platform/codepage.h"

namespace platform {

int RunAndWait(const std::vector<std::string>& arguments) {
  std::string line;
  if (!BuildWindowsCommandLine(arguments, line) || arguments[0].empty()) return kProcessNotStarted;
  std::wstring wide = Cp932ToWide(line.c_str());
  // The command line must stay under the system's limit of 32,767 characters.
  if (wide.size() >= 32767) return kProcessNotStarted;

  STARTUPINFOW startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof process);
  if (!CreateProcessW(nullptr, &wide[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &process))
    return kProcessNotStarted;
  WaitForInputIdle(process.hProcess, INFINITE);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  int result = GetExitCodeProcess(process.hProcess, &code) ? static_cast<int>(code) : kProcessNotStarted;
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return result;
}

}  // namespace platform
