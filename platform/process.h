// Running another program and waiting for its end.
#pragma once
#include <climits>
#include <string>
#include <vector>

namespace platform {

// What RunAndWait returns when the program cannot be started at all.
constexpr int kProcessNotStarted = INT_MIN;

// What RunAndWait returns for a program it ended because it outlived the time limit.
constexpr int kProcessTimedOut = INT_MIN + 1;

// A tool that hangs must not hold its caller for ever: after this long it is ended.
constexpr int kDefaultProcessTimeLimitMs = 10 * 60 * 1000;

// The time limit of RunAndWait in milliseconds; 0 or less puts the default back.
void SetProcessTimeLimit(int milliseconds);
int ProcessTimeLimit();

// Runs the program arguments[0] with the given arguments (Shift-JIS texts, passed one by one,
// never through a shell), hidden and with no input or output of its own, and waits for it
// at most ProcessTimeLimit(). Returns its exit code, kProcessNotStarted, or kProcessTimedOut
// when it ran past the limit and was ended (with what it started). Such a program also ends
// when its caller dies, so that no transfer goes on unseen after a crash.
int RunAndWait(const std::vector<std::string>& arguments);

// The same with an explicit limit in milliseconds. kNoTimeLimit waits for as long as the
// program runs and leaves it running should the caller die.
constexpr int kNoTimeLimit = 0;
int RunAndWait(const std::vector<std::string>& arguments, int timeLimitMs);

// Runs a program the user works in (the text editor) with the given arguments, quoted as
// RunAndWait quotes them, shown as it would show itself: on Windows with the default show state,
// elsewhere with the caller's terminal (standard input, output and error, process group). Waits
// for it without a time limit, and never ends it, not even when the caller dies. Returns its
// exit code, or kProcessNotStarted.
int RunVisibleAndWait(const std::vector<std::string>& arguments);

// The Windows command line for an argument list, quoted by the rules of the Microsoft C
// runtime so that the program's argv comes back exactly as given. Arguments made only of
// "-", letters and digits and starting with "-" (option names) stay bare; every other one is
// put in double quotes, with backslashes doubled before a quote and a quote escaped. The
// program path itself (arguments[0]) is quoted plainly. Double-byte characters are kept
// whole, so a trail byte 0x5C is never taken for a backslash. Returns false (and an empty
// line) when arguments[0] holds a double quote or the list is empty.
bool BuildWindowsCommandLine(const std::vector<std::string>& arguments, std::string& commandLine);

}  // namespace platform
