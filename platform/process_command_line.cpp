#include <cstddef>

#include "platform/codepage.h"
#include "platform/process.h"

namespace platform {
namespace {

bool IsOptionName(const std::string& argument) {
  if (argument.size() < 2 || argument[0] != '-') return false;
  for (char c : argument) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
    if (!plain) return false;
  }
  return true;
}

// One argument in double quotes: n backslashes before a quote become 2n + 1 and the quote;
// n backslashes before the closing quote become 2n; all others stay as they are.
void AppendQuoted(const std::string& argument, std::string& line) {
  line += '"';
  size_t backslashes = 0;
  for (size_t i = 0; i < argument.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(argument[i]);
    if (IsLeadByte(c) && i + 1 < argument.size()) {
      line.append(backslashes, '\\');
      backslashes = 0;
      line += argument[i];
      line += argument[++i];
      continue;
    }
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      line.append(backslashes * 2 + 1, '\\');
      line += '"';
    } else {
      line.append(backslashes, '\\');
      line += static_cast<char>(c);
    }
    backslashes = 0;
  }
  line.append(backslashes * 2, '\\');
  line += '"';
}

}  // namespace

bool BuildWindowsCommandLine(const std::vector<std::string>& arguments, std::string& commandLine) {
  commandLine.clear();
  // The program name is read up to the next double quote, without escapes.
  if (arguments.empty() || arguments[0].find('"') != std::string::npos) return false;
  commandLine += '"';
  commandLine += arguments[0];
  commandLine += '"';
  for (size_t i = 1; i < arguments.size(); ++i) {
    commandLine += ' ';
    if (IsOptionName(arguments[i]))
      commandLine += arguments[i];
    else
      AppendQuoted(arguments[i], commandLine);
  }
  return true;
}

}  // namespace platform
