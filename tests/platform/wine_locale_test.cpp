// Proves the harness: the program runs under the Japanese locale and code page 932 works.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "platform/codepage.h"
#include "platform/files.h"
#include "tests/support/fresh_folder.h"

namespace {

TEST(WineLocale, AnsiCodePageIs932) { EXPECT_EQ(GetACP(), 932u); }

TEST(WineLocale, ConvertsJapaneseBetween932AndUtf16) {
  const char sjis[] = "\x83\x81\x81\x5b\x83\x8b\x88\xea\x8a\x87\x91\x97\x90\x4d";  // メール一括送信
  const wchar_t wide[] = L"\u30E1\u30FC\u30EB\u4E00\u62EC\u9001\u4FE1";
  wchar_t w[32] = {};
  int n = MultiByteToWideChar(932, 0, sjis, -1, w, 32);
  EXPECT_EQ(n, 8);
  EXPECT_STREQ(w, wide);
  char back[32] = {};
  WideCharToMultiByte(932, 0, wide, -1, back, sizeof back, nullptr, nullptr);
  EXPECT_STREQ(back, sjis);
  EXPECT_EQ(platform::Cp932ToWide(sjis), std::wstring(wide));
  EXPECT_EQ(platform::WideToCp932(wide), std::string(sjis));
}

TEST(WineLocale, JapanesePathThroughTheSeam) {
  testing_support::FreshFolder folder("locale");
  std::wstring tmp = folder.path().wstring() + L"\\";
  std::string dir = platform::WideToCp932(tmp.c_str());
  std::string path = dir + "\x95\x5c\x83\x5c.txt";  // 表ソ.txt
  int fd = platform::OpenFileShared(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_BINARY, platform::kReadWrite);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(platform::WriteFd(fd, "ok", 2), 2);
  platform::CloseFd(fd);
  // The file exists under its UTF-16 name.
  std::wstring wpath = std::wstring(tmp) + L"\u8868\u30BD.txt";
  EXPECT_NE(GetFileAttributesW(wpath.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(platform::PathExists(path.c_str()));
  long long size = 0;
  EXPECT_TRUE(platform::GetFileSize(path.c_str(), &size));
  EXPECT_EQ(size, 2);
  EXPECT_EQ(platform::RemoveFile(path.c_str()), 0);
  EXPECT_FALSE(platform::PathExists(path.c_str()));
}

}  // namespace
