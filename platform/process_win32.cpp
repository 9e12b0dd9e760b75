#include "platform/process.h"

#include <windows.h>

#include "platform/codepage.h"

namespace platform {
namespace {

// The UTF-16 command line for CreateProcessW; false when the arguments cannot make one (no
// program, a quote in its path, or a line over the system's limit of 32,767 characters).
bool WideCommandLine(const std::vector<std::string>& arguments, std::wstring& wide) {
  std::string line;
  if (!BuildWindowsCommandLine(arguments, line) || arguments[0].empty()) return false;
  wide = Cp932ToWide(line.c_str());
  return wide.size() < 32767;
}

// The exit code of a process that has ended; both of its handles are closed.
int ExitCodeAndClose(PROCESS_INFORMATION& process) {
  DWORD code = 0;
  int result = GetExitCodeProcess(process.hProcess, &code) ? static_cast<int>(code) : kProcessNotStarted;
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return result;
}

}  // namespace

int RunAndWait(const std::vector<std::string>& arguments, int timeLimitMs) {
  const bool limited = timeLimitMs > 0;
  std::wstring wide;
  if (!WideCommandLine(arguments, wide)) return kProcessNotStarted;

  STARTUPINFOW startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof process);
  // A limited tool lives in a job that ends it when its last handle closes: with this call, or
  // when the caller dies, so a killed run leaves no tool to finish a delivery never logged.
  HANDLE job = limited ? CreateJobObjectW(nullptr, nullptr) : nullptr;
  if (job) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
    ZeroMemory(&limits, sizeof limits);
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
      CloseHandle(job);
      job = nullptr;
    }
  }
  if (!CreateProcessW(nullptr, &wide[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr,
                      nullptr, &startup, &process)) {
    if (job) CloseHandle(job);
    return kProcessNotStarted;
  }
  if (job && !AssignProcessToJobObject(job, process.hProcess)) {
    CloseHandle(job);  // a job the caller's own job does not allow: run without one
    job = nullptr;
  }
  ResumeThread(process.hThread);
  // One limit for both waits: a tool that never gets idle or never ends is ended.
  DWORD left = INFINITE;
  if (limited) {
    ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeLimitMs);
    WaitForInputIdle(process.hProcess, static_cast<DWORD>(timeLimitMs));
    ULONGLONG now = GetTickCount64();
    left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
  } else {
    WaitForInputIdle(process.hProcess, INFINITE);
  }
  if (WaitForSingleObject(process.hProcess, left) == WAIT_TIMEOUT) {
    if (job) TerminateJobObject(job, 1);
    else TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (job) CloseHandle(job);
    return kProcessTimedOut;
  }
  int result = ExitCodeAndClose(process);
  if (job) CloseHandle(job);
  return result;
}

int RunVisibleAndWait(const std::vector<std::string>& arguments) {
  std::wstring wide;
  if (!WideCommandLine(arguments, wide)) return kProcessNotStarted;
  // The default show state, no job and no inherited handles: the program lives on its own.
  STARTUPINFOW startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof process);
  if (!CreateProcessW(nullptr, &wide[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return kProcessNotStarted;
  WaitForSingleObject(process.hProcess, INFINITE);
  return ExitCodeAndClose(process);
}

}  // namespace platform
