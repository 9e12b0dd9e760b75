// The pieces that "Options.def" adds to a message: attachments and the message file that carries
// them, the opt-out list, copies, Reply-To and List-Unsubscribe.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/attachments.h"
#include "engine/opt_out_list.h"
#include "engine/placeholder_merge.h"
#include "engine/row_options.h"
#include "engine/wire_message.h"
#include "settings/options.h"
#include "settings/send_settings.h"
#include "tests/support/engine_test_support.h"
#include "tests/support/grid_double.h"
#include "tests/support/test_folder.h"

using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::WriteBytes;

namespace {

#define HYO "\x95\x5C"  // 表: its second byte is "\"

std::string Bytes(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + 7) % 256);
  return bytes;
}

// ---- paths and files --------------------------------------------------------------------------

TEST(AttachmentPaths, ListsSplitAndRelativePathsComeFromTheWorkbooksFolder) {
  EXPECT_EQ(SplitPathList(" a.pdf ;\"b c.pdf\";; \t;" HYO ".pdf "),
            (std::vector<std::string>{"a.pdf", "b c.pdf", HYO ".pdf"}));
  EXPECT_TRUE(SplitPathList("  ; ").empty());
#ifdef _WIN32
  const char* book = "C:\\" HYO "\\list.xlsx";  // the folder's name ends with a byte 0x5C
  struct Case {
    const char* path;
    std::string resolved;
  } cases[] = {
      {"a.pdf", "C:\\" HYO "\\a.pdf"},
      {"sub\\" HYO ".pdf", "C:\\" HYO "\\sub\\" HYO ".pdf"},
      {"D:\\x\\a.pdf", "D:\\x\\a.pdf"},
      {"\\\\server\\share\\a.pdf", "\\\\server\\share\\a.pdf"},
      {"/x/a.pdf", "/x/a.pdf"},
  };
  EXPECT_EQ(ResolvePath("a.pdf", "C:/lists/list.xlsx"), "C:/lists/a.pdf");
#else
  const char* book = "/home/u/" HYO "/list.xlsx";
  struct Case {
    const char* path;
    std::string resolved;
  } cases[] = {
      {"a.pdf", "/home/u/" HYO "/a.pdf"},
      {"sub/" HYO ".pdf", "/home/u/" HYO "/sub/" HYO ".pdf"},
      {"/x/a.pdf", "/x/a.pdf"},
  };
#endif
  for (const Case& c : cases) EXPECT_EQ(ResolvePath(c.path, book), c.resolved) << c.path;
  EXPECT_EQ(ResolvePath("a.pdf", "list.xlsx"), "a.pdf");  // a workbook without a folder
}

TEST(AttachmentFiles, MissingFoldersAndReadableFiles) {
  TempFolder folder("attach");
  const std::string book = folder / "list.xlsx";
  WriteBytes(folder / S("見積書.pdf"), Bytes(1000));
  WriteBytes(folder / "empty.txt", "");
  Attachment a;
  ASSERT_TRUE(ExamineAttachment(S("見積書.pdf"), book.c_str(), a));
  EXPECT_EQ(a.Path, folder / S("見積書.pdf"));
  EXPECT_EQ(a.Name, "見積書.pdf");
  EXPECT_EQ(a.Size, 1000u);
  EXPECT_TRUE(ExamineAttachment("empty.txt", book.c_str(), a));
  EXPECT_EQ(a.Size, 0u);
  EXPECT_FALSE(ExamineAttachment("missing.pdf", book.c_str(), a));
  EXPECT_EQ(a.Written, "missing.pdf");
  EXPECT_FALSE(ExamineAttachment(folder.path(), book.c_str(), a));  // a folder is no file
}

class MessageFileTest : public ::testing::Test {
 protected:
  std::vector<Attachment> Attach(const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<Attachment> attachments;
    for (const auto& f : files) {
      WriteBytes(folder_ / f.first, f.second);
      attachments.emplace_back();
      EXPECT_TRUE(ExamineAttachment(f.first, (folder_ / "list.xlsx").c_str(), attachments.back()));
    }
    return attachments;
  }
  TempFolder folder_{"message-file"};
  std::string path_ = folder_ / "SendMail.txt";
};

TEST_F(MessageFileTest, FilesAreStreamedAfterTheHeadAndTheSizeIsKnownBefore) {
  // Sizes around the read block (57 x 1,024 bytes), so that lines continue across blocks.
  std::vector<Attachment> attachments =
      Attach({{S("見積書.pdf"), Bytes(58368)}, {"b.bin", Bytes(58369)}, {"c.bin", Bytes(200001)}, {"e.txt", ""}});
  const std::string head = "Head: x\r\n\r\n--B\r\nContent-Type: text/plain\r\n\r\nbody\r\n";
  WriteBytes(path_, std::string(400000, 'o'));  // a longer earlier message: nothing of it stays
  ASSERT_EQ(WriteMessageFile(path_.c_str(), head.data(), head.size(), "B", attachments, nullptr), kMessageFileWritten);
  std::string expected = head;
  for (const Attachment& a : attachments)
    expected += AttachmentPartHeader("B", a.Name) + Base64Lines(ReadBytes(a.Path)) + "\r\n";
  expected += MixedEnd("B");
  std::string written = ReadBytes(path_);
  EXPECT_EQ(written.size(), expected.size());
  EXPECT_TRUE(written == expected);
  EXPECT_EQ(head.size() + AttachmentPartsSize("B", attachments), written.size());
  // Without files the head is the message.
  ASSERT_EQ(WriteMessageFile(path_.c_str(), head.data(), head.size(), "", {}, nullptr), kMessageFileWritten);
  EXPECT_EQ(ReadBytes(path_), head);
  EXPECT_EQ(AttachmentPartsSize("", {}), 0u);
}

TEST_F(MessageFileTest, FileThatChangedOrVanishedIsNeverSentInPart) {
  struct Case {
    const char* what;
    std::string replacement;  // the second file's bytes when it is written out; "<gone>" removes it
  } cases[] = {{"shorter", Bytes(100)}, {"longer", Bytes(70000)}, {"gone", "<gone>"}};
  for (const Case& c : cases) {
    std::vector<Attachment> attachments = Attach({{"a.bin", Bytes(10)}, {"b.bin", Bytes(60000)}});
    if (c.replacement == "<gone>")
      platform::RemoveFile(attachments[1].Path.c_str());
    else
      WriteBytes(attachments[1].Path, c.replacement);
    size_t unreadable = 99;
    EXPECT_EQ(WriteMessageFile(path_.c_str(), "h", 1, "B", attachments, &unreadable), kAttachmentUnreadable) << c.what;
    EXPECT_EQ(unreadable, 1u) << c.what;
  }
  EXPECT_EQ(WriteMessageFile((folder_ / "no").append("/SendMail.txt").c_str(), "h", 1, "B", Attach({{"a.bin", "x"}}), nullptr),
            kMessageFileFailed);
}

// ---- the opt-out list -------------------------------------------------------------------------

TEST(OptOutList, EveryEncodingLineEndAndCase) {
  TempFolder folder("opt-out");
  const std::string path = folder / "stop.txt";
  const std::string lines = "Yamada@Example.JP\r\n\r\n  sato@example.jp \t\n\t\nsuzuki@example.jp\r山田@例え.jp";
  auto utf16 = [](const std::string& utf8, bool big) {
    std::u16string units;
    for (size_t i = 0; i < utf8.size();) {
      unsigned char c = static_cast<unsigned char>(utf8[i]);
      char32_t cp = c < 0x80 ? c : c < 0xE0 ? c & 0x1F : c & 0x0F;
      size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : 3;
      for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
      units += static_cast<char16_t>(cp);
      i += n;
    }
    std::string out = big ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t u : units) {
      char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
      out += big ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
  };
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"UTF-8 with its mark", "\xEF\xBB\xBF" + lines},
      {"UTF-8", lines},
      {"Shift-JIS", S(lines.c_str())},
      {"UTF-16LE", utf16(lines, false)},
      {"UTF-16BE", utf16(lines, true)},
  };
  for (const Case& c : cases) {
    WriteBytes(path, c.bytes);
    ASSERT_EQ(LoadOptOutList(path.c_str()), kOptOutLoaded) << c.what;
    for (const char* in : {"yamada@example.jp", "YAMADA@EXAMPLE.JP", "sato@example.jp", "Suzuki@example.jp", "山田@例え.jp"})
      EXPECT_TRUE(IsOptedOut(S(in).c_str())) << c.what << " " << in;
    for (const char* out : {"tanaka@example.jp", "", " sato@example.jp", "yamada@example.jp.", "山田@例え.JP2"})
      EXPECT_FALSE(IsOptedOut(S(out).c_str())) << c.what << " " << out;
  }
  // A second byte that looks like a capital letter is not folded: ア is 83 41 ("A").
  WriteBytes(path, S("ア@example.jp\r\n"));
  ASSERT_EQ(LoadOptOutList(path.c_str()), kOptOutLoaded);
  EXPECT_TRUE(IsOptedOut(S("ア@example.jp").c_str()));
  EXPECT_FALSE(IsOptedOut("\x83\x61@example.jp"));  // 83 61 with the "A" lowered: another character
  ClearOptOutList();
  EXPECT_FALSE(IsOptedOut(S("ア@example.jp").c_str()));
}

TEST(OptOutList, WhatCannotBeReadIsReportedAndHoldsNothing) {
  TempFolder folder("opt-out");
  const std::string path = folder / "stop.txt";
  WriteBytes(path, "a@example.jp\r\n");
  ASSERT_EQ(LoadOptOutList(path.c_str()), kOptOutLoaded);
  EXPECT_EQ(LoadOptOutList((folder / "missing.txt").c_str()), kOptOutUnreadable);
  EXPECT_FALSE(IsOptedOut("a@example.jp"));
  EXPECT_EQ(LoadOptOutList(folder.path().c_str()), kOptOutUnreadable);  // a folder
  // UTF-16 without its mark: zero bytes that no list of addresses holds.
  WriteBytes(path, std::string("a\0@\0e\0x\0.\0j\0p\0", 14));
  EXPECT_EQ(LoadOptOutList(path.c_str()), kOptOutUnreadable);
  EXPECT_EQ(LoadOptOutList(""), kOptOutLoaded);
}

// ---- copies, Reply-To, List-Unsubscribe -------------------------------------------------------

class RowOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GridDoubleReset();
    ResetSendSettings();
    ResetOptions();
    ClearPlaceholders();
    const std::pair<const char*, const char*> cells[] = {
        {"A1", "氏名"}, {"B1", "メール"}, {"C1", "CC"}, {"D1", "ID"}, {"E1", "BCC"},
        {"A2", "山田 太郎"}, {"B2", "yamada@example.jp"}, {"C2", "boss@example.jp; Yamada@example.jp,team@example.jp"},
        {"D2", "a/b c&d"}, {"E2", "audit@example.jp,BOSS@example.jp"},
        {"A3", "佐藤"}, {"B3", "sato@example.jp"}, {"C3", "boss@example.jp, not an address"},
        {"A4", "鈴木"}, {"B4", "suzuki@example.jp"}, {"E4", "x@example.jp>"},
    };
    for (const auto& c : cells) GridDoubleSetCell(c.first, S(c.second).c_str());
    std::strcpy(SendSettings.MailColumn, "B");
    ASSERT_EQ(OpenExcel("book.xlsx", 0), 0);
    ASSERT_EQ(OpenSheet("Sheet1"), 0);
    ScanHeaderRow();
  }
  void TearDown() override {
    ClearPlaceholders();
    CloseExcel();
    ResetOptions();
  }
};

TEST_F(RowOptionsTest, ValuesThatNoRowCouldUseAreNamed) {
  struct Case {
    void (*set)();
    const char* key;
  } cases[] = {
      {[] {}, nullptr},
      {[] { Options.Cc = "boss@example.jp, team@example.jp"; Options.ReplyTo = "r@example.jp"; Options.CcColumn = "c"; }, nullptr},
      {[] { Options.ListUnsubscribe = "mailto:stop@example.jp?subject={ID}, HTTPS://example.jp/u?a=1,2"; }, nullptr},
      {[] { Options.Cc = "boss@example.jp, boss"; }, "Cc"},
      {[] { Options.Bcc = "a b@example.jp"; }, "Bcc"},
      {[] { Options.ReplyTo = "<r@example.jp>"; }, "ReplyTo"},
      {[] { Options.AttachColumn = "AB"; }, "AttachColumn"},
      {[] { Options.CcColumn = "1"; }, "CcColumn"},
      {[] { Options.BccColumn = S("Ａ"); }, "BccColumn"},
      {[] { Options.ListUnsubscribe = "http://example.jp/u"; }, "ListUnsubscribe"},
      {[] { Options.ListUnsubscribe = "mailto:stop@example.jp, www.example.jp/u"; }, "ListUnsubscribe"},
      {[] { Options.ListUnsubscribe = "https:"; }, "ListUnsubscribe"},
      {[] { Options.ListUnsubscribe = "https://example.jp/stop me"; }, "ListUnsubscribe"},
  };
  for (const Case& c : cases) {
    ResetOptions();
    c.set();
    const char* key = FindUnusableOption();
    EXPECT_STREQ(key, c.key) << (c.key ? c.key : "none");
  }
  EXPECT_EQ(SplitUnsubscribeList(" <mailto:a@example.jp>, https://example.jp/u?x=1,2 ,<https://e.jp/b>"),
            (std::vector<std::string>{"mailto:a@example.jp", "https://example.jp/u?x=1,2", "https://e.jp/b"}));
  EXPECT_EQ(SplitAddressList(" a@example.jp;b@example.jp , ,c@example.jp "),
            (std::vector<std::string>{"a@example.jp", "b@example.jp", "c@example.jp"}));
}

TEST_F(RowOptionsTest, CopiesOfEveryKindEachAddressOnce) {
  Options.Cc = "fixed@example.jp";
  Options.Bcc = "archive@example.jp, FIXED@example.jp";
  Options.CcColumn = "C";
  Options.BccColumn = "e";  // either case
  RowCopies copies;
  std::string unusable;
  ASSERT_TRUE(GatherCopies(2, "yamada@example.jp", copies, unusable));
  // The row's own address and every address named before are left out, whatever their case.
  EXPECT_EQ(copies.Cc, (std::vector<std::string>{"fixed@example.jp", "boss@example.jp", "team@example.jp"}));
  EXPECT_EQ(copies.Bcc, (std::vector<std::string>{"archive@example.jp", "audit@example.jp"}));

  struct Case {
    int row;
    const char* unusable;
  } refused[] = {{3, "not an address"}, {4, "x@example.jp>"}};
  for (const Case& c : refused) {
    RowCopies rowCopies;
    std::string bad;
    EXPECT_FALSE(GatherCopies(c.row, "x@example.jp", rowCopies, bad)) << c.row;
    EXPECT_EQ(bad, c.unusable);
  }
}

TEST_F(RowOptionsTest, UnsubscribeUrlsAreFilledPerRowAndHeaderLinesFolded) {
  Options.ListUnsubscribe = S("mailto:stop@example.jp?subject=stop%20{ID}, https://example.jp/u/{氏名}?m={メール}&x={none}");
  EXPECT_EQ(UnsubscribeUrls(2),
            (std::vector<std::string>{"mailto:stop@example.jp?subject=stop%20a%2Fb%20c%26d",
                                      "https://example.jp/u/%E5%B1%B1%E7%94%B0%20%E5%A4%AA%E9%83%8E?m=yamada@example.jp&x={none}"}));
  EXPECT_EQ(UnsubscribeUrls(3)[1], "https://example.jp/u/%E4%BD%90%E8%97%A4?m=sato@example.jp&x={none}");
  // Fixed text that a URL cannot hold is encoded too; a placeholder's value never fills another.
  Options.ListUnsubscribe = S("https://例え.jp/停止/\"{ID}\"");
  GridDoubleSetCell("D3", "{ID}");
  EXPECT_EQ(UnsubscribeUrls(3), (std::vector<std::string>{"https://%E4%BE%8B%E3%81%88.jp/%E5%81%9C%E6%AD%A2/%22%7BID%7D%22"}));

  Options.ReplyTo = "reply@example.jp";
  std::strcpy(SendSettings.MailAddress, "sales@example.com");
  std::vector<std::string> cc;
  for (int i = 0; i < 6; ++i) cc.push_back("colleague" + std::to_string(i) + "@example.jp");
  std::string lines = ExtraHeaderLines(cc, {"mailto:stop@example.jp", "https://example.jp/u?id=1"});
  EXPECT_EQ(lines,
            "Cc: colleague0@example.jp, colleague1@example.jp, colleague2@example.jp,\r\n"
            " colleague3@example.jp, colleague4@example.jp, colleague5@example.jp\r\n"
            "Reply-To: reply@example.jp\r\n"
            "List-Id: <sales.example.com>\r\n"
            "List-Unsubscribe: <mailto:stop@example.jp>, <https://example.jp/u?id=1>\r\n"
            "List-Unsubscribe-Post: List-Unsubscribe=One-Click\r\n");
  Options.ReplyTo.clear();
  std::strcpy(SendSettings.MailAddress, "sales@[192.0.2.1]");  // no name: no List-Id
  EXPECT_EQ(ExtraHeaderLines({}, {"mailto:stop@example.jp"}), "List-Unsubscribe: <mailto:stop@example.jp>\r\n");
  EXPECT_EQ(ExtraHeaderLines({}, {}), "");
}

TEST(ListId, TheSendersAddressMadeAListIdentifier) {
  struct Case {
    std::string address;
    const char* id;
  } cases[] = {
      {"sales@example.com", "sales.example.com"},
      {"First.Last+news@mail.example.co.jp", "First-Last-news.mail.example.co.jp"},
      {S("営業@example.jp"), "--.example.jp"},  // 営 is 89 63: its second byte is no "c"
      {"sales@[192.0.2.1]", ""},
      {S("sales@例え.jp"), ""},
      {"sales@", ""},
      {"@example.jp", ""},
      {"sales@example.jp.", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ListIdOf(c.address.c_str()), c.id) << c.address;
}

}  // namespace
