#include "engine/send_journal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "engine/message_encoding.h"
#include "engine/send_log.h"
#include "settings/file_locations.h"
#include "settings/send_settings.h"
#include "tests/support/engine_test_support.h"
#include "tests/support/test_folder.h"

namespace {

// Titles and addresses as a run may meet them: Shift-JIS, a cell's line break, brackets and
// spaces, every byte value, empty.
std::vector<JournalEntry> AwkwardEntries() {
  std::string everyByte;
  for (int b = 1; b < 256; ++b) everyByte += static_cast<char>(b);
  return {
      {S("東邦商事 山田様へのご案内"), "yamada@example.jp", "<65f1.a2b3.1@example.com>", 0},
      {"line\r\nbreak ] [ title", "x@example.jp", "<1.2.3@localhost>", 1234},
      {everyByte, "all@example.jp", "<a-b.c@mail.example-co.jp>", 99},
      {"", "", "<1@x>", 5},
  };
}

bool Same(const JournalEntry& a, const JournalEntry& b) {
  return a.Title == b.Title && a.Address == b.Address && a.MessageId == b.MessageId && a.LogSize == b.LogSize;
}

TEST(SendJournalFormat, EntriesComeBackAsTheyWereWritten) {
  std::vector<JournalEntry> entries = AwkwardEntries();
  std::string text = FormatJournal(entries);
  // One CR LF line an entry, no other CR or LF: a title's line break is inside the hex form.
  size_t lines = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      ASSERT_EQ(text[i - 1], '\r');
      ++lines;
    } else if (text[i] == '\r') {
      ASSERT_EQ(text[i + 1], '\n');
    }
  }
  EXPECT_EQ(lines, entries.size());
  std::vector<JournalEntry> back = ParseJournal(text.data(), text.size());
  ASSERT_EQ(back.size(), entries.size());
  for (size_t i = 0; i < entries.size(); ++i) EXPECT_TRUE(Same(back[i], entries[i])) << i;
}

TEST(SendJournalFormat, MessageIdsTakenAreThoseMakeMessageIdWrites) {
  char made[kMessageIdCapacity];
  for (const char* sender : {"sales@example.com", "s@xn--eckwd4c7c.jp", "odd@exa mple", "none", ""}) {
    MakeMessageId(sender, made, sizeof made);
    EXPECT_TRUE(IsJournalMessageId(made)) << made;
  }
  struct Case {
    const char* id;
    bool sound;
  } cases[] = {
      {"<1.2@example.jp>", true},    {"<@example.jp>", false},       {"<1.2@>", false},
      {"1.2@example.jp", false},     {"<1.2@example.jp", false},     {"<1 2@example.jp>", false},
      {"<1.2@a@b>", false},          {"<1.2@example.jp>\r\nBcc: x", false},
      {"<{name}@example.jp>", false}, {"<1.2\x82\xA0@example.jp>", false}, {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsJournalMessageId(c.id), c.sound) << c.id;
  EXPECT_FALSE(IsJournalMessageId(("<" + std::string(kMessageIdCapacity, 'a') + "@x>").c_str()));
}

// A damaged line is passed over; the lines around it stay. Each case spoils the middle line.
TEST(SendJournalFormat, ADamagedLineIsPassedOverAndTheOthersStay) {
  std::vector<JournalEntry> three = {
      {"t1", "a@example.jp", "<1@example.jp>", 0},
      {"t2", "b@example.jp", "<2@example.jp>", 10},
      {"t3", "c@example.jp", "<3@example.jp>", 20},
  };
  std::string first = FormatJournal({three[0]});
  std::string middle = FormatJournal({three[1]});
  std::string last = FormatJournal({three[2]});
  std::string body = middle.substr(0, middle.size() - 2);  // without CR LF
  auto flip = [&](size_t at) {
    std::string s = body;
    s[at] = s[at] == '0' ? '1' : '0';
    return s + "\r\n";
  };
  struct Case {
    const char* what;
    std::string line;
  } cases[] = {
      {"a digit of the checksum", flip(0)},
      {"a digit of the log size", flip(9)},
      {"a digit of the title", flip(body.find(' ', 9) + 1)},
      {"a byte of the Message-ID", flip(body.size() - 3)},
      {"cut short", body.substr(0, body.size() / 2) + "\r\n"},
      {"LF only", body + "\n"},
      {"empty", "\r\n"},
      {"not a journal line", "Environ.def\r\n"},
      {"a field too many", body + " x\r\n"},
  };
  for (const Case& c : cases) {
    std::string text = first + c.line + last;
    std::vector<JournalEntry> got = ParseJournal(text.data(), text.size());
    ASSERT_EQ(got.size(), 2u) << c.what;
    EXPECT_TRUE(Same(got[0], three[0])) << c.what;
    EXPECT_TRUE(Same(got[1], three[2])) << c.what;
  }
  // A Message-ID that could break the header is refused even with a right checksum.
  for (const char* id : {"<1@example.jp> Bcc: x@example.net", "<1@example.jp>\rBcc: x@example.net", "1@example.jp"}) {
    std::string forged = FormatJournal({{"t", "a@example.jp", id, 0}});
    EXPECT_TRUE(ParseJournal(forged.data(), forged.size()).empty()) << id;
  }
}

// Cut at any byte, a journal yields some of its own entries and nothing else.
TEST(SendJournalFormat, EveryCutGivesOnlyWholeEntries) {
  std::vector<JournalEntry> entries = AwkwardEntries();
  std::string text = FormatJournal(entries);
  for (size_t cut = 0; cut <= text.size(); ++cut) {
    std::vector<JournalEntry> got = ParseJournal(text.data(), cut);
    ASSERT_LE(got.size(), entries.size());
    for (size_t i = 0; i < got.size(); ++i) ASSERT_TRUE(Same(got[i], entries[i])) << "cut " << cut;
  }
}

// Read in order, a record takes the place of an earlier one for its delivery and a clearing
// removes it; a clearing's line passes the same checks as a record's.
TEST(SendJournalFormat, ClearingsAndLaterRecordsApplyInOrder) {
  JournalEntry a1{"t", "a@example.jp", "<1@example.jp>", 0}, b{"t", "b@example.jp", "<2@example.jp>", 0};
  JournalEntry a3{"t", "a@example.jp", "<3@example.jp>", 7};
  std::string clearA = FormatJournalClearing("t", "a@example.jp");
  std::string spoilt = clearA;
  spoilt[10] = spoilt[10] == '0' ? '1' : '0';
  struct Case {
    const char* what;
    std::string text;
    std::vector<JournalEntry> expected;
  } cases[] = {
      {"cleared", FormatJournal({a1, b}) + clearA, {b}},
      {"recorded again after its clearing", FormatJournal({a1, b}) + clearA + FormatJournal({a3}), {b, a3}},
      {"recorded again without one", FormatJournal({a1, b, a3}), {b, a3}},
      {"a clearing of nothing", clearA + FormatJournalClearing("", "") + FormatJournal({b}), {b}},
      {"a spoilt clearing", FormatJournal({a1}) + spoilt, {a1}},
      {"a clearing cut short", FormatJournal({a1}) + clearA.substr(0, clearA.size() - 5), {a1}},
  };
  for (const Case& c : cases) {
    std::vector<JournalEntry> got = ParseJournal(c.text.data(), c.text.size());
    ASSERT_EQ(got.size(), c.expected.size()) << c.what;
    for (size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(Same(got[i], c.expected[i])) << c.what << " " << i;
  }
}

class SendJournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSendSettings();
    std::snprintf(FileLocations.JournalPath, 260, "%s", (folder_ / "SendJournal.txt").c_str());
    std::snprintf(FileLocations.LogPath, 260, "%s", (folder_ / "SendLogs.txt").c_str());
    ResetSendLogCache();
    ResetSendJournalCache();
  }
  std::string Find(const char* title, const char* address) {
    char id[kMessageIdCapacity] = "unchanged";
    bool found = FindJournalMessageId(title, address, id, sizeof id);
    EXPECT_EQ(found, id[0] != '\0');
    return id;
  }
  testing_support::TempFolder folder_{"journal"};
};

TEST_F(SendJournalTest, RecordFindReplaceAndClear) {
  EXPECT_EQ(Find("t", "a@example.jp"), "");  // no journal
  ASSERT_TRUE(RecordJournalEntry("t", "a@example.jp", "<1@example.jp>"));
  ASSERT_TRUE(RecordJournalEntry("t", "b@example.jp", "<2@example.jp>"));
  ASSERT_TRUE(RecordJournalEntry("u", "a@example.jp", "<3@example.jp>"));
  EXPECT_EQ(Find("t", "a@example.jp"), "<1@example.jp>");
  EXPECT_EQ(Find("t", "b@example.jp"), "<2@example.jp>");
  EXPECT_EQ(Find("u", "a@example.jp"), "<3@example.jp>");
  EXPECT_EQ(Find("t", "A@example.jp"), "");  // compared exactly, as the log compares
  EXPECT_EQ(Find("t ", "a@example.jp"), "");

  // A later record for the same delivery takes its place.
  ASSERT_TRUE(RecordJournalEntry("t", "a@example.jp", "<4@example.jp>"));
  EXPECT_EQ(Find("t", "a@example.jp"), "<4@example.jp>");
  std::string text = testing_support::ReadBytes(FileLocations.JournalPath);
  EXPECT_EQ(ParseJournal(text.data(), text.size()).size(), 3u);

  // A Message-ID that is not sound is not recorded.
  EXPECT_FALSE(RecordJournalEntry("v", "a@example.jp", "<x@y>\r\nBcc: z"));
  EXPECT_EQ(Find("v", "a@example.jp"), "");

  ClearJournalEntry("t", "a@example.jp");
  EXPECT_EQ(Find("t", "a@example.jp"), "");
  EXPECT_EQ(Find("t", "b@example.jp"), "<2@example.jp>");
  ClearJournalEntry("t", "b@example.jp");
  ClearJournalEntry("u", "a@example.jp");
  EXPECT_EQ(Find("u", "a@example.jp"), "");
  TidySendJournal();
  EXPECT_FALSE(testing_support::Exists(FileLocations.JournalPath));  // nothing left: no file
  EXPECT_FALSE(testing_support::Exists(std::string(FileLocations.JournalPath) + ".new"));
}

TEST_F(SendJournalTest, ALogShorterThanWhenTheEntryWasMadeMeansAFreshMessageId) {
  AppendSendLog(2, "first", "a@example.jp");
  ASSERT_TRUE(RecordJournalEntry("t", "b@example.jp", "<1@example.jp>"));
  AppendSendLog(3, "other", "c@example.jp");  // the log grows: the entry still holds
  EXPECT_EQ(Find("t", "b@example.jp"), "<1@example.jp>");
  testing_support::WriteBytes(FileLocations.LogPath, "");  // replaced by an empty log
  EXPECT_EQ(Find("t", "b@example.jp"), "");
  std::remove(FileLocations.LogPath);
  EXPECT_EQ(Find("t", "b@example.jp"), "");
}

TEST_F(SendJournalTest, AnEntryWhoseDeliveryWasLoggedGoesAtTheNextWrite) {
  // Killed between the log line and its clearing: the entry stays until the journal is next
  // written, and never comes back once the log is emptied.
  ASSERT_TRUE(RecordJournalEntry("t", "a@example.jp", "<1@example.jp>"));
  ASSERT_TRUE(AppendSendLog(2, "t", "a@example.jp"));
  ASSERT_TRUE(RecordJournalEntry("t", "b@example.jp", "<2@example.jp>"));
  std::string text = testing_support::ReadBytes(FileLocations.JournalPath);
  std::vector<JournalEntry> left = ParseJournal(text.data(), text.size());
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].Address, "b@example.jp");
  testing_support::WriteBytes(FileLocations.LogPath, "");
  EXPECT_EQ(Find("t", "a@example.jp"), "");
  // The same by a clearing.
  ASSERT_TRUE(RecordJournalEntry("u", "a@example.jp", "<3@example.jp>"));
  ASSERT_TRUE(AppendSendLog(3, "u", "a@example.jp"));
  ASSERT_TRUE(AppendSendLog(4, "t", "b@example.jp"));
  ClearJournalEntry("t", "b@example.jp");
  text = testing_support::ReadBytes(FileLocations.JournalPath);
  EXPECT_TRUE(ParseJournal(text.data(), text.size()).empty());
  testing_support::WriteBytes(FileLocations.LogPath, "");
  EXPECT_EQ(Find("u", "a@example.jp"), "");
}

TEST_F(SendJournalTest, StaysBoundedDroppingTheOldest) {
  std::string longTitle(1023, 'T');
  for (size_t i = 0; i < kJournalCapacity + 10; ++i) {
    std::string id = "<" + std::to_string(i) + "@example.jp>";
    ASSERT_TRUE(RecordJournalEntry((longTitle + std::to_string(i)).c_str(), "a@example.jp", id.c_str()));
  }
  std::string text = testing_support::ReadBytes(FileLocations.JournalPath);
  EXPECT_EQ(ParseJournal(text.data(), text.size()).size(), kJournalCapacity);
  EXPECT_LT(text.size(), kJournalCapacity * 3000);
  EXPECT_EQ(Find((longTitle + "0").c_str(), "a@example.jp"), "");
  EXPECT_EQ(Find((longTitle + "9").c_str(), "a@example.jp"), "");
  EXPECT_EQ(Find((longTitle + "10").c_str(), "a@example.jp"), "<10@example.jp>");
}

TEST_F(SendJournalTest, AJournalThatCannotBeReadOrWrittenGivesNothingAndKeepsNothing) {
  // A folder where the journal should be: nothing read, nothing written, nothing thrown.
  std::filesystem::create_directories(testing_support::Native(FileLocations.JournalPath));
  EXPECT_FALSE(RecordJournalEntry("t", "a@example.jp", "<1@example.jp>"));
  EXPECT_EQ(Find("t", "a@example.jp"), "");
  ClearJournalEntry("t", "a@example.jp");
  // No journal path at all (a data folder that was refused).
  FileLocations.JournalPath[0] = '\0';
  EXPECT_FALSE(RecordJournalEntry("t", "a@example.jp", "<1@example.jp>"));
  EXPECT_EQ(Find("t", "a@example.jp"), "");
  // Bytes that are no journal.
  std::snprintf(FileLocations.JournalPath, 260, "%s", (folder_ / "other.txt").c_str());
  testing_support::WriteBytes(FileLocations.JournalPath, std::string(5000, '\xFF') + "\r\n\r\n");
  EXPECT_EQ(Find("t", "a@example.jp"), "");
  ASSERT_TRUE(RecordJournalEntry("t", "a@example.jp", "<1@example.jp>"));
  EXPECT_EQ(Find("t", "a@example.jp"), "<1@example.jp>");
}

// An append that a killed process left half written costs only its own change: the next line
// starts on a line of its own.
TEST_F(SendJournalTest, AHalfWrittenLineSpoilsNothingAfterIt) {
  ASSERT_TRUE(RecordJournalEntry("t", "a@example.jp", "<1@example.jp>"));
  std::string whole = FormatJournal({{"t", "b@example.jp", "<2@example.jp>", 0}});
  std::string text = testing_support::ReadBytes(FileLocations.JournalPath);
  testing_support::WriteBytes(FileLocations.JournalPath, text + whole.substr(0, whole.size() / 2));
  EXPECT_EQ(Find("t", "b@example.jp"), "");
  ASSERT_TRUE(RecordJournalEntry("t", "c@example.jp", "<3@example.jp>"));
  ResetSendJournalCache();  // as the next process reads it
  EXPECT_EQ(Find("t", "a@example.jp"), "<1@example.jp>");
  EXPECT_EQ(Find("t", "b@example.jp"), "");
  EXPECT_EQ(Find("t", "c@example.jp"), "<3@example.jp>");
  TidySendJournal();
  text = testing_support::ReadBytes(FileLocations.JournalPath);
  EXPECT_EQ(text, FormatJournal(ParseJournal(text.data(), text.size())));
  EXPECT_EQ(ParseJournal(text.data(), text.size()).size(), 2u);
}

// What another process writes is read: a journal replaced or grown behind this one's back.
TEST_F(SendJournalTest, ChangesByAnotherProcessAreSeen) {
  ASSERT_TRUE(RecordJournalEntry("t", "a@example.jp", "<1@example.jp>"));
  EXPECT_EQ(Find("t", "a@example.jp"), "<1@example.jp>");
  std::string text = testing_support::ReadBytes(FileLocations.JournalPath);
  testing_support::WriteBytes(FileLocations.JournalPath, text + FormatJournalClearing("t", "a@example.jp"));
  EXPECT_EQ(Find("t", "a@example.jp"), "");
  testing_support::WriteBytes(FileLocations.JournalPath, FormatJournal({{"t", "a@example.jp", "<22@example.jp>", 0}}));
  EXPECT_EQ(Find("t", "a@example.jp"), "<22@example.jp>");
  std::remove(FileLocations.JournalPath);
  EXPECT_EQ(Find("t", "a@example.jp"), "");
  ASSERT_TRUE(RecordJournalEntry("u", "a@example.jp", "<3@example.jp>"));
  text = testing_support::ReadBytes(FileLocations.JournalPath);
  EXPECT_EQ(ParseJournal(text.data(), text.size()).size(), 1u);
}

// A long run appends two lines a row; the journal is written anew before it grows large, and
// keeps the entries not yet cleared.
TEST_F(SendJournalTest, ManyRowsKeepTheFileSmall) {
  std::string title(200, 'T');
  size_t largest = 0;
  for (int i = 0; i < 2000; ++i) {
    std::string address = std::to_string(i) + "@example.jp";
    std::string id = "<" + std::to_string(i) + "@example.jp>";
    ASSERT_TRUE(RecordJournalEntry(title.c_str(), address.c_str(), id.c_str()));
    if (i % 100 != 0) ClearJournalEntry(title.c_str(), address.c_str());  // every hundredth fails
    largest = std::max(largest, testing_support::ReadBytes(FileLocations.JournalPath).size());
  }
  EXPECT_LT(largest, 400u * 1024);
  ResetSendJournalCache();
  for (int i = 0; i < 2000; i += 100) {
    std::string address = std::to_string(i) + "@example.jp";
    EXPECT_EQ(Find(title.c_str(), address.c_str()), "<" + std::to_string(i) + "@example.jp>");
  }
  EXPECT_EQ(Find(title.c_str(), "1@example.jp"), "");
}

}  // namespace
