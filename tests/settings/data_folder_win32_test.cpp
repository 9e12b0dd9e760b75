// The Windows side of the data folder: drives, wide paths and the access list.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/folders.h"
#include "settings/data_folder.h"
#include "tests/support/test_folder.h"

using namespace testing_support;

namespace {

#define HYO "\x95\x5C"  // 表: second byte is "\"

class ProgramDataScope {
 public:
  explicit ProgramDataScope(const std::string& value) {
    char saved[4096];
    had_ = platform::GetEnvironmentText("ProgramData", saved, sizeof saved) > 0;
    saved_ = had_ ? saved : "";
    SetEnv("ProgramData", value.c_str());
  }
  ~ProgramDataScope() { SetEnv("ProgramData", had_ ? saved_.c_str() : nullptr); }

 private:
  bool had_;
  std::string saved_;
};

std::wstring Wide(const std::string& sjis) { return platform::Cp932ToWide(sjis.c_str()); }

bool WideFolderExists(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(DataFolderWin32, ADriveThatDoesNotExistCreatesNothing) {
  DWORD drives = GetLogicalDrives();
  char letter = 0;
  for (char c = 'Q'; c <= 'Y' && !letter; ++c)
    if (!(drives & (1u << (c - 'A')))) letter = c;
  ASSERT_NE(letter, 0) << "no free drive letter";
  std::string root = std::string(1, letter) + ":\\Data";
  ProgramDataScope scope(root);
  EXPECT_EQ(std::string(GetDataFolder("Rowcaster")), root + "\\Tallowmere\\Rowcaster");
  EXPECT_EQ(GetFileAttributesW(Wide(root).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(DataFolderWin32, DoubleByteNamesGoThroughTheWideCalls) {
  TempFolder folder;
  // 表 ends in the byte 0x5C: the value counts as not ending in a separator, and the name
  // is neither split nor turned into "?" on the way to the file system.
  std::string root = folder / HYO;
  ProgramDataScope scope(root);
  std::string got = GetDataFolder("Rowcaster");
  EXPECT_EQ(got, root + "\\Tallowmere\\Rowcaster");
  EXPECT_TRUE(WideFolderExists(Wide(folder.path()) + L"\\\u8868\\Tallowmere\\Rowcaster"));
  EXPECT_FALSE(WideFolderExists(Wide(folder.path()) + L"\\\u8868Tallowmere"));
  EXPECT_EQ(GrantFolderAccess(got.c_str(), "Everyone", GENERIC_ALL), 1);
}

TEST(DataFolderWin32, TheAccessListHoldsOneInheritableEntryForEveryone) {
  platform::FolderAccess access;
  ASSERT_TRUE(platform::BuildFolderAccess(&access, "Everyone", GENERIC_ALL));
  PSECURITY_DESCRIPTOR descriptor = access.descriptor;
  EXPECT_TRUE(IsValidSecurityDescriptor(descriptor));
  BOOL present = FALSE, defaulted = TRUE;
  PACL list = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted));
  EXPECT_TRUE(present);
  EXPECT_FALSE(defaulted);
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(IsValidAcl(list));
  EXPECT_EQ(list->AclRevision, ACL_REVISION);
  EXPECT_EQ(list->AclSize, 4096);
  ASSERT_EQ(list->AceCount, 1);
  void* entry = nullptr;
  ASSERT_TRUE(GetAce(list, 0, &entry));
  auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
  EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
  EXPECT_EQ(allowed->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
  EXPECT_EQ(allowed->Header.AceFlags, 3);
  EXPECT_EQ(allowed->Mask, static_cast<DWORD>(GENERIC_ALL));
  PSID sid = &allowed->SidStart;
  wchar_t* text = nullptr;
  ASSERT_TRUE(ConvertSidToStringSidW(sid, &text));
  EXPECT_EQ(std::wstring(text), L"S-1-1-0");
  LocalFree(text);
  // The descriptor owns nothing else.
  PSID owner = nullptr;
  BOOL ownerDefaulted = FALSE;
  ASSERT_TRUE(GetSecurityDescriptorOwner(descriptor, &owner, &ownerDefaulted));
  EXPECT_EQ(owner, nullptr);
}

TEST(DataFolderWin32, GrantFolderAccessReportsEachFailure) {
  TempFolder folder;
  struct Case { const char* what; std::string path; const char* account; int result; } cases[] = {
      {"existing folder", folder.path(), "Everyone", 1},
      {"set twice", folder.path(), "Everyone", 1},
      {"unknown account", folder.path(), "NoSuchAccount-Rowcaster-7f3a", 0},
      {"missing folder", folder / "missing", "Everyone", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(GrantFolderAccess(c.path.c_str(), c.account, GENERIC_ALL), c.result) << c.what;
  platform::FolderAccess access;
  EXPECT_FALSE(platform::BuildFolderAccess(&access, "NoSuchAccount-Rowcaster-7f3a", GENERIC_ALL));
}

}  // namespace
