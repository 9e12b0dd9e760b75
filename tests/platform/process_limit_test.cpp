// RunAndWait's time limit: a program that outlives it is ended together with what it started,
// and the caller gets kProcessTimedOut soon after the limit; programs within it are untouched.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "platform/process.h"
#include "tests/support/fresh_folder.h"

#ifdef _WIN32
#include <windows.h>
#endif

#ifndef _WIN32
#include <csignal>
#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

struct LimitGuard {
  explicit LimitGuard(int ms) { platform::SetProcessTimeLimit(ms); }
  ~LimitGuard() { platform::SetProcessTimeLimit(0); }
};

// A tool that sleeps for a minute, built beside the test programs.
TEST(RunAndWaitLimit, AToolThatNeverEndsIsEndedAtTheLimit) {
  LimitGuard limit(500);
  auto start = std::chrono::steady_clock::now();
#ifdef _WIN32
  int code = platform::RunAndWait({"hang_tool.exe"});
#else
  int code = platform::RunAndWait({"./hang_tool"});
#endif
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(code, platform::kProcessTimedOut);
  EXPECT_GE(seconds, 0.45);
  EXPECT_LT(seconds, 15.0);
}

#ifndef _WIN32
// A file name in a fresh folder of this test program, removed (files included) at its exit.
std::string Scratch(const char* name) {
  static testing_support::FreshFolder folder("limit");
  return (folder.path() / name).string();
}

long ReadPid(const std::string& path) {
  // The child writes it at once; allow it a moment.
  for (int i = 0; i < 200; ++i) {
    std::ifstream in(path);
    long pid = 0;
    if (in >> pid && pid > 0) return pid;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return 0;
}

bool Alive(long pid) { return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM; }

TEST(RunAndWaitLimit, AHangingToolAndItsChildrenAreEndedAtTheLimit) {
  std::string pidFile = Scratch("grandchild");
  std::remove(pidFile.c_str());
  LimitGuard limit(400);
  auto start = std::chrono::steady_clock::now();
  // The tool starts a child of its own and waits for it, as a tool stuck in a pipe would.
  int code = platform::RunAndWait({"/bin/sh", "-c", "sleep 60 & echo $! > " + pidFile + "; wait"});
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(code, platform::kProcessTimedOut);
  EXPECT_GE(seconds, 0.35);
  EXPECT_LT(seconds, 5.0);
  long grandchild = ReadPid(pidFile);
  ASSERT_GT(grandchild, 0);
  // The kill reaches the whole group; the orphan is reaped by init shortly after.
  bool gone = false;
  for (int i = 0; i < 200 && !gone; ++i) {
    gone = !Alive(grandchild);
    if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(gone) << "the tool's child outlived the limit";
  std::remove(pidFile.c_str());
}

TEST(RunAndWaitLimit, ProgramsWithinTheLimitKeepTheirExitCode) {
  LimitGuard limit(5000);
  struct Case { std::vector<std::string> args; int code; } cases[] = {
      {{"/bin/sh", "-c", "exit 0"}, 0},
      {{"/bin/sh", "-c", "sleep 0.2; exit 7"}, 7},
      {{"/bin/sh", "-c", "kill -9 $$"}, 128 + 9},
      {{"/no/such/tool"}, platform::kProcessNotStarted},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::RunAndWait(c.args), c.code) << c.args.back();
}

#ifdef __linux__
// A run killed while its tool works must not leave the tool to finish a delivery that no log
// line will record: the tool ends with the process that started it.
TEST(RunAndWaitLimit, TheToolDiesWithItsCaller) {
  std::string pidFile = Scratch("tool");
  std::remove(pidFile.c_str());
  pid_t caller = fork();
  ASSERT_GE(caller, 0);
  if (caller == 0) {
    platform::RunAndWait({"/bin/sh", "-c", "echo $$ > " + pidFile + "; exec sleep 60"});
    _exit(0);
  }
  long tool = ReadPid(pidFile);
  ASSERT_GT(tool, 0);
  ASSERT_TRUE(Alive(tool));
  kill(caller, SIGKILL);
  int status;
  waitpid(caller, &status, 0);
  bool gone = false;
  for (int i = 0; i < 300 && !gone; ++i) {
    gone = !Alive(tool);
    if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(gone) << "the tool outlived the killed caller";
  if (!gone) kill(static_cast<pid_t>(tool), SIGKILL);
  std::remove(pidFile.c_str());
}
#endif

// A program the user works in is waited for as long as it runs, whatever the tool limit, and it
// is not ended with its caller: hidden with no limit, and the editor's visible start.
TEST(RunAndWaitLimit, WithoutALimitTheProgramIsWaitedForAndOutlivesItsCaller) {
  struct Start {
    const char* name;
    int (*run)(const std::vector<std::string>&);
  } starts[] = {
      {"RunAndWait without a limit",
       [](const std::vector<std::string>& a) { return platform::RunAndWait(a, platform::kNoTimeLimit); }},
      {"RunVisibleAndWait", platform::RunVisibleAndWait},
  };
  for (const Start& start : starts) {
    SCOPED_TRACE(start.name);
    LimitGuard limit(100);
    EXPECT_EQ(start.run({"/bin/sh", "-c", "sleep 0.4; exit 3"}), 3);

    std::string pidFile = Scratch("editor");
    std::remove(pidFile.c_str());
    pid_t caller = fork();
    ASSERT_GE(caller, 0);
    if (caller == 0) {
      start.run({"/bin/sh", "-c", "echo $$ > " + pidFile + "; exec sleep 60"});
      _exit(0);
    }
    long editor = ReadPid(pidFile);
    ASSERT_GT(editor, 0);
    kill(caller, SIGKILL);
    int status;
    waitpid(caller, &status, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(Alive(editor));
    kill(static_cast<pid_t>(editor), SIGKILL);
    std::remove(pidFile.c_str());
  }
}

TEST(RunAndWaitLimit, TheDefaultIsMinutes) {
  platform::SetProcessTimeLimit(0);
  EXPECT_EQ(platform::ProcessTimeLimit(), platform::kDefaultProcessTimeLimitMs);
  EXPECT_GE(platform::ProcessTimeLimit(), 60 * 1000);
  platform::SetProcessTimeLimit(1234);
  EXPECT_EQ(platform::ProcessTimeLimit(), 1234);
  platform::SetProcessTimeLimit(-5);
  EXPECT_EQ(platform::ProcessTimeLimit(), platform::kDefaultProcessTimeLimitMs);
}
#endif

}  // namespace
