#include "settings/transfer_tool.h"

#include <gtest/gtest.h>

#include <cstdlib>
#ifdef _WIN32
#include <windows.h>
#endif
#include <cstring>
#include <string>

#include "text/sjis_text.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "settings/file_locations.h"
#include "tests/support/test_folder.h"

namespace {

void Touch(const std::string& path) {
  int fd = platform::OpenFileShared(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_BINARY, platform::kReadWrite);
  ASSERT_GE(fd, 0) << path;
  platform::CloseFd(fd);
}

TEST(TransferTool, MessageNamesBothTools) {
  EXPECT_EQ(platform::Cp932ToUtf8(kTransferToolMissingMessage, std::strlen(kTransferToolMissingMessage)),
            "メール送信ツール（SMTP.exe または curl.exe）が見つかりません。メール送信はしません。");
}

TEST(TransferTool, ToolBesideTheProgramComesFirst) {
  testing_support::TempFolder folder("transfer-tool");
  std::string tool = folder / "SMTP.exe";
  Touch(tool);
  std::strcpy(FileLocations.ToolPath, tool.c_str());
  ResolveTransferTool();
  EXPECT_EQ(std::string(FileLocations.ToolPath), tool);
  EXPECT_TRUE(TransferToolPresent());
  platform::RemoveFile(tool.c_str());
}

#ifdef _WIN32
TEST(TransferTool, SystemCurlWhenToolIsMissing) {
  testing_support::TempFolder folder("transfer-tool");
  std::string root = folder / "root";
  std::string system32 = root + "\\System32";
  CreateDirectoryA(root.c_str(), nullptr);
  CreateDirectoryA(system32.c_str(), nullptr);
  std::string missing = folder / "no-such-folder\\SMTP.exe";
  std::string saved = std::getenv("SystemRoot") ? std::getenv("SystemRoot") : "";
  _putenv_s("SystemRoot", root.c_str());

  // Neither tool: the path stays and the tool counts as missing.
  std::strcpy(FileLocations.ToolPath, missing.c_str());
  ResolveTransferTool();
  EXPECT_EQ(std::string(FileLocations.ToolPath), missing);
  EXPECT_FALSE(TransferToolPresent());

  // The system's curl.exe takes its place.
  Touch(system32 + "\\curl.exe");
  ResolveTransferTool();
  EXPECT_EQ(std::string(FileLocations.ToolPath), system32 + "\\curl.exe");
  EXPECT_TRUE(TransferToolPresent());

  _putenv_s("SystemRoot", saved.c_str());
  platform::RemoveFile((system32 + "\\curl.exe").c_str());
  RemoveDirectoryA(system32.c_str());
  RemoveDirectoryA(root.c_str());
}
#else
TEST(TransferTool, SystemCurlWhenToolIsMissing) {
  std::strcpy(FileLocations.ToolPath, "/nonexistent-folder/SMTP.exe");
  ResolveTransferTool();
  if (platform::PathExists("/usr/bin/curl")) {
    EXPECT_STREQ(FileLocations.ToolPath, "/usr/bin/curl");
    EXPECT_TRUE(TransferToolPresent());
  } else {
    EXPECT_STREQ(FileLocations.ToolPath, "/nonexistent-folder/SMTP.exe");
    EXPECT_FALSE(TransferToolPresent());
  }
}
#endif

}  // namespace
