#include "platform/process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

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

TEST(RunAndWaitTest, ArgumentsArriveOneByOneAndTheExitCodeComesBack) {
  testing_support::TempFolder temp("run-and-wait");
  std::string folder = temp.path();
  std::string out = folder + "/echo.bin";
  SetEnv("ROWCASTER_ECHO_OUT", out);
  SetEnv("ROWCASTER_ECHO_FAIL_RCPT", "refused@example.jp");
  std::vector<std::string> args = {EchoToolPath()};
  for (const std::string& v : HostileValues()) args.push_back(v);
  EXPECT_EQ(platform::RunAndWait(args), 0);
  std::vector<EchoRecord> records = ReadEchoRecords(out);
  ASSERT_EQ(records.size(), 1u);
  std::vector<std::string> expected;
  for (const std::string& v : HostileValues()) expected.push_back(U(v));
  EXPECT_EQ(records[0].args, expected);

  EXPECT_EQ(platform::RunAndWait({EchoToolPath(), "--mail-rcpt", "refused@example.jp"}), 55);
  EXPECT_EQ(platform::RunAndWait({folder + "/no-such-program"}), platform::kProcessNotStarted);
  EXPECT_EQ(platform::RunAndWait({}), platform::kProcessNotStarted);
}

}  // namespace
