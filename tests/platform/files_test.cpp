#include "platform/files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/test_folder.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

using namespace testing_support;

namespace {

#ifndef _WIN32
mode_t ModeOf(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return 07777;
  return st.st_mode & 07777;
}

// Every way the program opens a file for writing leaves it its owner's alone: a new file, and
// one that an earlier version (or a user) made readable for all. Opening for reading changes
// nothing.
TEST(FilePermissions, WhatTheProgramWritesIsTheOwnersAlone) {
  TempFolder folder("files");
  mode_t old = umask(022);
  struct Open {
    const char* what;
    bool writes;
    bool (*open)(const std::string& path);
  } opens[] = {
      {"open for writing", true,
       [](const std::string& p) {
         int fd = platform::OpenFileShared(p.c_str(), O_WRONLY | O_CREAT | O_BINARY, platform::kReadWrite);
         return fd >= 0 && platform::CloseFd(fd) == 0;
       }},
      {"fopen wb", true, [](const std::string& p) { FILE* f = platform::OpenStreamShared(p.c_str(), "wb"); return f && std::fclose(f) == 0; }},
      {"fopen ab", true, [](const std::string& p) { FILE* f = platform::OpenStreamShared(p.c_str(), "ab"); return f && std::fclose(f) == 0; }},
      {"fopen w+b", true, [](const std::string& p) { FILE* f = platform::OpenStreamShared(p.c_str(), "w+b"); return f && std::fclose(f) == 0; }},
      {"whole file", true, [](const std::string& p) { return platform::WriteFileWhole(p.c_str(), "x", 1); }},
      {"fopen rb", false, [](const std::string& p) { FILE* f = platform::OpenStreamShared(p.c_str(), "rb"); return f && std::fclose(f) == 0; }},
      {"open for reading", false,
       [](const std::string& p) {
         int fd = platform::OpenFileShared(p.c_str(), O_RDONLY | O_BINARY, 0);
         return fd >= 0 && platform::CloseFd(fd) == 0;
       }},
  };
  int n = 0;
  for (const Open& o : opens) {
    SCOPED_TRACE(o.what);
    std::string fresh = folder / ("new" + std::to_string(n));
    std::string existing = folder / ("old" + std::to_string(n++));
    if (o.writes) {
      ASSERT_TRUE(o.open(fresh));
      EXPECT_EQ(ModeOf(fresh), 0600u);
    }
    for (mode_t before : {0644u, 0666u, 0640u}) {
      WriteBytes(existing, "kept");
      ASSERT_EQ(chmod(existing.c_str(), before), 0);
      ASSERT_TRUE(o.open(existing));
      EXPECT_EQ(ModeOf(existing), o.writes ? 0600u : before) << std::oct << before;
    }
  }
  umask(old);
}

TEST(FilePermissions, AStreamModeThatIsNoneOpensNothing) {
  TempFolder folder("files");
  std::string path = folder / "f";
  EXPECT_EQ(platform::OpenStreamShared(path.c_str(), "q"), nullptr);
  EXPECT_EQ(platform::OpenStreamShared(path.c_str(), ""), nullptr);
  EXPECT_FALSE(Exists(path));
}
#endif

TEST(WriteFileWhole, PutsTheBytesInPlaceOrLeavesTheOldFile) {
  TempFolder folder("files");
  std::string path = folder / "whole.txt";
  EXPECT_TRUE(platform::WriteFileWhole(path.c_str(), "first version", 13));
  EXPECT_EQ(ReadBytes(path), "first version");
  EXPECT_TRUE(platform::WriteFileWhole(path.c_str(), "2nd", 3));  // shorter: nothing of the first stays
  EXPECT_EQ(ReadBytes(path), "2nd");
  EXPECT_TRUE(platform::WriteFileWhole(path.c_str(), "", 0));
  EXPECT_EQ(ReadBytes(path), "");
  EXPECT_FALSE(Exists(path + ".new"));

  // Where the temporary file cannot be made, nothing changes.
  std::string missing = folder / "none" + Sep() + "whole.txt";
  EXPECT_FALSE(platform::WriteFileWhole(missing.c_str(), "x", 1));
  EXPECT_FALSE(Exists(missing));
  EXPECT_FALSE(platform::WriteFileWhole("", "x", 1));
}

#ifndef _WIN32
TEST(WriteFileWhole, AWriteThatStopsPartWayLeavesTheOldFile) {
  TempFolder folder("files");
  std::string path = folder / "whole.txt";
  ASSERT_TRUE(platform::WriteFileWhole(path.c_str(), "old", 3));
  // A file size limit makes the write stop part-way, as a full disk does.
  rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit = saved;
  limit.rlim_cur = 10;
  setrlimit(RLIMIT_FSIZE, &limit);
  bool written = platform::WriteFileWhole(path.c_str(), std::string(100, 'n').data(), 100);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadBytes(path), "old");
  EXPECT_FALSE(Exists(path + ".new"));
}
#endif

}  // namespace
