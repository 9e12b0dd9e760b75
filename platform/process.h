// Running another program and waiting for its end.
#pragma once
#include <climits>
#include <string>
#include <vector>

namespace platform {

// What RunAndWait returns when the program cannot be started at all.
constexpr int kProcessNotStarted = INT_MIN;

// Runs the program arguments[0] with the given arguments (Shift-JIS texts, passed one by one,
// never through a shell), hidden and with no input or output of its own, and waits for it
// without a time limit. Returns its exit code, or kProcessNotStarted.
int RunAndWait(const std::vector<std::string>& arguments);

// The Windows command line for an argument list, quoted by the rules of the Microsoft C
// runtime so that the program's argv comes back exactly as given. Arguments made only of
// "-", letters and digits and starting with "-" (option names) stay bare; every other one is
// put in double quotes, with backslashes doubled before a quote and a quote escaped. The
// program path itself (arguments[0]) is quoted plainly. Double-byte characters are kept
// whole, so a trail byte 0x5C is never taken for a backslash. Returns false (and an empty
// line) when arguments[0] holds a double quote or the list is empty.
bool BuildWindowsCommandLine(const std::vector<std::string>& arguments, std::string& commandLine);

}  // namespace platform
