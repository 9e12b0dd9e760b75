// "Options.def" in the data folder: the settings beyond the main window's, as "Key=Value" lines
// in code page 932 ended by CR LF. Missing keys take their defaults; lines with keys this
// program does not know are kept as they were when the file is written back.
#pragma once
#include <string>
#include <vector>

// How the transfer tool starts TLS.
enum class TlsMode {
  Auto,      // STARTTLS on ports 587 and 25, TLS from the first byte on every other port
  Implicit,  // TLS from the first byte ("smtps://")
  StartTls   // plain text first, then the upgrade, which is required
};

// The options, process-wide. Texts are Shift-JIS, trimmed of spaces and tabs around them.
struct OptionsRecord {
  std::string AttachFiles;      // paths separated by ";", attached to every mail
  std::string AttachColumn;     // a column letter whose cells hold paths separated by ";"
  std::string Cc;               // fixed addresses separated by ","
  std::string Bcc;
  std::string ReplyTo;
  std::string CcColumn;         // column letters whose cells hold addresses
  std::string BccColumn;
  std::string OptOutFile;       // a text file of addresses, one a line
  std::string ListUnsubscribe;  // a mailto: and/or an https: URL, separated by ","
  bool VerifyCertificate = true;
  bool PlainTextPart = true;    // an HTML body also goes out as text
  TlsMode Tls = TlsMode::Auto;
  std::vector<std::string> OtherLines;  // lines of unknown keys, as read (without CR LF)
};
extern OptionsRecord Options;

// Every option back to its default; no other lines.
void ResetOptions();

// Reads the file at `path` into Options, after resetting them. A missing file leaves the
// defaults and is not a failure. Returns 0, or -1 when the file exists but cannot be read
// (the defaults then stand).
int LoadOptions(const char* path);

// Writes Options to `path`: every known key in a fixed order, then the kept lines. The file is
// written beside under a temporary name and then put in place, so that a failed write never
// leaves half a file. Returns 0, or -1 (the old file then stays as it was).
int StoreOptions(const char* path);

// The text of a TlsMode as written in the file ("auto", "implicit", "starttls").
const char* TlsModeName(TlsMode mode);
