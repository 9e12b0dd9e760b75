// Stands in for the transfer tool: appends its arguments (tab-separated, UTF-8) and the message
// file it was given to the file that ROWCASTER_TOOL_RECORD names, waits ROWCASTER_TOOL_DELAY_MS
// and exits with ROWCASTER_TOOL_EXIT (0 when unset).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {
std::string Utf8(const wchar_t* w) {
  char out[4096];
  int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, out, sizeof out, nullptr, nullptr);
  return n > 0 ? std::string(out, static_cast<size_t>(n - 1)) : std::string();
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  const wchar_t* record = _wgetenv(L"ROWCASTER_TOOL_RECORD");
  if (record) {
    if (FILE* f = _wfopen(record, L"ab")) {
      std::string line;
      for (int i = 1; i < argc; ++i) line += (i > 1 ? "\t" : "") + Utf8(argv[i]);
      std::fprintf(f, "%s\n", line.c_str());
      for (int i = 1; i + 1 < argc; ++i) {
        if (std::wcscmp(argv[i], L"--upload-file") != 0) continue;
        if (FILE* m = _wfopen(argv[i + 1], L"rb")) {
          char buffer[4096];
          size_t n = std::fread(buffer, 1, sizeof buffer, m);
          std::fclose(m);
          std::fprintf(f, "message %u bytes\n", static_cast<unsigned>(n));
        }
      }
      std::fclose(f);
    }
  }
  if (const wchar_t* delay = _wgetenv(L"ROWCASTER_TOOL_DELAY_MS")) Sleep(static_cast<DWORD>(_wtoi(delay)));
  const wchar_t* code = _wgetenv(L"ROWCASTER_TOOL_EXIT");
  return code ? _wtoi(code) : 0;
}
