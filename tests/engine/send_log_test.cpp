#include "engine/send_log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>
#include <optional>

#include "settings/file_locations.h"
#include "tests/support/engine_test_support.h"
#include "tests/support/test_folder.h"

namespace {

class SendLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_.emplace("send-log");  // a new folder at every set-up, the earlier one removed
    folder_ = temp_->path();
    path_ = folder_ + "/SendLogs.txt";
    std::snprintf(FileLocations.LogPath, sizeof FileLocations.LogPath, "%s", path_.c_str());
    ResetSendLogCache();
  }
  // Both look-ups must agree on every question.
  bool Sent(const std::string& title, const std::string& address) {
    bool cached = IsAlreadySent(title.c_str(), address.c_str());
    bool scanned = IsAlreadySentByFullScan(title.c_str(), address.c_str());
    EXPECT_EQ(cached, scanned) << U(title) << " / " << address;
    return cached;
  }
  std::optional<testing_support::TempFolder> temp_;
  std::string folder_, path_;
};

TEST_F(SendLogTest, LineFormat) {
  AppendSendLog(7, S("ご案内").c_str(), "a@example.jp");
  AppendSendLog(12345, "T", "b@example.jp");
  std::string log = ReadFile(path_);
  // "yyyy/mm/dd hh:mm:ss 行番号[0007] タイトル[ご案内] 送信先アドレス[a@example.jp]" CR LF
  std::string first = log.substr(0, log.find('\n') + 1);
  EXPECT_EQ(first[4], '/');
  EXPECT_EQ(first[7], '/');
  EXPECT_EQ(first[10], ' ');
  EXPECT_EQ(first[13], ':');
  EXPECT_EQ(first[16], ':');
  EXPECT_EQ(U(first.substr(19)), " 行番号[0007] タイトル[ご案内] 送信先アドレス[a@example.jp]\r\n");
  std::string second = log.substr(first.size());
  EXPECT_EQ(U(second.substr(19)), " 行番号[12345] タイトル[T] 送信先アドレス[b@example.jp]\r\n");
}

TEST_F(SendLogTest, MatchesExactTitleAndAddress) {
  EXPECT_FALSE(Sent("x", "a@example.jp"));  // no log yet
  const std::string titles[] = {
      S("ご案内"), S("[重要] お知らせ]"), S("ゾーン"), S("ソフトウェア展示会ゾ"),
      S("件名 送信先アドレス[x@example.jp] 続き"), S("タイトル[入れ子]"), "", S("全角　空白"),
  };
  for (const std::string& t : titles) AppendSendLog(2, t.c_str(), "a@example.jp");
  for (const std::string& t : titles) EXPECT_TRUE(Sent(t, "a@example.jp")) << U(t);
  struct Case {
    std::string title, address;
  } misses[] = {
      {S("ご案内"), "A@example.jp"},       // case counts
      {S("ご案内 "), "a@example.jp"},      // spaces count
      {S("ご案内"), "a@example.jp "},
      {S("[重要] お知らせ"), "a@example.jp"},
      {S("ゾ"), "a@example.jp"},
      {S("件名"), "x@example.jp"},
      {S("全角 空白"), "a@example.jp"},
  };
  for (const Case& m : misses) EXPECT_FALSE(Sent(m.title, m.address)) << U(m.title);
}

TEST_F(SendLogTest, LineBreakInsideATitleStaysOneLineAndMatches) {
  std::string title = S("一行目\r\n二行目");
  AppendSendLog(3, title.c_str(), "a@example.jp");
  std::string log = ReadFile(path_);
  EXPECT_EQ(log.find('\n'), log.size() - 1) << "the row's line was split";
  EXPECT_NE(log.find(S("タイトル[一行目  二行目]")), std::string::npos);
  EXPECT_TRUE(Sent(title, "a@example.jp"));
  EXPECT_FALSE(Sent(S("二行目"), "a@example.jp"));
}

TEST_F(SendLogTest, ParsesByTheLineMarkers) {
  struct Case {
    std::string line;
    bool parsed;
    std::string title, address;
  } cases[] = {
      {S("2026/12/10 10:00:00 行番号[0002] タイトル[題] 送信先アドレス[a@b.jp]"), true, S("題"), "a@b.jp"},
      {S("2026/12/10 10:00:00 行番号[0002] タイトル[ゾ] 送信先アドレス[a@b.jp]"), true, S("ゾ"), "a@b.jp"},
      {S("2026/12/10 10:00:00 行番号[0002] タイトル[] 送信先アドレス[]"), true, "", ""},
      {S("2026/12/10 10:00:00 行番号[0002] タイトル[題] 送信先アドレス[a@b.jp"), false, "", ""},
      {S("2026/12/10 10:00:00 タイトル[題] 送信先アドレス[a@b.jp]"), false, "", ""},
      {S("2026/12/10 10:00:00 行番号[0002] タイトル[題]"), false, "", ""},
      {"", false, "", ""},
  };
  for (const Case& c : cases) {
    const char* title;
    const char* address;
    size_t tl = 0, al = 0;
    ASSERT_EQ(ParseSendLogLine(c.line.c_str(), c.line.size(), &title, &tl, &address, &al), c.parsed) << U(c.line);
    if (!c.parsed) continue;
    EXPECT_EQ(std::string(title, tl), c.title);
    EXPECT_EQ(std::string(address, al), c.address);
  }
}

TEST_F(SendLogTest, CacheAgreesWithAFullScanAsTheLogGrows) {
  std::mt19937 random(4);
  const std::string pieces[] = {S("ご案内"), "]", S("ゾ"), "A", " ", S("送信先アドレス["), S("表")};
  std::vector<std::string> logged;
  for (int round = 0; round < 40; ++round) {
    std::string title;
    for (int k = random() % 4; k >= 0; --k) title += pieces[random() % 7];
    std::string address = std::string(1, static_cast<char>('a' + random() % 3)) + "@example.jp";
    if (random() % 2) {
      AppendSendLog(round, title.c_str(), address.c_str());
      logged.push_back(title + '\n' + address);
    }
    // Ask about what was logged, what was not, and the newest line.
    EXPECT_EQ(Sent(title, address), std::find(logged.begin(), logged.end(), title + '\n' + address) != logged.end());
    Sent(title + "x", address);
  }
}

TEST_F(SendLogTest, CacheFollowsAPartialLineAndAReplacedLog) {
  std::string line = "2026/12/10 10:00:00 " + S("行番号[0002] タイトル[題] 送信先アドレス[a@b.jp]");
  WriteFile(path_, line);  // a last line without its line end still counts
  EXPECT_TRUE(Sent(S("題"), "a@b.jp"));
  WriteFile(path_, line + "\r\n" + "2026/12/10 10:00:01 " + S("行番号[0003] タイトル[次] 送信先アドレス[c@d.jp]") + "\r\n");
  EXPECT_TRUE(Sent(S("題"), "a@b.jp"));
  EXPECT_TRUE(Sent(S("次"), "c@d.jp"));
  // A shorter file in its place is read from its start.
  WriteFile(path_, "2026/12/10 10:00:00 " + S("行番号[0009] タイトル[別] 送信先アドレス[e@f.jp]") + "\r\n");
  EXPECT_FALSE(Sent(S("題"), "a@b.jp"));
  EXPECT_TRUE(Sent(S("別"), "e@f.jp"));
  std::remove(path_.c_str());
  EXPECT_FALSE(Sent(S("別"), "e@f.jp"));
}

TEST_F(SendLogTest, CacheReadsOnlyWhatWasAppended) {
  AppendSendLog(2, "old", "a@example.jp");
  EXPECT_TRUE(IsAlreadySent("old", "a@example.jp"));
  // Overwrite the part already read with bytes of the same length: a cache that re-reads the
  // whole log would now miss "old"; one that reads only the appended part still has it.
  std::string log = ReadFile(path_);
  std::string changed = log;
  changed.replace(changed.find("old"), 3, "new");
  WriteFile(path_, changed);
  AppendSendLog(3, "later", "b@example.jp");
  EXPECT_TRUE(IsAlreadySent("old", "a@example.jp"));
  EXPECT_TRUE(IsAlreadySent("later", "b@example.jp"));
  EXPECT_FALSE(IsAlreadySent("new", "a@example.jp"));
  EXPECT_TRUE(IsAlreadySentByFullScan("new", "a@example.jp"));
}

TEST_F(SendLogTest, UnwritableLogLosesItsLineSilently) {
  std::snprintf(FileLocations.LogPath, sizeof FileLocations.LogPath, "%s/missing/SendLogs.txt", folder_.c_str());
  AppendSendLog(2, "t", "a@example.jp");
  EXPECT_FALSE(IsAlreadySent("t", "a@example.jp"));
}

}  // namespace
