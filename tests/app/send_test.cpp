// Sending from the real program's window under Wine: the input checks and their messages, the
// values they fill in, test and real runs through a stand-in transfer tool, the window during
// and after a run, stop, and save-and-exit refused while a run lasts.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "resources/resource.h"
#include "tests/support/program_driver.h"

namespace {

const wchar_t kMainCaption[] = L"\u4E00\u62EC\u30E1\u30FC\u30EB\u9001\u4FE1";  // 一括メール送信

std::wstring W(const char* utf8) {
  wchar_t out[512];
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out, 512);
  return n > 0 ? std::wstring(out, static_cast<size_t>(n - 1)) : std::wstring();
}

int CountLines(const std::string& text, const std::string& start) {
  int n = 0;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    if (text.compare(at, start.size(), start) == 0) ++n;
    at = end + 1;
  }
  return n;
}

// The stand-in transfer tool beside the test's program for the life of a test.
class StandInTool {
 public:
  explicit StandInTool(const DataRoot& data) : path_(data.programFolder() + L"\\SMTP.exe") {
    ok_ = CopyFileW((FolderOfThisProgram() + L"\\gui_tool_standin.exe").c_str(), path_.c_str(), FALSE) != FALSE;
  }
  ~StandInTool() { DeleteFileW(path_.c_str()); }
  bool ok() const { return ok_; }

 private:
  std::wstring path_;
  bool ok_;
};

// A data folder with a body file and a three-row recipient list, and settings that pass.
struct SendFixture {
  DataRoot data;
  std::wstring body = data.folder() + L"\\body.txt";
  std::wstring list = data.folder() + L"\\list.csv";
  std::wstring record = data.folder() + L"\\tool-record.txt";
  std::vector<std::string> lines = std::vector<std::string>(15);
  SendFixture() {
    data.Write(L"body.txt", "Dear {name},\r\nnews.\r\n");
    data.Write(L"list.csv", "name,email\r\nTaro,taro@example.jp\r\nHanako,hanako@example.jp\r\nJiro,jiro@example.jp\r\n");
    lines[0] = "sales@example.jp";
    lines[1] = "sales@example.jp";
    lines[2] = "pw";
    lines[3] = "Sales";
    lines[4] = "127.0.0.1";
    lines[5] = "465";
    lines[6] = "News for {name}";
    lines[7] = ToCp932(body);
    lines[8] = ToCp932(list);
    lines[9] = "list";
    lines[10] = "B";
    lines[11] = "2";
    lines[12] = "4";
    lines[13] = "1";
    lines[14] = "test@example.jp";
  }
  // The plain settings file, with no stored form left from an earlier start to win over it.
  bool WriteSettings() const {
    DeleteFileW(data.file(L"Environ.psw").c_str());
    return data.Write(L"Environ.def", SettingsText(lines));
  }
  std::wstring Environment(int exitCode = 0, int delayMs = 0) const {
    return L"ROWCASTER_TOOL_RECORD=" + record + std::wstring(1, L'\0') + L"ROWCASTER_TOOL_EXIT=" +
           std::to_wstring(exitCode) + std::wstring(1, L'\0') + L"ROWCASTER_TOOL_DELAY_MS=" + std::to_wstring(delayMs);
  }
};

// Presses a button and collects the messages it raises, closing each, until none comes.
std::vector<std::wstring> PressAndCollect(const Program& p, int button) {
  p.PostClick(button);
  std::vector<std::wstring> messages;
  while (HWND box = p.WaitForMessageBox(kMainCaption, 1000)) {
    messages.push_back(Program::MessageBoxText(box));
    if (!Program::CloseMessageBox(box)) break;
  }
  return messages;
}

bool Idle(const Program& p) {
  return IsWindowEnabled(p.item(IDOK)) && IsWindowEnabled(p.item(IDC_TEST_SEND)) &&
         !IsWindowEnabled(p.item(IDC_STOP)) && !IsWindowVisible(p.item(IDC_PROGRESS));
}

TEST(SendCommands, EachCheckShowsItsMessageInOrderAndFillsItsValues) {
  SendFixture f;
  std::vector<std::string>& l = f.lines;
  l[0] = "";
  ASSERT_TRUE(f.WriteSettings());
  {
    Program p(f.data);
    ASSERT_NE(p.main(), nullptr);
    EXPECT_EQ(PressAndCollect(p, IDOK), std::vector<std::wstring>{W(u8"送信元アドレスが指定されていません。")});
    // Test send with TestAddress and MailAddress empty: both test-address messages, no run.
    p.SetText(IDC_TEST_ADDRESS, L"");
    EXPECT_EQ(PressAndCollect(p, IDC_TEST_SEND),
              (std::vector<std::wstring>{W(u8"テスト送信用の送信先アドレスが指定されていません。送信元アドレスを設定します。"),
                                         W(u8"テスト送信用の送信先アドレスに誤りがあります。")}));
    EXPECT_TRUE(Idle(p));
    ASSERT_TRUE(p.Click(IDCANCEL));
    ASSERT_TRUE(p.WaitForExit(10000));
  }
  l[0] = ToCp932(L"\u8868sales.example.jp");  // 表 is 0x95 0x40: a trail byte 0x40 is no at sign
  ASSERT_TRUE(f.WriteSettings());
  Program p(f.data);
  ASSERT_NE(p.main(), nullptr);
  EXPECT_EQ(PressAndCollect(p, IDOK), std::vector<std::wstring>{W(u8"送信元アドレスに誤りがあります。")});
  ASSERT_TRUE(p.Click(IDCANCEL));
  ASSERT_TRUE(p.WaitForExit(10000));

  // With a good address, the window's own fields lead through the remaining checks.
  l[0] = "sales@example.jp";
  l[6] = "";
  l[7] = "";
  l[8] = "";
  l[9] = "";
  l[10] = "";
  ASSERT_TRUE(f.WriteSettings());
  StandInTool tool(f.data);
  ASSERT_TRUE(tool.ok());
  Program q(f.data, f.Environment());
  ASSERT_NE(q.main(), nullptr);
  struct Step {
    int field;  // 0: press without a change
    std::wstring text;
    std::vector<std::wstring> messages;
  } steps[] = {
      {0, L"", {W(u8"送信メールのタイトルが指定されていません。")}},
      {IDC_MAIL_TITLE, L"News for {name}", {W(u8"メール本文ファイルが指定されていません。")}},
      {IDC_BODY_FILE, f.data.folder() + L"\\no-body.txt", {W(u8"メール本文ファイルは存在しません。")}},
      {IDC_BODY_FILE, f.body, {W(u8"送信先アドレス一覧ファイル(Excel)が指定されていません。")}},
      {IDC_LIST_FILE, f.data.folder() + L"\\no-list.csv", {W(u8"送信先アドレス一覧ファイル(Excel)は存在しません。")}},
      {IDC_LIST_FILE, f.list, {W(u8"送信先アドレス一覧ファイル(Excel)のシート名が指定されていません。")}},
      {IDC_SHEET_NAME, L"list", {W(u8"シート内のe-Mail欄にが指定されていません。")}},
      {IDC_MAIL_COLUMN, L"B", {}},  // set below with the rows
  };
  for (const Step& s : steps) {
    if (s.field) q.SetText(s.field, s.text);
    if (s.messages.empty()) break;
    SCOPED_TRACE(ToCp932(s.messages[0]));
    EXPECT_EQ(PressAndCollect(q, IDOK), s.messages);
  }
  // Start row above the end row: refused. An empty end row is filled with 99999 first.
  q.SetText(IDC_START_ROW, L"10");
  q.SetText(IDC_END_ROW, L"5");
  EXPECT_EQ(PressAndCollect(q, IDOK), std::vector<std::wstring>{W(u8"送信先アドレス一覧の送信開始行と終了行が逆転しています。")});
  q.SetText(IDC_START_ROW, L"100000");
  q.SetText(IDC_END_ROW, L"");
  EXPECT_EQ(PressAndCollect(q, IDOK),
            (std::vector<std::wstring>{W(u8"送信先アドレス一覧の送信終了行が指定されていません。99999を設定します。"),
                                       W(u8"送信先アドレス一覧の送信開始行と終了行が逆転しています。")}));
  EXPECT_EQ(q.text(IDC_END_ROW), L"99999");
  EXPECT_TRUE(Idle(q));
  // An empty test address takes the sender's, interval 0 is filled with 10, and the test run
  // starts: one row, to the sender's address.
  q.SetText(IDC_START_ROW, L"3");
  q.SetText(IDC_END_ROW, L"3");
  q.SetText(IDC_INTERVAL, L"0");
  q.SetText(IDC_TEST_ADDRESS, L"");
  EXPECT_EQ(PressAndCollect(q, IDC_TEST_SEND),
            (std::vector<std::wstring>{W(u8"テスト送信用の送信先アドレスが指定されていません。送信元アドレスを設定します。"),
                                       W(u8"メール送信の間隔秒が指定されていません。10秒を設定します。")}));
  EXPECT_EQ(q.text(IDC_INTERVAL), L"10");
  EXPECT_EQ(q.text(IDC_TEST_ADDRESS), L"sales@example.jp");
  ASSERT_TRUE(WaitUntil(20000, [&] { return Idle(q); }));
  std::string record = ReadBytes(f.record);
  EXPECT_EQ(CountLines(record, "--url"), 1) << record;
  EXPECT_NE(record.find("--mail-rcpt\tsales@example.jp"), std::string::npos) << record;
  EXPECT_FALSE(f.data.Exists(L"SendLogs.txt"));  // a test run leaves the log alone
  ASSERT_TRUE(q.Click(IDCANCEL));
  ASSERT_TRUE(q.WaitForExit(10000));
  std::vector<std::string> stored = SettingsLines(Unscramble(f.data.Read(L"Environ.psw")));
  ASSERT_EQ(stored.size(), 15u);
  EXPECT_EQ(stored[13], "10");
  EXPECT_EQ(stored[14], "sales@example.jp");
}

TEST(SendCommands, RealRunDeliversEveryRowLogsItAndRestoresTheWindow) {
  SendFixture f;
  ASSERT_TRUE(f.WriteSettings());
  StandInTool tool(f.data);
  ASSERT_TRUE(tool.ok());
  Program p(f.data, f.Environment(0, 700));
  ASSERT_NE(p.main(), nullptr);
  p.PostClick(IDOK);
  // Running: stop enabled, editing disabled, bar shown with the row count as its range.
  ASSERT_TRUE(WaitUntil(5000, [&] { return IsWindowVisible(p.item(IDC_PROGRESS)) != FALSE; }));
  EXPECT_TRUE(IsWindowEnabled(p.item(IDC_STOP)));
  for (int id : {IDC_TEST_SEND, IDOK, IDC_VIEW_LOG, IDC_EDIT_BODY, IDC_EDIT_LIST, IDC_SMTP_SETTINGS, IDCANCEL,
                 IDC_PICK_BODY, IDC_PICK_LIST, IDC_MAIL_TITLE, IDC_BODY_FILE, IDC_LIST_FILE, IDC_SHEET_NAME,
                 IDC_MAIL_COLUMN, IDC_START_ROW, IDC_END_ROW, IDC_INTERVAL, IDC_TEST_ADDRESS})
    EXPECT_FALSE(IsWindowEnabled(p.item(id))) << id;
  EXPECT_EQ(SendMessageW(p.item(IDC_PROGRESS), PBM_GETRANGE, FALSE, 0), 3);
  EXPECT_TRUE(IsWindowVisible(p.item(IDC_RUN_ANIMATION)));  // the animation plays
  // Escape (save and exit) is refused while the run lasts; Enter starts no second run.
  p.KeyDown(p.item(IDC_STATUS), VK_ESCAPE);
  HWND box = p.WaitForMessageBox(kMainCaption);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(Program::MessageBoxText(box), W(u8"メール送信が実行中です。送信を停止してから終了してください。"));
  ASSERT_TRUE(Program::CloseMessageBox(box));
  PostMessageW(p.main(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_TRUE(IsWindow(p.main()));
  ASSERT_TRUE(WaitUntil(30000, [&] { return Idle(p); }));
  EXPECT_EQ(p.text(IDC_STATUS), W(u8"メール送信を終了しました。"));
  EXPECT_FALSE(IsWindowVisible(p.item(IDC_RUN_ANIMATION)));
  EXPECT_EQ(SendMessageW(p.item(IDC_PROGRESS), PBM_GETPOS, 0, 0), 3);
  std::string record = ReadBytes(f.record);
  EXPECT_EQ(CountLines(record, "--url"), 3) << record;
  for (const char* to : {"taro@example.jp", "hanako@example.jp", "jiro@example.jp"})
    EXPECT_NE(record.find(std::string("--mail-rcpt\t") + to), std::string::npos) << to;
  EXPECT_EQ(CountLines(record, "message "), 3);
  std::string log = f.data.Read(L"SendLogs.txt");
  EXPECT_EQ(CountLines(log, ""), 3) << log;
  // A second real run finds every row in the log and sends nothing. Rows 2 to 70,001 give the
  // bar's 16-bit range 70,000 modulo 65,536.
  p.SetText(IDC_END_ROW, L"70001");
  p.PostClick(IDOK);
  ASSERT_TRUE(WaitUntil(5000, [&] { return !Idle(p); }));
  EXPECT_EQ(SendMessageW(p.item(IDC_PROGRESS), PBM_GETRANGE, FALSE, 0), 4464);
  ASSERT_TRUE(WaitUntil(30000, [&] { return Idle(p); }));
  EXPECT_EQ(CountLines(ReadBytes(f.record), "--url"), 3);
  // The Escape press during the first run drops this start's edits at the exit.
  ASSERT_TRUE(p.Click(IDCANCEL));
  ASSERT_TRUE(p.WaitForExit(10000));
  std::vector<std::string> stored = SettingsLines(Unscramble(f.data.Read(L"Environ.psw")));
  ASSERT_EQ(stored.size(), 15u);
  EXPECT_EQ(stored[12], "4");
}

TEST(SendCommands, StopEndsTheRunAndAFailingToolIsReportedAndNotLogged) {
  SendFixture f;
  f.lines[12] = "999";
  ASSERT_TRUE(f.WriteSettings());
  StandInTool tool(f.data);
  ASSERT_TRUE(tool.ok());
  Program p(f.data, f.Environment(7, 300));
  ASSERT_NE(p.main(), nullptr);
  p.PostClick(IDOK);
  ASSERT_TRUE(WaitUntil(5000, [&] { return IsWindowEnabled(p.item(IDC_STOP)) != FALSE; }));
  ASSERT_TRUE(WaitUntil(10000, [&] { return CountLines(ReadBytes(f.record), "--url") >= 1; }));
  p.PostClick(IDC_STOP);
  p.PostClick(IDC_STOP);  // twice is harmless
  ASSERT_TRUE(WaitUntil(15000, [&] { return Idle(p); }));
  EXPECT_LT(CountLines(ReadBytes(f.record), "--url"), 3);
  // The run's last line counts the rows that failed.
  EXPECT_EQ(p.text(IDC_STATUS), W(u8"メール送信を終了しました。送信に失敗した行が1件あります。"));
  EXPECT_FALSE(f.data.Exists(L"SendLogs.txt"));
  ASSERT_TRUE(p.Click(IDCANCEL));
  ASSERT_TRUE(p.WaitForExit(10000));
}

TEST(SendCommands, WindowShowingTheWorkbookIsAskedToCloseAndOurOwnAreLeftAlone) {
  SendFixture f;
  ASSERT_TRUE(f.WriteSettings());
  StandInTool tool(f.data);
  ASSERT_TRUE(tool.ok());
  // A window of this (another) process whose title names the workbook.
  HWND other = CreateWindowExW(0, L"STATIC", L"list.csv - Viewer", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(other, nullptr);
  bool closed = false;
  SetWindowSubclass(
      other,
      [](HWND h, UINT m, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR data) -> LRESULT {
        if (m == WM_CLOSE) {
          *reinterpret_cast<bool*>(data) = true;
          return 0;  // a program that asks first may keep its window
        }
        return DefSubclassProc(h, m, w, l);
      },
      1, reinterpret_cast<DWORD_PTR>(&closed));
  Program p(f.data, f.Environment());
  ASSERT_NE(p.main(), nullptr);
  p.PostClick(IDOK);
  WaitUntil(30000, [&] {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    return closed;
  });
  EXPECT_TRUE(closed);
  ASSERT_TRUE(WaitUntil(30000, [&] { return Idle(p); }));
  EXPECT_TRUE(IsWindow(other));  // asked, not killed
  ASSERT_TRUE(p.Click(IDCANCEL));
  ASSERT_TRUE(p.WaitForExit(10000));

  // A workbook path with an empty file name, and one whose name is part of the program's own
  // title (both existing folders): no window is asked to close, the program's own stays.
  CreateDirectoryW((f.data.folder() + L"\\\u4E00\u62EC\u9001\u4FE1").c_str(), nullptr);  // 一括送信
  for (const std::wstring& list : {f.data.folder() + L"\\", f.data.folder() + L"\\\u4E00\u62EC\u9001\u4FE1"}) {
    SCOPED_TRACE(ToCp932(list));
    // The restoration of the run before asked once more; that request is taken first.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    closed = false;
    f.lines[8] = ToCp932(list);
    ASSERT_TRUE(f.WriteSettings());
    Program q(f.data, f.Environment());
    ASSERT_NE(q.main(), nullptr);
    q.PostClick(IDOK);
    ASSERT_TRUE(WaitUntil(5000, [&] { return !Idle(q); }));
    ASSERT_TRUE(WaitUntil(30000, [&] {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      return Idle(q);
    }));
    EXPECT_FALSE(closed);
    EXPECT_FALSE(q.WaitForExit(500));
    EXPECT_EQ(q.WaitForMessageBox(kMainCaption, 300), nullptr);
    ASSERT_TRUE(q.Click(IDCANCEL));
    ASSERT_TRUE(q.WaitForExit(10000));
  }
  RemoveDirectoryW((f.data.folder() + L"\\\u4E00\u62EC\u9001\u4FE1").c_str());
  DestroyWindow(other);
}

}  // namespace

namespace {

TEST(SendCommands, WithoutATransferToolBothCommandsRefuseBeforeStarting) {
  // No SMTP.exe beside the program and no curl.exe in the system folder.
  SendFixture f;
  ASSERT_TRUE(f.WriteSettings());
  Program p(f.data, f.Environment());
  ASSERT_NE(p.main(), nullptr);
  const std::vector<std::wstring> refusal{
      W(u8"メール送信ツール（SMTP.exe または curl.exe）が見つかりません。メール送信はしません。")};
  EXPECT_EQ(PressAndCollect(p, IDOK), refusal);
  EXPECT_EQ(PressAndCollect(p, IDC_TEST_SEND), refusal);
  EXPECT_TRUE(Idle(p));
  // No row was attempted: the tool never ran and no message file was written.
  EXPECT_EQ(GetFileAttributesW(f.record.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW(f.data.file(L"SendMail.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(p.Click(IDCANCEL));
  ASSERT_TRUE(p.WaitForExit(10000));
}

}  // namespace
