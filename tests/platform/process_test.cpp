#include "platform/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "tests/support/engine_test_support.h"
#include "tests/support/test_folder.h"

namespace {

bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// How the Microsoft C runtime splits a command line into argv (the program name first). The
// line reaches the program in UTF-16, so a double-byte character is one character here.
std::vector<std::string> ParseLikeTheCRuntime(const std::string& line) {
  std::vector<std::string> argv;
  size_t i = 0;
  std::string program;
  if (i < line.size() && line[i] == '"') {
    size_t close = line.find('"', 1);
    program = line.substr(1, close - 1);
    i = close == std::string::npos ? line.size() : close + 1;
  } else {
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') program += line[i++];
  }
  argv.push_back(program);
  for (;;) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string arg;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
      size_t backslashes = 0;
      while (i < line.size() && line[i] == '\\') ++backslashes, ++i;
      if (i < line.size() && line[i] == '"') {
        arg.append(backslashes / 2, '\\');
        if (backslashes % 2) {
          arg += '"';
        } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          arg += '"';
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        arg.append(backslashes, '\\');
        if (i < line.size() && IsLead(static_cast<unsigned char>(line[i])) && i + 1 < line.size()) arg += line[i++];
        if (i < line.size()) arg += line[i++];
      }
    }
    argv.push_back(arg);
  }
  return argv;
}

// Values that would end an argument early or add one if they were put in unquoted.
std::vector<std::string> HostileValues() {
  return {"plain",
          "with space",
          "quote\"inside",
          "\" --upload-file C:\\Windows\\win.ini \"",
          "trailing backslash\\",
          "two before quote\\\\\"x",
          "\\\\server\\share\\",
          "",
          "--insecure",
          "tab\tand\nnewline",
          S("ソ表\\"),          // trail bytes 0x5C, then a real backslash
          S("能力\"ソ"),
          "%PATH% & | < > ^"};
}

TEST(WindowsCommandLine, HostileValuesComeBackAsTheyWere) {
  std::vector<std::string> args = {"C:\\Program Files\\Rowcaster\\SMTP.exe"};
  for (const std::string& v : HostileValues()) args.push_back(v);
  std::string line;
  ASSERT_TRUE(platform::BuildWindowsCommandLine(args, line));
  EXPECT_EQ(ParseLikeTheCRuntime(line), args) << line;
  std::vector<std::string> quoteInName = {"C:\\a\"b.exe", "x"};
  EXPECT_FALSE(platform::BuildWindowsCommandLine(quoteInName, line));
  EXPECT_FALSE(platform::BuildWindowsCommandLine({}, line));
}

TEST(WindowsCommandLine, TrailBytesAreNotBackslashes) {
  std::string line;
  ASSERT_TRUE(platform::BuildWindowsCommandLine({"p.exe", S("ソ"), S("表\"")}, line));
  EXPECT_EQ(line, "\"p.exe\" \"" + S("ソ") + "\" \"" + S("表") + "\\\"\"");
}

// The tool's hidden start and the editor's visible one pass their arguments alike.
struct Start {
  const char* name;
  int (*run)(const std::vector<std::string>&);
};
const Start kStarts[] = {
    {"RunAndWait", [](const std::vector<std::string>& a) { return platform::RunAndWait(a); }},
    {"RunVisibleAndWait", platform::RunVisibleAndWait},
};

TEST(RunAndWaitTest, ArgumentsArriveOneByOneAndTheExitCodeComesBack) {
  for (const Start& start : kStarts) {
    SCOPED_TRACE(start.name);
    testing_support::TempFolder temp("run-and-wait");
    std::string folder = temp.path();
    std::string out = folder + "/echo.bin";
    SetEnv("ROWCASTER_ECHO_OUT", out);
    SetEnv("ROWCASTER_ECHO_FAIL_RCPT", "refused@example.jp");
    std::vector<std::string> args = {EchoToolPath()};
    for (const std::string& v : HostileValues()) args.push_back(v);
    EXPECT_EQ(start.run(args), 0);
    std::vector<EchoRecord> records = ReadEchoRecords(out);
    ASSERT_EQ(records.size(), 1u);
    std::vector<std::string> expected;
    for (const std::string& v : HostileValues()) expected.push_back(U(v));
    EXPECT_EQ(records[0].args, expected);

    EXPECT_EQ(start.run({EchoToolPath(), "--mail-rcpt", "refused@example.jp"}), 55);
    EXPECT_EQ(start.run({folder + "/no-such-program"}), platform::kProcessNotStarted);
    EXPECT_EQ(start.run({}), platform::kProcessNotStarted);
  }
}

std::string ShowStateToolPath() {
  namespace fs = std::filesystem;  // tests run with the bin folder as working directory
#ifdef _WIN32
  return (fs::current_path() / "show_state_tool.exe").string();
#else
  return (fs::current_path() / "show_state_tool").string();
#endif
}

#ifndef _WIN32
// Standard output sent to a file while it lives, so that a program started with the caller's
// output does not see the null device, wherever the test's own output goes.
class OutputToFile {
 public:
  explicit OutputToFile(const std::string& path) {
    std::fflush(stdout);
    saved_ = dup(1);
    int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(file, 1);
    close(file);
  }
  ~OutputToFile() {
    std::fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
  }

 private:
  int saved_;
};
#endif

// The editor comes up shown where the transfer tool is hidden, and it is waited for past the
// tool's time limit, with its exit code.
TEST(RunVisibleAndWaitTest, TheProgramIsShownAndWaitedForPastTheToolLimit) {
  testing_support::TempFolder temp("run-visible");
  std::string folder = temp.path();
  std::string record = folder + "/start.txt";
#ifndef _WIN32
  OutputToFile output(folder + "/output.txt");
#endif
  EXPECT_EQ(platform::RunAndWait({ShowStateToolPath(), record, "0", "4"}), 4);
  EXPECT_EQ(ReadFile(record), "hidden\n");

  platform::SetProcessTimeLimit(100);
  auto begin = std::chrono::steady_clock::now();
  int code = platform::RunVisibleAndWait({ShowStateToolPath(), record, "600", "3"});
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  platform::SetProcessTimeLimit(0);
  EXPECT_EQ(code, 3);
  EXPECT_GE(seconds, 0.55);
  EXPECT_EQ(ReadFile(record), "shown\n");
}

}  // namespace
