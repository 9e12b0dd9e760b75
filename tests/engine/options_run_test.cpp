// Send runs with "Options.def": attachments, copies, Reply-To, the opt-out list,
// List-Unsubscribe, the HTML alone, the row refusals and the preview.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/attachments.h"
#include "engine/placeholder_merge.h"
#include "engine/run_state.h"
#include "engine/send_log.h"
#include "engine/send_run.h"
#include "engine/wire_message.h"
#include "platform/files.h"
#include "settings/file_locations.h"
#include "settings/send_settings.h"
#include "tests/support/engine_run_support.h"
#include "tests/support/engine_test_support.h"
#include "tests/support/grid_double.h"
#include "tests/support/mime_reader.h"
#include "tests/support/test_folder.h"

using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::WriteBytes;

namespace {

class Recorder : public RunWindow {
 public:
  void ShowStatus(const char* line) override { lines.push_back(U(line)); }
  void SetProgress(int) override {}
  std::vector<std::string> lines;
};

// ---- a reader of the messages, independent of the composer -----------------------------------

using testing_support::DecodeBase64;

// The header block of a message (up to its empty line) and one field of it, unfolded.
std::string Header(const std::string& message) { return message.substr(0, message.find("\r\n\r\n") + 2); }
std::string Field(const std::string& message, const std::string& name) {
  std::string header = "\r\n" + Header(message);
  size_t at = header.find("\r\n" + name + ": ");
  if (at == std::string::npos) return "<none>";
  std::string value;
  for (size_t i = at + name.size() + 4; i < header.size(); ++i) {
    if (header.compare(i, 3, "\r\n ") == 0) {
      i += 1;  // the folding: CR LF goes, the space stays
      continue;
    }
    if (header.compare(i, 2, "\r\n") == 0) break;
    value += header[i];
  }
  return value;
}

// The decoded files of a multipart/mixed message, in order (every part after the first).
std::vector<std::string> Files(const std::string& message) {
  std::string type = Field(message, "Content-Type");
  std::string boundary = type.substr(type.find("boundary=\"") + 10);
  boundary = "\r\n--" + boundary.substr(0, boundary.find('"'));
  std::vector<std::string> files;
  size_t at = message.find(boundary);
  for (int part = 0; at != std::string::npos && message.compare(at + boundary.size(), 2, "--") != 0; ++part) {
    size_t start = at + boundary.size() + 2;
    size_t next = message.find(boundary, start);
    std::string entity = message.substr(start, next - start);
    if (part > 0) files.push_back(DecodeBase64(entity.substr(entity.find("\r\n\r\n") + 4)));
    at = next;
  }
  return files;
}

// The message with what differs from one composition to the next (the date, the identifier,
// the boundaries) made the same.
std::string Comparable(std::string message) {
  for (const char* name : {"Date: ", "Message-ID: "}) {
    size_t at = message.find(std::string("\r\n") + name);
    message.replace(at, message.find("\r\n", at + 2) - at, std::string("\r\n") + name + "x");
  }
  for (size_t at = message.find("=_Rowcaster_"); at != std::string::npos; at = message.find("=_Rowcaster_", at + 1)) {
    size_t end = message.find_first_of("\"\r", at);
    message.replace(at, end - at, "=_Rowcaster_x");
  }
  return message;
}

std::string Bytes(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + seed) % 256);
  return bytes;
}

std::vector<std::string> Recipients(const EchoRecord& call) {
  std::vector<std::string> recipients;
  for (size_t i = 0; i + 1 < call.args.size(); ++i)
    if (call.args[i] == "--mail-rcpt") recipients.push_back(call.args[i + 1]);
  return recipients;
}

// ---- the fixture --------------------------------------------------------------------------------

// Row 1 names the fields; column D holds files, E copies, F blind copies, G an identifier.
const std::vector<std::pair<const char*, const char*>> kSheet = {
    {"A1", "氏名"}, {"B1", "会社名"}, {"C1", "メール"}, {"D1", "添付"}, {"E1", "CC"}, {"F1", "BCC"}, {"G1", "ID"},
    {"A2", "山田"}, {"B2", "東邦商事"}, {"C2", "yamada@example.jp"}, {"D2", "見積書（山田様）.pdf; data/図面.bin"},
    {"E2", "boss@toho.example.jp"}, {"G2", "0001"},
    {"A3", "佐藤"}, {"B3", "北斗電機"}, {"C3", "sato@example.jp"}, {"D3", "見積書（佐藤様）.pdf"},
    {"F3", "kanri@hokuto.example.jp"}, {"G3", "0002"},
    {"A4", "鈴木"}, {"B4", "南海物産"}, {"C4", "Suzuki@Example.JP"}, {"G4", "0003"},
};

class OptionsRunTest : public ::testing::Test {
 public:
  void SetUp() override {
    temp_.emplace("options-run");
    folder_ = temp_->path();
    GridDoubleReset();
    ResetSendSettings();
    ResetSendLogCache();
    for (const auto& c : kSheet) GridDoubleSetCell(c.first, S(c.second).c_str());
    book_ = folder_ + "/book.xlsx";
    GridDoubleAccept(book_.c_str(), "Sheet1");
    Set(SendSettings.ListFile, book_);
    Set(SendSettings.MailAddress, "sales@example.com");
    Set(SendSettings.LoginId, "login");
    Set(SendSettings.Password, "secret");
    Set(SendSettings.SenderName, "営業部");
    Set(SendSettings.SmtpServer, "smtp.example.jp");
    Set(SendSettings.SmtpPort, "465");
    Set(SendSettings.MailTitle, "{氏名}様 お見積りの件");
    WriteBytes(folder_ + "/body.txt", S("{会社名}\r\n{氏名} 様\r\n"));
    Set(SendSettings.BodyFile, folder_ + "/body.txt");
    Set(SendSettings.SheetName, "Sheet1");
    Set(SendSettings.MailColumn, "C");
    Set(SendSettings.IntervalSeconds, "1");
    Set(SendSettings.TestAddress, "test@example.com");
    echo_ = PointRunInto(folder_);
  }
  void TearDown() override {
    SendRunPauses.IntervalStepMs = 999;
    SendRunPauses.SkipPauseMs = 1000;
  }
  template <size_t N>
  void Set(char (&field)[N], const std::string& utf8) {
    std::snprintf(field, N, "%s", S(utf8.c_str()).c_str());
  }
  // Options.def from UTF-8 lines, written in code page 932 with CR LF.
  void WriteOptions(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += S(line.c_str()) + "\r\n";
    WriteBytes(FileLocations.OptionsPath, text);
  }
  // A file in the test folder under a UTF-8 name.
  void WriteAt(const std::string& utf8Name, const std::string& bytes) { WriteBytes(folder_ + "/" + S(utf8Name.c_str()), bytes); }
  void WriteFiles() {
    platform::MakeFolder((folder_ + "/data").c_str());
    WriteAt("見積書（山田様）.pdf", pdfYamada_);
    WriteAt("data/図面.bin", drawing_);
    WriteAt("見積書（佐藤様）.pdf", pdfSato_);
    WriteAt("会社案内.pdf", brochure_);
  }
  Recorder Run(int mode) {
    Recorder window;
    SendMode = mode;
    SendRun(&window);
    EXPECT_EQ(RunState.Running, 0);
    EXPECT_EQ(PlaceholderCount, 0);
    return window;
  }
  std::vector<EchoRecord> Calls() { return ReadEchoRecords(echo_); }
  std::string Log() { return U(ReadFile(FileLocations.LogPath)); }

  std::optional<TempFolder> temp_;
  std::string folder_, book_, echo_;
  const std::string pdfYamada_ = "%PDF-1.4\n" + Bytes(70000, 1);
  const std::string drawing_ = Bytes(123457, 2);
  const std::string pdfSato_ = "%PDF-1.4\n" + Bytes(5, 3);
  const std::string brochure_ = Bytes(58368, 4);  // whole read blocks of 57 x 1,024 bytes
};

// ---- attachments --------------------------------------------------------------------------------

TEST_F(OptionsRunTest, FixedAndPerRowFilesGoWithEachMessageByteForByte) {
  WriteFiles();
  WriteOptions({"AttachFiles=" + folder_ + "/会社案内.pdf", "AttachColumn=D"});
  Recorder w = Run(1);
  ASSERT_EQ(w.lines.size(), 5u);
  EXPECT_EQ(w.lines[1], "[2]行の[yamada@example.jp]にメール送信しました。");
  EXPECT_EQ(w.lines[2], "[3]行の[sato@example.jp]にメール送信しました。");
  EXPECT_EQ(w.lines[3], "[4]行の[Suzuki@Example.JP]にメール送信しました。");
  std::vector<EchoRecord> calls = Calls();
  ASSERT_EQ(calls.size(), 3u);
  // The fixed file first, then the row's; a relative path is taken from the workbook's folder.
  EXPECT_EQ(Files(calls[0].upload), (std::vector<std::string>{brochure_, pdfYamada_, drawing_}));
  EXPECT_EQ(Files(calls[1].upload), (std::vector<std::string>{brochure_, pdfSato_}));
  EXPECT_EQ(Files(calls[2].upload), (std::vector<std::string>{brochure_}));
  const std::string& m = calls[0].upload;
  EXPECT_EQ(Field(m, "Content-Type").rfind("multipart/mixed; boundary=\"", 0), 0u);
  EXPECT_NE(m.find("\r\n\r\n東邦商事\r\n山田 様\r\n"), std::string::npos);
  EXPECT_NE(m.find("filename*0*=UTF-8''%E8%A6%8B%E7%A9%8D%E6%9B%B8%EF%BC%88%E5%B1%B1%E7%94%B0"), std::string::npos) << m.substr(0, 3000);
  EXPECT_NE(m.find("filename*=UTF-8''%E5%9B%B3%E9%9D%A2.bin"), std::string::npos);
  EXPECT_EQ(ReadFile(FileLocations.MessagePath), calls[2].upload);
  EXPECT_NE(Log().find("送信先アドレス[yamada@example.jp]"), std::string::npos);
}

TEST_F(OptionsRunTest, MissingFileRefusesItsRowUntilItExists) {
  WriteFiles();
  platform::RemoveFile((folder_ + "/" + S("data/図面.bin")).c_str());
  WriteOptions({"AttachColumn=d"});
  for (int mode : {0, 1}) {
    Recorder w = Run(mode);
    ASSERT_EQ(w.lines.size(), 5u) << mode;
    EXPECT_EQ(w.lines[1], "[2]行の添付ファイル[data/図面.bin]がないか、読み込めません。送信しません。");
    EXPECT_EQ(w.lines[4], "メール送信を終了しました。送信に失敗した行が1件あります。");
    EXPECT_EQ(SendRunReport.FailedRows, 1);
  }
  EXPECT_EQ(Log().find("yamada"), std::string::npos);
  std::vector<EchoRecord> calls = Calls();
  ASSERT_EQ(calls.size(), 4u);
  for (const EchoRecord& c : calls) EXPECT_EQ(c.upload.find("To: yamada@example.jp"), std::string::npos);

  // A folder in the file's place cannot be read either.
  platform::MakeFolder((folder_ + "/" + S("data/図面.bin")).c_str());
  EXPECT_EQ(Run(1).lines[1], "[2]行の添付ファイル[data/図面.bin]がないか、読み込めません。送信しません。");
  std::filesystem::remove(testing_support::Native(folder_ + "/" + S("data/図面.bin")));

  WriteAt("data/図面.bin", drawing_);
  Recorder rerun = Run(1);
  EXPECT_EQ(rerun.lines[1], "[2]行の[yamada@example.jp]にメール送信しました。");
  EXPECT_EQ(rerun.lines[2], "[3]行はメール送信済です。スキップします。");
  EXPECT_EQ(rerun.lines.back(), "メール送信を終了しました。");
  calls = Calls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(Files(calls[4].upload), (std::vector<std::string>{pdfYamada_, drawing_}));
}

TEST_F(OptionsRunTest, MessageOver20MegabytesIsRefusedAndOneJustUnderIsWrittenWhole) {
  // The size of the message without the file's bytes, from a run with an empty file.
  WriteAt("big.bin", "");
  WriteOptions({"AttachFiles=big.bin"});
  Set(SendSettings.EndRow, "2");
  Run(0);
  ASSERT_EQ(Calls().size(), 1u);
  unsigned long long rest = Calls()[0].upload.size();
  // n bytes take Base64LinesLength(n) characters; the boundary may differ by a digit or two.
  unsigned long long under = (kMessageSizeLimit - rest - 100) / 78 * 57;
  unsigned long long over = (kMessageSizeLimit - rest + 100) / 76 * 57;
  ASSERT_LT(rest + Base64LinesLength(under), kMessageSizeLimit);
  ASSERT_GT(rest + Base64LinesLength(over), kMessageSizeLimit);

  WriteAt("big.bin", Bytes(static_cast<size_t>(over), 5));
  Recorder refused = Run(0);
  EXPECT_EQ(refused.lines[1], "[2]行のメールは添付ファイルを含めて20MBを超えます。送信しません。");
  EXPECT_EQ(SendRunReport.FailedRows, 1);
  EXPECT_EQ(Calls().size(), 1u);

  const std::string big = Bytes(static_cast<size_t>(under), 6);
  WriteAt("big.bin", big);
  Recorder sent = Run(0);
  EXPECT_EQ(sent.lines[1], "[2]行の[test@example.com]にメール送信しました。");
  std::vector<EchoRecord> calls = Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_LE(calls[1].upload.size(), kMessageSizeLimit);
  EXPECT_GT(calls[1].upload.size(), kMessageSizeLimit - 2000);
  EXPECT_TRUE(Files(calls[1].upload) == std::vector<std::string>{big});
}

// ---- copies and header lines ----------------------------------------------------------------

TEST_F(OptionsRunTest, CopiesGoToEveryRecipientAndBlindOnesNeverShow) {
  WriteOptions({"Cc=eigyo@example.com", "Bcc=archive@example.com", "ReplyTo=reply@example.com", "CcColumn=E",
                "BccColumn=F"});
  Recorder w = Run(1);
  EXPECT_EQ(w.lines[1], "[2]行の[yamada@example.jp]にメール送信しました。");
  std::vector<EchoRecord> calls = Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(Recipients(calls[0]), (std::vector<std::string>{"yamada@example.jp", "eigyo@example.com",
                                                            "boss@toho.example.jp", "archive@example.com"}));
  EXPECT_EQ(Recipients(calls[1]), (std::vector<std::string>{"sato@example.jp", "eigyo@example.com",
                                                            "archive@example.com", "kanri@hokuto.example.jp"}));
  EXPECT_EQ(Field(calls[0].upload, "Cc"), "eigyo@example.com, boss@toho.example.jp");
  EXPECT_EQ(Field(calls[1].upload, "Cc"), "eigyo@example.com");
  EXPECT_EQ(Field(calls[0].upload, "Reply-To"), "reply@example.com");
  for (const EchoRecord& c : calls) {
    EXPECT_EQ(c.upload.find("archive@"), std::string::npos);
    EXPECT_EQ(c.upload.find("kanri@"), std::string::npos);
    EXPECT_EQ(c.upload.find("Bcc"), std::string::npos);
  }
  // The log names the row's own address only, as before.
  EXPECT_NE(Log().find("送信先アドレス[yamada@example.jp]\r\n"), std::string::npos);

  // A test run reaches the test address alone and names no Cc; Reply-To stays.
  Recorder t = Run(0);
  EXPECT_EQ(t.lines[1], "[2]行の[test@example.com]にメール送信しました。");
  calls = Calls();
  ASSERT_EQ(calls.size(), 6u);
  for (size_t i = 3; i < 6; ++i) {
    EXPECT_EQ(Recipients(calls[i]), std::vector<std::string>{"test@example.com"});
    EXPECT_EQ(Field(calls[i].upload, "Cc"), "<none>");
    EXPECT_EQ(Field(calls[i].upload, "Reply-To"), "reply@example.com");
  }
}

TEST_F(OptionsRunTest, UnusableCopyInACellRefusesItsRowInEveryRun) {
  WriteOptions({"CcColumn=E", "BccColumn=F"});
  GridDoubleSetCell("E2", "boss@toho.example.jp, boss");
  GridDoubleSetCell("F3", "kanri@hokuto.example.jp>");
  for (int mode : {0, 1}) {
    Recorder w = Run(mode);
    EXPECT_EQ(w.lines[1], "[2]行のCc・Bccのアドレス[boss]に誤りがあります。送信しません。") << mode;
    EXPECT_EQ(w.lines[2], "[3]行のCc・Bccのアドレス[kanri@hokuto.example.jp>]に誤りがあります。送信しません。");
    EXPECT_EQ(SendRunReport.FailedRows, 2);
  }
  EXPECT_EQ(Calls().size(), 2u);  // row 4, once in each run
  EXPECT_EQ(Log().find("yamada"), std::string::npos);
}

TEST_F(OptionsRunTest, FixedValuesNoRowCouldUseEndTheRunBeforeTheFirstRow) {
  struct Case {
    std::string line;
    const char* key;
  } cases[] = {
      {"Cc=boss", "Cc"},
      {"ReplyTo=a@example.jp b@example.jp", "ReplyTo"},
      {"AttachColumn=AA", "AttachColumn"},
      {"ListUnsubscribe=http://example.jp/stop", "ListUnsubscribe"},
  };
  for (const Case& c : cases) {
    SetUp();
    WriteOptions({c.line});
    Recorder w = Run(1);
    EXPECT_EQ(w.lines, (std::vector<std::string>{"メール送信を開始しました。",
                                                 std::string("拡張設定ファイル(Options.def)の") + c.key +
                                                     "の値に誤りがあります。メール送信はしません。"}))
        << c.line;
    EXPECT_EQ(SendRunReport.End, kRunBadOptions);
    EXPECT_TRUE(Calls().empty());
  }
}

TEST_F(OptionsRunTest, UnsubscribeHeadersAreFilledPerRow) {
  WriteOptions({"ListUnsubscribe=mailto:stop@example.com?subject=stop%20{ID}, https://example.com/stop?id={ID}&who={氏名}"});
  Run(1);
  std::vector<EchoRecord> calls = Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(Field(calls[0].upload, "List-Unsubscribe"),
            "<mailto:stop@example.com?subject=stop%200001>, <https://example.com/stop?id=0001&who=%E5%B1%B1%E7%94%B0>");
  EXPECT_EQ(Field(calls[1].upload, "List-Unsubscribe"),
            "<mailto:stop@example.com?subject=stop%200002>, <https://example.com/stop?id=0002&who=%E4%BD%90%E8%97%A4>");
  EXPECT_EQ(Field(calls[1].upload, "List-Unsubscribe-Post"), "List-Unsubscribe=One-Click");
  EXPECT_EQ(Field(calls[1].upload, "List-Id"), "<sales.example.com>");

  SetUp();
  WriteOptions({"ListUnsubscribe=mailto:stop@example.com?subject={ID}"});
  Run(1);
  calls = Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(Field(calls[2].upload, "List-Unsubscribe"), "<mailto:stop@example.com?subject=0003>");
  EXPECT_EQ(Field(calls[2].upload, "List-Unsubscribe-Post"), "<none>");  // one-click needs https
}

TEST_F(OptionsRunTest, HtmlGoesAloneWhenThePlainTextPartIsOff) {
  WriteBytes(folder_ + "/body.html", "<meta charset=utf-8><p>{\xE6\xB0\x8F\xE5\x90\x8D}</p>");  // {氏名}
  Set(SendSettings.BodyFile, folder_ + "/body.html");
  Set(SendSettings.EndRow, "2");
  for (const char* value : {"1", "0"}) {
    SetEnv("ROWCASTER_ECHO_OUT", echo_ + value);
    WriteOptions({std::string("PlainTextPart=") + value});
    Run(0);
    std::vector<EchoRecord> calls = ReadEchoRecords(echo_ + value);
    ASSERT_EQ(calls.size(), 1u);
    std::string type = Field(calls[0].upload, "Content-Type");
    EXPECT_EQ(type.substr(0, type.find(';')), value[0] == '1' ? "multipart/alternative" : "text/html") << value;
    EXPECT_NE(calls[0].upload.find("<p>山田</p>"), std::string::npos);
  }
}

// ---- the opt-out list -------------------------------------------------------------------------

TEST_F(OptionsRunTest, AddressesOnTheOptOutListAreSkippedInEveryRun) {
  WriteAt("配信停止.txt", "\xEF\xBB\xBF" "  suzuki@example.jp \r\n\r\nother@example.jp\r\n");
  WriteOptions({"OptOutFile=配信停止.txt"});  // from the workbook's folder
  for (int mode : {0, 1}) {
    Recorder w = Run(mode);
    ASSERT_EQ(w.lines.size(), 5u);
    EXPECT_EQ(w.lines[3], "[4]行は配信停止リストにあるためスキップします。") << mode;
    EXPECT_EQ(w.lines[4], "メール送信を終了しました。");
    EXPECT_EQ(SendRunReport.SkippedRows, 1);
  }
  EXPECT_EQ(Calls().size(), 4u);
  EXPECT_EQ(Log().find("Suzuki"), std::string::npos);
}

TEST_F(OptionsRunTest, OptOutListThatCannotBeReadStopsTheRunBeforeAnyRow) {
  WriteOptions({"OptOutFile=" + folder_ + "/無い.txt"});
  for (int mode : {0, 1}) {
    Recorder w = Run(mode);
    EXPECT_EQ(w.lines, (std::vector<std::string>{"メール送信を開始しました。", "配信停止リスト[" + folder_ +
                                                                                    "/無い.txt]を読み込めません。メール送信はしません。"}));
    EXPECT_EQ(SendRunReport.End, kRunNoOptOutList);
  }
  EXPECT_TRUE(Calls().empty());
}

// ---- the preview --------------------------------------------------------------------------------

TEST_F(OptionsRunTest, PreviewWritesExactlyWhatARealRunWouldSendAndSendsNothing) {
  WriteFiles();
  WriteAt("stop.txt", "sato@example.jp\r\n");
  WriteOptions({"AttachColumn=D", "CcColumn=E", "BccColumn=F", "OptOutFile=stop.txt"});
  // Row 5 repeats row 2's address and title: the real run skips it as sent by then. Row 6's
  // address holds characters that Windows refuses in file names, row 7 has an unusable copy,
  // row 8 was sent before.
  GridDoubleSetCell("A5", S("山田").c_str());
  GridDoubleSetCell("C5", "yamada@example.jp");
  GridDoubleSetCell("A6", S("高橋").c_str());
  GridDoubleSetCell("C6", "t/a*k?a|hashi@example.jp");
  GridDoubleSetCell("A7", S("伊藤").c_str());
  GridDoubleSetCell("C7", "ito@example.jp");
  GridDoubleSetCell("E7", "bad");
  GridDoubleSetCell("A8", S("渡辺").c_str());
  GridDoubleSetCell("C8", "watanabe@example.jp");
  AppendSendLog(8, S("渡辺様 お見積りの件").c_str(), "watanabe@example.jp");
  const std::string logBefore = ReadFile(FileLocations.LogPath);
  const std::string preview = folder_ + "/" + S("プレビュー");
  platform::MakeFolder(preview.c_str());

  Recorder p;
  PreviewRun(&p, preview.c_str());
  EXPECT_EQ(p.lines, (std::vector<std::string>{
                         "メール送信を開始しました。",
                         "[2]行のメールを[0002-yamada@example.jp.eml]に書き出しました。",
                         "[3]行は配信停止リストにあるためスキップします。",
                         "[4]行のメールを[0004-Suzuki@Example.JP.eml]に書き出しました。",
                         "[5]行はメール送信済です。スキップします。",
                         "[6]行のメールを[0006-t_a_k_a_hashi@example.jp.eml]に書き出しました。",
                         "[7]行のCc・Bccのアドレス[bad]に誤りがあります。送信しません。",
                         "[8]行はメール送信済です。スキップします。",
                         "メール送信を終了しました。送信に失敗した行が1件あります。",
                     }));
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(ReadFile(FileLocations.LogPath), logBefore);
  EXPECT_FALSE(platform::PathExists(FileLocations.MessagePath));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(testing_support::Native(preview)))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names.size(), 3u);

  // The real run sends the same rows, each message the same bytes but for its date, its
  // identifier and its boundaries.
  Recorder r = Run(1);
  std::vector<std::string> verbs = p.lines;
  verbs[1] = "[2]行の[yamada@example.jp]にメール送信しました。";
  verbs[3] = "[4]行の[Suzuki@Example.JP]にメール送信しました。";
  verbs[5] = "[6]行の[t/a*k?a|hashi@example.jp]にメール送信しました。";
  EXPECT_EQ(r.lines, verbs);
  std::vector<EchoRecord> calls = Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(names, (std::vector<std::string>{"0002-yamada@example.jp.eml", "0004-Suzuki@Example.JP.eml",
                                             "0006-t_a_k_a_hashi@example.jp.eml"}));
  for (size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(Comparable(ReadBytes(preview + "/" + names[i])), Comparable(calls[i].upload)) << names[i];
  EXPECT_EQ(Files(calls[0].upload), (std::vector<std::string>{pdfYamada_, drawing_}));
  EXPECT_EQ(Field(ReadBytes(preview + "/0002-yamada@example.jp.eml"), "Cc"), "boss@toho.example.jp");
}

TEST(PreviewFileNames, SafeOnWindowsAndCutBetweenCharacters) {
  EXPECT_EQ(PreviewFileName(2, "yamada@example.jp", 260), "0002-yamada@example.jp.eml");
  EXPECT_EQ(PreviewFileName(123456, "a@b.jp", 260), "123456-a@b.jp.eml");
  EXPECT_EQ(PreviewFileName(3, "a\\b/c:d*e?f\"g<h>i|j\x01@x.jp", 260), "0003-a_b_c_d_e_f_g_h_i_j_@x.jp.eml");
  // 表 (95 5C) keeps its second byte, which is "\".
  EXPECT_EQ(PreviewFileName(4, "\x95\x5C@x.jp", 260), "0004-\x95\x5C@x.jp.eml");
  // "0005-", ".eml" and the zero take 10 bytes: 19 leave room for four characters of two
  // bytes, 20 for five.
  EXPECT_EQ(PreviewFileName(5, "\x95\x5C\x95\x5C\x95\x5C\x95\x5C\x95\x5C", 19), "0005-\x95\x5C\x95\x5C\x95\x5C\x95\x5C.eml");
  EXPECT_EQ(PreviewFileName(5, "\x95\x5C\x95\x5C\x95\x5C\x95\x5C\x95\x5C", 20),
            "0005-\x95\x5C\x95\x5C\x95\x5C\x95\x5C\x95\x5C.eml");
}

}  // namespace
