#include "engine/send_inputs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "settings/file_locations.h"
#include "settings/send_settings.h"
#include "tests/support/engine_test_support.h"
#include "tests/support/test_folder.h"

namespace {

void Collect(const char* message, void* context) {
  static_cast<std::vector<std::string>*>(context)->push_back(U(message));
}

template <size_t N>
void Set(char (&field)[N], const std::string& value) {  // cut to the field, as a typed value is
  field[value.copy(field, N - 1)] = '\0';
}

TEST(SendInputChecks, InOrderWithTheirMessagesAndFilledValues) {
  testing_support::TempFolder temp("input-checks");
  std::string folder = temp.path();
  std::string body = folder + "/body.txt";
  WriteFile(body, "x");
  struct Case {
    const char* name;
    int testRun;
    std::function<void()> arrange;
    bool passes;
    std::vector<std::string> messages;
    std::function<void()> check;
  } cases[] = {
      {"all set", 0, [] {}, true, {}, [] {}},
      {"no sender", 0, [] { Set(SendSettings.MailAddress, ""); }, false, {"送信元アドレスが指定されていません。"}, [] {}},
      {"sender without at sign", 0, [] { Set(SendSettings.MailAddress, "sales.example.com"); }, false,
       {"送信元アドレスに誤りがあります。"}, [] {}},
      // 0x40 as the second byte of a double-byte character is no at sign.
      {"at sign inside a character", 0, [] { Set(SendSettings.MailAddress, "sales\x81\x40" "example.com"); }, false,
       {"送信元アドレスに誤りがあります。"}, [] {}},
      {"sender that could end an argument", 0, [] { Set(SendSettings.MailAddress, "sales@example.com\" -x"); }, false,
       {"送信元アドレスに誤りがあります。"}, [] {}},
      // The sender must be a mailbox as RFC 5321 writes it, as a row's address must.
      {"sender as a mailto: link", 0, [] { Set(SendSettings.MailAddress, "mailto:sales@example.com"); }, false,
       {"送信元アドレスに誤りがあります。"}, [] {}},
      {"sender with an ideographic space", 0, [] { Set(SendSettings.MailAddress, S("sales@example.com　")); }, false,
       {"送信元アドレスに誤りがあります。"}, [] {}},
      {"sender with a Japanese local part", 0, [] { Set(SendSettings.MailAddress, S("営業@example.com")); }, false,
       {"送信元アドレスに誤りがあります。"}, [] {}},
      {"sender with a quoted local part and an address literal", 0,
       [] { Set(SendSettings.MailAddress, "\"sales dept\"@[192.0.2.1]"); }, true, {}, [] {}},
      {"no title", 0, [] { Set(SendSettings.MailTitle, ""); }, false, {"送信メールのタイトルが指定されていません。"}, [] {}},
      {"no body", 0, [] { Set(SendSettings.BodyFile, ""); }, false, {"メール本文ファイルが指定されていません。"}, [] {}},
      {"body missing", 0, [&] { Set(SendSettings.BodyFile, folder + "/none.txt"); }, false,
       {"メール本文ファイルは存在しません。"}, [] {}},
      {"no list", 0, [] { Set(SendSettings.ListFile, ""); }, false,
       {"送信先アドレス一覧ファイル(Excel)が指定されていません。"}, [] {}},
      {"list missing", 0, [&] { Set(SendSettings.ListFile, folder + "/none.xlsx"); }, false,
       {"送信先アドレス一覧ファイル(Excel)は存在しません。"}, [] {}},
      {"list names a folder", 0, [&] { Set(SendSettings.ListFile, folder); }, true, {}, [] {}},
      {"no sheet", 0, [] { Set(SendSettings.SheetName, ""); }, false,
       {"送信先アドレス一覧ファイル(Excel)のシート名が指定されていません。"}, [] {}},
      {"no column", 0, [] { Set(SendSettings.MailColumn, ""); }, false, {"シート内のe-Mail欄にが指定されていません。"}, [] {}},
      {"empty rows and interval are filled", 0,
       [] {
         Set(SendSettings.StartRow, "");
         Set(SendSettings.EndRow, "");
         Set(SendSettings.IntervalSeconds, "0");
       },
       true,
       {"送信先アドレス一覧の送信開始行が指定されていません。2を設定します。",
        "送信先アドレス一覧の送信終了行が指定されていません。99999を設定します。",
        "メール送信の間隔秒が指定されていません。10秒を設定します。"},
       [] {
         EXPECT_STREQ(SendSettings.StartRow, "2");
         EXPECT_STREQ(SendSettings.EndRow, "99999");
         EXPECT_STREQ(SendSettings.IntervalSeconds, "10");
       }},
      {"rows reversed", 0,
       [] {
         Set(SendSettings.StartRow, "10");
         Set(SendSettings.EndRow, "5");
       },
       false, {"送信先アドレス一覧の送信開始行と終了行が逆転しています。"}, [] {}},
      {"one row", 0,
       [] {
         Set(SendSettings.StartRow, "5");
         Set(SendSettings.EndRow, "5");
       },
       true, {}, [] {}},
      {"reversed after filling", 0,
       [] {
         Set(SendSettings.StartRow, "100000");
         Set(SendSettings.EndRow, "");
       },
       false,
       {"送信先アドレス一覧の送信終了行が指定されていません。99999を設定します。",
        "送信先アドレス一覧の送信開始行と終了行が逆転しています。"},
       [] {}},
      {"test run, no test address", 1, [] { Set(SendSettings.TestAddress, ""); }, true,
       {"テスト送信用の送信先アドレスが指定されていません。送信元アドレスを設定します。"},
       [] { EXPECT_STREQ(SendSettings.TestAddress, "sales@example.com"); }},
      {"test run, no addresses at all", 1,
       [] {
         Set(SendSettings.TestAddress, "");
         Set(SendSettings.MailAddress, "");
       },
       false,
       {"テスト送信用の送信先アドレスが指定されていません。送信元アドレスを設定します。",
        "テスト送信用の送信先アドレスに誤りがあります。"},
       [] {}},
      {"test run, bad test address", 1, [] { Set(SendSettings.TestAddress, "t@example.com, u@example.com"); }, false,
       {"テスト送信用の送信先アドレスに誤りがあります。"}, [] {}},
      {"test run, test address and another after a semicolon", 1,
       [] { Set(SendSettings.TestAddress, "t@example.com;u@example.com"); }, false,
       {"テスト送信用の送信先アドレスに誤りがあります。"}, [] {}},
      {"test run, test address with a dot at the end of its domain", 1,
       [] { Set(SendSettings.TestAddress, "t@example.com."); }, false,
       {"テスト送信用の送信先アドレスに誤りがあります。"}, [] {}},
      {"no transfer tool", 0, [&] { Set(FileLocations.ToolPath, folder + "/SMTP.exe"); }, false,
       {"メール送信ツール（SMTP.exe または curl.exe）が見つかりません。メール送信はしません。"}, [] {}},
      {"no transfer tool, test run", 1, [&] { Set(FileLocations.ToolPath, folder + "/SMTP.exe"); }, false,
       {"メール送信ツール（SMTP.exe または curl.exe）が見つかりません。メール送信はしません。"}, [] {}},
      {"real run ignores the test address", 0, [] { Set(SendSettings.TestAddress, "bad"); }, true, {}, [] {}},
  };
  for (const Case& c : cases) {
    ResetSendSettings();
    Set(SendSettings.MailAddress, "sales@example.com");
    Set(SendSettings.MailTitle, "t");
    Set(SendSettings.BodyFile, body);
    Set(SendSettings.ListFile, body);
    Set(SendSettings.SheetName, "s");
    Set(SendSettings.MailColumn, "C");
    Set(SendSettings.TestAddress, "test@example.com");
    Set(FileLocations.ToolPath, body);  // any existing file serves as the tool here
    c.arrange();
    std::vector<std::string> messages;
    EXPECT_EQ(CheckSendInputs(c.testRun, Collect, &messages), c.passes) << c.name;
    EXPECT_EQ(messages, c.messages) << c.name;
    c.check();
  }
}

}  // namespace
