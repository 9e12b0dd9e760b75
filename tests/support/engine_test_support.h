// Shared pieces of the engine's unit tests.
#pragma once
#include <string>
#include <vector>

// The Shift-JIS form of a UTF-8 literal.
std::string S(const char* utf8);
// The UTF-8 form of a Shift-JIS text.
std::string U(const std::string& sjis);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// Sets an environment variable for this process and the programs it starts.
void SetEnv(const char* name, const std::string& value);

// The full path of the stand-in transfer tool beside the test programs.
std::string EchoToolPath();

// One call of the stand-in tool: its arguments (UTF-8) and the uploaded file's bytes.
struct EchoRecord {
  std::vector<std::string> args;
  std::string upload;
};
std::vector<EchoRecord> ReadEchoRecords(const std::string& path);
