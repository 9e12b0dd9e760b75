#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "settings/file_locations.h"
#include "settings/options.h"
#include "settings/send_settings.h"
#include "tests/support/test_folder.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

using namespace testing_support;

namespace {

#define HYO "\x95\x5C"  // 表: second byte is "\"

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}

// The scramble stated the other way round: the byte at k is the nibble-swapped complement
// of the byte at n - 1 - k, except the middle byte of an odd length.
std::string Reference(const std::string& in) {
  std::string out = in;
  size_t n = in.size();
  for (size_t k = 0; k < n; ++k) {
    if (n % 2 == 1 && k == n / 2) continue;
    unsigned char b = static_cast<unsigned char>(~static_cast<unsigned char>(in[n - 1 - k]));
    out[k] = static_cast<char>(static_cast<unsigned char>((b << 4) | (b >> 4)));
  }
  return out;
}

std::string Scramble(std::string bytes) {
  ScrambleBytes(reinterpret_cast<unsigned char*>(&bytes[0]), static_cast<int>(bytes.size()));
  return bytes;
}

std::string Lines(std::initializer_list<const char*> lines, const char* end = "\r\n") {
  std::string s;
  for (const char* l : lines) s += std::string(l) + end;
  return s;
}

// Points the two settings paths into a fresh folder.
class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSendSettings();
    EscapePressed = 0;
    def_ = folder_ / "Environ.def";
    psw_ = folder_ / "Environ.psw";
    std::strcpy(FileLocations.SettingsPath, def_.c_str());
    std::strcpy(FileLocations.StoredSettingsPath, psw_.c_str());
  }
  void TearDown() override {
    ResetSendSettings();
    EscapePressed = 0;
  }
  TempFolder folder_;
  std::string def_, psw_;
};

TEST(ScrambleBytes, WorkedExamples) {
  struct Case { std::string in, out; } cases[] = {
      {"abc", Bytes({0xC9, 0x62, 0xE9})},
      {"ab", Bytes({0xD9, 0xE9})},
      {"", ""},
      {"a", "a"},
      {std::string("\x00\xFF", 2), Bytes({0x00, 0xFF})},  // NOT then swap: FF->00, 00->FF
  };
  for (const auto& c : cases) EXPECT_EQ(Hex(Scramble(c.in)), Hex(c.out)) << c.in;
  unsigned char untouched[4] = {1, 2, 3, 4};
  ScrambleBytes(untouched, -3);
  EXPECT_EQ(untouched[0], 1);
  EXPECT_EQ(untouched[3], 4);
}

TEST(ScrambleBytes, MatchesTheMirrorRuleAndIsItsOwnInverse) {
  unsigned seed = 12345;
  for (int n = 0; n <= 300; ++n) {
    std::string in;
    for (int i = 0; i < n; ++i) {
      seed = seed * 1103515245u + 12345u;
      in += static_cast<char>((seed >> 16) & 0xFF);
    }
    std::string once = Scramble(in);
    ASSERT_EQ(once, Reference(in)) << "length " << n;
    ASSERT_EQ(Scramble(once), in) << "length " << n;
    if (n % 2 == 1) {
      ASSERT_EQ(once[n / 2], in[n / 2]) << "length " << n;
    }
  }
}

TEST_F(StoreTest, ScrambleFileWritesTheWholeScrambledCopyAndKeepsTheSource) {
  std::string content = "plain " HYO " text\r\n";
  WriteBytes(def_, content);
  WriteBytes(psw_, std::string(500, 'x'));  // longer than the result: must be cut
  EXPECT_EQ(ScrambleFile(def_.c_str(), psw_.c_str()), 0);
  EXPECT_EQ(ReadBytes(psw_), Reference(content));
  EXPECT_EQ(ReadBytes(def_), content);
  // And back again.
  std::string back = folder_ / "back.txt";
  EXPECT_EQ(ScrambleFile(psw_.c_str(), back.c_str()), 0);
  EXPECT_EQ(ReadBytes(back), content);
  // An empty source gives an empty destination.
  WriteBytes(def_, "");
  EXPECT_EQ(ScrambleFile(def_.c_str(), psw_.c_str()), 0);
  EXPECT_EQ(ReadBytes(psw_), "");
}

TEST_F(StoreTest, ScrambleFileFailuresLeaveBothFilesAlone) {
  std::string older = "older stored form";
  struct Case { const char* what; std::string source, destination; } cases[] = {
      {"missing source", folder_ / "none.def", psw_},
      {"source is a folder", folder_.path(), psw_},
      {"destination folder missing", def_, folder_ / "none" + Sep() + "Environ.psw"},
      {"empty paths", "", ""},
  };
  for (const auto& c : cases) {
    WriteBytes(def_, "source bytes\r\n");
    WriteBytes(psw_, older);
    EXPECT_EQ(ScrambleFile(c.source.c_str(), c.destination.c_str()), -1) << c.what;
    EXPECT_EQ(ReadBytes(psw_), older) << c.what;
    EXPECT_EQ(ReadBytes(def_), "source bytes\r\n") << c.what;
  }
}

#ifndef _WIN32
// A file size limit makes writes stop part-way, as a full disk does.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }

 private:
  rlimit saved_;
  void (*previous_)(int);
};

TEST_F(StoreTest, ScrambleFileReportsAShortWrite) {
  WriteBytes(def_, std::string(100, 'v'));
  WriteBytes(psw_, "older stored form");
  {
    FileSizeLimit limit(40);
    EXPECT_EQ(ScrambleFile(def_.c_str(), psw_.c_str()), -1);
  }
  EXPECT_EQ(ReadBytes(def_), std::string(100, 'v'));
  // Never part of a stored form: the older one stays whole, and no piece is left beside it.
  EXPECT_EQ(ReadBytes(psw_), "older stored form");
  EXPECT_FALSE(Exists(psw_ + ".new"));
}

TEST_F(StoreTest, TheSettingsFilesAreTheOwnersAlone) {
  // Also when an earlier version left them readable for all.
  mode_t old = umask(022);
  std::string options = folder_ / "Options.def";
  for (const std::string& f : {psw_, options}) {
    WriteBytes(f, "");
    chmod(f.c_str(), 0644);
  }
  std::strcpy(SendSettings.Password, "secret");
  std::strcpy(FileLocations.StoredSettingsPath, (folder_ / "none" + Sep() + "Environ.psw").c_str());
  StoreSettings();  // the stored form cannot be made: the plain file stays to be looked at
  std::strcpy(FileLocations.StoredSettingsPath, psw_.c_str());
  struct stat st;
  ASSERT_EQ(stat(def_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  StoreSettings();
  ResetOptions();
  ASSERT_EQ(StoreOptions(options.c_str()), 0);
  umask(old);
  for (const std::string& f : {psw_, options}) {
    ASSERT_EQ(stat(f.c_str(), &st), 0) << f;
    EXPECT_EQ(st.st_mode & 07777, 0600u) << f;
  }
}

TEST_F(StoreTest, AnIncompleteSettingsFileIsNeitherStoredNorDeleted) {
  WriteBytes(psw_, Reference("older values\r\n"));
  std::memset(SendSettings.MailTitle, 't', sizeof SendSettings.MailTitle - 1);
  {
    FileSizeLimit limit(100);
    StoreSettings();
  }
  EXPECT_EQ(ReadBytes(psw_), Reference("older values\r\n"));  // the older stored form stays
  EXPECT_TRUE(Exists(def_));                                   // and so does what was written
}
#endif

TEST_F(StoreTest, AtExitAPlainFileThatCannotBeStoredWinsOverTheOlderStoredForm) {
  // Start-up stored the values of the start at once; the exit's scramble then fails.
  WriteBytes(psw_, Reference("start@example.jp\r\n"));
  LoadStoredSettings();
  std::strcpy(SendSettings.MailAddress, "edited@example.jp");
  std::string blocked = psw_ + ".new";
  std::filesystem::create_directories(Native(blocked));  // the stored form's temporary cannot be made
  StoreSettings();
  std::filesystem::remove(Native(blocked));
  EXPECT_TRUE(Exists(def_));    // the plain file stays ...
  EXPECT_FALSE(Exists(psw_));   // ... and the older stored form no longer hides it
  ResetSendSettings();
  LoadSettings();
  EXPECT_STREQ(SendSettings.MailAddress, "edited@example.jp");
}

// What is on disk after the window's start-up, and after each way out of the program that
// follows.
TEST_F(StoreTest, StartUpStoresTheSettingsBackAtOnceAndTheExitsKeepTheirMeaning) {
  // Bytes that a rewrite from the values would not give back: spaces, quotes, a sixteenth line.
  const std::string quirky = "  \"a@example.jp\"  \r\nlogin\r\nsecret pass\r\n" + Lines({"", "", "", "T"}) +
                             Lines({"", "", "", "", "3", "", "", ""}) + "extra\r\n";
  struct Case {
    const char* what;
    const char* def;  // nullptr: no file
    std::string psw;  // plain text of a stored form; "": no file
    bool blocked;     // the stored form's temporary cannot be made
    const char* afterDef;  // the plain file after start-up, nullptr: none
    std::string afterPsw;  // the stored form after start-up (its plain text), "": none
    const char* mailAddress;  // the value start-up read
  } cases[] = {
      {"from the stored form", nullptr, quirky, false, nullptr, quirky, "a@example.jp"},
      {"from a plain file left from before", quirky.c_str(), "", false, nullptr, quirky, "a@example.jp"},
      {"both: the stored form wins", "plain\r\n", quirky, false, nullptr, quirky, "a@example.jp"},
      {"first start", nullptr, "", false, nullptr, "", ""},
      {"the scramble fails: the plain file stays", "plain\r\n", "", true, "plain\r\n", "", "plain"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const std::string& f : {def_, psw_}) std::filesystem::remove(Native(f));
    if (c.def) WriteBytes(def_, c.def);
    if (!c.psw.empty()) WriteBytes(psw_, Reference(c.psw));
    if (c.blocked) std::filesystem::create_directories(Native(psw_ + ".new"));
    ResetSendSettings();
    LoadStoredSettings();
    if (c.blocked) std::filesystem::remove(Native(psw_ + ".new"));
    EXPECT_STREQ(SendSettings.MailAddress, c.mailAddress);
    EXPECT_STREQ(SendSettings.StartRow, c.afterPsw.empty() ? "2" : "3");
    EXPECT_EQ(Exists(def_), c.afterDef != nullptr);
    if (c.afterDef) {
      EXPECT_EQ(ReadBytes(def_), c.afterDef);
    }
    EXPECT_EQ(Exists(psw_), !c.afterPsw.empty());
    // The stored form's bytes are those it had before start-up, or the plain file's scrambled.
    if (!c.afterPsw.empty()) {
      EXPECT_EQ(Hex(ReadBytes(psw_)), Hex(Reference(c.afterPsw)));
    }
    EXPECT_FALSE(Exists(psw_ + ".new"));
  }

  // The exits after a start from the stored form: Escape keeps the bytes of start-up, the
  // save-and-exit command stores the values held now.
  std::filesystem::remove(Native(def_));
  WriteBytes(psw_, Reference(quirky));
  ResetSendSettings();
  LoadStoredSettings();
  std::strcpy(SendSettings.MailTitle, "edited");
  EscapePressed = 1;
  StoreSettings();
  EXPECT_FALSE(Exists(def_));
  EXPECT_EQ(Hex(ReadBytes(psw_)), Hex(Reference(quirky)));
  EscapePressed = 0;
  StoreSettings();
  EXPECT_FALSE(Exists(def_));
  ResetSendSettings();
  LoadSettings();
  EXPECT_STREQ(SendSettings.MailAddress, "a@example.jp");
  EXPECT_STREQ(SendSettings.Password, "secret pass");
  EXPECT_STREQ(SendSettings.MailTitle, "edited");
}

std::string BuiltInFile() {
  std::string s;
  for (int i = 0; i < 11; ++i) s += "\r\n";
  return s + "2\r\n999\r\n4\r\n\r\n";
}

TEST_F(StoreTest, BuiltInValuesGiveTheWorkedExampleFiles) {
  // With the stored form's folder missing the scramble fails, so the plain file stays to be read.
  std::strcpy(FileLocations.StoredSettingsPath, (folder_ / "none" + Sep() + "Environ.psw").c_str());
  StoreSettings();
  std::string plain = ReadBytes(def_);
  EXPECT_EQ(plain.size(), 35u);
  EXPECT_EQ(plain, BuiltInFile());

  std::strcpy(FileLocations.StoredSettingsPath, psw_.c_str());
  StoreSettings();
  std::string stored = Bytes({0x5F, 0x2F, 0x5F, 0x2F, 0xBC, 0x5F, 0x2F, 0x6C, 0x6C, 0x6C, 0x5F, 0x2F, 0xDC, 0x5F,
                              0x2F, 0x5F, 0x2F, 0x0A});
  for (int i = 0; i < 8; ++i) stored += Bytes({0x2F, 0x5F});
  stored += Bytes({0x2F});
  EXPECT_EQ(Hex(ReadBytes(psw_)), Hex(stored));
  EXPECT_FALSE(Exists(def_));
}

TEST_F(StoreTest, AnAllEmptyRecordGivesThirtyBytes) {
  std::memset(&SendSettings, 0, sizeof SendSettings);
  std::strcpy(FileLocations.StoredSettingsPath, (folder_ / "none" + Sep() + "Environ.psw").c_str());
  StoreSettings();
  std::string crlf15;
  for (int i = 0; i < 15; ++i) crlf15 += "\r\n";
  EXPECT_EQ(ReadBytes(def_), crlf15);

  std::strcpy(FileLocations.StoredSettingsPath, psw_.c_str());
  StoreSettings();
  std::string stored;
  for (int i = 0; i < 15; ++i) stored += Bytes({0x5F, 0x2F});
  EXPECT_EQ(Hex(ReadBytes(psw_)), Hex(stored));
  EXPECT_FALSE(Exists(def_));
}

TEST_F(StoreTest, ValuesSurviveStoreAndLoad) {
  SettingsField fields[kSettingsFieldCount];
  ListSettingsFields(SendSettings, fields);
  for (int i = 0; i < kSettingsFieldCount; ++i) {
    std::string value = "v" + std::to_string(i + 1) + HYO;
    std::strcpy(fields[i].text, value.substr(0, fields[i].capacity - 1).c_str());
  }
  std::memset(SendSettings.BodyFile, 'b', 259);  // the longest value a field holds
  SendSettingsRecord saved = SendSettings;
  StoreSettings();
  EXPECT_FALSE(Exists(def_));
  EXPECT_TRUE(Exists(psw_));

  ResetSendSettings();
  LoadSettings();
  EXPECT_EQ(std::memcmp(&saved, &SendSettings, sizeof saved), 0);
  EXPECT_FALSE(Exists(psw_));  // turned back and deleted
  EXPECT_TRUE(Exists(def_));   // the plain file stays while the program runs
}

TEST_F(StoreTest, AfterEscapeTheValuesOfStartUpAreStored) {
  WriteBytes(def_, "start@example.jp\r\n");
  LoadSettings();
  ASSERT_STREQ(SendSettings.MailAddress, "start@example.jp");
  std::strcpy(SendSettings.MailAddress, "edited@example.jp");
  EscapePressed = 1;
  StoreSettings();
  EXPECT_EQ(ReadBytes(psw_), Reference("start@example.jp\r\n"));
  EXPECT_FALSE(Exists(def_));

  // First start ever and Escape: nothing to store.
  std::filesystem::remove(Native(psw_));
  StoreSettings();
  EXPECT_FALSE(Exists(psw_));
  EXPECT_FALSE(Exists(def_));
}

TEST_F(StoreTest, ASettingsFileThatCannotBeWrittenStoresWhatStartUpLeft) {
  WriteBytes(def_, "start\r\n");
  std::string blocked = folder_ / "blocked";
  std::filesystem::create_directories(Native(blocked));  // a folder cannot be opened as a file
  std::strcpy(FileLocations.SettingsPath, blocked.c_str());
  StoreSettings();
  EXPECT_FALSE(Exists(psw_));
  EXPECT_TRUE(IsFolder(blocked));
}

TEST_F(StoreTest, RefusedPathsTouchNothing) {
  // The data paths stay empty when the data folder was refused.
  FileLocations.SettingsPath[0] = '\0';
  FileLocations.StoredSettingsPath[0] = '\0';
  std::strcpy(SendSettings.MailTitle, "kept");
  LoadSettings();
  StoreSettings();
  EXPECT_STREQ(SendSettings.MailTitle, "kept");
  EXPECT_STREQ(SendSettings.StartRow, "2");
  EXPECT_TRUE(std::filesystem::is_empty(Native(folder_.path())));
}

TEST_F(StoreTest, LoadSettingsCases) {
  const std::string longPath(300, 'p');
  std::string overLong = Lines({"1", "2", "3", "4", "5"}) + std::string(40, '9') + "\r\n" + "title\r\n" + longPath +
                         "\r\n" + "list\r\n" + "sheet\r\n" + "ab" HYO HYO HYO "\r\n" + "7\r\n";
  // Leading spaces fill the line buffer, whose end falls between the two bytes of 表.
  std::string sjisAtEdge = std::string(1020, ' ') + "ab" HYO "zz\r\n" + "second\r\n";
  const std::string builtIn = "<built-in>";
  struct Case {
    const char* what;
    const char* def;   // nullptr: no file
    const char* psw;   // plain text of a stored form, nullptr: no file
    std::map<int, std::string> expected;  // line -> value; the rest keep the built-in values
  } cases[] = {
      {"no files", nullptr, nullptr, {}},
      {"fewer lines", "a@example.jp\r\nlogin\r\n", nullptr, {{1, "a@example.jp"}, {2, "login"}}},
      {"no LF at the end", "a\r\nb", nullptr, {{1, "a"}, {2, "b"}}},
      {"empty line 12", "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n5\r\n", nullptr, {{12, ""}, {13, "5"}}},
      {"LF only", "x@y\nid\n\n\n\n587\n", nullptr, {{1, "x@y"}, {2, "id"}, {6, "587"}}},
      {"quoted with spaces", "  \"Sales\"  \r\n", nullptr, {{1, "Sales"}}},
      {"inner spaces and quotes kept", "\"a \"b\" c\"\r\n", nullptr, {{1, "a \"b\" c"}}},
      {"lone quote", "\"\r\n\"open\r\n", nullptr, {{1, ""}, {2, "\"open"}}},
      {"tabs kept", "\tx\t\r\n", nullptr, {{1, "\tx\t"}}},
      {"stored form wins", "plain\r\n", "stored\r\n", {{1, "stored"}}},
      {"stored form only", nullptr, "s1\r\ns2\r\n", {{1, "s1"}, {2, "s2"}}},
      {"over-long lines", overLong.c_str(), nullptr,
       {{1, "1"}, {2, "2"}, {3, "3"}, {4, "4"}, {5, "5"}, {6, std::string(15, '9')}, {7, "title"}, {8, longPath.substr(0, 259)}, {9, "list"}, {10, "sheet"},
        {11, "ab" HYO HYO}, {12, "7"}}},
      {"double-byte character at the line buffer's end", sjisAtEdge.c_str(), nullptr,
       {{1, "ab"}, {2, "second"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(Native(def_));
    std::filesystem::remove(Native(psw_));
    if (c.def) WriteBytes(def_, c.def);
    if (c.psw) WriteBytes(psw_, Reference(c.psw));
    ResetSendSettings();
    SendSettingsRecord builtIns = SendSettings;
    LoadSettings();
    SettingsField got[kSettingsFieldCount], base[kSettingsFieldCount];
    ListSettingsFields(SendSettings, got);
    ListSettingsFields(builtIns, base);
    for (int line = 1; line <= kSettingsFieldCount; ++line) {
      auto it = c.expected.find(line);
      std::string want = it != c.expected.end() ? it->second : std::string(base[line - 1].text);
      EXPECT_EQ(std::string(got[line - 1].text), want) << "line " << line;
    }
    EXPECT_FALSE(Exists(psw_));
    EXPECT_EQ(Exists(def_), c.def || c.psw);
    if (c.psw) {
      EXPECT_EQ(ReadBytes(def_), c.psw);
    }
  }
}

TEST_F(StoreTest, MoreThanFifteenLinesAreIgnoredBeyondTheFifteenth) {
  std::string text;
  for (int i = 1; i <= 18; ++i) text += "L" + std::to_string(i) + "\r\n";
  WriteBytes(def_, text);
  LoadSettings();
  SettingsField got[kSettingsFieldCount];
  ListSettingsFields(SendSettings, got);
  for (int i = 0; i < kSettingsFieldCount; ++i) EXPECT_EQ(std::string(got[i].text), "L" + std::to_string(i + 1));
}

}  // namespace
