// A program that says how it was started: it writes "hidden" or "shown" and a line end to the
// file named by its first argument, then sleeps for the milliseconds of its second and exits with
// its third. Hidden is, on Windows, a start asked to hide the program's window; elsewhere, a
// standard output that is the null device.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#ifdef _WIN32
#include <windows.h>

bool StartedHidden() {
  STARTUPINFOW startup;
  GetStartupInfoW(&startup);
  return (startup.dwFlags & STARTF_USESHOWWINDOW) && startup.wShowWindow == SW_HIDE;
}

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  FILE* record = _wfopen(argv[1], L"wb");
  int sleepMs = _wtoi(argv[2]);
  int exitCode = _wtoi(argv[3]);
#else
#include <sys/stat.h>

bool StartedHidden() {
  struct stat out, null;
  if (fstat(1, &out) != 0 || stat("/dev/null", &null) != 0) return true;
  return S_ISCHR(out.st_mode) && out.st_rdev == null.st_rdev;
}

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  FILE* record = std::fopen(argv[1], "wb");
  int sleepMs = std::atoi(argv[2]);
  int exitCode = std::atoi(argv[3]);
#endif
  if (!record) return 3;
  std::fputs(StartedHidden() ? "hidden\n" : "shown\n", record);
  std::fclose(record);
  std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
  return exitCode;
}
