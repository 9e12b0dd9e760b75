// The settings store against any bytes found as the stored form "Environ.psw".
// Properties: the stored form unscrambles to its exact inverse and is then deleted; every
// field is terminated within its capacity and equals its trimmed line, cut between whole
// characters; lines beyond the fifteenth change nothing; storing and loading again gives
// the same values (as trimmed once more); scrambling the plain file gives back the input.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "settings/file_locations.h"
#include "settings/send_settings.h"
#include "settings/settings_store.h"

using namespace fuzz_support;

namespace {

std::string Scrambled(std::string bytes) {
  size_t n = bytes.size();
  std::string out = bytes;
  for (size_t k = 0; k < n; ++k) {
    if (n % 2 == 1 && k == n / 2) continue;
    unsigned char b = static_cast<unsigned char>(~static_cast<unsigned char>(bytes[n - 1 - k]));
    out[k] = static_cast<char>(static_cast<unsigned char>((b << 4) | (b >> 4)));
  }
  return out;
}

// The longest prefix of whole characters that fits capacity - 1 bytes.
std::string FitWhole(const std::string& text, size_t capacity) {
  size_t n = 0;
  while (n < text.size()) {
    size_t len = CharLengthAt(text.c_str(), n);
    if (n + len > capacity - 1) break;
    n += len;
  }
  return text.substr(0, n);
}

struct Snapshot {
  std::vector<std::string> values;
};

Snapshot Take() {
  SettingsField fields[kSettingsFieldCount];
  ListSettingsFields(SendSettings, fields);
  Snapshot s;
  for (const SettingsField& f : fields) {
    FUZZ_CHECK(memchr(f.text, 0, static_cast<size_t>(f.capacity)) != nullptr);  // terminated inside
    s.values.emplace_back(f.text);
  }
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string folder = ScratchFolder();
  const std::string def = folder + "/Environ.def";
  const std::string psw = folder + "/Environ.psw";
  std::strcpy(FileLocations.SettingsPath, def.c_str());
  std::strcpy(FileLocations.StoredSettingsPath, psw.c_str());
  DeleteFile(def);
  WriteFile(psw, data, size);
  std::string stored(reinterpret_cast<const char*>(data), size);

  ResetSendSettings();
  EscapePressed = 0;
  Snapshot builtIn = Take();
  LoadSettings();

  // The stored form was turned back and deleted; the plain file is its exact inverse.
  FUZZ_CHECK(!FileExists(psw));
  std::string plain;
  FUZZ_CHECK(ReadFile(def, &plain));
  FUZZ_CHECK(plain == Scrambled(stored));

  // Field k is line k (a line ends after its LF), up to its first zero byte, trimmed, cut to
  // whole characters within the field. Lines longer than the reader's line buffer are only
  // held to their bounds.
  std::vector<std::string> lines;
  for (size_t start = 0; start < plain.size();) {
    size_t lf = plain.find('\n', start);
    size_t end = lf == std::string::npos ? plain.size() : lf + 1;
    lines.push_back(plain.substr(start, end - start));
    start = end;
  }
  Snapshot loaded = Take();
  SettingsField fields[kSettingsFieldCount];
  ListSettingsFields(SendSettings, fields);
  for (int k = 0; k < kSettingsFieldCount; ++k) {
    const std::string& value = loaded.values[static_cast<size_t>(k)];
    if (static_cast<size_t>(k) >= lines.size()) {
      FUZZ_CHECK(value == builtIn.values[static_cast<size_t>(k)]);
      continue;
    }
    const std::string& line = lines[static_cast<size_t>(k)];
    std::string text = line.substr(0, line.find('\0'));
    if (line.size() < 1000) {
      FUZZ_CHECK(value == FitWhole(ReferenceTrim(text), static_cast<size_t>(fields[k].capacity)));
    } else {
      FUZZ_CHECK(value.size() < static_cast<size_t>(fields[k].capacity));
      FUZZ_CHECK(text.find(value) != std::string::npos);
    }
    // Never half a character at the end.
    size_t n = 0;
    while (n < value.size()) n += CharLengthAt(value.c_str(), n);
    FUZZ_CHECK(n == value.size());
  }

  // Save and load again: every value comes back as trimming it once more gives.
  StoreSettings();
  FUZZ_CHECK(!FileExists(def) && FileExists(psw));
  ResetSendSettings();
  LoadSettings();
  Snapshot again = Take();
  for (int k = 0; k < kSettingsFieldCount; ++k)
    FUZZ_CHECK(again.values[static_cast<size_t>(k)] == ReferenceTrim(loaded.values[static_cast<size_t>(k)]));

  // The scramble is its own inverse at file level too.
  std::string redone = folder + "/again.psw";
  std::string original = folder + "/original.def";
  WriteFile(original, plain.data(), plain.size());
  FUZZ_CHECK(ScrambleFile(original.c_str(), redone.c_str()) == 0);
  std::string back;
  FUZZ_CHECK(ReadFile(redone, &back) && back == stored);
  std::string source;
  FUZZ_CHECK(ReadFile(original, &source) && source == plain);  // the source is never changed
  return 0;
}
