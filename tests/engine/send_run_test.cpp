#include "engine/send_run.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <set>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif
#include <vector>

#include "engine/mail_address.h"
#include "engine/message_encoding.h"
#include "engine/placeholder_merge.h"
#include "engine/send_journal.h"
#include "engine/tool_failure.h"
#include "engine/run_state.h"
#include "engine/send_log.h"
#include "platform/files.h"
#include "platform/process.h"
#include "settings/file_locations.h"
#include "settings/options.h"
#include "settings/send_settings.h"
#include "tests/support/engine_run_support.h"
#include "tests/support/engine_test_support.h"
#include "tests/support/test_folder.h"
#include "tests/support/grid_double.h"

namespace {

using Cells = std::vector<std::pair<const char*, const char*>>;

// Records what the run shows, in UTF-8; may act on a line (for instance request a stop).
class RecordingWindow : public RunWindow {
 public:
  void ShowStatus(const char* line) override {
    lines.push_back(U(line));
    if (onLine) onLine(lines.back());
  }
  void SetProgress(int position) override { progress.push_back(position); }
  std::vector<std::string> lines;
  std::vector<int> progress;
  std::function<void(const std::string&)> onLine;
};

const Cells kSheet = {
    {"A1", "氏名"}, {"B1", "会社名"}, {"C1", "メール"},
    {"A2", "山田"}, {"B2", "東邦商事"}, {"C2", "yamada@example.jp"},
    {"A3", "佐藤"}, {"B3", "北斗電機"},
    {"A4", "鈴木"}, {"B4", "南海物産"}, {"C4", "suzuki.example.jp"},
    {"A5", "田中"}, {"B5", "西進"}, {"C5", "ta naka@example.jp"},
    {"A6", "高橋"}, {"B6", "東京"}, {"C6", "a<b@example.jp"},
    {"A7", "伊藤"}, {"B7", "大和"}, {"C7", "ito@example.jp"},
};

class SendRunTest : public ::testing::Test {
 public:
  void SetUp() override {
    temp_.emplace("send-run");  // a new folder at every set-up, the earlier one removed
    folder_ = temp_->path();
    GridDoubleReset();
    ResetSendSettings();
    ResetSendLogCache();
    for (const auto& c : kSheet) GridDoubleSetCell(c.first, S(c.second).c_str());
    Set(SendSettings.MailAddress, "sales@example.com");
    Set(SendSettings.LoginId, "login");
    Set(SendSettings.Password, "p@ss \"w\\");
    Set(SendSettings.SenderName, "営業部");
    Set(SendSettings.SmtpServer, "smtp.example.jp");
    Set(SendSettings.SmtpPort, "465");
    Set(SendSettings.MailTitle, "{会社名} {氏名}様へのご案内");
    body_ = folder_ + "/body.txt";
    WriteFile(body_, S("{会社名}\r\n{氏名} 様\r\n"));
    Set(SendSettings.BodyFile, body_.c_str());
    Set(SendSettings.ListFile, "book.xlsx");
    Set(SendSettings.SheetName, "Sheet1");
    Set(SendSettings.MailColumn, "C");
    Set(SendSettings.IntervalSeconds, "3");
    Set(SendSettings.TestAddress, "test@example.com");
    echo_ = PointRunInto(folder_);
    SetEnv("CURL_CA_BUNDLE", "");
  }
  void TearDown() override {
    SendRunPauses.IntervalStepMs = 999;
    SendRunPauses.SkipPauseMs = 1000;
  }
  // Sets a settings field from a UTF-8 literal.
  template <size_t N>
  void Set(char (&field)[N], const char* utf8) {
    std::snprintf(field, N, "%s", S(utf8).c_str());
  }
  RecordingWindow Run(int mode) {
    RecordingWindow window;
    SendMode = mode;
    SendRun(&window);
    EXPECT_EQ(RunState.Running, 0);
    EXPECT_EQ(PlaceholderCount, 0);
    return window;
  }
  std::vector<EchoRecord> Calls() { return ReadEchoRecords(echo_); }
  std::string Log() { return U(ReadFile(FileLocations.LogPath)); }

  std::optional<testing_support::TempFolder> temp_;
  std::string folder_, body_, echo_;
};

TEST_F(SendRunTest, RealRunSendsLogsAndReportsEveryRow) {
  RecordingWindow w = Run(1);
  std::vector<std::string> expected = {
      "メール送信を開始しました。",
      "[2]行の[yamada@example.jp]にメール送信しました。",
      "[3]行はメールアドレスがありません。スキップします。",
      "[4]行のメールアドレスに誤りがあります。スキップします。",
      "[5]行のメールアドレスに誤りがあります。スキップします。",
      "[6]行のメールアドレスに誤りがあります。スキップします。",
      "[7]行の[ito@example.jp]にメール送信しました。",
      "メール送信を終了しました。",
  };
  EXPECT_EQ(w.lines, expected);
  EXPECT_EQ(w.progress, (std::vector<int>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(SendRunReport.End, kRunCompleted);
  EXPECT_EQ(SendRunReport.SentRows, 2);
  EXPECT_EQ(SendRunReport.SkippedRows, 4);
  EXPECT_EQ(GridDoubleCloseCount(), 1);

  std::vector<EchoRecord> calls = Calls();
  ASSERT_EQ(calls.size(), 2u);
  // The certificate is verified (no --insecure); the EHLO name is the sender's domain.
  std::vector<std::string> args = {"--url", "smtps://smtp.example.jp:465/example.com", "--ssl-reqd", "--mail-from",
                                   "sales@example.com", "--mail-rcpt", "yamada@example.jp", "--upload-file",
                                   FileLocations.MessagePath, "--user", "login:p@ss \"w\\", "--verbose"};
#ifdef _WIN32
  args.push_back("--ssl-revoke-best-effort");
#endif
  EXPECT_EQ(calls[0].args, args);
  const std::string& m = calls[0].upload;
  EXPECT_EQ(m.rfind("From: =?UTF-8?Q?=E5=96=B6=E6=A5=AD=E9=83=A8?= <sales@example.com>\r\nTo: yamada@example.jp\r\n", 0), 0u) << m;
  EXPECT_NE(m.find("\r\nContent-Type: text/plain; charset=UTF-8\r\n"), std::string::npos);
  EXPECT_NE(m.find("\r\n\r\n東邦商事\r\n山田 様\r\n"), std::string::npos) << m;
  EXPECT_EQ(calls[1].args[6], "ito@example.jp");
  // The second message is shorter: the message file holds it alone, nothing of the first.
  const std::string ending = "\r\n\r\n大和\r\n伊藤 様\r\n";
  EXPECT_EQ(calls[1].upload.substr(calls[1].upload.size() - ending.size()), ending);
  EXPECT_EQ(ReadFile(FileLocations.MessagePath), calls[1].upload);

  std::string log = Log();
  EXPECT_NE(log.find(" 行番号[0002] タイトル[東邦商事 山田様へのご案内] 送信先アドレス[yamada@example.jp]\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" 行番号[0007] タイトル[大和 伊藤様へのご案内] 送信先アドレス[ito@example.jp]\r\n"), std::string::npos);

  // A rerun skips what the log holds; another title makes the rows eligible again.
  RecordingWindow again = Run(1);
  EXPECT_EQ(again.lines[1], "[2]行はメール送信済です。スキップします。");
  EXPECT_EQ(again.lines[6], "[7]行はメール送信済です。スキップします。");
  EXPECT_EQ(Calls().size(), 2u);
  Set(SendSettings.MailTitle, "{氏名}様 第二報");
  RecordingWindow third = Run(1);
  EXPECT_EQ(third.lines[1], "[2]行の[yamada@example.jp]にメール送信しました。");
  EXPECT_EQ(Calls().size(), 4u);
}

TEST_F(SendRunTest, TestRunGoesToTheTestAddressAndLeavesTheLogAlone) {
  std::string html = folder_ + "/body.html";
  WriteFile(html, "<meta charset=utf-8><p>\xE6\xA7\x98 {氏名}</p>");  // 様, in UTF-8
  Set(SendSettings.BodyFile, html.c_str());
  for (int pass = 0; pass < 2; ++pass) {
    RecordingWindow w = Run(0);
    ASSERT_EQ(w.lines.size(), 8u);
    EXPECT_EQ(w.lines[1], "[2]行の[test@example.com]にメール送信しました。");
    EXPECT_EQ(w.lines[2], "[3]行はメールアドレスがありません。スキップします。");
    EXPECT_EQ(w.lines[6], "[7]行の[test@example.com]にメール送信しました。");
  }
  std::vector<EchoRecord> calls = Calls();
  ASSERT_EQ(calls.size(), 4u);
  for (const EchoRecord& c : calls) EXPECT_EQ(c.args[6], "test@example.com");
  EXPECT_NE(calls[0].upload.find("\r\nTo: test@example.com\r\n"), std::string::npos);
  EXPECT_NE(calls[0].upload.find("Content-Type: text/html; charset=UTF-8"), std::string::npos);
  EXPECT_NE(calls[0].upload.find("<p>様 山田</p>"), std::string::npos) << calls[0].upload;
  EXPECT_FALSE(platform::PathExists(FileLocations.LogPath));
}

TEST_F(SendRunTest, MessageFileHoldsTheWireForm) {
  // A UTF-8 HTML body without a charset declaration, saved with LF line ends, and a cell with
  // a line break of its own: the run hands over CR LF lines and a plain-text alternative.
  GridDoubleSetCell("D1", S("備考").c_str());
  GridDoubleSetCell("D2", S("受付で\nお名前を").c_str());
  GridDoubleSetCell("D7", "-");
  std::string html = folder_ + "/body.htm";
  WriteFile(html, "<p>{\xE6\xB0\x8F\xE5\x90\x8D} \xE6\xA7\x98</p>\n<p>{\xE5\x82\x99\xE8\x80\x83}</p>\n");  // {氏名} 様, {備考}
  Set(SendSettings.BodyFile, html.c_str());
  RecordingWindow w = Run(0);
  EXPECT_EQ(w.lines[1], "[2]行の[test@example.com]にメール送信しました。");
  std::vector<EchoRecord> calls = Calls();
  ASSERT_EQ(calls.size(), 2u);
  const std::string& m = calls[0].upload;
  EXPECT_NE(m.find("\r\nContent-Type: multipart/alternative; boundary=\""), std::string::npos) << m;
  EXPECT_NE(m.find("Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
                   "山田 様\r\n\r\n受付でお名前を\r\n"),
            std::string::npos)
      << m;
  EXPECT_NE(m.find("<p>山田 様</p>\r\n<p>受付で\r\nお名前を</p>\r\n"), std::string::npos) << m;
  for (size_t i = 0; i < m.size(); ++i) {
    if (m[i] == '\n') {
      ASSERT_EQ(m[i - 1], '\r') << i;
    }
    if (m[i] == '\r') {
      ASSERT_EQ(m[i + 1], '\n') << i;
    }
  }
}

TEST_F(SendRunTest, FailedDeliveryIsReportedNotLoggedAndSentByTheRerun) {
  SetEnv("ROWCASTER_ECHO_FAIL_RCPT", "yamada@example.jp");
  RecordingWindow w = Run(1);
  EXPECT_EQ(w.lines[1], "[2]行の[yamada@example.jp]へのメール送信に失敗しました。（送信元・宛先またはメールが拒否されました）");
  EXPECT_EQ(w.lines[6], "[7]行の[ito@example.jp]にメール送信しました。");
  EXPECT_EQ(w.lines.back(), "メール送信を終了しました。送信に失敗した行が1件あります。");
  EXPECT_EQ(SendRunReport.FailedRows, 1);
  EXPECT_EQ(Log().find("yamada"), std::string::npos);

  SetEnv("ROWCASTER_ECHO_FAIL_RCPT", "");
  RecordingWindow rerun = Run(1);
  EXPECT_EQ(rerun.lines[1], "[2]行の[yamada@example.jp]にメール送信しました。");
  EXPECT_EQ(rerun.lines[6], "[7]行はメール送信済です。スキップします。");
  EXPECT_EQ(rerun.lines.back(), "メール送信を終了しました。");
}

TEST_F(SendRunTest, FailedRowsSayWhyFromTheToolsExitCode) {
  struct Case {
    const char* code;
    const char* line;
  } cases[] = {
      {"67", "[2]行の[yamada@example.jp]へのメール送信に失敗しました。（ログインできません）"},
      {"7", "[2]行の[yamada@example.jp]へのメール送信に失敗しました。（サーバーに接続できません）"},
      {"60", "[2]行の[yamada@example.jp]へのメール送信に失敗しました。（サーバー証明書を確認できません）"},
      {"99", "[2]行の[yamada@example.jp]へのメール送信に失敗しました。（送信ツールの終了コード 99）"},
  };
  for (const Case& c : cases) {
    SetUp();
    SetEnv("ROWCASTER_ECHO_FAIL_RCPT", "yamada@example.jp");
    SetEnv("ROWCASTER_ECHO_FAIL_CODE", c.code);
    RecordingWindow w = Run(1);
    EXPECT_EQ(w.lines[1], c.line) << c.code;
    EXPECT_EQ(w.lines[6], "[7]行の[ito@example.jp]にメール送信しました。") << c.code;
    EXPECT_EQ(Log().find("yamada"), std::string::npos) << c.code;
  }
}

TEST_F(SendRunTest, AddressCellsAreTrimmedAndMustBeMailboxes) {
  GridDoubleSetCell("C2", S("yamada@example.jp　").c_str());  // typed in Japanese input mode
  GridDoubleSetCell("B3", S("北斗電機").c_str());
  GridDoubleSetCell("C3", S("　\t").c_str());
  GridDoubleSetCell("C4", S("mailto:suzuki@example.jp").c_str());
  GridDoubleSetCell("C5", "\ttanaka@example.jp");
  GridDoubleSetCell("C6", "takahashi@example.jp;ito@example.jp");
  GridDoubleSetCell("C7", "\"ito taro\"@example.jp");
  RecordingWindow w = Run(1);
  std::vector<std::string> expected = {
      "メール送信を開始しました。",
      "[2]行の[yamada@example.jp]にメール送信しました。",
      "[3]行はメールアドレスがありません。スキップします。",
      "[4]行のメールアドレスに誤りがあります。スキップします。",
      "[5]行の[tanaka@example.jp]にメール送信しました。",
      "[6]行のメールアドレスに誤りがあります。スキップします。",
      "[7]行の[\"ito taro\"@example.jp]にメール送信しました。",
      "メール送信を終了しました。",
  };
  EXPECT_EQ(w.lines, expected);
  std::vector<EchoRecord> calls = Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].args[6], "yamada@example.jp");
  EXPECT_NE(calls[0].upload.find("\r\nTo: yamada@example.jp\r\n"), std::string::npos) << calls[0].upload;
  EXPECT_EQ(calls[1].args[6], "tanaka@example.jp");
  EXPECT_EQ(calls[2].args[6], "\"ito taro\"@example.jp");
  std::string log = Log();
  EXPECT_NE(log.find(" 送信先アドレス[yamada@example.jp]\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" 送信先アドレス[tanaka@example.jp]\r\n"), std::string::npos) << log;
  // The rerun finds the trimmed addresses in the log.
  RecordingWindow rerun = Run(1);
  EXPECT_EQ(rerun.lines[1], "[2]行はメール送信済です。スキップします。");
  EXPECT_EQ(rerun.lines[4], "[5]行はメール送信済です。スキップします。");
  EXPECT_EQ(rerun.lines[6], "[7]行はメール送信済です。スキップします。");
  EXPECT_EQ(Calls().size(), 3u);
}

TEST_F(SendRunTest, ToolThatCannotStartFailsEveryRow) {
  std::snprintf(FileLocations.ToolPath, 260, "%s/no-such-tool", folder_.c_str());
  RecordingWindow w = Run(1);
  EXPECT_EQ(w.lines[1], "[2]行の[yamada@example.jp]へのメール送信に失敗しました。（送信ツールを起動できません）");
  EXPECT_EQ(w.lines.back(), "メール送信を終了しました。送信に失敗した行が2件あります。");
  EXPECT_FALSE(platform::PathExists(FileLocations.LogPath));
}

TEST_F(SendRunTest, SetUpFailuresEndTheRun) {
  struct Case {
    const char* name;
    std::function<void(SendRunTest*)> arrange;
    std::vector<std::string> lines;
    int end;
  } cases[] = {
      {"workbook", [](SendRunTest* t) { t->Set(SendSettings.ListFile, "other.xlsx"); },
       {"メール送信を開始しました。"}, kRunNoWorkbook},
      {"sheet", [](SendRunTest* t) { t->Set(SendSettings.SheetName, "Sheet2"); },
       {"メール送信を開始しました。"}, kRunNoSheet},
      {"body", [](SendRunTest* t) { t->Set(SendSettings.BodyFile, (t->folder_ + "/gone.txt").c_str()); },
       {"メール送信を開始しました。", "メール本文ファイルをオープンできません。メール送信はしません。"}, kRunNoBody},
      // A body that cannot be read (here a folder) must not go out as empty mails.
      {"body unreadable", [](SendRunTest* t) { t->Set(SendSettings.BodyFile, t->folder_.c_str()); },
       {"メール送信を開始しました。", "メール本文ファイルをオープンできません。メール送信はしません。"}, kRunNoBody},
      {"no header", [](SendRunTest*) { GridDoubleSetCell("A1", ""); },
       {"メール送信を開始しました。", "指定した行にはデータはありません。メール送信を終了します。"}, kRunStartRowEmpty},
      // Its opt-out list or certificate setting must not be dropped without a word.
      {"options unreadable", [](SendRunTest* t) { std::snprintf(FileLocations.OptionsPath, 260, "%s", t->folder_.c_str()); },
       {"メール送信を開始しました。", "拡張設定ファイル(Options.def)を読み込めません。メール送信はしません。"}, kRunNoOptions},
      {"message file",
       [](SendRunTest* t) { std::snprintf(FileLocations.MessagePath, 260, "%s/missing/SendMail.txt", t->folder_.c_str()); },
       {"メール送信を開始しました。", "メール本文ファイルを書き込みできません。メール送信を中止します。"},
       kRunMessageFileFailed},
  };
  for (const Case& c : cases) {
    SetUp();
    c.arrange(this);
    RecordingWindow w = Run(1);
    EXPECT_EQ(w.lines, c.lines) << c.name;
    EXPECT_EQ(SendRunReport.End, c.end) << c.name;
    EXPECT_EQ(GridDoubleCloseCount(), 1) << c.name;
    EXPECT_TRUE(Calls().empty()) << c.name;
  }
}

TEST_F(SendRunTest, EmptyRowEndsTheRunAndRangeLimitsIt) {
  GridDoubleSetCell("A3", "");
  GridDoubleSetCell("B3", "");
  RecordingWindow w = Run(1);
  EXPECT_EQ(w.lines, (std::vector<std::string>{"メール送信を開始しました。", "[2]行の[yamada@example.jp]にメール送信しました。",
                                               "メール送信を終了しました。"}));
  Set(SendSettings.StartRow, "7");
  Set(SendSettings.EndRow, "7");
  RecordingWindow one = Run(1);
  EXPECT_EQ(one.lines.size(), 3u);
  EXPECT_EQ(one.lines[1], "[7]行の[ito@example.jp]にメール送信しました。");
  EXPECT_EQ(one.progress, std::vector<int>{1});
}

TEST_F(SendRunTest, SameAddressAndTitleTwiceInOneRunIsSentOnce) {
  Set(SendSettings.MailTitle, "ご案内");
  GridDoubleSetCell("C7", "yamada@example.jp");
  RecordingWindow w = Run(1);
  EXPECT_EQ(w.lines[6], "[7]行はメール送信済です。スキップします。");
  EXPECT_EQ(Calls().size(), 1u);
}

TEST_F(SendRunTest, LogReplacedBetweenRunsIsReadAfresh) {
  // Between two runs in one process the log is replaced by a file at least as long: what the
  // first run read of the old file must not decide the second run.
  auto line = [](const char* row, const char* title, const char* address) {
    return S((std::string("2026/01/05 09:00:00 行番号[") + row + "] タイトル[" + title + "] 送信先アドレス[" +
              address + "]\r\n").c_str());
  };
  struct Case {
    const char* name;
    const char* secondTitle;
    bool loggedForSecondRun;  // the replacement holds the second run's rows
  } cases[] = {
      {"old lines gone", "{会社名} {氏名}様へのご案内", false},
      {"new lines present", "{氏名}様 第二報", true},
  };
  for (const Case& c : cases) {
    SetUp();
    Run(1);
    ASSERT_EQ(Calls().size(), 2u) << c.name;
    std::string old = ReadFile(FileLocations.LogPath);
    std::string replacement;
    if (c.loggedForSecondRun) {
      replacement = line("0002", "山田様 第二報", "yamada@example.jp") + line("0007", "伊藤様 第二報", "ito@example.jp");
    }
    while (replacement.size() < old.size() + 1) replacement += line("0099", "別件", "other@example.jp");
    WriteFile(FileLocations.LogPath, replacement);

    Set(SendSettings.MailTitle, c.secondTitle);
    RecordingWindow w = Run(1);
    ASSERT_EQ(w.lines.size(), 8u) << c.name;
    if (c.loggedForSecondRun) {
      EXPECT_EQ(w.lines[1], "[2]行はメール送信済です。スキップします。") << c.name;
      EXPECT_EQ(w.lines[6], "[7]行はメール送信済です。スキップします。") << c.name;
      EXPECT_EQ(Calls().size(), 2u) << c.name;
    } else {
      EXPECT_EQ(w.lines[1], "[2]行の[yamada@example.jp]にメール送信しました。") << c.name;
      EXPECT_EQ(w.lines[6], "[7]行の[ito@example.jp]にメール送信しました。") << c.name;
      EXPECT_EQ(Calls().size(), 4u) << c.name;
    }
  }
}

// The Message-ID header of a message the stand-in tool received.
std::string MessageIdOf(const EchoRecord& call) {
  size_t at = call.upload.find("\r\nMessage-ID: ");
  if (at == std::string::npos) return "";
  at += 14;
  return call.upload.substr(at, call.upload.find("\r\n", at) - at);
}

#ifndef _WIN32
// A real run in a child process that is killed as soon as the tool has delivered its first
// message: the moment between the server's acceptance and the log line.
void RunKilledAfterTheFirstDelivery() {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // A forked child starts from its parent's Message-ID sequence, where a process of its own
    // would draw a seed of its own: move it on, past what the parent makes afterwards.
    char skipped[kMessageIdCapacity];
    for (int i = 0; i < 1000; ++i) MakeMessageId("", skipped, sizeof skipped);
    SendRunHooks.RunTool = [](const std::vector<std::string>& arguments) {
      platform::RunAndWait(arguments);
      _exit(9);
      return 0;
    };
    SendMode = 1;
    SendRun(nullptr);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9) << status;
}
#endif

// A delivery that reached the tool but has no log line (the run was killed before it, the log
// could not be written, or the tool failed after the server may have taken the message) goes
// out again with the Message-ID of its first copy; the log line then clears the journal.
TEST_F(SendRunTest, AResendOfAnUnloggedDeliveryCarriesTheFirstCopysMessageId) {
  struct Case {
    const char* what;
    std::function<void(SendRunTest*)> spoil;  // what keeps the first run from logging
    std::function<void(SendRunTest*)> mend;
  } cases[] = {
      {"the log cannot be written",
       [](SendRunTest* t) { std::snprintf(FileLocations.LogPath, 260, "%s/none/SendLogs.txt", t->folder_.c_str()); },
       [](SendRunTest* t) { std::snprintf(FileLocations.LogPath, 260, "%s/SendLogs.txt", t->folder_.c_str()); }},
      {"the tool failed", [](SendRunTest*) { SetEnv("ROWCASTER_ECHO_FAIL_RCPT", "yamada@example.jp"); },
       [](SendRunTest*) { SetEnv("ROWCASTER_ECHO_FAIL_RCPT", ""); }},
#ifndef _WIN32
      {"the run was killed after the tool", [](SendRunTest*) {}, [](SendRunTest*) {}},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    c.spoil(this);
#ifndef _WIN32
    if (std::string(c.what) == "the run was killed after the tool") {
      RunKilledAfterTheFirstDelivery();
      ASSERT_FALSE(platform::PathExists(FileLocations.LogPath));
    } else {
      Run(1);
    }
#else
    Run(1);
#endif
    c.mend(this);
    std::vector<EchoRecord> first = Calls();
    ASSERT_GE(first.size(), 1u);
    ASSERT_TRUE(platform::PathExists(FileLocations.JournalPath));
    RecordingWindow w = Run(1);
    EXPECT_EQ(w.lines[1], "[2]行の[yamada@example.jp]にメール送信しました。");
    std::vector<EchoRecord> calls = Calls();
    ASSERT_GT(calls.size(), first.size());
    // yamada's copy goes out again with its first Message-ID; a row that never reached the
    // tool (ito's, in the killed run) has a fresh one.
    EXPECT_EQ(calls[first.size()].args[6], "yamada@example.jp");
    for (size_t i = first.size(); i < calls.size(); ++i) {
      const EchoRecord& again = calls[i];
      std::string id = MessageIdOf(again);
      EXPECT_FALSE(id.empty());
      auto copy = std::find_if(first.begin(), first.end(), [&](const EchoRecord& f) { return f.args[6] == again.args[6]; });
      for (const EchoRecord& f : first) {
        if (&f == &*copy) EXPECT_EQ(id, MessageIdOf(f)) << again.args[6];
        else EXPECT_NE(id, MessageIdOf(f)) << again.args[6];
      }
    }
    // Logged now: the entries are gone, and with them the journal.
    EXPECT_FALSE(platform::PathExists(FileLocations.JournalPath));
  }
}

TEST_F(SendRunTest, EveryOtherMessageHasAFreshMessageId) {
  // Logged deliveries leave no journal; another title, a test run and a damaged journal all
  // give fresh Message-IDs, and a test run leaves the journal as it was.
  Run(1);
  EXPECT_FALSE(platform::PathExists(FileLocations.JournalPath));
  Set(SendSettings.MailTitle, "第二報 {氏名}様");
  Run(1);
  SetEnv("ROWCASTER_ECHO_FAIL_RCPT", "yamada@example.jp");
  Set(SendSettings.MailTitle, "第三報 {氏名}様");
  Run(1);  // yamada's delivery stays in the journal
  SetEnv("ROWCASTER_ECHO_FAIL_RCPT", "");
  std::string journal = ReadFile(FileLocations.JournalPath);
  ASSERT_FALSE(journal.empty());
  Set(SendSettings.TestAddress, "yamada@example.jp");
  Run(0);
  Run(0);
  EXPECT_EQ(ReadFile(FileLocations.JournalPath), journal);
  // A damaged journal: its one line spoilt in a byte.
  journal[20] = journal[20] == 'a' ? 'b' : 'a';
  WriteFile(FileLocations.JournalPath, journal);
  Run(1);
  std::vector<EchoRecord> calls = Calls();
  ASSERT_EQ(calls.size(), 11u);
  std::set<std::string> ids;
  for (const EchoRecord& c : calls) ids.insert(MessageIdOf(c));
  EXPECT_EQ(ids.size(), calls.size());
  EXPECT_EQ(ids.count(""), 0u);
  EXPECT_FALSE(platform::PathExists(FileLocations.JournalPath));
}

TEST_F(SendRunTest, StopAfterARowEndsTheRunWithoutItsPause) {
  SendRunPauses.IntervalStepMs = 50;
  Set(SendSettings.IntervalSeconds, "100000");  // a pause that is not cut short would not end
  RecordingWindow window;
  window.onLine = [](const std::string& line) {
    // Whatever became of row 2, the stop comes while its tool has run.
    if (line.rfind("[2]", 0) == 0) RunState.StopRequested = 1;
  };
  SendMode = 1;
  SendRun(&window);
  ASSERT_EQ(window.lines.size(), 3u);
  EXPECT_EQ(window.lines[1], "[2]行の[yamada@example.jp]にメール送信しました。");
  EXPECT_EQ(window.lines[2], "メール送信を終了しました。");
  EXPECT_EQ(SendRunReport.End, kRunStopped);
  EXPECT_NE(Log().find("yamada@example.jp"), std::string::npos);  // reported and logged first
}

TEST_F(SendRunTest, StopDuringThePauseEndsItWithinOneStep) {
  SendRunPauses.IntervalStepMs = 20;
  Set(SendSettings.IntervalSeconds, "100000");
  std::thread stopper([] {
    while (RunState.Running == 0) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    RunState.StopRequested = 1;
  });
  RecordingWindow w = Run(1);
  stopper.join();
  EXPECT_EQ(w.lines.back(), "メール送信を終了しました。");
  EXPECT_EQ(SendRunReport.End, kRunStopped);
  EXPECT_EQ(SendRunReport.SentRows, 1);
}

TEST_F(SendRunTest, LongTitlesAreFoldedAndOverlongOnesRefused) {
  std::string longName;
  for (int i = 0; i < 60; ++i) longName += "ゾ";
  GridDoubleSetCell("A2", S(longName.c_str()).c_str());
  GridDoubleSetCell("B7", std::string(255, 'w').c_str());
  Set(SendSettings.MailTitle, "{氏名}{会社名}{会社名}{会社名}{会社名}");
  RecordingWindow w = Run(1);
  EXPECT_EQ(w.lines[1], "[2]行の[yamada@example.jp]にメール送信しました。");
  EXPECT_EQ(w.lines[6], "[7]行のタイトルが長すぎます。スキップします。");
  std::vector<EchoRecord> calls = Calls();
  ASSERT_EQ(calls.size(), 1u);
  const std::string& m = calls[0].upload;
  size_t subject = m.find("\r\nSubject: =?UTF-8?Q?");
  ASSERT_NE(subject, std::string::npos);
  size_t mime = m.find("\r\nMIME-Version: 1.0\r\n");
  std::string field = m.substr(subject + 2, mime - subject - 2);
  EXPECT_NE(field.find("?=\r\n =?UTF-8?Q?"), std::string::npos) << field;
  // The title is in the log whole, and the rerun recognises it.
  EXPECT_NE(Log().find(longName), std::string::npos);
  RecordingWindow rerun = Run(1);
  EXPECT_EQ(rerun.lines[1], "[2]行はメール送信済です。スキップします。");
}

TEST_F(SendRunTest, CellsCannotBreakTheHeaderOrTheArguments) {
  GridDoubleSetCell("D1", "n");
  GridDoubleSetCell("D2", "x\r\nBcc: evil@example.net");
  GridDoubleSetCell("C2", "a{n}@example.jp");
  GridDoubleSetCell("C7", "ito@example.jp\r\nBcc: evil@example.net");
  RecordingWindow w = Run(1);
  EXPECT_EQ(w.lines[1], "[2]行の差し込み値に改行が含まれ、メールのヘッダーが壊れます。スキップします。");
  EXPECT_EQ(w.lines[6], "[7]行のメールアドレスに誤りがあります。スキップします。");
  EXPECT_TRUE(Calls().empty());

  // A test address or sender address that could end an argument is refused too.
  for (const char* bad : {"t@example.com -x", "t@example.com\"", "<t@example.com>"}) {
    SetUp();
    Set(SendSettings.TestAddress, bad);
    RecordingWindow t = Run(0);
    EXPECT_EQ(t.lines[1], "[2]行のメールアドレスに誤りがあります。スキップします。") << bad;
    EXPECT_TRUE(Calls().empty()) << bad;
  }
}

TEST_F(SendRunTest, MessageThatWouldNotFitIsRefused) {
  WriteFile(body_, std::string(999900, 'x'));
  RecordingWindow w = Run(0);
  EXPECT_EQ(w.lines[1], "[2]行のメールが大きすぎます。スキップします。");
  EXPECT_EQ(w.lines.back(), "メール送信を終了しました。");
  EXPECT_TRUE(Calls().empty());
  // Half-width katakana triple in UTF-8: a body that fits as Shift-JIS may not fit on the wire.
  WriteFile(body_, std::string(400000, '\xB1'));
  RecordingWindow k = Run(0);
  EXPECT_EQ(k.lines[1], "[2]行のメールが大きすぎます。スキップします。");
  EXPECT_TRUE(Calls().empty());
}

// Settings of an ordinary account, the options at their defaults.
void OrdinaryAccount() {
  ResetSendSettings();
  ResetOptions();
  std::snprintf(SendSettings.SmtpServer, 256, "smtp.example.jp");
  std::snprintf(SendSettings.SmtpPort, 16, "465");
  std::snprintf(SendSettings.MailAddress, 256, "sales@example.com");
  std::snprintf(SendSettings.LoginId, 256, "sales");
  std::snprintf(SendSettings.Password, 256, "s3cret pass");
  std::snprintf(FileLocations.ToolPath, 260, "C:\\Tools\\SMTP.exe");
  std::snprintf(FileLocations.MessagePath, 260, "C:\\ProgramData\\Tallowmere\\Rowcaster\\SendMail.txt");
  SetEnv("CURL_CA_BUNDLE", "");
}

TEST(ToolCommandLine, OrdinaryValuesGiveTheToolsCommandLineByteForByte) {
  OrdinaryAccount();
  std::string line;
  ASSERT_TRUE(platform::BuildWindowsCommandLine(BuildToolArguments("to@example.jp"), line));
  std::string expected =
      "\"C:\\Tools\\SMTP.exe\" --url \"smtps://smtp.example.jp:465/example.com\" --ssl-reqd --mail-from "
      "\"sales@example.com\" --mail-rcpt \"to@example.jp\" --upload-file "
      "\"C:\\ProgramData\\Tallowmere\\Rowcaster\\SendMail.txt\" --user \"sales:s3cret pass\" --verbose";
#ifdef _WIN32
  expected += " --ssl-revoke-best-effort";
#endif
  EXPECT_EQ(line, expected);
  ResetOptions();
}

TEST(ToolCommandLine, UrlForEveryTlsModeAndPort) {
  struct Case {
    TlsMode mode;
    const char* port;
    const char* url;
  } cases[] = {
      {TlsMode::Auto, "465", "smtps://smtp.example.jp:465/example.com"},
      {TlsMode::Auto, "587", "smtp://smtp.example.jp:587/example.com"},
      {TlsMode::Auto, "25", "smtp://smtp.example.jp:25/example.com"},
      {TlsMode::Auto, "2525", "smtps://smtp.example.jp:2525/example.com"},
      {TlsMode::Auto, "5870", "smtps://smtp.example.jp:5870/example.com"},
      {TlsMode::Auto, "250", "smtps://smtp.example.jp:250/example.com"},
      {TlsMode::Implicit, "465", "smtps://smtp.example.jp:465/example.com"},
      {TlsMode::Implicit, "587", "smtps://smtp.example.jp:587/example.com"},
      {TlsMode::Implicit, "25", "smtps://smtp.example.jp:25/example.com"},
      {TlsMode::StartTls, "587", "smtp://smtp.example.jp:587/example.com"},
      {TlsMode::StartTls, "25", "smtp://smtp.example.jp:25/example.com"},
      {TlsMode::StartTls, "465", "smtp://smtp.example.jp:465/example.com"},
      {TlsMode::StartTls, "2525", "smtp://smtp.example.jp:2525/example.com"},
  };
  for (const Case& c : cases) {
    OrdinaryAccount();
    Options.Tls = c.mode;
    std::snprintf(SendSettings.SmtpPort, 16, "%s", c.port);
    std::vector<std::string> args = BuildToolArguments("to@example.jp");
    SCOPED_TRACE(std::string(TlsModeName(c.mode)) + " " + c.port);
    EXPECT_EQ(args[2], c.url);
    // STARTTLS or not, TLS is required: never a fall-back to plain text.
    EXPECT_EQ(args[3], "--ssl-reqd");
  }
  ResetOptions();
}

TEST(ToolCommandLine, TheToolGreetsWithTheSendersDomain) {
  struct Case {
    const char* sender;
    const char* url;
  } cases[] = {
      {"sales@example.com", "smtps://smtp.example.jp:465/example.com"},
      {"\"a@b\"@mail.example.co.jp", "smtps://smtp.example.jp:465/mail.example.co.jp"},
      // "[", ":" and "]" escaped: curl would read them as a URL pattern; it decodes the path.
      {"x@[192.0.2.1]", "smtps://smtp.example.jp:465/%5B192.0.2.1%5D"},
      {"x@[IPv6:2001:db8::1]", "smtps://smtp.example.jp:465/%5BIPv6%3A2001%3Adb8%3A%3A1%5D"},
  };
  for (const Case& c : cases) {
    OrdinaryAccount();
    std::snprintf(SendSettings.MailAddress, 256, "%s", c.sender);
    EXPECT_EQ(BuildToolArguments("to@example.jp")[2], c.url) << c.sender;
  }
}

TEST(ToolCommandLine, CertificateCheckIsOnUnlessTheOptionTurnsItOff) {
  OrdinaryAccount();
  std::vector<std::string> verified = BuildToolArguments("to@example.jp");
  for (const std::string& a : verified) EXPECT_NE(a, "--insecure");
#ifdef _WIN32
  // SMTP.exe (curl 7.88) knows the best-effort revocation check; the system's curl.exe may be
  // older than 7.70 and gets --ssl-no-revoke, known since 7.44.
  EXPECT_EQ(verified.back(), "--ssl-revoke-best-effort");
  char root[260];
  DWORD n = GetEnvironmentVariableA("SystemRoot", root, sizeof root);
  ASSERT_GT(n, 0u);
  std::snprintf(FileLocations.ToolPath, 260, "%s\\System32\\curl.exe", root);
  EXPECT_EQ(BuildToolArguments("to@example.jp").back(), "--ssl-no-revoke");
  for (char* p = FileLocations.ToolPath; *p; ++p) *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  EXPECT_EQ(BuildToolArguments("to@example.jp").back(), "--ssl-no-revoke");
#else
  EXPECT_EQ(verified.back(), "--verbose");
#endif
  Options.VerifyCertificate = false;
  std::vector<std::string> unverified = BuildToolArguments("to@example.jp");
  EXPECT_EQ(unverified.back(), "--insecure");
  EXPECT_EQ(unverified.size(), 14u);
  ResetOptions();
}

TEST(ToolCommandLine, CurlsCaBundleVariableIsHandedOnAsCacert) {
  // curl on Schannel ignores CURL_CA_BUNDLE; every tool takes --cacert.
  OrdinaryAccount();
  SetEnv("CURL_CA_BUNDLE", "/etc/company/ca.pem");
  std::vector<std::string> args = BuildToolArguments("to@example.jp");
  std::vector<std::string> tail(args.begin() + 13, args.end());
  std::vector<std::string> expected = {"--cacert", "/etc/company/ca.pem"};
#ifdef _WIN32
  expected.push_back("--ssl-revoke-best-effort");
#endif
  EXPECT_EQ(tail, expected);
  // Not when the check is off.
  Options.VerifyCertificate = false;
  EXPECT_EQ(BuildToolArguments("to@example.jp").back(), "--insecure");
  EXPECT_EQ(BuildToolArguments("to@example.jp").size(), 14u);
  SetEnv("CURL_CA_BUNDLE", "");
  ResetOptions();
}

TEST(ToolFailure, ReasonFromTheToolsExitCode) {
  struct Case {
    int code;
    const char* reason;
  } cases[] = {
      {67, "ログインできません"},
      {6, "サーバーに接続できません"},
      {7, "サーバーに接続できません"},
      {28, "サーバーに接続できません"},
      {60, "サーバー証明書を確認できません"},
      {51, "サーバー証明書を確認できません"},
      {35, "暗号化通信を開始できません"},
      {64, "暗号化通信を開始できません"},
      {55, "送信元・宛先またはメールが拒否されました"},
      {8, "送信元・宛先またはメールが拒否されました"},
      {56, "送信ツールの終了コード 56"},
      {2, "送信ツールの終了コード 2"},
      {-1, "送信ツールの終了コード -1"},
      {platform::kProcessNotStarted, "送信ツールを起動できません"},
      {platform::kProcessTimedOut, "送信ツールが制限時間内に終了しませんでした"},
  };
  for (const Case& c : cases) {
    char reason[128];
    EXPECT_EQ(U(DescribeToolFailure(c.code, reason, sizeof reason)), c.reason) << c.code;
  }
}

}  // namespace
