// The real program's window under Wine delivering through the real transfer tool: SMTP.exe
// (curl built for Windows) beside Rowcaster.exe, to the suite's local SMTPS server. Started by
// tests/e2e/wine_real_tool_test.py, which runs the server, passes its port and mail folder in
// ROWCASTER_SMTPS_PORT and ROWCASTER_SMTPS_MAIL (login "sales", password `pa ss"wo\rd`) and the
// authority that signed its certificate in CURL_CA_BUNDLE, and afterwards decodes every mail
// that arrived.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/program_driver.h"

namespace {

std::wstring W(const char* utf8) {
  wchar_t out[512];
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out, 512);
  return n > 0 ? std::wstring(out, static_cast<size_t>(n - 1)) : std::wstring();
}

std::wstring Env(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  return value ? value : L"";
}

// The mails the server has taken so far (each is saved as NNNN.eml, then NNNN.json).
int CountMails() {
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW((Env(L"ROWCASTER_SMTPS_MAIL") + L"\\*.json").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return 0;
  int n = 0;
  do ++n;
  while (FindNextFileW(h, &found));
  FindClose(h);
  return n;
}

bool Idle(const Program& p) {
  return IsWindowEnabled(p.item(1)) && IsWindowEnabled(p.item(1010)) && !IsWindowEnabled(p.item(1011)) &&
         !IsWindowVisible(p.item(1030));
}

// Presses a send button and follows the run to its end: the status lines seen while it ran, in
// order, each once. Empty when the run never started or did not end in time.
std::vector<std::wstring> RunAndWatch(const Program& p, int button) {
  p.PostClick(button);
  std::vector<std::wstring> seen;
  bool started = false;
  bool ended = WaitUntil(120000, [&] {
    // The window leaves idle before the run's thread starts: every line read after that is
    // the run's own.
    bool idle = Idle(p);
    started = started || !idle;
    if (!started) return false;
    std::wstring line = p.text(1009);
    if (!line.empty() && (seen.empty() || seen.back() != line)) seen.push_back(line);
    return idle;
  });
  return started && ended ? seen : std::vector<std::wstring>();
}

bool Saw(const std::vector<std::wstring>& lines, const std::wstring& line) {
  for (const std::wstring& l : lines)
    if (l == line) return true;
  return false;
}

// A data folder with a UTF-8 body and a three-row UTF-8 list with Japanese names, and settings
// that reach the local server.
struct RealToolFixture {
  DataRoot data;
  std::vector<std::string> lines = std::vector<std::string>(15);
  RealToolFixture() {
    // The program the test starts lies in a folder of its own: the real tool goes beside it.
    CopyFileW((FolderOfThisProgram() + L"\\SMTP.exe").c_str(), (data.programFolder() + L"\\SMTP.exe").c_str(), FALSE);
    data.Write(L"body.txt", u8"{氏名} 様\r\n\r\n新製品のご案内です。\r\n");
    data.Write(L"list.csv", u8"氏名,メール\r\n山田,yamada@example.jp\r\n佐藤,sato@example.jp\r\n鈴木,suzuki@example.jp\r\n");
    lines[0] = "sales@example.jp";
    lines[1] = "sales";
    lines[2] = "pa ss\"wo\\rd";  // a space, a quote and a backslash cross the command line
    lines[3] = ToCp932(W(u8"営業部"));
    lines[4] = "127.0.0.1";
    lines[5] = ToCp932(Env(L"ROWCASTER_SMTPS_PORT"));
    lines[6] = ToCp932(W(u8"{氏名}様 新製品のご案内"));
    lines[7] = ToCp932(data.file(L"body.txt"));
    lines[8] = ToCp932(data.file(L"list.csv"));
    lines[9] = "list";
    lines[10] = "B";
    lines[11] = "2";
    lines[12] = "4";
    lines[13] = "1";
    lines[14] = "test@example.jp";
  }
  ~RealToolFixture() {
    DeleteFileW(data.file(L"body.txt").c_str());
    DeleteFileW(data.file(L"list.csv").c_str());
  }
  bool WriteSettings() const {
    DeleteFileW(data.file(L"Environ.psw").c_str());
    return data.Write(L"Environ.def", SettingsText(lines));
  }
};

class RealTool : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Env(L"ROWCASTER_SMTPS_PORT").empty()) << "run through tests/e2e/wine_real_tool_test.py";
    ASSERT_NE(GetFileAttributesW((FolderOfThisProgram() + L"\\SMTP.exe").c_str()), INVALID_FILE_ATTRIBUTES)
        << "no SMTP.exe beside Rowcaster.exe";
  }
};

// Mails 1-3 (the test run) and 4-6 (the real run) are decoded by the Python side.
TEST_F(RealTool, TestSendAndRealSendDeliverTheRealRunIsLoggedAndARerunSkips) {
  RealToolFixture f;
  ASSERT_TRUE(f.WriteSettings());
  const int before = CountMails();
  Program p(f.data);
  ASSERT_NE(p.main(), nullptr);

  std::vector<std::wstring> seen = RunAndWatch(p, IDC_TEST_SEND);
  ASSERT_FALSE(seen.empty()) << "the test run did not end";
  EXPECT_EQ(seen.back(), W(u8"メール送信を終了しました。"));
  for (int row = 2; row <= 4; ++row)
    EXPECT_TRUE(Saw(seen, L"[" + std::to_wstring(row) + W(u8"]行の[test@example.jp]にメール送信しました。"))) << row;
  EXPECT_EQ(CountMails(), before + 3);
  EXPECT_FALSE(f.data.Exists(L"SendLogs.txt"));

  seen = RunAndWatch(p, IDOK);
  ASSERT_FALSE(seen.empty()) << "the real run did not end";
  EXPECT_EQ(seen.back(), W(u8"メール送信を終了しました。"));
  const wchar_t* to[] = {L"yamada@example.jp", L"sato@example.jp", L"suzuki@example.jp"};
  const char* names[] = {u8"山田", u8"佐藤", u8"鈴木"};
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(Saw(seen, L"[" + std::to_wstring(i + 2) + W(u8"]行の[") + to[i] + W(u8"]にメール送信しました。"))) << i;
  EXPECT_EQ(CountMails(), before + 6);
  std::string log = f.data.Read(L"SendLogs.txt");
  for (int i = 0; i < 3; ++i) {
    std::wstring entry = W(u8" 行番号[000") + std::to_wstring(i + 2) + W(u8"] タイトル[") + W(names[i]) +
                         W(u8"様 新製品のご案内] 送信先アドレス[") + to[i] + L"]\r\n";
    EXPECT_NE(log.find(ToCp932(entry)), std::string::npos) << i;
  }

  // Every row is in the log now: the rerun sends nothing.
  seen = RunAndWatch(p, IDOK);
  ASSERT_FALSE(seen.empty()) << "the rerun did not end";
  EXPECT_EQ(seen.back(), W(u8"メール送信を終了しました。"));
  for (int row = 2; row <= 4; ++row)
    EXPECT_TRUE(Saw(seen, L"[" + std::to_wstring(row) + W(u8"]行はメール送信済です。スキップします。"))) << row;
  EXPECT_EQ(CountMails(), before + 6);
  EXPECT_EQ(f.data.Read(L"SendLogs.txt"), log);
  ASSERT_TRUE(p.Click(IDCANCEL));
  ASSERT_TRUE(p.WaitForExit(10000));
}

TEST_F(RealTool, AWrongPasswordShowsTheRowAsFailedAndLeavesItOutOfTheLog) {
  RealToolFixture f;
  f.lines[2] = "wrong";
  f.lines[12] = "2";
  f.lines[13] = "2";  // the row's line stays in the field for the pause
  ASSERT_TRUE(f.WriteSettings());
  const int before = CountMails();
  Program p(f.data);
  ASSERT_NE(p.main(), nullptr);
  std::vector<std::wstring> seen = RunAndWatch(p, IDOK);
  ASSERT_FALSE(seen.empty()) << "the run did not end";
  EXPECT_TRUE(Saw(seen, W(u8"[2]行の[yamada@example.jp]へのメール送信に失敗しました。（ログインできません）")));
  EXPECT_FALSE(Saw(seen, W(u8"[2]行の[yamada@example.jp]にメール送信しました。")));
  EXPECT_EQ(seen.back(), W(u8"メール送信を終了しました。送信に失敗した行が1件あります。"));
  EXPECT_EQ(CountMails(), before);
  EXPECT_FALSE(f.data.Exists(L"SendLogs.txt"));
  ASSERT_TRUE(p.Click(IDCANCEL));
  ASSERT_TRUE(p.WaitForExit(10000));
}

}  // namespace
