#include "settings/options.h"

#include <cstdio>
#include <cstring>

#include "platform/files.h"
#include "text/sjis_text.h"

OptionsRecord Options;

namespace {

// Lines longer than this are read whole but kept only to this length (between characters).
constexpr size_t kLineLimit = 64 * 1024;

struct TextKey {
  const char* name;
  std::string OptionsRecord::*value;
};

const TextKey kTextKeys[] = {
    {"AttachFiles", &OptionsRecord::AttachFiles}, {"AttachColumn", &OptionsRecord::AttachColumn},
    {"Cc", &OptionsRecord::Cc},                   {"Bcc", &OptionsRecord::Bcc},
    {"ReplyTo", &OptionsRecord::ReplyTo},         {"CcColumn", &OptionsRecord::CcColumn},
    {"BccColumn", &OptionsRecord::BccColumn},     {"OptOutFile", &OptionsRecord::OptOutFile},
    {"ListUnsubscribe", &OptionsRecord::ListUnsubscribe},
};

bool SameKey(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(static_cast<unsigned char>(a[i])) != AsciiLower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// Spaces and tabs around a value or key go; a double-byte character is never cut.
std::string Trimmed(const std::string& text) {
  size_t start = 0;
  while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) ++start;
  size_t end = text.size();
  while (end > start && (text[end - 1] == ' ' || text[end - 1] == '\t') && !IsTrailByte(text.c_str(), end - 1)) --end;
  return text.substr(start, end - start);
}

// Only "0" turns a flag off: a damaged value keeps the safe default.
bool FlagValue(const std::string& value) { return value != "0"; }

TlsMode TlsValue(const std::string& value) {
  if (SameKey(value, "implicit")) return TlsMode::Implicit;
  if (SameKey(value, "starttls")) return TlsMode::StartTls;
  return TlsMode::Auto;
}

// One line (without its line end) into Options; unknown keys are kept.
void TakeLine(const std::string& line) {
  size_t equals = line.find('=');
  std::string key = Trimmed(line.substr(0, equals == std::string::npos ? line.size() : equals));
  std::string value = equals == std::string::npos ? std::string() : Trimmed(line.substr(equals + 1));
  for (const TextKey& k : kTextKeys) {
    if (SameKey(key, k.name)) {
      Options.*k.value = value;
      return;
    }
  }
  if (SameKey(key, "VerifyCertificate")) Options.VerifyCertificate = FlagValue(value);
  else if (SameKey(key, "PlainTextPart")) Options.PlainTextPart = FlagValue(value);
  else if (SameKey(key, "TlsMode")) Options.Tls = TlsValue(value);
  else if (!line.empty()) Options.OtherLines.push_back(line);
}

// The next line of the file without CR LF (or a lone LF); false at the end of the file.
bool NextLine(FILE* file, std::string& line) {
  line.clear();
  int c;
  bool any = false;
  while ((c = std::fgetc(file)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (line.size() < kLineLimit) line += static_cast<char>(c);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  // A line cut at the limit must not end with the first byte of a character.
  if (line.size() == kLineLimit && !IsTrailByte(line.c_str(), line.size() - 1) &&
      IsLeadByte(static_cast<unsigned char>(line.back())))
    line.pop_back();
  return any;
}

std::string FileText() {
  std::string out;
  for (const TextKey& k : kTextKeys) out += std::string(k.name) + "=" + Options.*k.value + "\r\n";
  out += std::string("VerifyCertificate=") + (Options.VerifyCertificate ? "1" : "0") + "\r\n";
  out += std::string("PlainTextPart=") + (Options.PlainTextPart ? "1" : "0") + "\r\n";
  out += std::string("TlsMode=") + TlsModeName(Options.Tls) + "\r\n";
  for (const std::string& line : Options.OtherLines) out += line + "\r\n";
  return out;
}

}  // namespace

void ResetOptions() { Options = OptionsRecord(); }

const char* TlsModeName(TlsMode mode) {
  switch (mode) {
    case TlsMode::Implicit: return "implicit";
    case TlsMode::StartTls: return "starttls";
    case TlsMode::Auto: break;
  }
  return "auto";
}

int LoadOptions(const char* path) {
  ResetOptions();
  if (!platform::PathExists(path)) return 0;
  FILE* file = platform::OpenStreamShared(path, "rb");
  if (!file) return -1;
  std::string line;
  while (NextLine(file, line)) TakeLine(line);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  return failed ? -1 : 0;
}

int StoreOptions(const char* path) {
  if (!path || !*path) return -1;
  std::string temporary = std::string(path) + ".new";
  std::string text = FileText();
  int fd = platform::OpenFileShared(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_BINARY, platform::kReadWrite);
  if (fd < 0) return -1;
  long written = platform::WriteFd(fd, text.data(), static_cast<unsigned long>(text.size()));
  bool closed = platform::CloseFd(fd) == 0;
  if (written != static_cast<long>(text.size()) || !closed || platform::MoveIntoPlace(temporary.c_str(), path) != 0) {
    platform::RemoveFile(temporary.c_str());
    return -1;
  }
  return 0;
}
