// Send log inputs that the fuzzers found: both look-ups must give one answer for every log.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/send_log.h"
#include "settings/file_locations.h"
#include "tests/support/test_folder.h"

namespace {

// "2026/12/10 10:00:00 行番号[0002] タイトル[" title "] 送信先アドレス[" address "]" CR LF
std::string Line(const std::string& title, const std::string& address) {
  return "2026/12/10 10:00:00 \x8Ds\x94\xD4\x8D\x86[0002] \x83^\x83" "C\x83g\x83\x8B[" + title +
         "] \x91\x97\x90M\x90\xE6\x83" "A\x83h\x83\x8C\x83X[" + address + "]\r\n";
}

// A log that a crash left with zero bytes (a block the file system had not written yet) before
// later lines, or a line cut short before the next one was appended.
TEST(SendLogFound, ZeroBytesInTheLogReadAlikeBothWays) {
  std::string nul(3, '\0');
  struct Case {
    std::string log;
    std::string title, address;
    bool sent;
  } cases[] = {
      {nul + Line("T", "a@example.jp"), "T", "a@example.jp", true},
      {"1013\x01" + nul + Line("", ""), "", "", true},  // as found
      {Line("T", "a@example.jp").substr(0, 30) + Line("U", "b@example.jp"), "U", "b@example.jp", true},
      {Line("T", "a@example.jp").substr(0, 30) + Line("U", "b@example.jp"), "T", "a@example.jp", false},
      {Line("T" + nul + "x", "a@example.jp"), "T", "a@example.jp", false},
  };
  testing_support::TempFolder folder("log-regressions");
  std::string path = folder / "SendLogs.txt";
  std::snprintf(FileLocations.LogPath, sizeof FileLocations.LogPath, "%s", path.c_str());
  int index = 0;
  for (const Case& c : cases) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(c.log.data(), 1, c.log.size(), f);
    std::fclose(f);
    ResetSendLogCache();
    EXPECT_EQ(IsAlreadySentByFullScan(c.title.c_str(), c.address.c_str()), c.sent) << "case " << index;
    EXPECT_EQ(IsAlreadySent(c.title.c_str(), c.address.c_str()), c.sent) << "case " << index;
    ++index;
  }
  std::remove(path.c_str());
  ResetSendLogCache();
}

}  // namespace
