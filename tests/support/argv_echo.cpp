// A stand-in transfer tool for the engine's tests. It appends one record to the file named by
// ROWCASTER_ECHO_OUT: the number of arguments after the program name on a line of its own,
// each argument (UTF-8) followed by a zero byte, then the length of the file given after
// "--upload-file" on a line and that file's bytes. It exits with 0, or when the value after
// "--mail-rcpt" equals ROWCASTER_ECHO_FAIL_RCPT with ROWCASTER_ECHO_FAIL_CODE (55, curl's code
// for a refused recipient, when that is not set).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
std::string Utf8(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
  return out;
}
std::wstring Wide(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring out(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &out[0], n);
  return out;
}
FILE* Open(const std::string& utf8Path, const wchar_t* mode) { return _wfopen(Wide(utf8Path).c_str(), mode); }
std::string Env(const wchar_t* name) {
  const wchar_t* v = _wgetenv(name);
  return v ? Utf8(v) : std::string();
}
#define ENV(name) Env(L##name)
#define MODE(m) L##m
int wmain(int argc, wchar_t** wargv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Utf8(wargv[i]));
#else
FILE* Open(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }
std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : std::string();
}
#define ENV(name) Env(name)
#define MODE(m) m
int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
#endif
  std::string upload, recipient;
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == "--upload-file") upload = args[i + 1];
    if (args[i] == "--mail-rcpt") recipient = args[i + 1];
  }
  std::string content;
  if (!upload.empty()) {
    if (FILE* in = Open(upload, MODE("rb"))) {
      char chunk[65536];
      size_t n;
      while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0) content.append(chunk, n);
      std::fclose(in);
    }
  }
  std::string outPath = ENV("ROWCASTER_ECHO_OUT");
  if (!outPath.empty()) {
    if (FILE* out = Open(outPath, MODE("ab"))) {
      std::fprintf(out, "%u\n", static_cast<unsigned>(args.size()));
      for (const std::string& a : args) std::fwrite(a.c_str(), 1, a.size() + 1, out);
      std::fprintf(out, "%u\n", static_cast<unsigned>(content.size()));
      std::fwrite(content.data(), 1, content.size(), out);
      std::fclose(out);
    }
  }
  std::string fail = ENV("ROWCASTER_ECHO_FAIL_RCPT");
  std::string code = ENV("ROWCASTER_ECHO_FAIL_CODE");
  if (fail.empty() || fail != recipient) return 0;
  return code.empty() ? 55 : std::atoi(code.c_str());
}
