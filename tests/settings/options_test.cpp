#include "settings/options.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_folder.h"

using namespace testing_support;

namespace {

#define HYO "\x95\x5C"  // 表: its second byte is "\"

class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetOptions(); }
  std::string Path() const { return folder_ / "Options.def"; }
  TempFolder folder_;
};

TEST_F(OptionsTest, AMissingFileGivesTheDefaults) {
  Options.Cc = "stale@example.jp";
  EXPECT_EQ(LoadOptions(Path().c_str()), 0);
  EXPECT_EQ(Options.Cc, "");
  EXPECT_TRUE(Options.VerifyCertificate);
  EXPECT_TRUE(Options.PlainTextPart);
  EXPECT_EQ(Options.Tls, TlsMode::Auto);
  EXPECT_TRUE(Options.OtherLines.empty());
}

TEST_F(OptionsTest, ValuesAreReadWhateverTheirLineEndsCaseAndSpaces) {
  WriteBytes(Path(),
             "Cc=boss@example.jp\r\n"
             "  bcc =  archive@example.jp , audit@example.jp \t\r\n"
             "AttachFiles=C:\\" HYO "\\price list.pdf;C:\\b.pdf\n"
             "verifycertificate=0\r\n"
             "PlainTextPart=0\r\n"
             "TlsMode=STARTTLS\r\n"
             "OptOutFile=C:\\lists\\" HYO "  \r\n"
             "ListUnsubscribe=mailto:stop@example.jp?subject={name}");
  ASSERT_EQ(LoadOptions(Path().c_str()), 0);
  EXPECT_EQ(Options.Cc, "boss@example.jp");
  EXPECT_EQ(Options.Bcc, "archive@example.jp , audit@example.jp");
  EXPECT_EQ(Options.AttachFiles, "C:\\" HYO "\\price list.pdf;C:\\b.pdf");
  EXPECT_EQ(Options.OptOutFile, "C:\\lists\\" HYO);
  EXPECT_EQ(Options.ListUnsubscribe, "mailto:stop@example.jp?subject={name}");
  EXPECT_FALSE(Options.VerifyCertificate);
  EXPECT_FALSE(Options.PlainTextPart);
  EXPECT_EQ(Options.Tls, TlsMode::StartTls);
}

TEST_F(OptionsTest, DamagedFlagsAndModesKeepTheSafeDefaults) {
  const struct {
    const char* line;
    bool verify;
    TlsMode tls;
  } cases[] = {
      {"VerifyCertificate=no", true, TlsMode::Auto},   {"VerifyCertificate=", true, TlsMode::Auto},
      {"VerifyCertificate=00", true, TlsMode::Auto},   {"VerifyCertificate=1", true, TlsMode::Auto},
      {"TlsMode=implicit", true, TlsMode::Implicit},  {"TlsMode=plain", true, TlsMode::Auto},
      {"TlsMode=", true, TlsMode::Auto},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    WriteBytes(Path(), std::string(c.line) + "\r\n");
    ASSERT_EQ(LoadOptions(Path().c_str()), 0);
    EXPECT_EQ(Options.VerifyCertificate, c.verify);
    EXPECT_EQ(Options.Tls, c.tls);
  }
}

TEST_F(OptionsTest, WritingBackKeepsUnknownKeysAndGivesEveryKnownOneInOrder) {
  WriteBytes(Path(), "FutureKey=" HYO "\r\nCc=a@example.jp\r\n# a note\r\n\r\nTlsMode=starttls\r\n");
  ASSERT_EQ(LoadOptions(Path().c_str()), 0);
  Options.ReplyTo = "reply@example.jp";
  Options.VerifyCertificate = false;
  ASSERT_EQ(StoreOptions(Path().c_str()), 0);
  EXPECT_EQ(ReadBytes(Path()),
            "AttachFiles=\r\nAttachColumn=\r\nCc=a@example.jp\r\nBcc=\r\nReplyTo=reply@example.jp\r\n"
            "CcColumn=\r\nBccColumn=\r\nOptOutFile=\r\nListUnsubscribe=\r\nVerifyCertificate=0\r\n"
            "PlainTextPart=1\r\nTlsMode=starttls\r\nFutureKey=" HYO "\r\n# a note\r\n");
  EXPECT_FALSE(Exists(Path() + ".new"));

  OptionsRecord written = Options;
  ASSERT_EQ(LoadOptions(Path().c_str()), 0);
  EXPECT_EQ(Options.ReplyTo, written.ReplyTo);
  EXPECT_EQ(Options.OtherLines, written.OtherLines);
  EXPECT_EQ(Options.Tls, TlsMode::StartTls);
}

TEST_F(OptionsTest, AFailedWriteLeavesTheOldFileAndAnUnreadableOneIsReported) {
  WriteBytes(Path(), "Cc=old@example.jp\r\n");
  std::string elsewhere = folder_ / ("no-such-folder" + Sep() + "Options.def");
  EXPECT_EQ(StoreOptions(elsewhere.c_str()), -1);
  EXPECT_EQ(StoreOptions(""), -1);
  EXPECT_EQ(ReadBytes(Path()), "Cc=old@example.jp\r\n");

  std::string folderInstead = folder_ / "folder";
  std::filesystem::create_directories(Native(folderInstead));
  Options.Cc = "kept-out@example.jp";
  EXPECT_EQ(LoadOptions(folderInstead.c_str()), -1);
  EXPECT_EQ(Options.Cc, "");
}

}  // namespace
