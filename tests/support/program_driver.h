// Starts the real Rowcaster.exe with a data folder of its own and reaches its windows from
// outside, through Win32 queries only.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/support/fresh_folder.h"

// "セールス用のメール一括送信"
constexpr wchar_t kMainTitle[] = L"\u30BB\u30FC\u30EB\u30B9\u7528\u306E\u30E1\u30FC\u30EB\u4E00\u62EC\u9001\u4FE1";

inline std::wstring FolderOfThisProgram() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.find_last_of(L'\\'));
}

// The text the control holds now (GetWindowText would give another process's control its
// creation text only).
inline std::wstring TextOf(HWND h) {
  int n = static_cast<int>(SendMessageW(h, WM_GETTEXTLENGTH, 0, 0));
  std::wstring w(static_cast<size_t>(n) + 1, L'\0');
  n = static_cast<int>(SendMessageW(h, WM_GETTEXT, static_cast<WPARAM>(n + 1), reinterpret_cast<LPARAM>(&w[0])));
  w.resize(static_cast<size_t>(n > 0 ? n : 0));
  return w;
}

// The caption of a top-level window as the system keeps it: asks nothing of its program, so a
// program that does not answer cannot hold the caller.
inline std::wstring CaptionOf(HWND h) {
  wchar_t text[512] = {};
  InternalGetWindowText(h, text, 512);
  return text;
}

inline std::wstring ClassOf(HWND h) {
  wchar_t c[64] = {};
  GetClassNameW(h, c, 64);
  return c;
}

inline bool WaitUntil(DWORD ms, const std::function<bool()>& done) {
  DWORD end = GetTickCount() + ms;
  do {
    if (done()) return true;
    Sleep(20);
  } while (static_cast<LONG>(end - GetTickCount()) > 0);
  return done();
}

// The top-level window of process `pid` with the given title, or nullptr.
inline HWND FindProcessWindow(DWORD pid, const wchar_t* title) {
  struct Search {
    DWORD pid;
    const wchar_t* title;
    HWND found;
  } s = {pid, title, nullptr};
  EnumWindows(
      [](HWND h, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if (owner == s->pid && IsWindowVisible(h) && CaptionOf(h) == s->title) {
          s->found = h;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&s));
  return s.found;
}

// The bytes of a file, read while others may still write it; empty when it cannot be read.
inline std::string ReadBytes(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return std::string();
  std::string s(static_cast<size_t>(GetFileSize(f, nullptr)), '\0');
  DWORD n = 0;
  if (!s.empty()) ReadFile(f, &s[0], static_cast<DWORD>(s.size()), &n, nullptr);
  CloseHandle(f);
  s.resize(n);
  return s;
}

// A fresh folder of one test, removed with everything in it at the end: the data root (the
// child's ProgramData) with the program's data folder inside, and beside that a copy of the
// program and its library, so that what a test puts beside the program (a stand-in transfer
// tool or editor) is seen by no other test and no later run.
class DataRoot {
 public:
  DataRoot() : fresh_("gui"), root_(fresh_.path().wstring()) {
    CreateDirectoryW((root_ + L"\\Tallowmere").c_str(), nullptr);
    CreateDirectoryW(folder().c_str(), nullptr);
    CreateDirectoryW(programFolder().c_str(), nullptr);
    for (const wchar_t* name : {L"Rowcaster.exe", L"GridBridge.dll"})
      CopyFileW((FolderOfThisProgram() + L"\\" + name).c_str(), (programFolder() + L"\\" + name).c_str(), TRUE);
  }
  const std::wstring& root() const { return root_; }
  // Where the program the test starts lies.
  std::wstring programFolder() const { return root_ + L"\\program"; }
  std::wstring folder() const { return root_ + L"\\Tallowmere\\Rowcaster"; }
  std::wstring file(const wchar_t* name) const { return folder() + L"\\" + name; }

  bool Exists(const wchar_t* name) const { return GetFileAttributesW(file(name).c_str()) != INVALID_FILE_ATTRIBUTES; }
  bool Write(const wchar_t* name, const std::string& bytes) const {
    HANDLE f = CreateFileW(file(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) && n == bytes.size();
    CloseHandle(f);
    return ok;
  }
  std::string Read(const wchar_t* name) const { return ReadBytes(file(name)); }
  // The names of the files in the data folder.
  std::vector<std::wstring> Files() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder() + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
  }

 private:
  testing_support::FreshFolder fresh_;
  std::wstring root_;
};

// The stored settings form back to plain bytes: byte k of the plain text is the nibble swap of
// the complement of stored byte n - 1 - k; the middle byte of an odd length stays.
inline std::string Unscramble(const std::string& stored) {
  std::string plain = stored;
  size_t n = stored.size();
  for (size_t k = 0; k < n; ++k) {
    if (n % 2 == 1 && k == n / 2) continue;
    unsigned char b = static_cast<unsigned char>(~static_cast<unsigned char>(stored[n - 1 - k]));
    plain[k] = static_cast<char>(((b & 0x0F) << 4) | (b >> 4));
  }
  return plain;
}

// The fifteen CR LF lines of a settings text.
inline std::vector<std::string> SettingsLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// Settings lines 1..15 with the built-in values.
inline std::vector<std::string> BuiltInSettingsLines() {
  std::vector<std::string> l(15);
  l[11] = "2";
  l[12] = "999";
  l[13] = "4";
  return l;
}

inline std::string SettingsText(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l + "\r\n";
  return s;
}

inline std::string ToCp932(const std::wstring& w) {
  int n = WideCharToMultiByte(932, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  if (n > 0) WideCharToMultiByte(932, 0, w.c_str(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
  return s;
}

class Program {
 public:
  explicit Program(const DataRoot& data, const std::wstring& extraEnvironment = L"") {
    // The child's environment: ours, with ProgramData pointing at the test's own root.
    std::wstring block;
    wchar_t* env = GetEnvironmentStringsW();
    for (const wchar_t* p = env; *p; p += wcslen(p) + 1) {
      if (_wcsnicmp(p, L"ProgramData=", 12) == 0) continue;
      block += p;
      block += L'\0';
    }
    FreeEnvironmentStringsW(env);
    block += L"ProgramData=" + data.root();
    block += L'\0';
    if (!extraEnvironment.empty()) {
      block += extraEnvironment;
      block += L'\0';
    }
    block += L'\0';
    std::wstring exe = data.programFolder() + L"\\Rowcaster.exe";
    std::wstring command = L"\"" + exe + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    started_ = CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                              &block[0], data.programFolder().c_str(), &si, &pi_) != FALSE;
    if (started_) {
      // Ready once the window has opened completely: its last step puts the focus on the title.
      WaitUntil(20000, [this] {
        // The splash screen comes and goes before the main window.
        HWND splash = FindWindowW(L"SplashScreenExClass", nullptr);
        DWORD owner = 0;
        if (splash) GetWindowThreadProcessId(splash, &owner);
        if (splash && owner == pi_.dwProcessId && IsWindowVisible(splash)) {
          sawSplash_ = true;
          GetWindowRect(splash, &splashRect_);
          splashTopmost_ = (GetWindowLongW(splash, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        }
        HWND h = FindProcessWindow(pi_.dwProcessId, kMainTitle);
        GUITHREADINFO gti = {};
        gti.cbSize = sizeof gti;
        if (h && !IsWindowVisible(h)) return false;
        if (!h || !GetGUIThreadInfo(GetWindowThreadProcessId(h, nullptr), &gti)) return false;
        if (gti.hwndFocus != GetDlgItem(h, IDC_MAIL_TITLE)) return false;
        main_ = h;
        return true;
      });
    }
  }
  ~Program() {
    if (started_) {
      if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 99);
      WaitForSingleObject(pi_.hProcess, 5000);
      CloseHandle(pi_.hThread);
      CloseHandle(pi_.hProcess);
    }
  }
  bool started() const { return started_; }
  bool sawSplash() const { return sawSplash_; }
  RECT splashRect() const { return splashRect_; }
  bool splashTopmost() const { return splashTopmost_; }
  HWND main() const { return main_; }
  DWORD pid() const { return pi_.dwProcessId; }
  HWND item(int id) const { return GetDlgItem(main_, id); }
  std::wstring text(int id) const { return TextOf(item(id)); }
  bool WaitForExit(DWORD ms) const { return WaitForSingleObject(pi_.hProcess, ms) == WAIT_OBJECT_0; }
  // Ends the program at once, as a crash or the task manager would; true once it has ended.
  bool Kill() const {
    TerminateProcess(pi_.hProcess, 99);
    return WaitForExit(10000);
  }

  // Typing at the end of the field: the characters one by one, as the keyboard delivers them.
  void Type(int id, const std::wstring& chars) const {
    LRESULT end = SendMessageW(item(id), WM_GETTEXTLENGTH, 0, 0);
    SendMessageW(item(id), EM_SETSEL, static_cast<WPARAM>(end), end);
    for (wchar_t c : chars) SendMessageW(item(id), WM_CHAR, c, 1);
  }
  // Never waits for ever on a program that hangs: the test fails instead.
  bool SetText(int id, const std::wstring& text) const {
    return SendMessageTimeoutW(item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, 5000,
                               nullptr) != 0;
  }
  bool Click(int id) const {
    return SendMessageTimeoutW(item(id), BM_CLICK, 0, 0, SMTO_NORMAL, 10000, nullptr) != 0;
  }
  void KeyDown(HWND target, WPARAM key) const {
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
  }
  // A click whose handler may run a modal loop: posted, so that the caller is not held.
  void PostClick(int id, HWND dialog = nullptr) const {
    HWND d = dialog ? dialog : main_;
    PostMessageW(d, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(d, id)));
  }
  // The program's message box with this caption, and its text.
  HWND WaitForMessageBox(const wchar_t* caption, DWORD ms = 5000) const {
    HWND box = nullptr;
    WaitUntil(ms, [&] { return (box = FindProcessWindow(pi_.dwProcessId, caption)) != nullptr; });
    return box;
  }
  static std::wstring MessageBoxText(HWND box) { return TextOf(GetDlgItem(box, 0xFFFF)); }
  static bool CloseMessageBox(HWND box) {
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return WaitUntil(5000, [&] { return !IsWindow(box); });
  }
  // The program's open-file dialog: a visible dialog box of its process other than the main
  // window and `besides` (a dialog that opened it), waited for up to 10 s.
  HWND WaitForFileDialog(HWND besides = nullptr) const {
    struct Search {
      DWORD pid;
      HWND main, besides, found;
    } s = {pi_.dwProcessId, main_, besides, nullptr};
    WaitUntil(10000, [&] {
      EnumWindows(
          [](HWND h, LPARAM l) -> BOOL {
            auto* s = reinterpret_cast<Search*>(l);
            DWORD pid = 0;
            GetWindowThreadProcessId(h, &pid);
            bool other = h != s->main && h != s->besides;
            if (pid == s->pid && other && IsWindowVisible(h) && ClassOf(h) == L"#32770") {
              s->found = h;
              return FALSE;
            }
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&s));
      return s.found != nullptr;
    });
    return s.found;
  }
  // Types the path into an open-file dialog's name box and presses its OK button.
  static bool ChooseInFileDialog(HWND dialog, const std::wstring& path) {
    HWND name = GetDlgItem(dialog, 0x47C);  // the file name box
    if (!name) name = GetDlgItem(dialog, 0x480);
    if (!name) return false;
    SendMessageTimeoutW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_NORMAL, 5000, nullptr);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    return true;
  }
  // Waits until the program has worked through what was posted to it.
  void Settle() const { SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_BLOCK, 5000, nullptr); }

  // Status-bar queries whose answers are written into the program's own memory.
  std::wstring PaneText(int pane) const {
    HWND bar = FindWindowExW(main_, nullptr, STATUSCLASSNAMEW, nullptr);
    wchar_t buffer[256] = {};
    Remote(bar, SB_GETTEXTW, pane, buffer, sizeof buffer);
    return buffer;
  }
  std::vector<int> PaneEdges() const {
    HWND bar = FindWindowExW(main_, nullptr, STATUSCLASSNAMEW, nullptr);
    int edges[8] = {};
    int n = static_cast<int>(Remote(bar, SB_GETPARTS, 8, edges, sizeof edges));
    return std::vector<int>(edges, edges + (n > 0 && n <= 8 ? n : 0));
  }

 private:
  LRESULT Remote(HWND to, UINT message, WPARAM wParam, void* out, size_t size) const {
    void* remote = VirtualAllocEx(pi_.hProcess, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    if (!remote) return 0;
    LRESULT r = SendMessageW(to, message, wParam, reinterpret_cast<LPARAM>(remote));
    SIZE_T got = 0;
    ReadProcessMemory(pi_.hProcess, remote, out, size, &got);
    VirtualFreeEx(pi_.hProcess, remote, 0, MEM_RELEASE);
    return r;
  }

  bool started_ = false;
  bool sawSplash_ = false;
  bool splashTopmost_ = false;
  RECT splashRect_ = {};
  PROCESS_INFORMATION pi_ = {};
  HWND main_ = nullptr;
};
