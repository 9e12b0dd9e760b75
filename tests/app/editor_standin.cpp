// Stands in for the text editor: writes the arguments it was given, one per line in UTF-8, to
// the file that ROWCASTER_EDITOR_RECORD names, and ends.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int wmain(int argc, wchar_t** argv) {
  const wchar_t* record = _wgetenv(L"ROWCASTER_EDITOR_RECORD");
  if (!record) return 2;
  FILE* f = _wfopen(record, L"wb");
  if (!f) return 3;
  for (int i = 1; i < argc; ++i) {
    char utf8[4096];
    int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, utf8, sizeof utf8, nullptr, nullptr);
    if (n > 0) std::fprintf(f, "%s\n", utf8);
  }
  std::fclose(f);
  return 0;
}
