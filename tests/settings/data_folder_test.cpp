#include "settings/data_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "settings/directory_chain.h"
#include "settings/file_locations.h"
#include "tests/support/test_folder.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace testing_support;

namespace {

#define HYO "\x95\x5C"  // 表: second byte is "\"

// Keeps the environment variables a test changes, and puts them back.
class SavedEnvironment {
 public:
  SavedEnvironment() {
    for (const char* name : {"ProgramData", "ALLUSERSPROFILE", "XDG_DATA_HOME", "HOME"}) {
      char value[4096];
      int found = platform::GetEnvironmentText(name, value, sizeof value);
      saved_.push_back({name, found > 0, found > 0 ? value : ""});
    }
  }
  ~SavedEnvironment() {
    for (const auto& v : saved_) SetEnv(v.name, v.set ? v.value.c_str() : nullptr);
  }

 private:
  struct Value {
    const char* name;
    bool set;
    std::string value;
  };
  std::vector<Value> saved_;
};

class DataFolderTest : public ::testing::Test {
 protected:
  std::string Expected(const std::string& root) { return root + Sep() + "Tallowmere" + Sep() + "Rowcaster"; }
  SavedEnvironment environment_;
  TempFolder folder_;
};

TEST_F(DataFolderTest, CreatesTheMissingChain) {
#ifndef _WIN32
  mode_t old = umask(022);
#endif
  std::string root = folder_ / "a" + Sep() + "b";
  SetEnv("ProgramData", root.c_str());
  std::string got = GetDataFolder("Rowcaster");
  EXPECT_EQ(got, Expected(root));
  EXPECT_TRUE(IsFolder(root + Sep() + "Tallowmere"));
  EXPECT_TRUE(IsFolder(got));
#ifndef _WIN32
  umask(old);
  // Every folder the chain makes is its owner's alone, whatever the umask allows.
  for (const std::string& made : {root + Sep() + "Tallowmere", got}) {
    struct stat st;
    ASSERT_EQ(stat(made.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u) << made;
  }
#endif
}

#ifndef _WIN32
TEST_F(DataFolderTest, AnExistingDataFolderOpenToAllBecomesTheOwnersAlone) {
  // A data folder that an earlier version made with 0755, or that a user opened to all.
  std::string root = folder_ / "data";
  std::string existing = Expected(root);
  mode_t old = umask(022);
  std::filesystem::create_directories(Native(existing));
  umask(old);
  for (mode_t before : {0755u, 0777u, 0750u}) {
    ASSERT_EQ(chmod(existing.c_str(), before), 0);
    SetEnv("ProgramData", root.c_str());
    ASSERT_EQ(std::string(GetDataFolder("Rowcaster")), existing);
    struct stat st;
    ASSERT_EQ(stat(existing.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u) << std::oct << before;
  }
  // Only the data folder itself: the folders above it that already existed keep their mode.
  struct stat above;
  ASSERT_EQ(stat(root.c_str(), &above), 0);
  EXPECT_NE(above.st_mode & 077, 0u);
}
#endif

TEST_F(DataFolderTest, ATrailingSeparatorAndASecondStartGiveTheSameFolder) {
  SetEnv("ProgramData", folder_.path().c_str());
  std::string first = GetDataFolder("Rowcaster");
  ASSERT_TRUE(IsFolder(first));
  WriteBytes(first + Sep() + "kept.txt", "kept");
  SetEnv("ProgramData", (folder_.path() + Sep()).c_str());
  std::string second = GetDataFolder("Rowcaster");
  EXPECT_EQ(second, first);
  EXPECT_EQ(second, Expected(folder_.path()));
  EXPECT_EQ(ReadBytes(first + Sep() + "kept.txt"), "kept");
}

TEST_F(DataFolderTest, AFolderNameWithADoubleByteCharacter) {
  // 表's second byte is a backslash; the name is neither split nor taken as ending in a separator.
  std::string root = folder_ / "\x94\xCC" HYO;  // 販表
  SetEnv("ProgramData", root.c_str());
  std::string got = GetDataFolder("Rowcaster");
  EXPECT_EQ(got, Expected(root));
  EXPECT_TRUE(IsFolder(got));
#ifdef _WIN32
  EXPECT_TRUE(std::filesystem::is_directory(Native(folder_.path()) / L"\u8CA9\u8868" / L"Tallowmere" / L"Rowcaster"));
#else
  EXPECT_TRUE(std::filesystem::is_directory(Native(folder_.path()) / "販表" / "Tallowmere" / "Rowcaster"));
#endif
}

TEST_F(DataFolderTest, PathsThatDoNotFitAreRefusedNotCut) {
  // The data folder adds 21 bytes to the root; 259 bytes is the most a path holds.
  std::string base = folder_.path() + Sep();
  ASSERT_LT(base.size(), 238u - 10u);
  std::string fits = base + std::string(238 - base.size(), 'f');
  std::string tooLong = base + std::string(239 - base.size(), 'g');
  SetEnv("ProgramData", tooLong.c_str());
  EXPECT_STREQ(GetDataFolder("Rowcaster"), "");
  EXPECT_FALSE(Exists(tooLong));
  SetEnv("ProgramData", (std::string(300, 'h')).c_str());
  EXPECT_STREQ(GetDataFolder("Rowcaster"), "");

  SetEnv("ProgramData", fits.c_str());
  std::string got = GetDataFolder("Rowcaster");
  EXPECT_EQ(got.size(), 259u);
  EXPECT_TRUE(IsFolder(got));
  // The folder fits but no file name does after it: every data path stays empty.
  BuildFileLocations();
  for (const char* p : {FileLocations.MessagePath, FileLocations.LogPath, FileLocations.SettingsPath,
                        FileLocations.StoredSettingsPath, FileLocations.OptionsPath, FileLocations.JournalPath})
    EXPECT_STREQ(p, "");
}

TEST_F(DataFolderTest, AFolderThatCannotBeMadeStopsTheChain) {
  std::string file = folder_ / "plainfile";
  WriteBytes(file, "x");
  std::string root = file + Sep() + "sub";
  SetEnv("ProgramData", root.c_str());
  EXPECT_EQ(std::string(GetDataFolder("Rowcaster")), Expected(root));  // the path is still given
  EXPECT_EQ(ReadBytes(file), "x");
  EXPECT_FALSE(IsFolder(root));
}

TEST_F(DataFolderTest, UnsetOrEmptyProgramDataFallsBack) {
#ifdef _WIN32
  std::string all = folder_ / "all";
  SetEnv("ALLUSERSPROFILE", all.c_str());
  for (const char* programData : {static_cast<const char*>(nullptr), ""}) {
    SetEnv("ProgramData", programData);
    EXPECT_EQ(std::string(GetDataFolder("Rowcaster")), Expected(all));
  }
  EXPECT_TRUE(IsFolder(Expected(all)));
#else
  std::string xdg = folder_ / "xdg";
  std::string home = folder_ / "home";
  SetEnv("HOME", home.c_str());
  for (const char* programData : {static_cast<const char*>(nullptr), ""}) {
    SetEnv("ProgramData", programData);
    SetEnv("XDG_DATA_HOME", xdg.c_str());
    EXPECT_EQ(std::string(GetDataFolder("Rowcaster")), Expected(xdg));
    SetEnv("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(std::string(GetDataFolder("Rowcaster")), Expected(home + "/.local/share"));
    SetEnv("XDG_DATA_HOME", "relative/ignored");
    EXPECT_EQ(std::string(GetDataFolder("Rowcaster")), Expected(home + "/.local/share"));
  }
  EXPECT_TRUE(IsFolder(Expected(xdg)));
  EXPECT_TRUE(IsFolder(Expected(home + "/.local/share")));
  EXPECT_FALSE(Exists("relative"));
#endif
}

TEST_F(DataFolderTest, FileLocationsNameTheFixedFiles) {
  SetEnv("ProgramData", folder_.path().c_str());
  BuildFileLocations();
  std::string module = GetModulePath();
  ASSERT_FALSE(module.empty());
  std::string moduleFolder = module.substr(0, module.size() - std::strlen(FileNamePart(module.c_str())) - 1);
  std::string data = Expected(folder_.path());
  EXPECT_EQ(std::string(FileLocations.ToolPath), moduleFolder + Sep() + "SMTP.exe");
  EXPECT_EQ(std::string(FileLocations.EditorPath), moduleFolder + Sep() + "sakura.exe");
  EXPECT_EQ(std::string(FileLocations.MessagePath), data + Sep() + "SendMail.txt");
  EXPECT_EQ(std::string(FileLocations.LogPath), data + Sep() + "SendLogs.txt");
  EXPECT_EQ(std::string(FileLocations.SettingsPath), data + Sep() + "Environ.def");
  EXPECT_EQ(std::string(FileLocations.StoredSettingsPath), data + Sep() + "Environ.psw");
  EXPECT_EQ(std::string(FileLocations.OptionsPath), data + Sep() + "Options.def");
  EXPECT_EQ(std::string(FileLocations.JournalPath), data + Sep() + "SendJournal.txt");
  EXPECT_TRUE(IsFolder(data));
}

TEST(ModulePath, IsThisProgram) {
  std::string module = GetModulePath();
  EXPECT_TRUE(Exists(module)) << module;
  std::string name = FileNamePart(module.c_str());
#ifdef _WIN32
  EXPECT_EQ(name, "settings_test.exe");
  EXPECT_EQ(module.substr(1, 2), ":\\");
#else
  EXPECT_EQ(name, "settings_test");
  EXPECT_EQ(module[0], '/');
#endif
  EXPECT_EQ(GetModulePath(), GetModulePath());  // fetched once, kept in one place
  if (std::getenv("ROWCASTER_BUILD_DIR")) {
    // Under CTest the program runs in its own folder.
    EXPECT_TRUE(std::filesystem::equivalent(Native(DirectoryPart(module.c_str())), std::filesystem::current_path()));
  }
}

#ifndef _WIN32
// Run by ModulePath.ALongFolderIsRefused in a copy of this program that sits in a folder too
// long for a 260-byte path.
TEST(ModulePath, DISABLED_InALongFolder) {
  EXPECT_STREQ(GetModulePath(), "");
  BuildFileLocations();
  EXPECT_STREQ(FileLocations.ToolPath, "");
  EXPECT_STREQ(FileLocations.EditorPath, "");
  EXPECT_STRNE(FileLocations.SettingsPath, "");
}

TEST_F(DataFolderTest, ALongModuleFolderIsRefused) {
  std::string deep = folder_.path();
  while (deep.size() < 300) deep += "/" + std::string(40, 'd');
  std::filesystem::create_directories(deep);
  std::string copy = deep + "/settings_test";
  std::error_code linked;
  std::filesystem::create_hard_link(Native(GetModulePath()), copy, linked);
  if (linked) std::filesystem::copy_file(Native(GetModulePath()), copy);
  SetEnv("ProgramData", folder_.path().c_str());
  std::string command = "'" + copy + "' --gtest_also_run_disabled_tests --gtest_filter=ModulePath.DISABLED_InALongFolder"
                        " > '" + folder_.path() + "/child.txt' 2>&1";
  int status = std::system(command.c_str());
  EXPECT_EQ(status, 0) << ReadBytes(folder_.path() + "/child.txt");
  EXPECT_NE(ReadBytes(folder_.path() + "/child.txt").find("[  PASSED  ] 1 test"), std::string::npos);
}
#endif

// Follows a chain walk over a pretend file system that records every call.
struct PretendFolders {
  std::set<std::string> present;
  std::set<std::string> refused;  // makes that fail
  std::vector<std::string> calls;

  static bool Exists(const char* path, void* self) {
    auto* p = static_cast<PretendFolders*>(self);
    p->calls.push_back(std::string("?") + path);
    return p->present.count(path) > 0;
  }
  static bool Make(const char* path, void* self) {
    auto* p = static_cast<PretendFolders*>(self);
    p->calls.push_back(std::string("+") + path);
    if (p->refused.count(path)) return false;
    p->present.insert(path);
    return true;
  }
};

TEST(DirectoryChain, WalksEachStyle) {
  const std::string longName(300, 'n');
  struct Case {
    const char* what;
    PathStyle style;
    std::string path;
    std::set<std::string> present, refused;
    std::vector<std::string> calls;
    int result;
  } cases[] = {
      {"drive, two missing", PathStyle::Windows, "C:\\ProgramData\\Tallowmere\\Rowcaster", {"C:", "C:\\ProgramData"}, {},
       {"?C:", "?C:\\ProgramData", "?C:\\ProgramData\\Tallowmere", "+C:\\ProgramData\\Tallowmere",
        "?C:\\ProgramData\\Tallowmere\\Rowcaster", "+C:\\ProgramData\\Tallowmere\\Rowcaster"},
       1},
      {"second start", PathStyle::Windows, "C:\\P\\T", {"C:", "C:\\P", "C:\\P\\T"}, {}, {"?C:", "?C:\\P", "?C:\\P\\T"}, 1},
      {"missing drive", PathStyle::Windows, "Q:\\P\\T", {}, {}, {"?Q:"}, 0},
      {"network path", PathStyle::Windows, "\\\\server\\share\\dir", {}, {},
       {"?\\\\server\\share", "+\\\\server\\share", "?\\\\server\\share\\dir", "+\\\\server\\share\\dir"}, 1},
      {"make refused", PathStyle::Windows, "C:\\a\\b\\c", {"C:"}, {"C:\\a\\b"},
       {"?C:", "?C:\\a", "+C:\\a", "?C:\\a\\b", "+C:\\a\\b"}, 0},
      {"double-byte name", PathStyle::Windows, "C:\\" HYO "\\x", {"C:"}, {},
       {"?C:", "?C:\\" HYO, "+C:\\" HYO, "?C:\\" HYO "\\x", "+C:\\" HYO "\\x"}, 1},
      {"quoted part", PathStyle::Windows, "C:\\\"a:b\"\\x", {"C:"}, {},
       {"?C:", "?C:\\a:b", "+C:\\a:b", "?C:\\a:b\\x", "+C:\\a:b\\x"}, 1},
      {"walk too long", PathStyle::Windows, "srv\\" + longName.substr(0, 254), {}, {}, {}, 0},
      {"absolute", PathStyle::Posix, "/home/u/.local/Tallowmere", {"/home", "/home/u"}, {},
       {"?/home", "?/home/u", "?/home/u/.local", "+/home/u/.local", "?/home/u/.local/Tallowmere",
        "+/home/u/.local/Tallowmere"},
       1},
      {"doubled and trailing separators", PathStyle::Posix, "//a//b/", {"/a"}, {}, {"?/a", "?/a/b", "+/a/b"}, 1},
      {"relative", PathStyle::Posix, "rel/x", {}, {}, {"?rel", "+rel", "?rel/x", "+rel/x"}, 1},
      {"colons, backslashes and quotes are names", PathStyle::Posix, "/C:\\\"q\"", {}, {}, {"?/C:\\\"q\"", "+/C:\\\"q\""}, 1},
      {"make refused", PathStyle::Posix, "/a/b/c", {}, {"/a/b"}, {"?/a", "+/a", "?/a/b", "+/a/b"}, 0},
      {"empty", PathStyle::Posix, "", {}, {}, {}, 0},
  };
  for (const auto& c : cases) {
    PretendFolders folders;
    folders.present = c.present;
    folders.refused = c.refused;
    FolderOperations operations = {PretendFolders::Exists, PretendFolders::Make, &folders};
    EXPECT_EQ(WalkDirectoryChain(c.path.c_str(), c.style, operations), c.result) << c.what;
    EXPECT_EQ(folders.calls, c.calls) << c.what;
  }
}

#ifndef _WIN32
// (The Windows access list is checked in data_folder_win32_test.cpp.)
TEST(GrantFolderAccess, ElsewhereThanWindowsIsANoOpThatSucceeds) {
  EXPECT_EQ(GrantFolderAccess("/nonexistent/folder", "Everyone", platform::kGenericAll), 1);
}
#endif

}  // namespace
